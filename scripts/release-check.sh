#!/usr/bin/env bash
# The release, checked as a user would take it: builds it once with
# scripts/release.sh into dist/, then checks the archives' contents and
# checksums, renders the test card with the tool unpacked from the tarball,
# loads the .aex unpacked from the zip under Wine and compares its frames with
# the unpacked native module's, runs the Windows setup under Wine
# (tests/release/setup_test.sh), and builds the same commit a second time in
# another folder: both builds must give the same bytes; last, install.sh of
# the unpacked tarball in a home of its own, and the Debian package
# installed and removed again (tests/release/package_test.sh, alone: no other
# test may run while it is installed). Needs the windows
# preset's frame_dump.exe and the native frame_dump (scripts/windows.sh
# builds both). TIDALHALO_JOBS sets the build's parallel jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
check="$root/build/release-check"
rm -rf "$check"
mkdir -p "$check"

fail() {
  echo "release-check: $*" >&2
  exit 1
}

bash scripts/release.sh
zip_file=$(echo "$root"/dist/Kv_Tidalhalo-*-win64.zip)
version=${zip_file##*/Kv_Tidalhalo-}
version=${version%-win64.zip}
[[ "$version" == "$(cmake -P cmake/version.cmake)-$(git rev-parse --short=7 HEAD)" ]] ||
  fail "the release is named $version; expected the module's version and the commit"
tar_file="$root/dist/tidalhalo-$version-linux-x86_64.tar.gz"
setup_file="$root/dist/Kv_Tidalhalo-$version-setup.exe"
deb_file="$root/dist/tidalhalo_${version}_amd64.deb"

echo "release-check: contents"
(cd "$root/dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the archives"
grep -q " $(basename "$setup_file")$" "$root/dist/SHA256SUMS" || fail "SHA256SUMS does not list $(basename "$setup_file")"
texts=(LICENSE README.txt THIRD-PARTY.md)
ofx_bundle=Kv_Tidalhalo.ofx.bundle
shotcut_panel=(shotcut/tidalhalo/meta.qml shotcut/tidalhalo/ui.qml shotcut/tidalhalo/vui.qml)
expected_zip=$(printf "Kv_Tidalhalo-$version-win64/%s\n" Kv_Tidalhalo.aex "${texts[@]}" \
                 "$ofx_bundle/Contents/Win64/Kv_Tidalhalo.ofx" tidalhalo.dll frei0r_tidalhalo.xml \
                 "${shotcut_panel[@]}" | LC_ALL=C sort)
linux_files=(Kv_Tidalhalo.so tidalhalo install.sh "${texts[@]}" "$ofx_bundle/" "$ofx_bundle/Contents/"
             "$ofx_bundle/Contents/Linux-x86-64/" "$ofx_bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx")
if git ls-files --error-unmatch frei0r/CMakeLists.txt >/dev/null 2>&1; then
  linux_files+=(tidalhalo.so frei0r_tidalhalo.xml shotcut/ shotcut/tidalhalo/ "${shotcut_panel[@]}")
fi
expected_tar=$( (echo "tidalhalo-$version-linux-x86_64/"
                 printf "tidalhalo-$version-linux-x86_64/%s\n" "${linux_files[@]}") | LC_ALL=C sort)
[ "$(unzip -Z1 "$zip_file" | LC_ALL=C sort)" = "$expected_zip" ] ||
  fail "$zip_file holds $(unzip -Z1 "$zip_file" | tr '\n' ' '); expected $(echo $expected_zip)"
[ "$(tar -tzf "$tar_file" | LC_ALL=C sort)" = "$expected_tar" ] ||
  fail "$tar_file holds $(tar -tzf "$tar_file" | tr '\n' ' '); expected $(echo $expected_tar)"
grep -q " $(basename "$deb_file")$" "$root/dist/SHA256SUMS" || fail "SHA256SUMS does not list $(basename "$deb_file")"
deb_files=(usr/bin/tidalhalo usr/lib/tidalhalo/Kv_Tidalhalo.so usr/lib/frei0r-1/tidalhalo.so
           "usr/OFX/Plugins/$ofx_bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx"
           usr/share/kdenlive/effects/frei0r_tidalhalo.xml "${shotcut_panel[@]/#shotcut/usr/share/shotcut/qml/filters}"
           usr/share/doc/tidalhalo/copyright usr/share/doc/tidalhalo/changelog.Debian.gz
           usr/share/man/man1/tidalhalo.1.gz usr/share/bash-completion/completions/tidalhalo)
if git ls-files --error-unmatch frei0r/pitivi/frei0r-filter-tidalhalo.ui >/dev/null 2>&1; then
  deb_files+=(usr/share/pitivi/ui/customwidgets/frei0r-filter-tidalhalo.ui)
fi
expected_deb=$(printf '%s\n' "${deb_files[@]}" | LC_ALL=C sort)
actual_deb=$(dpkg-deb -c "$deb_file" | awk '$1 !~ /^d/ { print substr($6, 3) }' | LC_ALL=C sort)
[ "$actual_deb" = "$expected_deb" ] || fail "$deb_file holds $(echo $actual_deb); expected $(echo $expected_deb)"

# Unpacked where a user might put them, in a folder with a blank in its name.
unpacked="$check/un packed"
mkdir -p "$unpacked"
unzip -q "$zip_file" -d "$unpacked"
tar -xzf "$tar_file" -C "$unpacked"
win="$unpacked/Kv_Tidalhalo-$version-win64"
linux="$unpacked/tidalhalo-$version-linux-x86_64"
for text in "$win/README.txt" "$linux/README.txt"; do
  grep -q "Kv_Tidalhalo $version" "$text" || fail "$text does not name version $version"
  ! grep -q "@[A-Z0-9]*@" "$text" || fail "$text keeps a placeholder: $(grep -o '@[A-Z0-9]*@' "$text" | head -1)"
done
grep -q $'\r$' "$win/LICENSE" || fail "$win/LICENSE has no Windows line ends"

# Every Debian package the unpacked files load a library from is one README.txt lists.
owner() {
  local file found
  for file in "$1" "$(readlink -f "$1")" "/usr$1" "${1#/usr}"; do
    found=$(dpkg-query -S "$file" 2>/dev/null | head -1 | cut -d: -f1 || true)
    if [ -n "$found" ]; then
      echo "$found"
      return
    fi
  done
  echo "(no package)"
}
for binary in "$linux"/tidalhalo "$linux"/*.so "$linux/$ofx_bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx"; do
  for library in $(ldd "$binary" | awk '$2 == "=>" { print $3 }'); do
    package=$(owner "$library")
    grep -qw -- "$package" "$linux/README.txt" ||
      fail "$(basename "$binary") loads $library from package $package, which README.txt does not list"
  done
done

echo "release-check: the unpacked tool renders the test card"
# From another folder, so that nothing is found through the working folder.
(cd "$check" && env -u LD_LIBRARY_PATH "$linux/tidalhalo" info) >"$check/info.txt" ||
  fail "the unpacked tool cannot read its module: $(cat "$check/info.txt")"
grep -q "^Module: *$linux/Kv_Tidalhalo.so$" "$check/info.txt" ||
  fail "the unpacked tool did not load the module beside it: $(head -1 "$check/info.txt")"
(cd "$check" && "$linux/tidalhalo" render --blend normal -o card.png)
[ "$(head -c 8 "$check/card.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] ||
  fail "the unpacked tool wrote no PNG"
# The same picture as the tool of this tree draws, when the tree is the commit.
tool="$root/build/native/cli/tidalhalo"
if [ -x "$tool" ] && [ -z "$(git status --porcelain --untracked-files=no)" ]; then
  "$tool" render --blend normal --module "$root/build/native/Kv_Tidalhalo.so" -o "$check/card-tree.png"
  cmp "$check/card.png" "$check/card-tree.png" || fail "the unpacked tool's test card differs from the build tree's"
fi

echo "release-check: the unpacked .aex under Wine against the unpacked native module"
dump_windows="$root/build/windows/tests/windows/frame_dump.exe"
dump_native="$root/build/native/tests/windows/frame_dump"
[ -f "$dump_windows" ] && [ -x "$dump_native" ] ||
  fail "frame_dump is not built in both presets (run scripts/windows.sh first)"
export WINEPREFIX="$root/build/windows/wineprefix"
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
# The Wine server our run starts lingers a minute; end it with the script.
trap '[ -n "$wineserver" ] && "$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$dump_native" "$linux/Kv_Tidalhalo.so" "$check/frames-native.bin"
"$root/cmake/wine-run.sh" "$dump_windows" "$win/Kv_Tidalhalo.aex" "$check/frames-windows.bin" "$check/frames-native.bin"

echo "release-check: the unpacked Win64 OpenFX bundle under Wine against the unpacked Linux one"
ofx_dump_windows="$root/build/windows/tests/openfx/ofx_frame_dump.exe"
ofx_dump_native="$root/build/native/tests/openfx/ofx_frame_dump"
[ -f "$ofx_dump_windows" ] && [ -x "$ofx_dump_native" ] ||
  fail "ofx_frame_dump is not built in both presets (run scripts/windows.sh first)"
"$ofx_dump_native" "$linux/$ofx_bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx" "$check/ofx-frames-native.bin"
"$root/cmake/wine-run.sh" "$ofx_dump_windows" "$win/$ofx_bundle/Contents/Win64/Kv_Tidalhalo.ofx" \
  "$check/ofx-frames-windows.bin" "$check/ofx-frames-native.bin"

echo "release-check: the unpacked Windows frei0r filter under Wine against the unpacked Linux one"
frei0r_dump_windows="$root/build/windows/tests/frei0r/frei0r_frame_dump.exe"
frei0r_dump_native="$root/build/native/tests/frei0r/frei0r_frame_dump"
[ -f "$frei0r_dump_windows" ] && [ -x "$frei0r_dump_native" ] ||
  fail "frei0r_frame_dump is not built in both presets (run scripts/windows.sh first)"
"$frei0r_dump_native" "$linux/tidalhalo.so" "$check/frei0r-frames-native.bin"
"$root/cmake/wine-run.sh" "$frei0r_dump_windows" "$win/tidalhalo.dll" "$check/frei0r-frames-windows.bin" \
  "$check/frei0r-frames-native.bin"

echo "release-check: the Windows setup under Wine, installing the unpacked zip's files"
bash "$root/tests/release/setup_test.sh" "$setup_file" "$win" "$linux/tidalhalo.so" "$frei0r_dump_native" \
  "$frei0r_dump_windows" "$check/setup"

echo "release-check: the same commit built again in another folder"
bash scripts/release.sh --out "$check/second/dist" --work "$check/second/a deeper/build folder"
for file in "$(basename "$zip_file")" "$(basename "$setup_file")" "$(basename "$tar_file")" "$(basename "$deb_file")" \
    SHA256SUMS; do
  if ! cmp -s "$root/dist/$file" "$check/second/dist/$file"; then
    # Name the files inside that differ.
    mkdir -p "$check/second/unpacked"
    unzip -q -o "$check/second/dist/$(basename "$zip_file")" -d "$check/second/unpacked"
    tar -xzf "$check/second/dist/$(basename "$tar_file")" -C "$check/second/unpacked"
    diff -rq "$unpacked" "$check/second/unpacked" >&2 || true
    diff <(dpkg-deb -I "$deb_file"; dpkg-deb -c "$deb_file") \
      <(dpkg-deb -I "$check/second/dist/$(basename "$deb_file")"; dpkg-deb -c "$check/second/dist/$(basename "$deb_file")") >&2 || true
    fail "$file differs between two builds of the same commit"
  fi
done
echo "release-check: both builds gave the same bytes: $(cut -c1-16 "$root/dist/SHA256SUMS" | tr '\n' ' ')"

echo "release-check: install.sh of the unpacked tarball"
bash tests/release/install_script_test.sh "$linux"
echo "release-check: the Debian package"
bash tests/release/package_test.sh "$deb_file" "$linux" "$ofx_dump_native" "$check/ofx-frames-native.bin"
echo "release-check: passed"
