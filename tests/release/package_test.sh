#!/usr/bin/env bash
# The Debian package as a user takes it: lintian finds no error in it (and
# warns only of /usr/OFX, the OpenFX standard's folder); none of its files is
# another installed package's; installed with apt-get, with a new empty HOME
# and no FREI0R_PATH, the tool on the PATH renders what the tarball's tool
# renders, ffmpeg, melt and GStreamer find the filter and give the tool's
# frames, the real Kdenlive and Shotcut list it with their panels, the
# OpenFX test host loads the bundle from /usr/OFX/Plugins, the manual page
# opens and it and the bash completion know every option of the tool's
# help; removed with apt-get, none of its files is left and Debian's own
# frei0r filters are all there.
#
# Installing changes the machine, so where it can the test runs in a mount
# namespace of its own with /usr, /etc and /var overlaid by temporary
# layers: the package and anything apt-get writes stay invisible to other
# processes (another run of the editors' tests sees nothing) and vanish with
# the test, however it ends. Where it cannot, the package is removed again
# by a trap. Run it alone, after the other tests.
# Usage: package_test.sh PACKAGE.deb UNPACKED_LINUX_FOLDER OFX_FRAME_DUMP OFX_REFERENCE_FRAMES
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
deb=$(readlink -f "$1")
unpacked=$(cd "$2" && pwd)
ofx_dump=$(readlink -f "$3")
ofx_reference=$(readlink -f "$4")
fail() {
  echo "package test: $*" >&2
  exit 1
}
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || fail "installing the package needs root"
  exec sudo bash "$0" "$deb" "$unpacked" "$ofx_dump" "$ofx_reference"
fi

if [ -z "${TIDALHALO_PACKAGE_LAYERS:-}" ] && unshare -m true 2>/dev/null; then
  layers=$(mktemp -d)
  trap 'rm -rf "$layers"' EXIT
  status=0
  TIDALHALO_PACKAGE_LAYERS=$layers unshare -m --propagation private bash "$0" "$@" || status=$?
  exit "$status"
