#!/usr/bin/env bash
# Builds a release of the committed tree and writes it to dist/:
#   Kv_Tidalhalo-<version>-win64.zip         the .aex, the Win64 OpenFX bundle, the Windows
#                                            frei0r filter with its Kdenlive description and
#                                            Shotcut panel, README.txt, LICENSE, THIRD-PARTY.md
#   tidalhalo-<version>-linux-x86_64.tar.gz  the tool, the native module, the Linux OpenFX
#                                            bundle (and the frei0r filter with its Kdenlive
#                                            description and Shotcut panel when the tree builds
#                                            one), install.sh, the same texts
#   tidalhalo_<version>_amd64.deb            the Debian package (scripts/package-deb.sh)
#   Kv_Tidalhalo-<version>-setup.exe         the zip's files in a Windows setup that installs
#                                            them into every host and editor it finds, and
#                                            their uninstaller (scripts/package-setup.sh)
#   SHA256SUMS                               of all four
# <version> is the module's own version (params/identity.h) and the commit,
# e.g. 2.0-1a2b3c4. The build starts from a fresh export of HEAD, so nothing
# uncommitted and nothing built before gets in, and all it writes is
# reproducible: the same commit gives the same bytes in any folder.
#
#   bash scripts/release.sh [--out DIR] [--work DIR]
#
# --out writes the archives to DIR instead of dist/; --work builds in DIR
# (kept afterwards) instead of a temporary folder. TIDALHALO_JOBS sets the
# build's parallel jobs (2 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out="$root/dist"
work=""
while (($#)); do
  case "$1" in
    --out) out=$(realpath -m "$2"); shift 2 ;;
    --work) work=$(realpath -m "$2"); shift 2 ;;
    *) echo "release: unknown argument $1 (use --out DIR, --work DIR)" >&2; exit 2 ;;
  esac
done
jobs="${TIDALHALO_JOBS:-2}"

bash scripts/setup.sh --packages-only >&2

commit=$(git rev-parse --short=7 HEAD)
# Every file in the archives carries the commit's time.
epoch=$(git log -1 --format=%ct HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: the working tree has uncommitted changes; they are left out (building $commit)" >&2
fi

if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/tidalhalo-release.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
rm -rf "$work/src" "$work/stage"
mkdir -p "$work/src"
git archive --format=tar HEAD | tar -x -C "$work/src"
version="$(cmake -P "$work/src/cmake/version.cmake")-$commit"

echo "release: building $version in $work"
src="$work/src"
native="$src/build/native"
windows="$src/build/windows"
(
  cd "$src"
  cmake --preset native -DTIDALHALO_TESTS=OFF >/dev/null
  cmake --build --preset native -j "$jobs" --target Kv_Tidalhalo tidalhalo tidalhalo_ofx
  # The frei0r filter's folder, when the tree has one, builds whatever it holds.
  if [ -f "$native/frei0r/Makefile" ]; then
    make -C "$native/frei0r" -j "$jobs" --no-print-directory
  fi
  cmake --preset windows -DTIDALHALO_TESTS=OFF >/dev/null
  cmake --build --preset windows -j "$jobs" --target Kv_Tidalhalo tidalhalo_ofx tidalhalo_frei0r
) >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; echo "release: build failed (--work DIR keeps its log)" >&2; exit 1; }

frei0r=()
if [ -f "$native/frei0r/tidalhalo.so" ]; then
  frei0r=(frei0r/tidalhalo.so)
fi

# No archive without a notice for every library its files link.
ofx_bundle=Kv_Tidalhalo.ofx.bundle
python3 "$src/tests/release/check_notices.py" "$src/THIRD-PARTY.md" \
  --build "$native" Kv_Tidalhalo.so cli/tidalhalo "$ofx_bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx" "${frei0r[@]}" \
  --build "$windows" Kv_Tidalhalo.aex "$ofx_bundle/Contents/Win64/Kv_Tidalhalo.ofx" frei0r/tidalhalo.dll

