#!/usr/bin/env bash
# Installs Kv_Tidalhalo from this unpacked folder for one user, without root,
# where the editors people download look: the frei0r filter, Kdenlive's
# description and Shotcut's panel in the home folder, the tool with its module
# in ~/.local/lib/tidalhalo and on the PATH through ~/.local/bin; the same
# for Flatpak Kdenlive and Shotcut; Shotcut's portable folder and an OpenFX
# folder when asked. Every file and folder it makes is written to a record,
# and --uninstall takes back exactly those, leaving any file changed since.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool_name=install.sh

usage() {
  cat <<'USAGE'
usage: install.sh [--shotcut DIR] [--ofx DIR] [--yes]
       install.sh --uninstall

Installs for this user, without root:
  ~/.frei0r-1/lib/tidalhalo.so              the frei0r filter (ffmpeg, melt,
                                            Kdenlive and Shotcut as distributions
                                            build them, GStreamer)
  ~/.local/share/kdenlive/effects/          Kdenlive's description of the filter
  ~/.local/share/Meltytech/Shotcut/extensions/filters/tidalhalo/
                                            Shotcut's panel (Shotcut 26.6.25 on)
  ~/.local/lib/tidalhalo/, ~/.local/bin/tidalhalo
                                            the command-line tool and its module
With Flatpak Kdenlive or Shotcut, also the description or panel in the app's
own data folder; the app reads frei0r filters from ~/.frei0r-1/lib only once
FREI0R_PATH is overridden for it: the command is printed, and run with --yes.

  --shotcut DIR   also into Shotcut's portable folder DIR (the unpacked
                  official tarball, Shotcut.app): DIR/lib/frei0r-1 and
                  DIR/share/shotcut/qml/filters
  --ofx DIR       also the OpenFX bundle into DIR (a folder that the hosts'
                  OFX_PLUGIN_PATH lists)
  --yes           run the Flatpak overrides instead of printing them
  --uninstall     remove what install.sh installed, as its record lists it

AppImages and Snaps are read-only and cannot be added to: use the Flatpak, the
Shotcut tarball, or your distribution's packages.
USAGE
}

fail() {
  echo "$tool_name: error: $*" >&2
  exit 1
}
say() { echo "$tool_name: $*"; }

