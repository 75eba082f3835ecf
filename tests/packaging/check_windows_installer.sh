#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix, as a user runs it:
#   check_windows_installer.sh DIST WIN64_BUILD
# a silent install to the default places (every file where the hosts look, both families
# registered), an install over it into another VST 2.4 folder that also replaces an older
# single-file VST 3, the panel painted by the VST 2.4 library from that folder, the CLAP
# and VST 3 rendering in the tests' hosts, the silent uninstall leaving the prefix as it
# found it, and an Inter installed beforehand kept through install and uninstall.
set -uo pipefail
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
dist=$(readlink -f "$1") build=$(readlink -f "$2") root=$(cd "$(dirname "$0")/../.." && pwd)
work=$build/package-test
rm -rf "$work" && mkdir -p "$work"
# Wine registers every font folder fontconfig names, whatever it hides: the prefix sees none
# of the machine's, so the panel's faces are the installer's.
cat >"$work/no-fonts.conf" <<CONF
<?xml version="1.0"?>
<fontconfig><cachedir>$work/fontconfig-cache</cachedir></fontconfig>
CONF
export FONTCONFIG_FILE=$work/no-fonts.conf
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
setup=$(ls "$dist"/*-win64-setup.exe) zip=$(ls "$dist"/*-win64.zip)
drive=$WINEPREFIX/drive_c common="$WINEPREFIX/drive_c/Program Files/Common Files"
failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok - $what"; else echo "not ok - $what"; failures=$((failures + 1)); fi
}
run() { wine "$@" >>"$work/wine.log" 2>&1; wineserver -w; }
# A value of HKLM\KEY as system.reg writes it (KEY with doubled backslashes), case aside.
reg_value() {
  KEY=$1 NAME=$2 awk 'BEGIN { key = "[" tolower(ENVIRON["KEY"]) "]"; name = "\"" tolower(ENVIRON["NAME"]) "\"=" }
    /^\[/ { sub(/\] [0-9]+$/, "]"); in_key = (tolower($0) == key); next }
    in_key && index(tolower($0), name) == 1 { print substr($0, length(name) + 1); exit }' "$WINEPREFIX/system.reg"
}
fonts_key='Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts'
uninstall_key='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvan Velmora'
state_key='Software\\Tolvan Audio Technologies\\Tolvan Velmora'
# The prefix's files (less temporary ones) and its software registry keys with their
# values (less the network cards and devices Wine finds as it runs).
snapshot() {
  (cd "$drive" && find . -path '*/[Tt]emp' -prune -o -print | sort) >"$work/$1.files"
  awk '/^\[/ { sub(/\] [0-9]+$/, "]"); keep = ($0 ~ /^\[Software/ && $0 !~ /NetworkCards/) }
       keep && !/^#time=/' "$WINEPREFIX/system.reg" >"$work/$1.reg"
}
same_as() {
  snapshot after
  diff "$work/$1.files" "$work/after.files" && diff "$work/$1.reg" "$work/after.reg"
}
fonts_registered() {
  [ "$(reg_value "$fonts_key" "Cinzel (TrueType)")" = '"Cinzel-Regular.ttf"' ] &&
  [ "$(reg_value "$fonts_key" "Cinzel Bold (TrueType)")" = '"Cinzel-Bold.ttf"' ] &&
  [ "$(reg_value "$fonts_key" "Inter (TrueType)")" = '"Inter-Regular.ttf"' ] &&
  [ "$(reg_value "$fonts_key" "Inter Bold (TrueType)")" = '"Inter-Bold.ttf"' ]
}
# The installed files are the zip's, byte for byte.
as_in_zip() {
  cmp -s "$1" "$work/zip/"*/"$2"
}

unzip -q "$zip" -d "$work/zip"
wineboot -i >"$work/wine.log" 2>&1
wineserver -w
snapshot fresh

run "$setup" /S
check "VST 2.4 library in Common Files\\VST2" as_in_zip "$common/VST2/Tolvan_Velmora.dll" VST2/Tolvan_Velmora.dll
check "VST 3 bundle in Common Files\\VST3" as_in_zip \
  "$common/VST3/Tolvan_Velmora.vst3/Contents/x86_64-win/Tolvan_Velmora.vst3" VST3/Tolvan_Velmora.vst3/Contents/x86_64-win/Tolvan_Velmora.vst3
check "CLAP plug-in in Common Files\\CLAP" as_in_zip "$common/CLAP/Tolvan_Velmora.clap" CLAP/Tolvan_Velmora.clap
for face in Cinzel-Regular Cinzel-Bold Inter-Regular Inter-Bold; do
  check "$face in the Fonts folder" as_in_zip "$drive/windows/Fonts/$face.ttf" "Fonts/$face.ttf"
