#!/usr/bin/env bash
# The filter's Kdenlive description in the real Kdenlive, under Xvfb: the
# effect is listed as "Tidal Halo" and, added to a clip, starts at the
# filter's own defaults. Kdenlive stores each field's default unconverted as
# the property's value and logs it ("SET EFFECT PARAM"); every value must be
# the filter's, in the filter's units. The filter reaches Kdenlive through
# ~/.frei0r-1/lib and the description through ~/.local/share/kdenlive/effects
# in a home of its own. With "-" for both, the home stays empty: Kdenlive
# must find an installed filter and description in the system's folders.
# Usage: kdenlive_test.sh EFFECT_XML|- PLUGIN|- TOOL
set -euo pipefail
source "$(dirname "$0")/kdenlive_project.sh"
effect_xml=$1 plugin=$2
[ "$effect_xml" = - ] || effect_xml=$(readlink -f "$effect_xml")
[ "$plugin" = - ] || plugin=$(readlink -f "$plugin")
tool=$(readlink -f "$3")
for program in kdenlive dbus-run-session Xvfb xdotool import; do
  command -v "$program" >/dev/null || { echo "kdenlive test: $program is missing"; exit 1; }
done
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 -- "-$pid" "$pid" 2>/dev/null || true; done
  pkill -9 -f "$work/project.kdenlive" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
mkdir home
if [ "$effect_xml" != - ]; then
  install -D -m 0644 -t home/.local/share/kdenlive/effects "$effect_xml"
fi
if [ "$plugin" != - ]; then
  install -D -m 0644 -t home/.frei0r-1/lib "$plugin"
fi
"$tool" render --downsample 8 --blend normal --opacity 0 -o card.png

# A project of one clip on one track.
kdenlive_project "$work" 100 00:00:03.960 >project.kdenlive

Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>display.txt >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s display.txt ] && break; sleep 0.2; done
export DISPLAY=":$(cat display.txt)" HOME="$work/home"
unset FREI0R_PATH
setsid timeout -k 5 240 dbus-run-session kdenlive "$work/project.kdenlive" >kdenlive.log 2>&1 &
pids+=($!)

fail() {
  echo "kdenlive test: $1"
  import -window root "${TIDALHALO_KDENLIVE_SCREENSHOT:-/dev/null}" 2>/dev/null || true
  grep -av 'kf.service\|XCB error' kdenlive.log | tail -30
  exit 1
}
has_window() { [ -n "$(xdotool search --name ' Kdenlive$' 2>/dev/null | head -1)" ]; }
logged() { grep -aq "$1" kdenlive.log; }
for _ in $(seq 300); do has_window && break; sleep 0.2; done
has_window || fail "no main window after 60 s"
sleep 8

# Select the clip, open the effects list, find the effect and add it.
added=""
for attempt in 1 2 3; do
  xdotool mousemove 194 556 click 1  # the clip on the timeline
  sleep 1
  xdotool mousemove 137 394 click 1  # the Effects tab
  sleep 2
  xdotool mousemove 144 76 click 1  # the effects' search field
  xdotool key ctrl+a
  xdotool type --delay 120 "Tidal"
  sleep 2
  xdotool mousemove 90 116 click --repeat 2 --delay 80 1  # "Tidal Halo", the one effect found
  for _ in $(seq 50); do logged 'SET EFFECT PARAM:  "blend"' && { added=1; break 2; }; sleep 0.2; done
done
[ -n "$added" ] || fail "the effect was not added"
import -window root "${TIDALHALO_KDENLIVE_SCREENSHOT:-/dev/null}" 2>/dev/null || true

# What a new instance holds: animated fields as a keyframe at 0.
failures=0
expect() {  # property, value as Kdenlive logs it
  local line
  line=$(grep -a "SET EFFECT PARAM:  \"$1\" " kdenlive.log | head -1)
  if [[ "$line" != *" =  $2" ]]; then
    echo "kdenlive test: a new instance sets $1 to '${line##* =  }', not '$2'"
    failures=$((failures + 1))
  fi
}
expect center_x 0=0.5
expect center_y 0=0.5
expect radius 0=0.1
expect feather 0=0.002
expect expand 0=0.5
expect opacity 0=1
expect scatter 0=0
expect color1 0xffffffff
expect color2 0x007fffff
expect smooth 1
expect blend normal
((failures == 0)) || fail "$failures values differ from the filter's defaults"
echo "kdenlive test: listed, and a new instance starts at the filter's defaults"
