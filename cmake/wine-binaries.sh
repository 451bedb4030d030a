# Sourced by the scripts that run Wine: sets wine and wineserver to the
# 64-bit programs, Debian's own where it has them.
if [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
  wineserver=/usr/lib/wine/wineserver64
else
  wine=$(command -v wine64 || command -v wine)
  wineserver=$(command -v wineserver)
fi
