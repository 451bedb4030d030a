#!/usr/bin/env bash
# The filter's Shotcut panel in the real Shotcut, under Xvfb, as a user meets
# it: Shotcut lists "Tidal Halo", adds it to a clip with its panel and its
# on-screen handle loaded without a QML error, and saves a project that melt
# renders to the tool's frame at the filter's defaults, byte for byte.
#
# Shotcut reads its filters from share/shotcut/qml/filters/ beside its
# program only, so the test runs a copy of the program in a folder of its
# own whose qml folder holds Shotcut's own entries and the panel; the
# installed Shotcut is left as it is. The filter reaches it through
# ~/.frei0r-1/lib in a home of its own. With "-" for both, Shotcut runs from
# where it is installed and the home stays empty: it must find an installed
# panel among its own filters and the filter in the system's folder.
# Usage: shotcut_test.sh PANEL_DIR|- PLUGIN|- TOOL
set -euo pipefail
panel=$1 plugin=$2
[ "$panel" = - ] || panel=$(cd "$panel" && pwd)
[ "$plugin" = - ] || plugin=$(readlink -f "$plugin")
tool=$(readlink -f "$3")
for program in shotcut Xvfb xdotool import melt gcc; do
  command -v "$program" >/dev/null || { echo "shotcut test: $program is missing"; exit 1; }
done
shotcut_root=$(dirname "$(dirname "$(readlink -f "$(command -v shotcut)")")")
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

mkdir home
shotcut="$shotcut_root/bin/shotcut"
if [ "$panel" != - ]; then
  shotcut=bin/shotcut
  mkdir -p bin share/shotcut/qml/filters
  cp "$shotcut_root/bin/shotcut" bin/
  for entry in "$shotcut_root"/share/shotcut/qml/*; do
    [ "$(basename "$entry")" = filters ] || ln -s "$entry" share/shotcut/qml/
  done
  for entry in "$shotcut_root"/share/shotcut/qml/filters/*; do ln -s "$entry" share/shotcut/qml/filters/; done
  cp -r "$panel" share/shotcut/qml/filters/tidalhalo
fi
if [ "$plugin" != - ]; then
  install -D -m 0644 -t home/.frei0r-1/lib "$plugin"
fi

# Shotcut's release build sets QT_LOGGING_RULES to silence QML's warnings,
# which would hide every error of the panel; this keeps the rules given here.
cat >keep_rules.c <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>
int setenv(const char *name, const char *value, int overwrite) {
    static int (*next)(const char *, const char *, int);
    if (next == 0) next = (int (*)(const char *, const char *, int))dlsym(RTLD_NEXT, "setenv");
    if (name != 0 && strcmp(name, "QT_LOGGING_RULES") == 0) return 0;
    return next(name, value, overwrite);
}
C
gcc -shared -fPIC -O2 keep_rules.c -o keep_rules.so -ldl

# The full-size test card, 1920 x 1080: Shotcut makes the project's profile
# the clip's, so melt renders it unscaled.
"$tool" render --blend normal --opacity 0 -o card.png

Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>display.txt >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s display.txt ] && break; sleep 0.2; done
export DISPLAY=":$(cat display.txt)"

export HOME="$work/home" QT_LOGGING_RULES="*.debug=true;qt.*.debug=false;qml=true;js=true"
unset FREI0R_PATH
LD_PRELOAD="$work/keep_rules.so" timeout -k 5 240 "$shotcut" --noupgrade "$work/card.png" >shotcut.log 2>&1 &
pids+=($!)

fail() {
  echo "shotcut test: $1"
  import -window root "${TIDALHALO_SHOTCUT_SCREENSHOT:-/dev/null}" 2>/dev/null || true
  grep -v 'ALSA\|sdl2\|^  - \|^---' shotcut.log | tail -40
  exit 1
}
wait_for() {  # seconds, what, then a command that succeeds when it has happened
  local seconds=$1 what=$2
  shift 2
  for _ in $(seq $((seconds * 5))); do "$@" && return 0; sleep 0.2; done
  fail "no $what after $seconds s"
}
window() { xdotool search --name ' - Shotcut$' 2>/dev/null | head -1; }
has_window() { [ -n "$(window)" ]; }
logged() { grep -q "$1" shotcut.log; }

wait_for 60 "main window" has_window
sleep 3
# A window of the screen's size gives the layout the clicks below are made for.
xdotool windowsize "$(window)" 1600 1000
sleep 2
logged 'added filter "Tidal Halo"' || fail "Shotcut did not list the filter"

xdotool mousemove 103 709 click 1  # the Filters tab
sleep 2
# On a busy machine the filter menu may miss the first keys: try again.
handle_message="Drag the dot to move the ring's centre"
for attempt in 1 2 3; do
  xdotool mousemove 21 288 click 1  # add a filter
  sleep 3
  xdotool key ctrl+a
  xdotool type --delay 150 "Tidal Halo"
  sleep 2
  xdotool mousemove 90 207 click 1  # the one filter found
  for _ in $(seq 50); do logged "$handle_message" && break 2; sleep 0.2; done
  xdotool key Escape
done
wait_for 10 "on-screen handle" logged "$handle_message"
sleep 2
import -window root "${TIDALHALO_SHOTCUT_SCREENSHOT:-/dev/null}" 2>/dev/null || true

xdotool key ctrl+s
sleep 3
xdotool type --delay 30 "$work/saved.mlt"
xdotool key Return
wait_for 20 "saved project" test -s saved.mlt

# The warnings are on: Shotcut's own views give some in every run.
grep -q '\[Warning\] <> file://.*/views/.*\.qml:' shotcut.log || fail "QML warnings are not being logged"
if grep '/filters/tidalhalo/' shotcut.log | grep -q 'Warning\|Error'; then
  grep '/filters/tidalhalo/' shotcut.log
  fail "the panel gave QML errors"
fi
grep -q '<property name="mlt_service">frei0r.tidalhalo</property>' saved.mlt || fail "the saved project has no filter"

# The frame melt renders from the saved project is the tool's at the
# filter's defaults: on 1920 x 1080 the centre (0.5, 0.5) is (960, 540), the
# radius 0.1 is 192 and the feather 0.002 is 3.84 pixels.
kill -9 "${pids[1]}" 2>/dev/null || true
timeout -k 5 120 melt -silent saved.mlt out=0 -consumer avformat:melt_%d.png vcodec=png pix_fmt=rgba real_time=0 \
  terminate_on_pause=1 >melt.log 2>&1 || true
[ -f melt_1.png ] || { cat melt.log; fail "melt rendered no frame of the saved project"; }
"$tool" render card.png --depth 8 --center 960,540 --radius 192 --feather 3.84 --expand 50 --opacity 100 \
  --scatter 0 --color1 '#FFFFFF' --color2 '#007FFF' --smooth --blend normal -o tool.png
ffmpeg -nostdin -v error -y -i tool.png -f rawvideo -pix_fmt rgba tool.rgba
ffmpeg -nostdin -v error -y -i melt_1.png -f rawvideo -pix_fmt rgba melt.rgba
ffmpeg -nostdin -v error -y -i card.png -f rawvideo -pix_fmt rgba card.rgba
cmp -s card.rgba melt.rgba && fail "the saved project's frame is the card unchanged"
if ! cmp -s tool.rgba melt.rgba; then
  fail "the saved project's frame differs from the tool's in $(cmp -l tool.rgba melt.rgba | wc -l) bytes"
fi
echo "shotcut test: listed, panel and handle loaded without QML errors, saved project renders the tool's frame"