fi
if [ -n "${TIDALHALO_PACKAGE_LAYERS:-}" ]; then
  # All three or none: dpkg's records in /var must go with the files in /usr.
  overlaid=()
  for dir in usr etc var; do
    mkdir -p "$TIDALHALO_PACKAGE_LAYERS/$dir/upper" "$TIDALHALO_PACKAGE_LAYERS/$dir/work"
    mount -t overlay overlay \
      -o "lowerdir=/$dir,upperdir=$TIDALHALO_PACKAGE_LAYERS/$dir/upper,workdir=$TIDALHALO_PACKAGE_LAYERS/$dir/work" \
      "/$dir" 2>/dev/null || break
    overlaid+=("/$dir")
  done
  if ((${#overlaid[@]} == 3)); then
    echo "package test: in a mount namespace of its own, /usr, /etc and /var overlaid"
  else
    for dir in "${overlaid[@]}"; do umount "$dir"; done
    echo "package test: cannot overlay /usr, /etc and /var here; installing on the machine itself"
  fi
fi

work=$(mktemp -d)
packages() { dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Version}\n' | grep -v '^un' | LC_ALL=C sort; }
packages_before=$(packages)
filters_before=$(ls /usr/lib/frei0r-1)
cleanup() {
  if dpkg-query -W -f='${Status}' tidalhalo 2>/dev/null | grep -q "install ok installed"; then
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 remove -y -q tidalhalo >/dev/null 2>&1 || true
  fi
  # Packages the install brought in that were not there before.
  local added
  added=$(comm -13 <(echo "$packages_before" | awk '{ print $2 }') <(packages | awk '{ print $2 }') || true)
  if [ -n "$added" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 purge -y -q $added >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
dpkg-query -W -f='${Status}' tidalhalo 2>/dev/null | grep -q "install ok installed" &&
  fail "a package tidalhalo is installed on this machine already: remove it first (apt-get remove tidalhalo)"
failures=0
check() {  # what, then a command that succeeds when it holds; its output shown when it does not
  local what=$1
  shift
  if "$@" >"$work/check.txt" 2>&1; then
    echo "package test: $what"
  else
    tail -n 30 "$work/check.txt" >&2
    echo "package test: FAILED: $what" >&2
    failures=$((failures + 1))
  fi
}

echo "package test: lintian"
lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'root privileges' >"$work/lintian.txt" || true
sed 's/^/  /' "$work/lintian.txt"
lintian_ok() {
  ! grep -q '^E: ' "$work/lintian.txt" && ! grep '^W: ' "$work/lintian.txt" | grep -qv '\[usr/OFX/'
}
check "lintian: no error, no warning but for /usr/OFX" lintian_ok
package_files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }')
owned=$(while IFS= read -r file; do dpkg-query -S "$file" 2>/dev/null || true; done <<<"$package_files")
check "no file of the package is another package's" test -z "$owned"

echo "package test: apt-get install $deb"
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q "$deb" >"$work/install.txt" 2>&1 ||
  { cat "$work/install.txt"; fail "apt-get install failed"; }
grep -E '^(The following NEW|  tidalhalo|Unpacking|Setting up)' "$work/install.txt" | sed 's/^/  /'

# A new empty home, no FREI0R_PATH, nothing of the build on the PATH.
mkdir -p "$work/home" "$work/run"
export HOME="$work/home" PATH=/usr/local/bin:/usr/bin:/bin
unset FREI0R_PATH OFX_PLUGIN_PATH LD_LIBRARY_PATH XDG_DATA_HOME
cd "$work/run"
check "tidalhalo on the PATH is /usr/bin/tidalhalo" test "$(command -v tidalhalo)" = /usr/bin/tidalhalo
check "tidalhalo loads /usr/lib/tidalhalo/Kv_Tidalhalo.so" \
  grep -qx 'Module: */usr/lib/tidalhalo/Kv_Tidalhalo.so' <(tidalhalo info 2>&1)
renders_as_tarball() {
  tidalhalo render "$@" -o package.png && "$unpacked/tidalhalo" render "$@" -o tarball.png && cmp -s package.png tarball.png
}
check "tidalhalo renders the tarball tool's test card" renders_as_tarball --blend normal
check "tidalhalo renders the tarball tool's golden ring" renders_as_tarball --downsample 4 --blend add \
  --center 700,420 --radius 360 --feather 60 --expand 30 --color1 '#FFD040' --color2 '#FF3000' --scatter 40
check "melt -query filters lists frei0r.tidalhalo" grep -q 'frei0r\.tidalhalo$' <(melt -query filters 2>/dev/null)
for host in ffmpeg melt gstreamer; do
  check "$host finds the installed filter and gives the tool's frames" \
    bash "$here/../frei0r/hosts_test.sh" "$host" - /usr/bin/tidalhalo
done
check "the OpenFX test host loads the bundle from /usr/OFX/Plugins" \
  "$ofx_dump" /usr/OFX/Plugins/Kv_Tidalhalo.ofx.bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx ofx.bin "$ofx_reference"
check "Kdenlive lists the effect with its description, nothing in the home folder" \
  bash "$here/../frei0r/kdenlive_test.sh" - - /usr/bin/tidalhalo
check "Shotcut lists the filter with its panel, nothing in the home folder" \
  bash "$here/../frei0r/shotcut_test.sh" - - /usr/bin/tidalhalo
check "Pitivi shows the effect with its panel, nothing in the home folder" \
  bash "$here/../frei0r/pitivi_test.sh" - - "$work/pitivi.png"

MANPAGER=cat MANWIDTH=80 man tidalhalo >man.txt 2>man-errors.txt || true
check "man tidalhalo opens" grep -q 'tidalhalo render' man.txt
# Every option of the tool's help in the manual page and the completion.
complete_words() {  # the words completed after "tidalhalo COMMAND --"
  bash -c 'source /usr/share/bash-completion/completions/tidalhalo
           COMP_WORDS=(tidalhalo "$1" --); COMP_CWORD=2; _tidalhalo; printf "%s\n" "${COMPREPLY[@]}"' - "$1"
}
covered() {
  local command option missing=""
  for command in render sheet info; do
    for option in $(tidalhalo help "$command" | grep -o -- '--[a-z0-9-]*[a-z0-9]' | sort -u); do
      grep -q -- "$option" man.txt || missing+=" $option (manual)"
      grep -qx -- "$option" <(complete_words "$command") || missing+=" $command $option (completion)"
    done
  done
  [ -z "$missing" ] || { echo "missing:$missing" >&2; return 1; }
}
check "the manual page and the completion know every option" covered

echo "package test: apt-get remove tidalhalo"
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 remove -y -q tidalhalo >"$work/remove.txt" 2>&1 ||
  { cat "$work/remove.txt"; fail "apt-get remove failed"; }
grep -E '^(The following packages will be REMOVED|  tidalhalo|Removing)' "$work/remove.txt" | sed 's/^/  /'
left=$(while IFS= read -r file; do [ ! -e "$file" ] || echo "$file"; done <<<"$package_files")
check "none of the package's files is left" test -z "$left"
check "Debian's own frei0r filters are all there" test "$(ls /usr/lib/frei0r-1)" = "$filters_before"
check "the packages are those before" test "$(packages)" = "$packages_before"

((failures == 0)) || fail "$failures checks failed"
echo "package test: passed"
