#!/usr/bin/env bash
# The filter inside real frei0r hosts, found through FREI0R_PATH: a frame
# through ffmpeg's frei0r filter, or through melt's frei0r.tidalhalo, must be
# the tool's frame for the same picture and values, in every blend mode.
# Usage: hosts_test.sh ffmpeg|melt PLUGIN_DIR TOOL
set -euo pipefail
host=$1
export FREI0R_PATH=$2
tool=$3
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
melt_frame() {  # the filter's properties
  for _ in 1 2 3 4 5; do
    rm -f melt_*.png
    timeout -k 5 60 melt -silent -profile card.profile card.png out=0 -filter frei0r.tidalhalo "$@" \
      -consumer avformat:melt_%d.png vcodec=png pix_fmt=rgba real_time=0 terminate_on_pause=1 >melt.log 2>&1 || true
    if [ -f melt_1.png ]; then
      return 0
    fi
  done
  return 1
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

case "$host" in
ffmpeg)
  filters=$(ffmpeg -nostdin -hide_banner -filters 2>/dev/null)
  grep -qw frei0r <<<"$filters" || { echo "ffmpeg has no frei0r filter"; exit 1; }
  # Scatter with smoothing, colours as r/g/b and as hexadecimal.
  ffmpeg_case "0.375/0.625|0.0625|0.015625|0.625|0.875|0.25|1/0.8/0.2|0x1A33E6|y" \
    "--center 90,84.375 --radius 62.5 --feather 15.625 --expand 62.5 --opacity 87.5 --scatter 128
     --color1 #FFCC33 --color2 #1A33E6 --smooth"
  # A hard-edged disc without smoothing, a named colour.
  ffmpeg_case "0.75/0.25|0.09|0|1|1|0|orange|0/0.5/1|n" \
    "--center 180,33.75 --radius 90 --feather 0 --expand 100 --opacity 100 --scatter 0
     --color1 #FFA500 --color2 #0080FF --no-smooth"
  ;;
melt)
  filters=$(melt -query filters 2>/dev/null)
  grep -q 'frei0r\.tidalhalo' <<<"$filters" || { echo "melt does not list frei0r.tidalhalo"; exit 1; }
  melt_profile
  # melt (MLT 7.12) passes no position parameter, so the ring keeps its
  # default centre, the middle of the frame.
  melt_case "radius=0.0625 feather=0.015625 expand=0.625 opacity=0.875 scatter=0.25 color1=#ffcc33 color2=#1a33e6 smooth=1" \
    "--radius 62.5 --feather 15.625 --expand 62.5 --opacity 87.5 --scatter 128 --color1 #FFCC33 --color2 #1A33E6 --smooth"
  melt_case "radius=0.09 feather=0 expand=1 scatter=0 color1=#ffa500 smooth=0" \
    "--radius 90 --feather 0 --expand 100 --scatter 0 --color1 #FFA500 --no-smooth"
  ;;
*)
  echo "usage: hosts_test.sh ffmpeg|melt PLUGIN_DIR TOOL"
  exit 2
  ;;
esac

if ((failures)); then
  echo "$failures frames differ"
  exit 1
fi