done
check "licences beside the uninstaller" test -f "$drive/Program Files/Tolvan Velmora/Fonts/Cinzel-OFL.txt" -a \
  -f "$drive/Program Files/Tolvan Velmora/Fonts/Inter-OFL.txt" -a -f "$drive/Program Files/Tolvan Velmora/uninstall.exe"
check "both families registered under their full names" fonts_registered
check "Apps & features entry" test "$(reg_value "$uninstall_key" DisplayName)$(reg_value "$uninstall_key" Publisher)$(reg_value "$uninstall_key" QuietUninstallString)" = \
  '"Tolvan Velmora""Tolvan Audio Technologies""\"C:\\Program Files\\Tolvan Velmora\\uninstall.exe\" /S"'
version=$(reg_value "$uninstall_key" DisplayVersion) size=$(reg_value "$uninstall_key" EstimatedSize)
expected=${setup##*/Tolvan_Velmora-}
check "version $version and estimated size $size" test "$version" = "\"${expected%-win64-setup.exe}\"" -a \
  "${size:-dword:00000000}" != dword:00000000
check "registry in the 64-bit view only" bash -c "! grep -qi 'Wow6432Node.*Tolvan' '$WINEPREFIX/system.reg'"

# Again, into another VST 2.4 folder, over a VST 3 of the older single-file layout.
rm -r "$common/VST3/Tolvan_Velmora.vst3" && echo old >"$common/VST3/Tolvan_Velmora.vst3"
# From a batch file, so that the command line is the one a user types.
printf '"%s" /S /VST2DIR="C:\\Audio Plugins\\VST"\r\n' "Z:${setup//\//\\}" >"$work/install-again.bat"
run cmd /c "Z:${work//\//\\}\\install-again.bat"
check "second install: VST 2.4 library in the chosen folder, the first folder gone" \
  test -f "$drive/Audio Plugins/VST/Tolvan_Velmora.dll" -a ! -e "$common/VST2"
check "second install: the single-file VST 3 replaced by the bundle" \
  test -f "$common/VST3/Tolvan_Velmora.vst3/Contents/x86_64-win/Tolvan_Velmora.vst3"
check "second install: one Apps & features entry" \
  test "$(grep -ci '^"DisplayName"="Tolvan Velmora"' "$WINEPREFIX/system.reg")" = 1

# The panel the installed VST 2.4 library paints: its texts need both families from GDI+.
wine "$build/velmora-snapshot.exe" "Z:$work/panel.png" --idle 39 \
  --plugin 'C:\Audio Plugins\VST\Tolvan_Velmora.dll' >>"$work/wine.log" 2>&1
differing=$(compare -metric AE "$work/panel.png" "$root/docs/panel.png" null: 2>&1)
check "panel painted from the chosen folder as docs/panel.png ($differing pixels differ)" test "$differing" = 0
VELMORA_INSTALLED_VST2='C:\Audio Plugins\VST\Tolvan_Velmora.dll' \
  wine "$build/velmora-installed-plugins-test.exe" >"$work/hosts.log" 2>&1
check "installed CLAP and VST 3 render as the installed VST 2.4 library" grep -q '^\[  PASSED  \] 1 test' "$work/hosts.log"

run "$drive/Program Files/Tolvan Velmora/uninstall.exe" /S
check "silent uninstall leaves the prefix's files and registry as they were" same_as fresh

# Inter installed before: kept as it was, and not taken away by the uninstaller. Only the
# VST 3 and the fonts this time.
cp "$work/zip/"*/Fonts/Inter-*.ttf "$drive/windows/Fonts/"
wine reg add "HKLM\\${fonts_key//\\\\/\\}" /v "Inter (TrueType)" /d Inter-Regular.ttf /f >>"$work/wine.log" 2>&1
wine reg add "HKLM\\${fonts_key//\\\\/\\}" /v "Inter Bold (TrueType)" /d Inter-Bold.ttf /f >>"$work/wine.log" 2>&1
wineserver -w
snapshot with-inter
run "$setup" /S /NOVST2 /NOCLAP
check "/NOVST2 /NOCLAP: the VST 3 alone" test -f "$common/VST3/Tolvan_Velmora.vst3/Contents/x86_64-win/Tolvan_Velmora.vst3" -a \
  ! -e "$common/VST2" -a ! -e "$common/CLAP"
check "an Inter already there is not taken as the installer's" \
  test -z "$(reg_value "$state_key\\\\Fonts" Inter-Regular.ttf)" -a -n "$(reg_value "$state_key\\\\Fonts" Cinzel-Regular.ttf)"
run "$drive/Program Files/Tolvan Velmora/uninstall.exe" /S
check "after the uninstall Inter is still there, and nothing else" same_as with-inter

[ "$failures" = 0 ] || { echo "FAIL: $failures check(s) of the Windows installer; Wine's output in $work/wine.log"; exit 1; }
rm -rf "$WINEPREFIX"
echo "PASS: the Windows installer"
