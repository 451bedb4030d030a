#!/usr/bin/env bash
# Builds the Debian package tidalhalo_<version>_amd64.deb from a built tree:
# the tool in /usr/bin with its module in /usr/lib/tidalhalo, the frei0r
# filter in /usr/lib/frei0r-1 with Kdenlive's description and Shotcut's panel
# (and Pitivi's, when the tree has one) where the editors read their own, the
# OpenFX bundle in /usr/OFX/Plugins, the copyright file, a changelog, the
# manual page and bash completion. Binaries are stripped; Depends comes from
# dpkg-shlibdeps. The same inputs give the same bytes: every file carries
# EPOCH as its time and belongs to root, and dpkg-deb sorts the entries.
#
#   bash scripts/package-deb.sh SRC BUILD VERSION EPOCH MAINTAINER OUT.deb
#
# SRC is the source tree, BUILD its native build folder, VERSION the
# package's version, EPOCH the time every file carries (seconds since 1970),
# MAINTAINER the Maintainer field ("Name <address>").
set -euo pipefail
(($# == 6)) || { echo "package-deb: error: usage: package-deb.sh SRC BUILD VERSION EPOCH MAINTAINER OUT.deb" >&2; exit 2; }
src=$1 build=$2 version=$3 epoch=$4 maintainer=$5 out=$6
for tool in dpkg-deb dpkg-shlibdeps strip python3; do
  command -v "$tool" >/dev/null || { echo "package-deb: error: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tidalhalo-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The package's tree where dpkg-shlibdeps looks for it, in a source package's folder.
root="$work/pkg/debian/tidalhalo"
doc="$root/usr/share/doc/tidalhalo"
bundle=usr/OFX/Plugins/Kv_Tidalhalo.ofx.bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx

install -D -m 0755 "$build/cli/tidalhalo" "$root/usr/bin/tidalhalo"
install -D -m 0644 "$build/Kv_Tidalhalo.so" "$root/usr/lib/tidalhalo/Kv_Tidalhalo.so"
install -D -m 0644 "$build/frei0r/tidalhalo.so" "$root/usr/lib/frei0r-1/tidalhalo.so"
install -D -m 0644 "$build/${bundle#usr/OFX/Plugins/}" "$root/$bundle"
install -D -m 0644 -t "$root/usr/share/kdenlive/effects" "$src/frei0r/kdenlive/frei0r_tidalhalo.xml"
install -D -m 0644 -t "$root/usr/share/shotcut/qml/filters/tidalhalo" "$src"/frei0r/shotcut/tidalhalo/*.qml
pitivi_panel="$src/frei0r/pitivi/frei0r-filter-tidalhalo.ui"
if [ -f "$pitivi_panel" ]; then
  install -D -m 0644 -t "$root/usr/share/pitivi/ui/customwidgets" "$pitivi_panel"
fi
strip --remove-section=.comment --remove-section=.note "$root/usr/bin/tidalhalo"
strip --remove-section=.comment --remove-section=.note --strip-unneeded \
  "$root/usr/lib/tidalhalo/Kv_Tidalhalo.so" "$root/usr/lib/frei0r-1/tidalhalo.so" "$root/$bundle"

sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$(date -u -d "@$epoch" +%Y-%m-%d)/" "$src/packaging/linux/tidalhalo.1" |
  gzip -9 -n >"$work/tidalhalo.1.gz"
install -D -m 0644 "$work/tidalhalo.1.gz" "$root/usr/share/man/man1/tidalhalo.1.gz"
install -D -m 0644 "$src/packaging/linux/tidalhalo.bash-completion" \
  "$root/usr/share/bash-completion/completions/tidalhalo"
mkdir -p "$doc"
python3 "$src/packaging/linux/copyright.py" "$src/LICENSE" "$src/THIRD-PARTY.md" >"$doc/copyright"
printf '%s\n' "tidalhalo ($version) unstable; urgency=medium" "" \
  "  * Kv_Tidalhalo $version: the effect as a frei0r filter, with Kdenlive's" \
  "    description and Shotcut's panel, as an OpenFX plug-in, and the" \
  "    command-line tool tidalhalo." "" \
  " -- $maintainer  $(LC_ALL=C date -u -R -d "@$epoch")" | gzip -9 -n >"$doc/changelog.Debian.gz"
chmod 0644 "$doc"/*

# Depends from the libraries the binaries link; dpkg-shlibdeps knows the
# package's tree by its DEBIAN folder.
mkdir -p "$root/DEBIAN"
printf '%s\n' "Source: tidalhalo" "" "Package: tidalhalo" "Architecture: amd64" >"$work/pkg/debian/control"
depends=$(cd "$work/pkg" && dpkg-shlibdeps -O --warnings=1 debian/tidalhalo/{usr/bin/tidalhalo,usr/lib/tidalhalo/Kv_Tidalhalo.so,usr/lib/frei0r-1/tidalhalo.so,"$bundle"})
depends=${depends#shlibs:Depends=}
[ -n "$depends" ] || { echo "package-deb: error: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

# Installed-Size as dpkg-gencontrol counts it: each file's KiB rounded up,
# one for every folder and link.
installed_size=$(find "$root" -mindepth 1 -path "$root/DEBIAN" -prune -o -printf '%y %s\n' |
                   awk '{ n += ($1 == "f") ? int(($2 + 1023) / 1024) : 1 } END { print n }')
cat >"$root/DEBIAN/control" <<CONTROL
Package: tidalhalo
Version: $version
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $installed_size
Depends: $depends
Section: video
Priority: optional
Description: soft coloured ring video effect for editors, ffmpeg and GStreamer
 Kv_Tidalhalo draws a soft coloured ring around a point of a picture and
 blends it with the picture's pixels in one of five blend modes; the ring
 can be moved, sized and coloured, and every value keyframed.
 .
 This package holds the effect as:
  - a frei0r filter, for ffmpeg, melt, Kdenlive, Shotcut and GStreamer,
    with Kdenlive's effect description and Shotcut's filter panel;
  - an OpenFX plug-in, for the editors and compositors that load OpenFX
    effects;
  - tidalhalo, a command-line renderer for PNG and OpenEXR pictures and
    frame sequences.
CONTROL
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs -d '\n' md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
find "$root" -type d -exec chmod 0755 {} +
find "$root" -exec touch -h -d "@$epoch" {} +

# One compressor thread, so that the bytes do not depend on the machine.
SOURCE_DATE_EPOCH=$epoch dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$root" "$out" >/dev/null
