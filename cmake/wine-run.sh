#!/bin/sh
# Runs a cross-built Windows program under Wine: the emulator of the windows
# preset's tests. One prefix, created on first use and reused.
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/../build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: the prefix is for console programs only.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

. "$here/wine-binaries.sh"
# Debian's wine starts a server that quits as soon as its last program ends,
# so the next program can meet it closing. A server that stays a minute
# serves a whole test run; starting one when one runs fails quickly. Wine's
# background programs start with a new server; they start here, away from
# the caller's pipes, which they would otherwise hold open for that minute.
if [ -n "$wineserver" ] && "$wineserver" -p60 </dev/null >/dev/null 2>&1; then
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
