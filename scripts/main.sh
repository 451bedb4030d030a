#!/usr/bin/env bash
# The main job: set up, build the native and the Windows module, and render
# the test card with the ring; the OpenFX bundle for both platforms; the
# page that draws the ring in a browser (built with the native tree).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows
cmake --build --preset windows --target Kv_Tidalhalo tidalhalo_ofx

aex="$PWD/build/windows/Kv_Tidalhalo.aex"
tool="$PWD/build/native/cli/tidalhalo"
if [ -x "$tool" ]; then
  "$tool" render --blend normal -o "$PWD/halo.png"
  echo "main: picture: $PWD/halo.png"
else
  echo "main: the command-line renderer is not built yet"
fi
echo "main: native module: $PWD/build/native/Kv_Tidalhalo.so"
echo "main: Windows module: $aex"
echo "main: frei0r filter: $PWD/build/native/frei0r/tidalhalo.so"
echo "main: OpenFX bundle (Linux): $PWD/build/native/Kv_Tidalhalo.ofx.bundle"
echo "main: OpenFX bundle (Windows): $PWD/build/windows/Kv_Tidalhalo.ofx.bundle"
echo "main: the page (open it in a browser): $PWD/build/web/index.html"