yes="" uninstall="" shotcut="" ofx=""
while (($#)); do
  case "$1" in
    --yes) yes=1; shift ;;
    --uninstall) uninstall=1; shift ;;
    --shotcut | --ofx)
      (($# >= 2)) || { echo "$tool_name: error: $1 needs a folder" >&2; exit 2; }
      if [ "$1" = --shotcut ]; then shotcut=$2; else ofx=$2; fi
      shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "$tool_name: error: unknown argument $1 (see install.sh --help)" >&2; exit 2 ;;
  esac
done
[ -n "${HOME:-}" ] && [ -d "$HOME" ] || fail "HOME is not set to a folder"

data=${XDG_DATA_HOME:-$HOME/.local/share}
record="$data/tidalhalo/installed"
frei0r_dir="$HOME/.frei0r-1/lib"
override_path="/app/lib/frei0r-1:$frei0r_dir"
# The Flatpak apps and where each reads its user's files.
flatpak_apps=(org.kde.kdenlive org.shotcut.Shotcut)

# Record lines: kind, check and path, separated by tabs: "file <sha256>
# PATH", "link <target> PATH", "dir - PATH", "override - APP".
entries=()
add_entry() { entries+=("$1"$'\t'"$2"$'\t'"$3"); }

uninstall_all() {
  [ -f "$record" ] || { say "nothing to uninstall: no record of an installation at $record"; return; }
  local lines kind check path i
  mapfile -t lines <"$record"
  rm -f "$record"
  for ((i = ${#lines[@]} - 1; i >= 0; i--)); do
    IFS=$'\t' read -r kind check path <<<"${lines[i]}"
    case "$kind" in
      file)
        if [ -f "$path" ] && [ ! -L "$path" ] && [ "$(sha256sum <"$path" | cut -d' ' -f1)" = "$check" ]; then
          rm -f "$path" && say "removed $path"
        elif [ -e "$path" ]; then
          say "left $path: changed since it was installed"
        fi ;;
      link)
        if [ -L "$path" ] && [ "$(readlink "$path")" = "$check" ]; then
          rm -f "$path" && say "removed $path"
        elif [ -e "$path" ] || [ -L "$path" ]; then
          say "left $path: changed since it was installed"
        fi ;;
      dir) rmdir "$path" 2>/dev/null || true ;;
      override)
        if command -v flatpak >/dev/null; then
          if flatpak override --user --unset-env=FREI0R_PATH "$path"; then
            say "removed the Flatpak override of FREI0R_PATH for $path"
          else
            say "left the Flatpak override of FREI0R_PATH for $path: see flatpak override --user --show $path"
          fi
        else
          say "left the Flatpak override of FREI0R_PATH for $path: flatpak is not on the PATH"
        fi ;;
    esac
  done
}

if [ -n "$uninstall" ]; then
  [ -z "$shotcut$ofx$yes" ] || { echo "$tool_name: error: --uninstall takes no other option" >&2; exit 2; }
  uninstall_all
  exit 0
fi

appimage_text="AppImages are read-only and set their own frei0r folder, so nothing can be added to them"
snap_text="Snaps are read-only and set their own frei0r folder, so nothing can be added to them"

# What goes where: pairs of a file of this folder and its destination.
sources=() destinations=()
plan() { sources+=("$here/$1"); destinations+=("$2"); }
plan_panel() {  # the Shotcut panel's folder
  local file
  for file in meta.qml ui.qml vui.qml; do plan "shotcut/tidalhalo/$file" "$1/$file"; done
}
plan tidalhalo.so "$frei0r_dir/tidalhalo.so"
plan frei0r_tidalhalo.xml "$data/kdenlive/effects/frei0r_tidalhalo.xml"
plan_panel "$data/Meltytech/Shotcut/extensions/filters/tidalhalo"
plan tidalhalo "$HOME/.local/lib/tidalhalo/tidalhalo"
plan Kv_Tidalhalo.so "$HOME/.local/lib/tidalhalo/Kv_Tidalhalo.so"
link="$HOME/.local/bin/tidalhalo"

flatpaks=()
if command -v flatpak >/dev/null; then
  installed_apps=$(flatpak list --app --columns=application 2>/dev/null || true)
  for app in "${flatpak_apps[@]}"; do
    if grep -qx "$app" <<<"$installed_apps"; then
      flatpaks+=("$app")
      case "$app" in
        org.kde.kdenlive) plan frei0r_tidalhalo.xml "$HOME/.var/app/$app/data/kdenlive/effects/frei0r_tidalhalo.xml" ;;
        org.shotcut.Shotcut) plan_panel "$HOME/.var/app/$app/data/Meltytech/Shotcut/extensions/filters/tidalhalo" ;;
      esac
    fi
  done
fi

