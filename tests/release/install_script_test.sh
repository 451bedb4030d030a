#!/usr/bin/env bash
# install.sh of the unpacked Linux tarball, run as a user would, in a home of
# its own (with a blank in its name) that already holds other programs'
# files, with a stand-in `flatpak` on the PATH that lists both editors and
# records its arguments, a stand-in `snap` that lists Shotcut, and a stand-in
# Shotcut portable folder. Each file must land where it belongs, and nowhere
# else; the overrides are printed, and run with --yes with exactly the
# arguments below; --uninstall takes back its own files and leaves the others'
# and a file changed since; bad folders change nothing.
# Usage: install_script_test.sh UNPACKED_LINUX_FOLDER
set -euo pipefail
unpacked=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() {
  echo "install test: $*" >&2
  exit 1
}

home="$work/a home"
shotcut="$work/Shotcut.app"
ofx="$work/ofx plugins"
mkdir -p "$home/.frei0r-1/lib" "$home/.local/share/kdenlive/effects" "$home/.local/bin" \
  "$home/.local/share/Meltytech/Shotcut/extensions/filters/other" "$shotcut/bin" "$shotcut/lib/frei0r-1" \
  "$shotcut/share/shotcut/qml/filters/blur" stand-ins
for file in "$home/.frei0r-1/lib/other.so" "$home/.local/share/kdenlive/effects/other.xml" "$home/.local/bin/other" \
  "$home/.local/share/Meltytech/Shotcut/extensions/filters/other/meta.qml" "$shotcut/bin/shotcut" \
  "$shotcut/lib/frei0r-1/blur.so" "$shotcut/share/shotcut/qml/filters/blur/meta.qml"; do
  echo "someone else's $file" >"$file"
