#!/usr/bin/env bash
# The Debian package and the tarball as hosts and users meet them:
#   check_linux_packages.sh DIST
# lintian without errors; the package's files, unpacked, found by lv2ls, Ardour's VST 3
# scanner and Qtractor's scanner (CLAP and VST 2.4), and velmora-render run from them; the
# tarball's install.sh into a scratch HOME (found by lv2ls and fontconfig there), run
# twice, then --uninstall leaving that HOME as it was.
set -uo pipefail
dist=$(readlink -f "$1")
deb=$(ls "$dist"/*_amd64.deb) tarball=$(ls "$dist"/*-linux-x86_64.tar.gz)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok - $what"; else echo "not ok - $what"; failures=$((failures + 1)); fi
}
scanner=$(dpkg -L qtractor 2>/dev/null | grep '/qtractor_plugin_scan$' | head -n 1)
qtractor_lists() {  # TYPE FILE EXPECTED-PREFIX
  echo "$1:$2" | timeout 30 "$scanner" 2>/dev/null | grep -q "^$3"
}

lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
grep -v 'not recommended' "$work/lintian.txt"
check "lintian reports no error" bash -c "! grep -q '^E: ' '$work/lintian.txt'"

root=$work/deb
dpkg-deb -x "$deb" "$root" && dpkg-deb -e "$deb" "$work/control"
check "depends on fonts-inter and the libraries it links" \
  bash -c "grep '^Depends:' '$work/control/control' | grep -q 'libc6.*fonts-inter'"
check "no maintainer script calls ldconfig" bash -c "! grep -rqs ldconfig '$work/control'"
check "Cinzel, the man page, copyright and changelog" test -f "$root/usr/share/fonts/truetype/tolvan-velmora/Cinzel-Regular.ttf" -a \
  -f "$root/usr/share/fonts/truetype/tolvan-velmora/Cinzel-Bold.ttf" -a -f "$root/usr/share/man/man1/velmora-render.1.gz" -a \
  -f "$root/usr/share/doc/tolvan-velmora/copyright" -a -f "$root/usr/share/doc/tolvan-velmora/changelog.gz"
check "lv2ls finds the LV2 bundle" bash -c "LV2_PATH='$root/usr/lib/lv2' lv2ls | grep -qx urn:tolvan-audio:velmora"
XDG_CACHE_HOME=$work/ardour-cache LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 60 /usr/lib/ardour7/ardour-vst3-scanner \
  -f "$root/usr/lib/vst3/Tolvan_Velmora.vst3" >"$work/ardour.log" 2>&1
check "Ardour's VST 3 scanner accepts the bundle" bash -c \
  "find '$work/ardour-cache' -name '*.v3i' -exec cat {} + | grep -q 'uid=\"56535456454C4D746F6C76616E207665\"'"
check "Qtractor's scanner lists the CLAP plug-in" qtractor_lists CLAP "$root/usr/lib/clap/Tolvan_Velmora.clap" 'CLAP|Tolvan Velmora|2:2|'
check "Qtractor's scanner lists the VST 2.4 library" qtractor_lists VST "$root/usr/lib/vst/Tolvan_Velmora.so" 'VST|Tolvan Velmora|2:2|'
check "velmora-render hosts the installed bundle by default" \
  bash -c "'$root/usr/bin/velmora-render' --list-params | grep -q '^Tolvan Velmora by Tolvan Audio Technologies'"

# The tarball for one user, into a HOME that already holds plug-ins and fonts of its own.
home=$work/home
mkdir -p "$home/.lv2/Other.lv2" "$home/.local/share/fonts" "$home/.vst3"
echo "# another bundle" >"$home/.lv2/Other.lv2/manifest.ttl" && echo other >"$home/.local/share/fonts/Other.ttf"
listing() { (cd "$home" && find . -printf '%p %m %s\n' | sort); }
listing >"$work/before.txt"
tar -xzf "$tarball" -C "$work"
installer=$(ls "$work"/*-linux-x86_64/install.sh)
HOME=$home sh "$installer" >/dev/null && HOME=$home sh "$installer" >"$work/install.log"
check "install.sh, twice, puts the four plug-ins in the user's folders" test -f "$home/.lv2/Tolvan_Velmora.lv2/manifest.ttl" -a \
  -f "$home/.vst/Tolvan_Velmora.so" -a -f "$home/.vst3/Tolvan_Velmora.vst3/Contents/x86_64-linux/Tolvan_Velmora.so" -a \
  -f "$home/.clap/Tolvan_Velmora.clap"
check "lv2ls finds the bundle in ~/.lv2" bash -c "HOME='$home' env -u LV2_PATH lv2ls | grep -qx urn:tolvan-audio:velmora"
families=$(HOME=$home XDG_CACHE_HOME=$work/fc-cache fc-list : family file | grep "$home/.local/share/fonts/tolvan-velmora" |
           sed 's/.*: //' | sort -u | tr '\n' ' ')
check "fontconfig finds both families in ~/.local/share/fonts ($families)" test "$families" = "Cinzel Inter "
HOME=$home sh "$installer" --uninstall >/dev/null
listing >"$work/after.txt"
check "install.sh --uninstall leaves HOME as it was" diff "$work/before.txt" "$work/after.txt"

[ "$failures" = 0 ] || { echo "FAIL: $failures check(s) of the Linux packages"; exit 1; }
echo "PASS: the Linux packages"
