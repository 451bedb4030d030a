#!/usr/bin/env bash
# The sanitized runs: the module, host, tool and every test under ASan and
# UBSan (preset sanitize, which also replays the fuzzers' seed corpora), then
# the module, the multithreaded host tests and the tool's threaded PNG writer
# and frame pipeline under TSan (preset tsan). Any sanitizer report fails its
# test. TIDALHALO_JOBS sets the build's parallel jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in sanitize tsan; do
  echo "sanitize: preset $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" ${TIDALHALO_JOBS:+-j "$TIDALHALO_JOBS"}
  ctest --preset "$preset"
done
