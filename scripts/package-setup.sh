#!/usr/bin/env bash
# Builds the Windows setup, Kv_Tidalhalo-<version>-setup.exe, from the zip's
# folder with NSIS (packaging/windows/Kv_Tidalhalo.nsi). NSIS stores each
# file's time, so the folder's files must carry fixed times (scripts/release.sh
# gives them the commit's): then the same folder gives the same bytes.
#
#   bash scripts/package-setup.sh ZIP_FOLDER VERSION OUTPUT.exe
set -euo pipefail
if (($# != 3)); then
  echo "package-setup: usage: package-setup.sh ZIP_FOLDER VERSION OUTPUT.exe" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
payload=$(realpath "$1")
version=$2
output=$(realpath -m "$3")
command -v makensis >/dev/null || { echo "package-setup: error: makensis is missing (apt-get install nsis)" >&2; exit 1; }
# Windows' file version has four numbers: 2.0 becomes 2.0.0.0.
numbers=${version%%-*}
while [[ "$numbers" =~ ^[0-9]+(\.[0-9]+){0,2}$ ]]; do numbers+=.0; done
[[ "$numbers" =~ ^[0-9]+(\.[0-9]+){3}$ ]] || { echo "package-setup: error: version $version does not start with a number like 2.0" >&2; exit 1; }
makensis -V2 -NOCD -INPUTCHARSET UTF8 -DVERSION="$version" -DFILE_VERSION="$numbers" -DPAYLOAD="$payload" \
  -DOUTFILE="$output" "$here/packaging/windows/Kv_Tidalhalo.nsi" >&2 ||
  { echo "package-setup: error: makensis failed" >&2; exit 1; }
