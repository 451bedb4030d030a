#!/usr/bin/env bash
# Sets everything up and runs every test: the native tests; the whole suite
# again under ASan and UBSan and the multithreaded renders under TSan; each
# fuzzer for a bounded time (TIDALHALO_FUZZ_SECONDS, 30 by default); then the
# checks of the Windows module and the tests under Wine; last the release,
# built twice in two folders and checked as a user would unpack it, its
# Windows setup run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# The .aex first, so the native checks of the Windows module run against it.
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset native
bash scripts/sanitize.sh
bash scripts/fuzz.sh
if [ -f scripts/windows.sh ]; then
  bash scripts/windows.sh
fi
bash scripts/release-check.sh
