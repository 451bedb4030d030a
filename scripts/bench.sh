#!/usr/bin/env bash
# Sets everything up, then runs the frame benchmark: 3840 x 2160 frames
# through the built module and our host, with the copy floor, the bare
# per-pixel call and the plain per-pixel yardstick in the same run, and ends
# with a summary table of the targets as ratios. Arguments go to the
# benchmark, e.g.
#   bash scripts/bench.sh --benchmark_filter='threads:2'
#   bash scripts/bench.sh --benchmark_format=json > bench.json
#   bash scripts/bench.sh --benchmark_repetitions=6
# With repetitions they run in random order, so that each frame's fastest
# repetition and its yardstick's come from the whole run, not from two
# stretches of a machine whose speed drifts.
# TIDALHALO_BENCH_BASELINE=path/to/Kv_Tidalhalo.so also times every frame
# through that module, right after the same frame of the built one, and the
# summary compares the two. Where the Windows build holds frame_clock.exe,
# the .aex is then timed under Wine beside the native module, and the
# summary gives smoothing's share of a frame in each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
build/native/bench/tidalhalo_bench --benchmark_enable_random_interleaving=true "$@"

clock_native=build/native/bench/frame_clock
clock_windows=build/windows/bench/frame_clock.exe
aex=build/windows/Kv_Tidalhalo.aex
if [ ! -x "$clock_native" ] || [ ! -f "$clock_windows" ] || [ ! -f "$aex" ]; then
  echo "bench: no Windows build with frame_clock.exe; the .aex is not timed" >&2
  exit 0
fi
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
native_times=$("$clock_native" build/native/Kv_Tidalhalo.so)
wine_times=$(cmake/wine-run.sh "$clock_windows" "$aex" | tr -d '\r')
# Smoothing's share of a frame: (smooth - plain) / smooth, per depth and threads.
echo
echo "Smoothing's share of a frame (frame_clock; smooth - plain, over smooth)"
printf "%-30s %8s %8s %8s  %s\n" frame native wine ratio "target <= 1.2"
awk '
  FNR == NR { native[$1] = $2; next }
  { wine[$1] = $2 }
  END {
    for (name in native) {
      if (name !~ /\/smooth\//) continue
      plain = name; sub(/\/smooth\//, "/plain/", plain)
      if (!(plain in native) || !(name in wine) || !(plain in wine)) continue
      n = (native[name] - native[plain]) / native[name]
      w = (wine[name] - wine[plain]) / wine[name]
      ratio = n > 0 ? w / n : 0
      printf "%-30s %8.3f %8.3f %8.3f  %s\n", name, n, w, ratio, (ratio <= 1.2 ? "met" : "NOT MET")
    }
  }' <(echo "$native_times") <(echo "$wine_times") | sort