if [ -n "$shotcut" ]; then
  if [ -f "$shotcut" ] && { [[ "$shotcut" == *.AppImage ]] || [ "$(head -c 4 "$shotcut" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; }; then
    fail "$shotcut is an AppImage: $appimage_text. Use Shotcut's portable tarball (install.sh --shotcut Shotcut.app) or its Flatpak"
  fi
  [ -d "$shotcut/share/shotcut/qml/filters" ] && { [ -e "$shotcut/bin/shotcut" ] || [ -e "$shotcut/shotcut" ]; } ||
    fail "$shotcut is not a Shotcut installation: no share/shotcut/qml/filters and bin/shotcut in it (give the folder Shotcut.app of the unpacked tarball)"
  shotcut=$(realpath "$shotcut")
  plan tidalhalo.so "$shotcut/lib/frei0r-1/tidalhalo.so"
  plan_panel "$shotcut/share/shotcut/qml/filters/tidalhalo"
fi
if [ -n "$ofx" ]; then
  ofx=$(realpath -m "$ofx")
  [ -d "$ofx" ] || [ -d "$(dirname "$ofx")" ] || fail "$ofx: no such folder"
  plan Kv_Tidalhalo.ofx.bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx \
    "$ofx/Kv_Tidalhalo.ofx.bundle/Contents/Linux-x86-64/Kv_Tidalhalo.ofx"
fi

# Everything checked before anything is written: this folder complete, no
# path a record line cannot hold, and every destination folder writable (by
# trying, which also finds read-only file systems for root).
for i in "${!sources[@]}"; do
  [ -f "${sources[i]}" ] || fail "${sources[i]} is missing: run install.sh from the unpacked release folder"
  [[ "${destinations[i]}" != *[$'\t\n']* ]] || fail "${destinations[i]}: a path with a tab or line break"
  [ ! -d "${destinations[i]}" ] || fail "${destinations[i]} is a folder"
done
writable() {  # the folder, or the nearest one above it that exists
  local dir=$1 probe
  while [ ! -e "$dir" ]; do dir=$(dirname "$dir"); done
  [ -d "$dir" ] || fail "$dir is not a folder"
  probe=$(mktemp "$dir/.tidalhalo-probe.XXXXXX" 2>/dev/null) || fail "cannot write to $dir"
  rm -f "$probe"
}
for destination in "${destinations[@]}" "$link" "$record"; do writable "$(dirname "$destination")"; done

if command -v snap >/dev/null; then
  for app in shotcut kdenlive; do
    if snap list "$app" >/dev/null 2>&1; then
      say "the $app Snap cannot load the filter: $snap_text. Use the Flatpak, or your distribution's package"
    fi
  done
fi

# Written from here on; a failure takes back what this run made.
made=()
rollback() {
  local i
  for ((i = ${#made[@]} - 1; i >= 0; i--)); do
    rm -f "${made[i]}" 2>/dev/null || rmdir "${made[i]}" 2>/dev/null || true
  done
  echo "$tool_name: error: installing failed; nothing was left installed by this run" >&2
}
trap 'rollback' ERR
set -E
make_dir() {  # creates the folder and those above it, recording each one made
  local dir=$1 missing=()
  while [ ! -d "$dir" ]; do missing=("$dir" "${missing[@]}"); dir=$(dirname "$dir"); done
  for dir in "${missing[@]}"; do
    mkdir "$dir"
    made+=("$dir")
    add_entry dir - "$dir"
  done
}
old_entries=()
if [ -f "$record" ]; then mapfile -t old_entries <"$record"; fi
recorded_sum() {  # the sum the old record holds for a path
  local line
  for line in "${old_entries[@]}"; do
    [[ "$line" == file$'\t'*$'\t'"$1" ]] && { line=${line#file$'\t'}; echo "${line%%$'\t'*}"; return; }
  done
  true
}
for i in "${!sources[@]}"; do
  destination=${destinations[i]}
  make_dir "$(dirname "$destination")"
  note=""
  if [ -e "$destination" ]; then
    [ "$(sha256sum <"$destination" | cut -d' ' -f1)" = "$(recorded_sum "$destination")" ] ||
      note=" (replacing the file that was there)"
  else
    made+=("$destination")
  fi
  mode=0644
  [ -x "${sources[i]}" ] && [[ "$destination" != *.so ]] && mode=0755
  # Copied beside the destination, then renamed over it: never half a file.
  install -m "$mode" "${sources[i]}" "$destination.tidalhalo-new"
  mv -f "$destination.tidalhalo-new" "$destination"
  add_entry file "$(sha256sum <"$destination" | cut -d' ' -f1)" "$destination"
  say "installed $destination$note"
done
make_dir "$(dirname "$link")"
target="$HOME/.local/lib/tidalhalo/tidalhalo"
if [ -L "$link" ] || [ ! -e "$link" ]; then
  [ -e "$link" ] || [ -L "$link" ] || made+=("$link")
  ln -sfn "$target" "$link"
  add_entry link "$target" "$link"
  say "installed $link -> $target"
else
  say "left $link: a file that is not install.sh's; run $target"
fi

for app in "${flatpaks[@]}"; do
  command=(flatpak override --user "--env=FREI0R_PATH=$override_path" "$app")
  if [ -z "$yes" ]; then
    say "Flatpak $app reads frei0r filters only from its own folder; to add $frei0r_dir, run:"
    echo "  ${command[*]}"
    say "(or run install.sh again with --yes)"
  elif current=$(flatpak override --user --show "$app" 2>/dev/null | grep '^FREI0R_PATH=' || true) &&
       [ -n "$current" ] && [ "$current" != "FREI0R_PATH=$override_path" ]; then
    say "left Flatpak $app's own override $current; add $frei0r_dir to it yourself"
  else
    "${command[@]}"
    add_entry override - "$app"
    say "ran ${command[*]}"
  fi
done

# The record: what earlier runs installed and this run did not replace, then this run's.
make_dir "$(dirname "$record")"
{
  for line in "${old_entries[@]}"; do
    IFS=$'\t' read -r kind _ path <<<"$line"
    keep=1
    for entry in "${entries[@]}"; do
      [[ "$entry" == "$kind"$'\t'*$'\t'"$path" ]] && keep=""
    done
    [ -z "$keep" ] || printf '%s\n' "$line"
  done
  printf '%s\n' "${entries[@]}"
} >"$record.new"
mv -f "$record.new" "$record"
trap - ERR
say "recorded in $record (install.sh --uninstall takes it all back)"
case ":$PATH:" in
  *":$HOME/.local/bin:"*) ;;
  *) say "$HOME/.local/bin is not on your PATH: add it, or run $target" ;;
esac
say "restart Kdenlive and Shotcut: the filter is listed as \"Tidal Halo\""
