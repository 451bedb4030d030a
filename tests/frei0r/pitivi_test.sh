#!/usr/bin/env bash
# The Pitivi panel in the real Pitivi under Xvfb. Pitivi reads an effect's
# panel only from its own data folder, which PITIVI_TOP_LEVEL_DIR moves: a
# copy of Debian's, made of links, gets the panel among its customwidgets,
# so that nothing of the system's changes. A plug-in of this test
# (pitivi_check/) drives Pitivi: a clip in a new project, Tidal Halo added to
# it from the effects list, its panel opened and keys typed into the blend
# field. Pitivi must show our panel, log no property left without a widget,
# start at the element's defaults within its ranges, survive the typing, and
# set the element's blend to what the field names. With "-" for both, Pitivi
# must find an installed filter and panel in the system's folders.
# Usage: pitivi_test.sh PANEL_UI|- PLUGIN_DIR|- SCREENSHOT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
panel=$1
plugin_dir=$2
screenshot=$3
work=$(mktemp -d)
pitivi_pid=""
cleanup() {
  # Pitivi runs in a process group of its own, with its X server and D-Bus.
  if [ -n "$pitivi_pid" ]; then kill -- -"$pitivi_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

if [ "$panel" != - ]; then
  data="$work/top/data"
  mkdir -p "$data/ui/customwidgets"
  for entry in /usr/share/pitivi/*; do
    [ "$(basename "$entry")" = ui ] || ln -s "$entry" "$data/"
  done
  for entry in /usr/share/pitivi/ui/*; do
    [ "$(basename "$entry")" = customwidgets ] || ln -s "$entry" "$data/ui/"
  done
  ln -s /usr/share/pitivi/ui/customwidgets/* "$data/ui/customwidgets/"
  cp "$panel" "$data/ui/customwidgets/frei0r-filter-tidalhalo.ui"
  export PITIVI_TOP_LEVEL_DIR="$work/top"
fi
if [ "$plugin_dir" != - ]; then
  export FREI0R_PATH="$plugin_dir:/usr/lib/frei0r-1"
fi

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/pitivi" "$XDG_DATA_HOME/pitivi/plugins" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cp -r "$here/pitivi_check" "$XDG_DATA_HOME/pitivi/plugins/"
printf '[plugins]\nactive-plugins = \n\ttidalhalo_check\n' >"$XDG_CONFIG_HOME/pitivi/pitivi.conf"

ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x180:rate=25 -t 2 -c:v mjpeg "$work/clip.mkv"

export TIDALHALO_PITIVI_CLIP="$work/clip.mkv" TIDALHALO_PITIVI_REPORT="$work/report.txt"
export TIDALHALO_PITIVI_SCREENSHOT="$work/pitivi.png"
export PITIVI_DEBUG=3 GST_DEBUG=0 NO_AT_BRIDGE=1
status=0
setsid timeout -k 5 60 xvfb-run -a -s "-screen 0 1600x1000x24" dbus-run-session -- pitivi >"$work/pitivi.log" 2>&1 &
pitivi_pid=$!
wait "$pitivi_pid" || status=$?
pitivi_pid=""

if [ -f "$work/pitivi.png" ]; then cp "$work/pitivi.png" "$screenshot"; fi
failures=0
fail() { echo "pitivi_test: error: $*" >&2; failures=$((failures + 1)); }
[ -f "$work/report.txt" ] && cat "$work/report.txt"
grep -qx "done" "$work/report.txt" 2>/dev/null || fail "Pitivi ended (status $status) before the test did"
grep -q '^effect: Tidalhalo$' "$work/report.txt" 2>/dev/null || fail "the effect was not added to the clip"
grep -qx "panel: ours" "$work/report.txt" 2>/dev/null || fail "Pitivi did not show our panel"
if grep -q '^mismatch' "$work/report.txt" 2>/dev/null; then
  fail "the panel does not start at the element's defaults: $(grep '^mismatch' "$work/report.txt")"
fi
if grep -q "No custom widget found" "$work/pitivi.log"; then
  fail "properties without a widget in our panel: $(grep -o 'No custom widget found[^"]*"[^"]*"' "$work/pitivi.log" | tr '\n' ' ')"
fi
# The element reports the filter's mode while its instance runs: the
# field's text when it names one, normal while it names none; between
# instances (Pitivi remakes its pipeline now and then) it reports the text
# it keeps. At least one key must have reached a running instance.
typed=0
live=0
while IFS= read -r line; do
  [[ $line =~ ^typed\ .*:\ field\ \"(.*)\",\ blend\ \"(.*)\"$ ]] || continue
  typed=$((typed + 1))
  field=${BASH_REMATCH[1]} blend=${BASH_REMATCH[2]}
  case "$field" in
  none | normal | add | stencil-multiply | stencil-multiply-alpha) expected=$field ;;
  *) expected=normal ;;
  esac
  if [ "$blend" != "$field" ] && [ "$blend" = "$expected" ]; then
    live=$((live + 1))
  elif [ "$blend" != "$field" ]; then
    fail "blend is \"$blend\" while the field reads \"$field\""
  fi
done <"$work/report.txt"
((live)) || fail "no key reached a running instance of the filter"
((typed)) || fail "no key was typed into the blend field"
grep '^typed' "$work/report.txt" | tail -1 | grep -q 'field "add", blend "add"' || fail "the last key did not set blend to add"
if ((failures)); then
  tail -40 "$work/pitivi.log" >&2
  exit 1
fi
echo "pitivi_test: our panel, no property without a widget, $typed keys typed into the blend field"
