#!/usr/bin/env bash
# Sets everything up, then times tidalhalo's whole process on a 3840 x 2160
# picture beside ImageMagick drawing a comparable ring and compositing it
# over the same picture (one convert process), 8-bit and 16-bit, in paired
# runs (median of TIDALHALO_BENCH_RUNS, 3 by default). Prints both times and
# their ratio, our file sizes at each --compression against ImageMagick's PNG
# of the same result, then a frame range of TIDALHALO_BENCH_FRAMES (100 by
# default) 8-bit frames against as many one-frame runs, with peak memory.
# Scratch files go to build/bench_io.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
runs="${TIDALHALO_BENCH_RUNS:-3}"
frames="${TIDALHALO_BENCH_FRAMES:-100}"
tool="$PWD/build/native/cli/tidalhalo"
work="$PWD/build/bench_io"
mkdir -p "$work"
cd "$work"

# A smooth, photograph-like plate: fractal plasma, blurred and enlarged.
for depth in 8 16; do
  if [ ! -f "in$depth.png" ]; then
    convert -size 960x540 -seed 5 plasma:fractal -blur 0x2 -resize 3840x2160 -depth "$depth" "in$depth.png"
  fi
done

ring=(--blend normal --center 1920,1080 --radius 700 --feather 300 --expand 60 --color1 '#FFD040' --color2 '#FF3000')
ours() {  # input output [options...]
  "$tool" render "$1" -o "$2" "${ring[@]}" "${@:3}"
}
theirs() {  # input output: a soft ring as the alpha of a colour layer, over the plate
  convert "$1" \( -size 3840x2160 xc:'#FFD040' \
    \( -size 3840x2160 radial-gradient:white-black -function polynomial -4,4,0 \) \
    -alpha off -compose copy_opacity -composite \) -compose over -composite "$2"
}
calc() { awk "BEGIN { printf \"%.4f\", $1 }"; }
seconds() {  # command...: wall-clock seconds of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  calc "$end - $start"
}
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'; }
bytes() { stat -c %s "$1"; }
mb() { awk -v b="$1" 'BEGIN { printf "%.2f MB", b / 1e6 }'; }

echo "one 3840x2160 picture, whole process, median of $runs paired runs"
printf '%-6s %-10s %10s %14s %8s %12s %12s %8s\n' depth setting tidalhalo imagemagick ratio "our file" "IM same" size
for depth in 8 16; do
  for setting in default fast small; do
    ours_times=() their_times=()
    for ((i = 0; i < runs; i++)); do
      ours_times+=("$(seconds ours "in$depth.png" "ours$depth-$setting.png" --compression "$setting")")
      their_times+=("$(seconds theirs "in$depth.png" "im$depth.png")")
    done
    ours_s=$(printf '%s\n' "${ours_times[@]}" | median)
    their_s=$(printf '%s\n' "${their_times[@]}" | median)
    # ImageMagick's own PNG of exactly our pixels, at its default settings.
    convert "ours$depth-$setting.png" "same$depth-$setting.png"
    ours_b=$(bytes "ours$depth-$setting.png")
    same_b=$(bytes "same$depth-$setting.png")
    printf '%-6s %-10s %9ss %13ss %7.2fx %12s %12s %7.2fx\n' "$depth" "$setting" "$ours_s" "$their_s" \
      "$(calc "$ours_s / $their_s")" "$(mb "$ours_b")" "$(mb "$same_b")" "$(calc "$ours_b / $same_b")"
  done
done

echo
echo "a $frames-frame 8-bit 3840x2160 sequence: one frame range against $frames one-frame runs"
rm -rf seq && mkdir -p seq
for ((f = 1; f <= frames; f++)); do
  ln -s ../in8.png "$(printf 'seq/in_%04d.png' "$f")"
done
animate=(--opacity "40@1" --opacity "100@$frames")
range_start=$(date +%s.%N)
/usr/bin/time -f '%M' -o range.mem "$tool" render seq/in_####.png --frames "1-$frames" -o seq/range_####.png \
  "${ring[@]}" "${animate[@]}"
range_s=$(calc "$(date +%s.%N) - $range_start")
singles_start=$(date +%s.%N)
for ((f = 1; f <= frames; f++)); do
  name=$(printf 'seq/in_%04d.png' "$f")
  /usr/bin/time -f '%M' -o single.mem "$tool" render "$name" --frame "$f" -o "$(printf 'seq/single_%04d.png' "$f")" \
    "${ring[@]}" "${animate[@]}"
done
singles_s=$(calc "$(date +%s.%N) - $singles_start")
same=yes
for ((f = 1; f <= frames; f++)); do
  cmp -s "$(printf 'seq/range_%04d.png' "$f")" "$(printf 'seq/single_%04d.png' "$f")" || same=no
done
printf 'frame range   %8.2fs  %6.2f frames/s  peak %5d MB\n' "$range_s" "$(calc "$frames / $range_s")" \
  "$(($(cat range.mem) / 1024))"
printf 'one-frame runs %7.2fs  %6.2f frames/s  peak %5d MB (one run)\n' "$singles_s" \
  "$(calc "$frames / $singles_s")" "$(($(cat single.mem) / 1024))"
printf 'speed-up %.2fx; files identical: %s\n' "$(calc "$singles_s / $range_s")" "$same"
