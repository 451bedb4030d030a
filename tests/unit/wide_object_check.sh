#!/usr/bin/env bash
# The object compiled for AVX2 must define no code but RingRunStagesWide:
# an inline function or template it defined with external linkage could be
# the copy the linker keeps for every caller, AVX2 instructions then run
# on processors without them. Arguments: nm, then the library's objects.
set -euo pipefail
nm_tool=$1
shift
object=""
for candidate in "$@"; do
  case "$candidate" in *coverage_run_wide*) object=$candidate ;; esac
done
if [ -z "$object" ]; then
  echo "wide_object_check: no coverage_run_wide object among: $*" >&2
  exit 1
fi
# Defined external symbols in code sections (T, W, i), by their linkage names.
code=$("$nm_tool" -P --defined-only --extern-only "$object" | awk '$2 ~ /^[TWi]$/ { print $1 }')
if [ "$code" != "_Z17RingRunStagesWideRK14RingRenderInfoiiPKdjPd" ]; then
  echo "wide_object_check: $object defines code other than RingRunStagesWide:" >&2
  echo "$code" >&2
  exit 1
fi
echo "wide_object_check: $object defines RingRunStagesWide alone"
