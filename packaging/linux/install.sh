#!/bin/sh
# Installs Tolvan Velmora for the current user, without root: the LV2 bundle into ~/.lv2,
# the VST 2.4 library into ~/.vst, the VST 3 bundle into ~/.vst3, the CLAP plug-in into
# ~/.clap, and the font families Cinzel and Inter (with their licences) into
# ~/.local/share/fonts/tolvan-velmora. What it added is listed in
# ~/.local/share/tolvan-velmora/installed, and
#   ./install.sh --uninstall
# removes exactly that (folders only if it made them and they are empty again).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data=$HOME/.local/share/tolvan-velmora
record=$data/installed
user_name=${USER:-$(id -un)}

uninstall() {
  [ -f "$record" ] || { echo "Tolvan Velmora is not installed for $user_name"; return 0; }
  folders=$(grep '^folder ' "$record" | cut -c8- | sort -r)
  grep '^file ' "$record" | cut -c6- | while IFS= read -r path; do rm -f "$path"; done
  rm -f "$record"
  # Deepest first; a folder that holds something else now stays.
  echo "$folders" | while IFS= read -r path; do
    [ -n "$path" ] && { rmdir "$path" 2>/dev/null || true; }
  done
  echo "Tolvan Velmora removed"
}

# Creates a folder and its missing parents, each listed as made.
make_folder() {
  [ -d "$1" ] && return 0
  make_folder "$(dirname "$1")"
  mkdir "$1"
  echo "folder $1" >>"$record"
}

# Copies a file or a folder's files into a target folder.
copy_into() {
  local source="$1" target="$2" entry
  if [ -d "$source" ]; then
    make_folder "$target/${source##*/}"
    for entry in "$source"/*; do copy_into "$entry" "$target/${source##*/}"; done
  else
    make_folder "$target"
    cp "$source" "$target/"
    echo "file $target/${source##*/}" >>"$record"
  fi
}

case "${1:-}" in
--uninstall) uninstall; exit 0 ;;
"") ;;
*) echo "usage: $0 [--uninstall]" >&2; exit 2 ;;
esac

[ -f "$record" ] && uninstall >/dev/null
if [ ! -d "$data" ]; then
  parent_missing=$(cd "$HOME" && for d in .local .local/share; do [ -d "$d" ] || echo "$HOME/$d"; done)
  mkdir -p "$data"
  for d in $parent_missing; do echo "folder $d" >>"$record"; done
  echo "folder $data" >>"$record"
fi
copy_into "$here/Tolvan_Velmora.lv2" "$HOME/.lv2"
copy_into "$here/Tolvan_Velmora.so" "$HOME/.vst"
copy_into "$here/Tolvan_Velmora.vst3" "$HOME/.vst3"
copy_into "$here/Tolvan_Velmora.clap" "$HOME/.clap"
for font in "$here"/fonts/*; do copy_into "$font" "$HOME/.local/share/fonts/tolvan-velmora"; done
echo "Tolvan Velmora installed for $user_name (LV2, VST 2.4, VST 3, CLAP and the fonts Cinzel and Inter)"
echo "To remove it: $0 --uninstall"