done
cat >stand-ins/flatpak <<EOF
#!/bin/sh
printf '[%s] ' "\$@" >>"$work/flatpak.log"
echo >>"$work/flatpak.log"
[ "\$1" = list ] && printf 'org.kde.kdenlive\norg.shotcut.Shotcut\norg.other.App\n'
exit 0
EOF
printf '#!/bin/sh\n[ "$1 $2" = "list shotcut" ]\n' >stand-ins/snap
chmod +x stand-ins/*
: >flatpak.log

run() {  # install.sh's arguments; its output goes to out.txt, errors to err.txt
  env -u XDG_DATA_HOME HOME="$home" PATH="$work/stand-ins:/usr/bin:/bin" bash "$unpacked/install.sh" "$@" \
    >out.txt 2>err.txt
}
state() {  # every entry of the home and the two folders, files with their sums
  { find "$home" "$shotcut" "$ofx" -mindepth 1 2>/dev/null || true; } | LC_ALL=C sort | while IFS= read -r path; do
    if [ -f "$path" ] && [ ! -L "$path" ]; then echo "$(sha256sum <"$path" | cut -c1-16) $path"; else echo "- $path"; fi
  done
}
before=$(state)
changes() { diff <(echo "$before") <(state) || true; }

panel=(meta.qml ui.qml vui.qml)
expected=(
  "tidalhalo.so|$home/.frei0r-1/lib/tidalhalo.so"
  "frei0r_tidalhalo.xml|$home/.local/share/kdenlive/effects/frei0r_tidalhalo.xml"
  "tidalhalo|$home/.local/lib/tidalhalo/tidalhalo"
  "Kv_Tidalhalo.so|$home/.local/lib/tidalhalo/Kv_Tidalhalo.so"
  "frei0r_tidalhalo.xml|$home/.var/app/org.kde.kdenlive/data/kdenlive/effects/frei0r_tidalhalo.xml"
  "tidalhalo.so|$shotcut/lib/frei0r-1/tidalhalo.so"
  "Kv_Tidalhalo.ofx.bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx|$ofx/Kv_Tidalhalo.ofx.bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx")
for file in "${panel[@]}"; do
  expected+=("shotcut/tidalhalo/$file|$home/.local/share/Meltytech/Shotcut/extensions/filters/tidalhalo/$file"
             "shotcut/tidalhalo/$file|$home/.var/app/org.shotcut.Shotcut/data/Meltytech/Shotcut/extensions/filters/tidalhalo/$file"
             "shotcut/tidalhalo/$file|$shotcut/share/shotcut/qml/filters/tidalhalo/$file")
done
record="$home/.local/share/tidalhalo/installed"

echo "install test: a folder that is not Shotcut's, an AppImage and a read-only folder change nothing"
mkdir not-shotcut
printf '\177ELF and the rest of an AppImage' >Shotcut-26.06.AppImage
for bad in not-shotcut Shotcut-26.06.AppImage; do
  ! run --shotcut "$work/$bad" || fail "--shotcut $bad succeeded"
  [ "$(state)" = "$before" ] || fail "--shotcut $bad changed files: $(changes)"
done
run --shotcut "$work/not-shotcut" || grep -q "is not a Shotcut installation" err.txt || fail "no clear message: $(cat err.txt)"
run --shotcut "$work/Shotcut-26.06.AppImage" || grep -q "is an AppImage: AppImages are read-only" err.txt ||
  fail "no clear message for an AppImage: $(cat err.txt)"
if [ "$(id -u)" -eq 0 ]; then
  # root writes through permissions: a read-only mount of the folder instead.
  if unshare -m true 2>/dev/null; then
    ! unshare -m --propagation private bash -c 'mount --bind -o ro "$1/lib" "$1/lib" && shift && "$@"' - "$shotcut" \
      env -u XDG_DATA_HOME HOME="$home" PATH="$work/stand-ins:/usr/bin:/bin" bash "$unpacked/install.sh" \
      --shotcut "$shotcut" >out.txt 2>err.txt || fail "installing into a read-only folder succeeded"
    grep -q "cannot write to $shotcut/lib/frei0r-1" err.txt || fail "no clear message for a read-only folder: $(cat err.txt)"
  fi
else
  chmod a-w "$shotcut/lib/frei0r-1"
  ! run --shotcut "$shotcut" || fail "installing into a read-only folder succeeded"
  chmod u+w "$shotcut/lib/frei0r-1"
fi
[ "$(state)" = "$before" ] || fail "a failed install changed files: $(changes)"

echo "install test: every file where it belongs, the overrides printed"
run --shotcut "$shotcut" --ofx "$ofx" || fail "install.sh failed: $(cat err.txt)"
for pair in "${expected[@]}"; do
  cmp -s "$unpacked/${pair%%|*}" "${pair#*|}" || fail "${pair#*|} is not the tarball's ${pair%%|*}"
  grep -qxF "install.sh: installed ${pair#*|}" out.txt || fail "install.sh did not say it installed ${pair#*|}"
done
[ "$(readlink "$home/.local/bin/tidalhalo")" = "$home/.local/lib/tidalhalo/tidalhalo" ] ||
  fail "$home/.local/bin/tidalhalo is not a link to the installed tool"
lines=$(grep -c '^install.sh: installed ' out.txt)
((lines == ${#expected[@]} + 1)) || fail "install.sh said it installed $lines files, not ${#expected[@]} and the link"
grep -q "the shotcut Snap cannot load the filter" out.txt || fail "no word about the Shotcut Snap"
grep -q -- '--env=' flatpak.log && fail "an override ran without --yes"
grep -qxF "  flatpak override --user --env=FREI0R_PATH=/app/lib/frei0r-1:$home/.frei0r-1/lib org.kde.kdenlive" out.txt ||
  fail "the Kdenlive override is not printed: $(cat out.txt)"
# Nothing but these files, their folders, the link and the record is new.
new_files=$(changes | sed -n 's/^> [0-9a-f]\{16\} //p' | LC_ALL=C sort)
[ "$new_files" = "$( (printf '%s\n' "${expected[@]}" | sed 's/^[^|]*|//'; echo "$record") | LC_ALL=C sort)" ] ||
  fail "new files differ from those listed: $new_files"
changes | grep -q '^<' && fail "install.sh changed others' files"
# The tool from its link finds the module installed beside it.
(cd "$work" && env -u LD_LIBRARY_PATH "$home/.local/bin/tidalhalo" info >info.txt) || fail "the installed tool failed"
grep -qx "Module: *$home/.local/lib/tidalhalo/Kv_Tidalhalo.so" info.txt || fail "the installed tool loaded $(head -1 info.txt)"

echo "install test: again with --yes, the overrides' arguments exact"
: >flatpak.log
run --shotcut "$shotcut" --ofx "$ofx" --yes || fail "install.sh --yes failed: $(cat err.txt)"
grep -q replacing out.txt && fail "a second run took its own files for others': $(grep replacing out.txt)"
for app in org.kde.kdenlive org.shotcut.Shotcut; do
  grep -qxF "[override] [--user] [--env=FREI0R_PATH=/app/lib/frei0r-1:$home/.frei0r-1/lib] [$app] " flatpak.log ||
    fail "no override of $app with the exact arguments: $(cat flatpak.log)"
done
grep -q org.other.App flatpak.log && fail "another Flatpak app was overridden"
[ "$(grep -c "^file" "$record")" -eq "${#expected[@]}" ] || fail "the record lists $(grep -c "^file" "$record") files"

echo "install test: --uninstall takes back its own files, leaves the others' and a changed one"
changed="$shotcut/share/shotcut/qml/filters/tidalhalo/ui.qml"
echo "// changed by the user" >>"$changed"
: >flatpak.log
run --uninstall || fail "install.sh --uninstall failed: $(cat err.txt)"
grep -qxF "install.sh: left $changed: changed since it was installed" out.txt || fail "no word of the changed file"
for app in org.kde.kdenlive org.shotcut.Shotcut; do
  grep -qxF "[override] [--user] [--unset-env=FREI0R_PATH] [$app] " flatpak.log || fail "the override of $app was not taken back"
done
expected_after=$( (echo "$before"; echo "- $shotcut/share/shotcut/qml/filters/tidalhalo"
                   echo "$(sha256sum <"$changed" | cut -c1-16) $changed") | LC_ALL=C sort)
[ "$(state | LC_ALL=C sort)" = "$expected_after" ] ||
  fail "after --uninstall the folders differ from before by more than the changed file: $(diff <(echo "$expected_after") <(state | LC_ALL=C sort))"
echo "install test: passed"
