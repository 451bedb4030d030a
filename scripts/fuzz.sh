#!/usr/bin/env bash
# Fuzzes each fuzzer of preset fuzz for a bounded time (TIDALHALO_FUZZ_SECONDS,
# 30 by default), starting from a scratch copy of its seed corpus, so the
# repository is never written. Fails if any fuzzer finds a fault and prints
# where the input that shows it was written. TIDALHALO_JOBS sets the build's
# parallel jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${TIDALHALO_FUZZ_SECONDS:-30}"
build="$PWD/build/fuzz"

cmake --preset fuzz >/dev/null
mapfile -t names < <(cut -f1 "$build/fuzzers.txt" | grep -v '^$')
if ((${#names[@]} == 0)); then
  echo "fuzz: no fuzzers configured" >&2
  exit 1
fi
cmake --build --preset fuzz ${TIDALHALO_JOBS:+-j "$TIDALHALO_JOBS"} --target "${names[@]}"

# Scratch corpora, logs and reproducers stay in the build directory.
runs="$build/runs"
rm -rf "$runs"
failed=()
while IFS=$'\t' read -r name executable corpus; do
  [ -n "$name" ] || continue
  run="$runs/$name"
  mkdir -p "$run/corpus" "$run/found"
  cp -R "$corpus/." "$run/corpus/"
  echo "fuzz: $name for $seconds s"
  # An input that runs 10 s is a hang; memory past 2 GB is a fault too.
  if "$executable" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$run/found/" "$run/corpus" >"$run/log.txt" 2>&1; then
    grep -E '^(Done|stat::new_units_added)' "$run/log.txt" | sed "s/^/fuzz: $name: /"
  else
    failed+=("$name")
    tail -n 60 "$run/log.txt"
    for input in "$run"/found/*; do
      [ -e "$input" ] || continue
      echo "fuzz: $name found a fault; input: $input"
      echo "fuzz: replay with: $executable $input"
    done
    echo "fuzz: $name failed; full log: $run/log.txt"
  fi
done <"$build/fuzzers.txt"

if ((${#failed[@]})); then
  echo "fuzz: faults found by ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#names[@]} fuzzers ran $seconds s each and found nothing"
