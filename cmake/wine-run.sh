#!/bin/sh
# Runs a cross-built Windows program under Wine: the emulator of the windows
# preset's tests. One prefix, created on first use and reused.
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/../build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: the prefix is for console programs only.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -x /usr/lib/wine/wine64 ]; then
  exec /usr/lib/wine/wine64 "$@"
elif command -v wine64 >/dev/null 2>&1; then
  exec wine64 "$@"
else
  exec wine "$@"
fi
