#!/usr/bin/env bash
# The Windows setup under Wine, each case in a new prefix (copies of one
# freshly made prefix): the host application's two versions, Kdenlive, Shotcut
# and other people's files planted as their installers leave them; "setup.exe
# /S" must put every file, byte for byte the zip's, where each program loads
# it and nowhere else; the Windows frei0r host then loads the filter from
# Shotcut's folder and must give the Linux filter's frames; a second run
# after an update of Shotcut puts it back; the silent uninstall must leave the
# prefix's files as they were before the setup. Then Kdenlive per user with
# broken entries, a file that cannot be written, a prefix with nothing
# installed, and a screenshot of the components page on Xvfb.
#
#   setup_test.sh SETUP.exe ZIP_FOLDER LINUX_FILTER.so FRAME_DUMP FRAME_DUMP.exe WORK_FOLDER
set -euo pipefail
if (($# != 6)); then
  echo "setup-test: usage: setup_test.sh SETUP.exe ZIP_FOLDER LINUX_FILTER.so FRAME_DUMP FRAME_DUMP.exe WORK_FOLDER" >&2
  exit 2
fi
setup=$(realpath "$1")
zip=$(realpath "$2")
linux_filter=$(realpath "$3")
dump_native=$(realpath "$4")
dump_windows=$(realpath "$5")
work=$(realpath -m "$6")

fail() {
  echo "setup-test: error: $*" >&2
  exit 1
}

. "$(dirname "$0")/../../cmake/wine-binaries.sh"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Only prefixes of its own: the caller's is neither used nor removed.
unset WINEPREFIX
rm -rf "$work"
mkdir -p "$work"
# Each prefix's server and the prefix itself go with the script.
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  rm -rf "$work/template"
}
trap cleanup EXIT

echo "setup-test: making a Wine prefix"
export WINEPREFIX="$work/template"
"$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
"$wineserver" -w
[ -f "$WINEPREFIX/system.reg" ] || fail "wineboot made no prefix"
user=$(id -un)

# A new prefix, and where its folders are seen from here.
new_prefix() {
  if [ "$WINEPREFIX" != "$work/template" ]; then
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  export WINEPREFIX="$work/$1"
  cp -a "$work/template" "$WINEPREFIX"
  c="$WINEPREFIX/drive_c"
  profile="$c/users/$user"
  appdata="$profile/AppData/Roaming"
  localappdata="$profile/AppData/Local"
  [ -d "$profile" ] || fail "the prefix has no profile folder $profile"
}
run() { "$wine" "$@" </dev/null; }
# A command line as Windows runs it, unquoted spaces and all, from a batch file.
run_line() {
  printf '@echo off\r\n%s\r\nexit /b %%errorlevel%%\r\n' "$1" >"$profile/Temp/line.bat"
  run cmd /c "C:\\users\\$user\\Temp\\line.bat"
}
reg_set() { run reg add "$1" /v "$2" /t REG_SZ /d "$3" /reg:64 /f >/dev/null; }
plant() {
  mkdir -p "$(dirname "$1")"
  echo "someone else's $(basename "$1")" >"$1"
}
# Every file and folder outside Windows' own, with the files' checksums.
snapshot() {
  (cd "$c" && find . -path ./windows -prune -o -path "./users/$user/Temp" -prune -o -print | LC_ALL=C sort |
    while IFS= read -r entry; do
      if [ -f "$entry" ]; then echo "$entry $(sha256sum <"$entry" | cut -c1-16)"; else echo "$entry/"; fi
    done)
}
files() { (cd "$c" && find . -path ./windows -prune -o -path "./users/$user/Temp" -prune -o -type f -print | LC_ALL=C sort); }
log_text() { iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'; }

# Runs the setup silently; with a second argument, into that folder (/D=
# must come last and unquoted, so through cmd).
install() {
  local status=0
  if (($# > 1)); then
    run_line "C:\\setup.exe /S /D=$2" || status=$?
  else
    run 'C:\setup.exe' /S || status=$?
  fi
  "$wineserver" -w
  [ "$status" = "$1" ] || fail "setup.exe /S ended with $status; expected $1"
}
# The uninstaller copied out of its folder and told where that is, as it
# does itself, so that Wine waits for it and gives its exit code.
uninstall() {
  local folder=$1
  cp "$c/${folder//\\//}/Uninstall.exe" "$profile/Temp/uninstall-copy.exe"
  run_line "C:\\users\\$user\\Temp\\uninstall-copy.exe /S _?=C:\\$folder" || fail "the silent uninstall failed"
  "$wineserver" -w
  rm -f "$profile/Temp/uninstall-copy.exe"
}
# The setup's uninstall entry, or nothing when there is none.
uninstall_entry() {
  local entry
  entry=$(run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kv_Tidalhalo' /reg:64 2>/dev/null) || return 0
  tr -d '\r' <<<"$entry"
}
# Each installed file against the zip's, and nothing else new but the setup's own files.
expect_installed() {
  local own=$1 before=$2 dest source
  shift 2
  local expected=("$own/README.txt" "$own/LICENSE" "$own/THIRD-PARTY.md" "$own/Uninstall.exe" "$own/installed.txt"
                  "$own/setup.log")
  while (($#)); do
    dest=$1 source=$2
    shift 2
    cmp -s "$c/$dest" "$zip/$source" || fail "$dest is not the zip's $source"
    expected+=("$dest")
  done
  for text in README.txt LICENSE THIRD-PARTY.md; do
    cmp -s "$c/$own/$text" "$zip/$text" || fail "$own/$text is not the zip's"
  done
  diff <(comm -13 "$before" <(files)) <(printf './%s\n' "${expected[@]}" | LC_ALL=C sort) >&2 ||
    fail "the files the setup added are not those expected (< added, > expected)"
}

echo "setup-test: the host application in two versions, Kdenlive, Shotcut and others' files"
new_prefix full
cp "$setup" "$c/setup.exe"
host='HKLM\SOFTWARE\Adobe\After Effects'
plugins_a="Program Files/Host/Host 2024/Support Files/Plug-ins"
plugins_b="Program Files/Host/Host 2025/Support Files/Plug-ins"
common="Program Files/Host/Common/Plug-ins/7.0/MediaCore"
reg_set "$host\\24.0" PluginInstallPath "C:\\${plugins_a//\//\\}\\"
reg_set "$host\\25.0" PluginInstallPath "C:\\${plugins_b//\//\\}"
for version in 24.0 25.0; do reg_set "$host\\$version" CommonPluginInstallPath "C:\\${common//\//\\}\\"; done
reg_set "$host\\Settings" Language en_US
plant "$c/$plugins_a/Effects/Other.aex"
mkdir -p "$c/$plugins_b" "$c/$common"
kdenlive="Program Files/kdenlive"
reg_set 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kdenlive' DisplayName "Kdenlive"
reg_set 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kdenlive' UninstallString '"C:\Program Files\kdenlive\Uninstall.exe"'
plant "$c/$kdenlive/Uninstall.exe"
plant "$c/$kdenlive/bin/kdenlive.exe"
plant "$c/$kdenlive/lib/frei0r-1/other.dll"
plant "$appdata/kdenlive/effects/frei0r_other.xml"
shotcut="Video Tools/Shotcut"
plant_shotcut() {
  plant "$c/$shotcut/shotcut.exe"
  plant "$c/$shotcut/uninstall.exe"
  plant "$c/$shotcut/lib/frei0r-1/other.dll"
  plant "$c/$shotcut/share/shotcut/qml/filters/other/meta.qml"
}
plant_shotcut
reg_set 'HKLM\SOFTWARE\Shotcut' Install_Dir 'C:\Video Tools\Shotcut'
reg_set 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Shotcut' DisplayName "Shotcut"
reg_set 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Shotcut' UninstallString '"C:\Video Tools\Shotcut\uninstall.exe"'
plant "$localappdata/Meltytech/Shotcut/extensions/filters/other/meta.qml"
plant "$profile/.frei0r-1/lib/other.dll"
"$wineserver" -w
snapshot >"$work/full-before.txt"
files >"$work/full-before-files.txt"

install 0
users="users/$user"
shotcut_panel=(meta.qml ui.qml vui.qml)
placed=("$plugins_a/Kv_Tidalhalo/Kv_Tidalhalo.aex" Kv_Tidalhalo.aex
        "$plugins_b/Kv_Tidalhalo/Kv_Tidalhalo.aex" Kv_Tidalhalo.aex
        "Program Files/Common Files/OFX/Plugins/Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx"
        Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx
        "$kdenlive/lib/frei0r-1/tidalhalo.dll" tidalhalo.dll
        "$users/AppData/Roaming/kdenlive/effects/frei0r_tidalhalo.xml" frei0r_tidalhalo.xml
        "$shotcut/lib/frei0r-1/tidalhalo.dll" tidalhalo.dll
        "$users/.frei0r-1/lib/tidalhalo.dll" tidalhalo.dll)
for file in "${shotcut_panel[@]}"; do
  placed+=("$shotcut/share/shotcut/qml/filters/tidalhalo/$file" "shotcut/tidalhalo/$file"
           "$users/AppData/Local/Meltytech/Shotcut/extensions/filters/tidalhalo/$file" "shotcut/tidalhalo/$file")
done
expect_installed "Program Files/Kv_Tidalhalo" "$work/full-before-files.txt" "${placed[@]}"
log_text "$c/Program Files/Kv_Tidalhalo/setup.log" >"$work/full-setup.log"
entry=$(uninstall_entry)
version=$(basename "$setup" -setup.exe)
version=${version#Kv_Tidalhalo-}
for value in "DisplayName    REG_SZ    Kv_Tidalhalo" "DisplayVersion    REG_SZ    $version$" "Publisher    REG_SZ    ." \
    'InstallLocation    REG_SZ    C:\\Program Files\\Kv_Tidalhalo$' \
    'UninstallString    REG_SZ    "C:\\Program Files\\Kv_Tidalhalo\\Uninstall.exe"$' \
    'QuietUninstallString    REG_SZ    "C:\\Program Files\\Kv_Tidalhalo\\Uninstall.exe" /S$' \
    "EstimatedSize    REG_DWORD    0x" "NoModify    REG_DWORD    0x1$" "NoRepair    REG_DWORD    0x1$"; do
  grep -q "^ *$value" <<<"$entry" || fail "the uninstall entry has no value like '$value': $entry"
done

echo "setup-test: the Windows frei0r host loads the filter from Shotcut's folder"
"$dump_native" "$linux_filter" "$work/frames-native.bin"
"$wine" "$dump_windows" "$c/$shotcut/lib/frei0r-1/tidalhalo.dll" "$work/frames-windows.bin" "$work/frames-native.bin" \
  </dev/null || fail "the filter in Shotcut's folder does not give the Linux filter's frames"

echo "setup-test: Shotcut updated (its folder made anew), then the setup again"
rm -rf "${c:?}/$shotcut"
plant_shotcut
install 0
expect_installed "Program Files/Kv_Tidalhalo" "$work/full-before-files.txt" "${placed[@]}"
record=$(log_text "$c/Program Files/Kv_Tidalhalo/installed.txt")
[ -z "$(sort <<<"$record" | uniq -d)" ] || fail "the record lists a line twice: $(sort <<<"$record" | uniq -d)"
[ "$(run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /reg:64 /s |
     grep -c 'DisplayName.*Kv_Tidalhalo')" = 1 ] || fail "not one uninstall entry after the second run"

echo "setup-test: the uninstaller as Windows runs it, from its entry's QuietUninstallString"
# Another OpenFX plug-in installed since, into the folders the setup created.
other_ofx="Program Files/Common Files/OFX/Plugins/Other.ofx.bundle/Contents/Win64/Other.ofx"
plant "$c/$other_ofx"
quiet=$(sed -n 's/^ *QuietUninstallString *REG_SZ *//p' <<<"$(uninstall_entry)")
run_line "$quiet" || fail "$quiet failed"
"$wineserver" -w
[ -f "$c/$other_ofx" ] || fail "the uninstall removed another OpenFX plug-in"
rm -r "$c/Program Files/Common Files/OFX"
diff "$work/full-before.txt" <(snapshot) >&2 || fail "the uninstall did not give back the prefix as it was (< before, > after)"
[ -z "$(uninstall_entry)" ] || fail "the uninstall entry is still there"

echo "setup-test: Kdenlive per user, broken entries and a folder of the user's choice"
new_prefix per-user
cp "$setup" "$c/setup.exe"
kdenlive="$users/AppData/Local/Programs/kdenlive"
reg_set 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kdenlive' DisplayName "Kdenlive 25.04.3"
reg_set 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kdenlive' UninstallString \
  "C:\\${kdenlive//\//\\}\\uninstall.exe /S"
plant "$c/$kdenlive/uninstall.exe"
plant "$c/$kdenlive/bin/kdenlive.exe"
# An older Kdenlive's entry left behind without its program.
reg_set 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kdenlive' DisplayName "Kdenlive"
reg_set 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kdenlive' UninstallString '"C:\Program Files\kdenlive\Uninstall.exe"'
plant "$c/Program Files/kdenlive/Uninstall.exe"
reg_set "$host\\23.0" PluginInstallPath 'C:\Program Files\Host\Gone\Plug-ins\'
reg_set "$host\\22.0" PluginInstallPath 'C:\Program Files\Host\Plug-ins.txt'
plant "$c/Program Files/Host/Plug-ins.txt"
reg_set 'HKLM\SOFTWARE\Shotcut' Install_Dir 'C:\Program Files\Shotcut'
plant "$c/Program Files/Shotcut/readme.txt"
"$wineserver" -w
snapshot >"$work/per-user-before.txt"
files >"$work/per-user-before-files.txt"
install 0 'C:\Tools\Kv Tidalhalo'
expect_installed "Tools/Kv Tidalhalo" "$work/per-user-before-files.txt" \
  "Program Files/Common Files/OFX/Plugins/Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx" \
  Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx \
  "$kdenlive/lib/frei0r-1/tidalhalo.dll" tidalhalo.dll \
  "$users/AppData/Roaming/kdenlive/effects/frei0r_tidalhalo.xml" frei0r_tidalhalo.xml \
  "$users/.frei0r-1/lib/tidalhalo.dll" tidalhalo.dll
log=$(log_text "$c/Tools/Kv Tidalhalo/setup.log")
echo "$log" >"$work/per-user-setup.log"
for line in 'The host application 23.0: its Plug-ins folder C:\\Program Files\\Host\\Gone\\Plug-ins does not exist' \
    'The host application 22.0: its Plug-ins folder C:\\Program Files\\Host\\Plug-ins.txt does not exist' \
    'Kdenlive: the uninstall entry HKLM\\Kdenlive names the folder C:\\Program Files\\kdenlive, which holds no bin\\kdenlive.exe' \
    'Shotcut: HKLM\\SOFTWARE\\Shotcut names the folder C:\\Program Files\\Shotcut, which holds no shotcut.exe'; do
  grep -q "^$line" <<<"$log" || fail "setup.log does not say '$line': $log"
done
uninstall 'Tools\Kv Tidalhalo'
diff "$work/per-user-before.txt" <(snapshot) >&2 || fail "the uninstall did not give back the prefix as it was (< before, > after)"
[ -z "$(uninstall_entry)" ] || fail "the uninstall entry is still there"

echo "setup-test: a file in use"
# A program that holds a file open without sharing, as a running host holds
# the module, until told to let go.
cat >"$work/hold.c" <<'C'
#include <windows.h>
int main(int argc, char **argv) {
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (argc != 4 || file == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    for (int i = 0; i < 600 && GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    CloseHandle(file);
    return 0;
}
C
x86_64-w64-mingw32-gcc -O2 -o "$work/hold.exe" "$work/hold.c"
new_prefix in-use
cp "$setup" "$c/setup.exe"
held="$profile/.frei0r-1/lib/tidalhalo.dll"
plant "$held"
held_before=$(sha256sum <"$held")
"$wine" "$work/hold.exe" "$held" "$work/holding" "$work/let-go" </dev/null &
holder=$!
for _ in $(seq 300); do [ -e "$work/holding" ] && break; sleep 0.1; done
[ -e "$work/holding" ] || fail "the program holding the file did not start"
status=0
run 'C:\setup.exe' /S || status=$?
touch "$work/let-go"
wait "$holder" || fail "the program holding the file failed"
"$wineserver" -w
[ "$status" != 0 ] || fail "setup.exe /S ended with 0 though a file it replaces was in use"
log_text "$c/Program Files/Kv_Tidalhalo/setup.log" >"$work/in-use-setup.log"
echo "setup-test: with a file in use, setup.exe /S ended with $status"
[ "$(sha256sum <"$held")" = "$held_before" ] || fail "the file in use changed"
grep -q '^Could not write C:\\users\\'"$user"'\\.frei0r-1\\lib\\tidalhalo.dll' <<<"$(log_text "$c/Program Files/Kv_Tidalhalo/setup.log")" ||
  fail "setup.log does not name the file in use: $(log_text "$c/Program Files/Kv_Tidalhalo/setup.log")"
cmp -s "$c/Program Files/Common Files/OFX/Plugins/Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx" \
  "$zip/Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx" || fail "the rest was not installed beside the file in use"
# Once the program has let go, running the setup again finishes the job.
install 0
cmp -s "$held" "$zip/tidalhalo.dll" || fail "the second run did not replace the file no longer in use"

echo "setup-test: a prefix with nothing installed"
new_prefix empty
cp "$setup" "$c/setup.exe"
snapshot >"$work/empty-before.txt"
files >"$work/empty-before-files.txt"
install 0
expect_installed "Program Files/Kv_Tidalhalo" "$work/empty-before-files.txt" \
  "Program Files/Common Files/OFX/Plugins/Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx" \
  Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx \
  "$users/.frei0r-1/lib/tidalhalo.dll" tidalhalo.dll
uninstall 'Program Files\Kv_Tidalhalo'
diff "$work/empty-before.txt" <(snapshot) >&2 || fail "the uninstall did not give back the prefix as it was (< before, > after)"
[ -z "$(uninstall_entry)" ] || fail "the uninstall entry is still there"

echo "setup-test: the components page on a virtual display"
new_prefix screen
cp "$setup" "$c/setup.exe"
reg_set "$host\\24.0" PluginInstallPath "C:\\${plugins_a//\//\\}\\"
reg_set "$host\\25.0" PluginInstallPath "C:\\${plugins_b//\//\\}"
mkdir -p "$c/$plugins_a" "$c/$plugins_b"
plant "$c/Program Files/Shotcut/shotcut.exe"
reg_set 'HKLM\SOFTWARE\Shotcut' Install_Dir 'C:\Program Files\Shotcut'
"$wineserver" -w
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display.txt" >/dev/null 2>&1 &
xvfb=$!
trap 'cleanup; kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$work/display.txt" ] && break; sleep 0.2; done
export DISPLAY=":$(cat "$work/display.txt")"
"$wine" 'C:\setup.exe' </dev/null >/dev/null 2>&1 &
window=""
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name "Kv_Tidalhalo .* Setup" 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "the setup showed no window"
# Welcome, licence, the programs' folders: Enter takes each page's default button.
for page in welcome licence programs; do
  sleep 1.5
  xdotool key --window "$window" Return 2>/dev/null || xdotool key Return
done
sleep 1.5
# The Shotcut line chosen, so that its description shows where the parts go.
xdotool key Down Down Down
sleep 1
import -window "$window" "$work/setup-components.png"
[ "$(identify -format %k "$work/setup-components.png")" -gt 16 ] || fail "the screenshot of the components page is blank"
echo "setup-test: the components page: $work/setup-components.png"

echo "setup-test: passed"
