#!/usr/bin/env bash
# Installs the tests' one npm package, playwright-core, when it is missing or
# older than the lock file (it downloads no browser), then runs the page's
# tests in the system's Chromium.
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
fi
exec node --test page_test.mjs
