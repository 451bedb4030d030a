#!/usr/bin/env bash
# The filter inside real frei0r hosts, found through FREI0R_PATH: a frame
# through ffmpeg's frei0r filter, melt's frei0r.tidalhalo (a still, and
# keyframes), GStreamer's frei0r-filter-tidalhalo, or a Kdenlive project
# rendered by melt, must be the tool's frame for the same picture and
# values. The filter's centre is (x * width, y * height) of the frame and
# its radius and feather fractions of the width: on the 240 x 135 card a
# radius of 0.25 is 60 pixels.
# A PLUGIN_DIR of "-" leaves FREI0R_PATH unset: the hosts then find an
# installed filter in their own folders.
# Usage: hosts_test.sh ffmpeg|melt|gstreamer|kdenlive PLUGIN_DIR|- TOOL [KDENLIVE_XML]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/kdenlive_project.sh"
host=$1
if [ "$2" = - ]; then unset FREI0R_PATH; else export FREI0R_PATH=$2; fi
tool=$3
effect_xml=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The tool's test card at 240 x 135, with its transparent band. ffmpeg 5.1
# hands frei0r filters rows padded to 64 bytes, so the width must be a
# multiple of 16 there; the odd height is fine.
"$tool" render --downsample 8 --blend normal --opacity 0 -o card.png

# Both pictures decoded to RGBA bytes by the same decoder, ffmpeg's.
rgba() { ffmpeg -nostdin -v error -y -i "$1" -f rawvideo -pix_fmt rgba "$2"; }
rgba card.png card.rgba

failures=0
compare() {  # what, the tool's picture, the host's picture
  rgba "$2" tool.rgba
  rgba "$3" host.rgba
  if ! cmp -s tool.rgba host.rgba; then
    echo "DIFFERENT: $1: $(cmp -l tool.rgba host.rgba | wc -l) of $(stat -c %s tool.rgba) bytes"
    failures=$((failures + 1))
  elif cmp -s card.rgba host.rgba; then
    echo "UNCHANGED: $1: the host left the picture as it was"
    failures=$((failures + 1))
  else
    echo "same: $1"
  fi
}

modes=(none normal add stencil-multiply stencil-multiply-alpha)

ffmpeg_case() {  # the filter's values before the blend, the tool's options
  for mode in "${modes[@]}"; do
    ffmpeg -nostdin -v error -y -i card.png \
      -vf "frei0r=filter_name=tidalhalo:filter_params=$1|$mode" -pix_fmt rgba ffmpeg.png
    "$tool" render card.png --depth 8 $2 --blend "$mode" -o tool.png
    compare "ffmpeg $1|$mode" tool.png ffmpeg.png
  done
}

# A profile of the card's size with square pixels, so that melt neither
# scales nor stretches the frame.
melt_profile() {
  printf '%s\n' description=card frame_rate_num=25 frame_rate_den=1 width=240 height=135 progressive=1 \
    sample_aspect_num=1 sample_aspect_den=1 display_aspect_num=16 display_aspect_den=9 colorspace=709 >card.profile
}

# melt reports no failure in its status, so its output is looked for. On a
# busy machine melt now and then ends without writing the frame, or never
# ends, with the filter or without it (a race of its own); a frame that the
# filter keeps it from making is missing on every try.
melt_frames() {  # the last frame to write, then what melt plays: a producer and its filters
  local last=$1
  shift
  for _ in 1 2 3 4 5; do
    rm -f melt_*.png
    timeout -k 5 60 melt -silent -profile card.profile "$@" \
      -consumer avformat:melt_%d.png vcodec=png pix_fmt=rgba real_time=0 terminate_on_pause=1 >melt.log 2>&1 || true
    if [ -f "melt_$((last + 1)).png" ]; then
      return 0
    fi
  done
  return 1
}

melt_frame() {  # the filter's properties
  melt_frames 0 card.png out=0 -filter frei0r.tidalhalo "$@"
}

melt_case() {  # the filter's properties before the blend, the tool's options
  for mode in "${modes[@]}"; do
    if ! melt_frame $1 blend="$mode"; then
      echo "MISSING: melt $1 blend=$mode wrote no frame"; cat melt.log
      failures=$((failures + 1))
      continue
    fi
    "$tool" render card.png --depth 8 $2 --blend "$mode" -o tool.png
    compare "melt $1 blend=$mode" tool.png melt_1.png
  done
}