# README.txt for this version; the frei0r paragraph only beside the filter.
readme() {
  local frei0r_text=/dev/null
  if ((${#frei0r[@]})); then frei0r_text="$src/docs/release/README-frei0r.txt"; fi
  awk -v version="$version" -v insert="$frei0r_text" '
    /^@FREI0R@$/ { while ((getline line < insert) > 0) print line; next }
    /^=+$/ { gsub(/./, "=", title); print title; next }
    { gsub(/@VERSION@/, version); print; title = $0 }' "$src/docs/release/README.txt"
}
# The Windows texts get CRLF line ends, and README.txt a UTF-8 mark, so that
# any Windows editor shows them as written.
crlf() { sed 's/$/\r/'; }

win_name="Kv_Tidalhalo-$version-win64"
linux_name="tidalhalo-$version-linux-x86_64"
stage="$work/stage"
mkdir -p "$stage/$win_name" "$stage/$linux_name"

install -m 0644 "$windows/Kv_Tidalhalo.aex" "$stage/$win_name/"
# The frei0r filter for Kdenlive, Shotcut and ffmpeg, with Kdenlive's
# description and Shotcut's panel.
install -m 0644 "$windows/frei0r/tidalhalo.dll" "$src/frei0r/kdenlive/frei0r_tidalhalo.xml" "$stage/$win_name/"
install -D -m 0644 -t "$stage/$win_name/shotcut/tidalhalo" "$src"/frei0r/shotcut/tidalhalo/*.qml
install -D -m 0644 "$windows/$ofx_bundle/Contents/Win64/Kv_Tidalhalo.ofx" \
  "$stage/$win_name/$ofx_bundle/Contents/Win64/Kv_Tidalhalo.ofx"
{ printf '\357\273\277'; readme | crlf; } >"$stage/$win_name/README.txt"
crlf <"$src/LICENSE" >"$stage/$win_name/LICENSE"
crlf <"$src/THIRD-PARTY.md" >"$stage/$win_name/THIRD-PARTY.md"

install -m 0755 "$native/cli/tidalhalo" "$native/Kv_Tidalhalo.so" "$stage/$linux_name/"
if ((${#frei0r[@]})); then
  install -m 0755 "$native/frei0r/tidalhalo.so" "$stage/$linux_name/"
  # Kdenlive's description of the filter, for ~/.local/share/kdenlive/effects/.
  install -m 0644 "$src/frei0r/kdenlive/frei0r_tidalhalo.xml" "$stage/$linux_name/"
  # Shotcut's panel, for its share/shotcut/qml/filters/.
  install -D -m 0644 -t "$stage/$linux_name/shotcut/tidalhalo" "$src"/frei0r/shotcut/tidalhalo/*.qml
fi
install -D -m 0755 "$native/$ofx_bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx" \
  "$stage/$linux_name/$ofx_bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx"
readme >"$stage/$linux_name/README.txt"
# The user install of the unpacked archive (packaging/linux/install.sh).
install -m 0755 "$src/packaging/linux/install.sh" "$stage/$linux_name/"
install -m 0644 "$src/LICENSE" "$src/THIRD-PARTY.md" "$stage/$linux_name/"

find "$stage/$win_name" -type f -exec chmod 0644 {} +
chmod 0644 "$stage/$linux_name"/{README.txt,LICENSE,THIRD-PARTY.md}
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -exec touch -h -d "@$epoch" {} +

mkdir -p "$out"
rm -f "$out"/Kv_Tidalhalo-*-win64.zip "$out"/Kv_Tidalhalo-*-setup.exe "$out"/tidalhalo-*-linux-x86_64.tar.gz \
  "$out"/tidalhalo_*_amd64.deb "$out/SHA256SUMS"
(
  cd "$stage"
  # zip stores local times: the same in every time zone only under one.
  find "$win_name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D "$out/$win_name.zip" -@
  tar --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner --format=gnu \
    -cf - "$linux_name" | gzip -9 -n >"$out/$linux_name.tar.gz"
)

# The Debian package of the same build, maintained by the commit's author.
deb_name="tidalhalo_${version}_amd64.deb"
bash "$src/scripts/package-deb.sh" "$src" "$native" "$version" "$epoch" "$(git log -1 --format='%an <%ae>' HEAD)" \
  "$out/$deb_name"

# The Windows setup, from the zip's files with their times.
setup_name="Kv_Tidalhalo-$version-setup.exe"
bash "$src/scripts/package-setup.sh" "$stage/$win_name" "$version" "$out/$setup_name"

(cd "$out" && sha256sum "$win_name.zip" "$setup_name" "$linux_name.tar.gz" "$deb_name" >SHA256SUMS)

echo "release: $out/$win_name.zip"
echo "release: $out/$setup_name"
echo "release: $out/$linux_name.tar.gz"
echo "release: $out/$deb_name"
echo "release: $out/SHA256SUMS"
