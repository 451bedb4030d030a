#!/usr/bin/env bash
# Sets everything up, then runs the frame benchmark: 3840 x 2160 frames
# through the built module and our host, with the copy floor and the plain
# per-pixel yardstick in the same run. Arguments go to the benchmark, e.g.
#   bash scripts/bench.sh --benchmark_filter='threads:2'
#   bash scripts/bench.sh --benchmark_format=json > bench.json
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
exec build/native/bench/tidalhalo_bench "$@"