# Three frames of keyframed values against the tool at the values MLT
# interpolates; the keyframes are chosen so that every interpolated value
# is exact in binary.
melt_keyframe_case() {  # how the filter is given: "filter" or "kdenlive"
  local expected=(
    "--center 48,67.5 --radius 30"
    "--center 120,67.5 --radius 45"
    "--center 192,67.5 --radius 60")
  if [ "$1" = kdenlive ]; then
    kdenlive_project "$work" 11 00:00:00.400 "$(keyframed_properties)" >project.kdenlive
    melt_frames 10 xml:project.kdenlive || { echo "MISSING: the Kdenlive project wrote no frames"; cat melt.log; failures=$((failures + 1)); return; }
  else
    melt_frames 10 card.png out=10 -filter frei0r.tidalhalo center_x="0=0.2;10=0.8" radius="0=0.125;10=0.25" \
      feather=0.0625 scatter=0.25 blend=add \
      || { echo "MISSING: melt wrote no keyframed frames"; cat melt.log; failures=$((failures + 1)); return; }
  fi
  local i=0
  for frame in 0 5 10; do
    "$tool" render card.png --depth 8 ${expected[$i]} --feather 15 --scatter 128 --blend add -o tool.png
    compare "$1 keyframes, frame $frame" tool.png "melt_$((frame + 1)).png"
    i=$((i + 1))
  done
}

# Kdenlive's own project: with keyframed centre and radius (as timecodes),
# its other values as the description's fields write them.
keyframed_properties() {
  cat <<XML
    <property name="center_x">00:00:00.000=0.2;00:00:00.400=0.8</property>
    <property name="center_y">0.5</property>
    <property name="radius">00:00:00.000=0.125;00:00:00.400=0.25</property>
    <property name="feather">0.0625</property>
    <property name="expand">0.5</property>
    <property name="opacity">1</property>
    <property name="scatter">0.25</property>
    <property name="color1">0xffffffff</property>
    <property name="color2">0x007fffff</property>
    <property name="smooth">1</property>
    <property name="blend">add</property>
XML
}

# A newly added effect as Kdenlive writes it: every field's default from the
# description stored unconverted, an animated one as a keyframe at 0.
new_instance_properties() {
  python3 - "$effect_xml" <<'PY'
import sys
import xml.etree.ElementTree as ElementTree
for field in ElementTree.parse(sys.argv[1]).getroot().findall("parameter"):
    value = field.get("default")
    if field.get("type") == "animated":
        value = "00:00:00.000=" + value
    print(f'    <property name="{field.get("name")}">{value}</property>')
PY
}

# A new instance draws the filter's default ring: on the 240 x 135 card the
# centre (0.5, 0.5) is (120, 67.5), the radius 0.1 is 24 and the feather
# 0.002 is 0.48 pixels.
kdenlive_new_instance_case() {
  kdenlive_project "$work" 11 00:00:00.400 "$(new_instance_properties)" >new.kdenlive
  melt_frames 0 xml:new.kdenlive || { echo "MISSING: the new-instance project wrote no frame"; cat melt.log; failures=$((failures + 1)); return; }
  "$tool" render card.png --depth 8 --center 120,67.5 --radius 24 --feather 0.48 --expand 50 --opacity 100 \
    --scatter 0 --color1 '#FFFFFF' --color2 '#007FFF' --smooth --blend normal -o tool.png
  compare "kdenlive new instance" tool.png melt_1.png
}

# GStreamer names each colour channel as a property of its own.
gstreamer_case() {  # the element's properties, the tool's options
  timeout -k 5 60 gst-launch-1.0 -q filesrc location=card.png ! pngdec ! videoconvert ! video/x-raw,format=RGBA \
    ! frei0r-filter-tidalhalo $1 ! videoconvert ! video/x-raw,format=RGBA ! pngenc ! filesink location=gst.png
  "$tool" render card.png --depth 8 $2 -o tool.png
  compare "gstreamer $1" tool.png gst.png
}

