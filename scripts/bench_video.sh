#!/usr/bin/env bash
# Sets everything up, then times ffmpeg's whole process on TIDALHALO_BENCH_FRAMES
# (60 by default) 3840 x 2160 RGBA frames of testsrc2 thrown away (-f null):
# without a filter, with the frei0r filter at fixed values (the ring kept
# from frame to frame), the same with the cache off (TIDALHALO_RING_CACHE=0:
# every frame shaded a row at a time), and a ring that moves and grows every
# frame (sendcmd), with and without the cache. Median of
# TIDALHALO_BENCH_RUNS (3) paired runs, each against the run without a
# filter, with peak memory; frei0r's own vignette beside them when the
# system has it. With TIDALHALO_BENCH_FREI0R_BASELINE naming a folder that
# holds another build's tidalhalo.so, the fixed and the moving ring are also
# timed through that one. Scratch files go to build/bench_video.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
runs="${TIDALHALO_BENCH_RUNS:-3}"
frames="${TIDALHALO_BENCH_FRAMES:-60}"
export FREI0R_PATH="$PWD/build/native/frei0r"
work="$PWD/build/bench_video"
mkdir -p "$work"
cd "$work"

source="testsrc2=size=3840x2160:rate=25,format=rgba"
# The ring's values for frame n of the moving ring: centre, radius and
# scatter change every frame.
for ((n = 0; n < frames; n++)); do
  awk -v n="$n" 'BEGIN { printf "%.4f frei0r filter_params %.4f|0.5|%.4f|0.01|0.5|1|0.1|1/0.8/0.2|0/0.5/1|y|normal;\n",
    n / 25, 0.2 + 0.01 * n, 0.05 + 0.002 * n }'
done >moving.cmd

calc() { awk "BEGIN { printf \"%.4f\", $1 }"; }
run() {  # environment assignments, a filter graph after the source or nothing: prints "seconds peak-kB"
  local graph=$source start end
  if [ -n "$2" ]; then graph="$source,$2"; fi
  start=$(date +%s.%N)
  # shellcheck disable=SC2086 # the assignments are split at spaces
  env $1 /usr/bin/time -f %M -o peak.txt \
    ffmpeg -nostdin -v error -f lavfi -i "$graph" -frames:v "$frames" -f null - >/dev/null
  end=$(date +%s.%N)
  echo "$(calc "$end - $start") $(cat peak.txt)"
}
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }

cases=(
  "fixed ring|TIDALHALO_RING_CACHE=1|frei0r=tidalhalo"
  "fixed ring, no cache|TIDALHALO_RING_CACHE=0|frei0r=tidalhalo"
  "moving ring|TIDALHALO_RING_CACHE=1|sendcmd=f=moving.cmd,frei0r=tidalhalo"
  "moving ring, no cache|TIDALHALO_RING_CACHE=0|sendcmd=f=moving.cmd,frei0r=tidalhalo"
)
baseline="${TIDALHALO_BENCH_FREI0R_BASELINE:-}"
if [ -n "$baseline" ]; then
  cases+=(
    "fixed ring, baseline|FREI0R_PATH=$baseline TIDALHALO_RING_CACHE=1|frei0r=tidalhalo"
    "moving ring, baseline|FREI0R_PATH=$baseline TIDALHALO_RING_CACHE=1|sendcmd=f=moving.cmd,frei0r=tidalhalo"
  )
fi
if [ -n "$(find /usr/lib /usr/local/lib "$HOME/.frei0r-1" -name vignette.so -path '*frei0r*' 2>/dev/null | head -1)" ]; then
  cases+=("frei0r's vignette|FREI0R_PATH=|frei0r=vignette")
fi

echo "ffmpeg, $frames frames of 3840x2160 rgba (testsrc2 -> filter -> -f null), whole process, median of $runs paired runs"
printf '%-24s %9s %11s %7s %12s %12s\n' pipeline filter "no filter" ratio "peak MB" "no filter MB"
for entry in "${cases[@]}"; do
  IFS='|' read -r name environment graph <<<"$entry"
  times=() bare_times=() peak=0 bare_peak=0
  for ((i = 0; i < runs; i++)); do
    read -r bare_s bare_kb < <(run TIDALHALO_BENCH=1 "")
    read -r filter_s filter_kb < <(run "$environment" "$graph")
    bare_times+=("$bare_s")
    times+=("$filter_s")
    peak=$filter_kb bare_peak=$bare_kb
  done
  filter_s=$(printf '%s\n' "${times[@]}" | median)
  bare_s=$(printf '%s\n' "${bare_times[@]}" | median)
  printf '%-24s %8.2fs %10.2fs %6.2fx %12.1f %12.1f\n' "$name" "$filter_s" "$bare_s" "$(calc "$filter_s / $bare_s")" \
    "$(calc "$peak / 1024")" "$(calc "$bare_peak / 1024")"
done
