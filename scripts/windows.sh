#!/usr/bin/env bash
# The Windows module: cross-builds it (preset windows), checks the .aex as a
# file natively, runs the cross-built tests under Wine against it, and
# compares the frames it renders under Wine with the native module's; the
# same for the Win64 OpenFX bundle and the Windows frei0r filter.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
aex="$root/build/windows/Kv_Tidalhalo.aex"
# The native build to compare with; the lead's by default.
native="${TIDALHALO_NATIVE_BUILD:-$root/build/native}"

echo "windows: building the windows preset"
cmake --preset windows >/dev/null
cmake --build --preset windows

echo "windows: checking $aex as a file (native tests)"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release -DTIDALHALO_WERROR=ON >/dev/null
fi
native_checks=(windows_module_test pe_reader_test)
cmake --build "$native" -j2 --target "${native_checks[@]}"
for check in "${native_checks[@]}"; do
  TIDALHALO_AEX="$aex" "$native/tests/windows/$check" --gtest_brief=1
done
ofx_win64="$root/build/windows/Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx"
cmake --build "$native" -j2 --target ofx_bundle_files_test
TIDALHALO_OFX_WIN64="$ofx_win64" "$native/tests/openfx/ofx_bundle_files_test" --gtest_brief=1
frei0r_dll="$root/build/windows/frei0r/tidalhalo.dll"
cmake --build "$native" -j2 --target frei0r_windows_filter_file_test
TIDALHALO_FREI0R_DLL="$frei0r_dll" "$native/tests/frei0r/frei0r_windows_filter_file_test" --gtest_brief=1

# One Wine prefix, created on first use and kept with the build.
export WINEPREFIX="$root/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine="$root/cmake/wine-run.sh"
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
# The Wine server our runs start lingers a minute; end it with the script.
trap '[ -n "$wineserver" ] && "$wineserver" -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows: creating the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || true
fi

echo "windows: cross-built tests under Wine"
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true  # the server and Wine's own programs, once
ctest --test-dir "$root/build/windows" --output-on-failure -j2

# Wine makes OpenGL contexts only on an X display: the overlay's OpenGL
# draws run again on a virtual one, where they must not be skipped.
echo "windows: the OpenFX overlay through Wine's OpenGL on a virtual display"
TIDALHALO_REQUIRE_GL=1 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$wine" "$root/build/windows/tests/openfx/tidalhalo_ofx_overlay_gl_test.exe" --gtest_brief=1

dump_windows="$root/build/windows/tests/windows/frame_dump.exe"
dump_native="$native/tests/windows/frame_dump"
if [ -f "$dump_windows" ]; then
  echo "windows: frames of the .aex under Wine against the native module's"
  cmake --build "$native" -j2 --target frame_dump Kv_Tidalhalo
  "$dump_native" "$native/Kv_Tidalhalo.so" "$native/frames-native.bin"
  "$wine" "$dump_windows" "$aex" "$root/build/windows/frames-windows.bin" "$native/frames-native.bin"
else
  echo "windows: frame_dump not built (no host library yet); frames not compared" >&2
  exit 1
fi

echo "windows: frames of the Win64 OpenFX bundle under Wine against the Linux bundle's"
cmake --build "$native" -j2 --target ofx_frame_dump tidalhalo_ofx
"$native/tests/openfx/ofx_frame_dump" "$native/Kv_Tidalhalo.ofx.bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx" \
  "$native/ofx-frames-native.bin"
"$wine" "$root/build/windows/tests/openfx/ofx_frame_dump.exe" "$ofx_win64" "$root/build/windows/ofx-frames-windows.bin" \
  "$native/ofx-frames-native.bin"

echo "windows: frames of the Windows frei0r filter under Wine against the Linux filter's"
cmake --build "$native" -j2 --target frei0r_frame_dump tidalhalo_frei0r
"$native/tests/frei0r/frei0r_frame_dump" "$native/frei0r/tidalhalo.so" "$native/frei0r-frames-native.bin"
"$wine" "$root/build/windows/tests/frei0r/frei0r_frame_dump.exe" "$frei0r_dll" "$root/build/windows/frei0r-frames-windows.bin" \
  "$native/frei0r-frames-native.bin"

echo "windows: Windows module: $aex"