case "$host" in
ffmpeg)
  filters=$(ffmpeg -nostdin -hide_banner -filters 2>/dev/null)
  grep -qw frei0r <<<"$filters" || { echo "ffmpeg has no frei0r filter"; exit 1; }
  # Scatter with smoothing, colours as r/g/b and as hexadecimal.
  ffmpeg_case "0.375|0.625|0.25|0.0625|0.625|0.875|0.25|1/0.8/0.2|0x1A33E6|y" \
    "--center 90,84.375 --radius 60 --feather 15 --expand 62.5 --opacity 87.5 --scatter 128
     --color1 #FFCC33 --color2 #1A33E6 --smooth"
  # A hard-edged disc without smoothing, a named colour.
  ffmpeg_case "0.75|0.25|0.375|0|1|1|0|orange|0/0.5/1|n" \
    "--center 180,33.75 --radius 90 --feather 0 --expand 100 --opacity 100 --scatter 0
     --color1 #FFA500 --color2 #0080FF --no-smooth"
  ;;
melt)
  filters=$(melt -query filters 2>/dev/null)
  grep -q 'frei0r\.tidalhalo' <<<"$filters" || { echo "melt does not list frei0r.tidalhalo"; exit 1; }
  melt_profile
  melt_case "center_x=0.375 center_y=0.625 radius=0.25 feather=0.0625 expand=0.625 opacity=0.875 scatter=0.25 color1=#ffcc33 color2=#1a33e6 smooth=1" \
    "--center 90,84.375 --radius 60 --feather 15 --expand 62.5 --opacity 87.5 --scatter 128 --color1 #FFCC33 --color2 #1A33E6 --smooth"
  melt_case "center_x=0.75 center_y=0.25 radius=0.375 feather=0 expand=1 scatter=0 color1=#ffa500 smooth=0" \
    "--center 180,33.75 --radius 90 --feather 0 --expand 100 --scatter 0 --color1 #FFA500 --no-smooth"
  melt_keyframe_case filter
  # Properties named by index, as Shotcut saves them, with values a project
  # may hold outside 0..1: the filter clamps them.
  if melt_frame 0=0.375 1=0.625 2=1.5 3=-0.25 4=7 9=1 10=add; then
    "$tool" render card.png --depth 8 --center 90,84.375 --radius 240 --feather 0 --expand 100 --smooth --blend add \
      -o tool.png
    compare "melt by index, out of range" tool.png melt_1.png
  else
    echo "MISSING: melt by index wrote no frame"; cat melt.log
    failures=$((failures + 1))
  fi
  ;;
gstreamer)
  gst-inspect-1.0 frei0r-filter-tidalhalo >/dev/null 2>&1 || { echo "GStreamer has no frei0r-filter-tidalhalo"; exit 1; }
  gstreamer_case "center-x=0.375 center-y=0.625 radius=0.25 feather=0.0625 expand=0.625 opacity=0.875 scatter=0.25
      color1-r=1 color1-g=0.8 color1-b=0.2 color2-r=0.2 color2-g=0.4 color2-b=1 smooth=false blend=add" \
    "--center 90,84.375 --radius 60 --feather 15 --expand 62.5 --opacity 87.5 --scatter 128
     --color1 #FFCC33 --color2 #3366FF --no-smooth --blend add"
  for mode in none normal stencil-multiply stencil-multiply-alpha; do
    gstreamer_case "center-x=0.75 center-y=0.25 radius=0.375 feather=0.0625 blend=$mode" "--center 180,33.75 --radius 90 --feather 15 --blend $mode"
  done
  ;;
kdenlive)
  # The effect's description first: its parameters are the filter's.
  python3 "$here/kdenlive_check.py" "$FREI0R_PATH/tidalhalo.so" "$effect_xml" || failures=$((failures + 1))
  melt_profile
  melt_keyframe_case kdenlive
  kdenlive_new_instance_case
  ;;
*)
  echo "usage: hosts_test.sh ffmpeg|melt|gstreamer|kdenlive PLUGIN_DIR TOOL [KDENLIVE_XML]"
  exit 2
  ;;
esac

if ((failures)); then
  echo "$failures frames differ"
  exit 1
fi
