#!/usr/bin/env bash
# Qtractor's own plug-in scanner on the built .clap: one line, fields separated by "|":
# type, name, audio ins:outs, MIDI ins:outs, control ins:outs, flags, file, index, id.
#   qtractor_scan_test.sh CLAP_FILE
set -uo pipefail
clap=$1
scanner=$(dpkg -L qtractor 2>/dev/null | grep '/qtractor_plugin_scan$' | head -n 1)
[ -x "$scanner" ] || { echo "qtractor_plugin_scan is not installed"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

line=$(echo "CLAP:$clap" | timeout 30 "$scanner" 2>/dev/null | grep '^CLAP|') || fail "the scanner listed nothing"
echo "$line"
IFS='|' read -r type name audio midi controls flags file index id <<<"$line"
[ "$name" = "Tolvan Velmora" ] || fail "name '$name'"
[ "$audio" = "2:2" ] || fail "audio ports '$audio'"
[ "$midi" = "0:0" ] || fail "MIDI ports '$midi'"
# The eight of the parameter table and Oversampling.
[ "$controls" = "9:0" ] || fail "controls '$controls'"
for flag in GUI EXT RT; do
  [[ ",$flags," == *",$flag,"* ]] || fail "flag $flag missing from '$flags'"
done
[ "$file" = "$clap" ] && [ "$index" = 0 ] || fail "file '$file', index '$index'"
echo "PASS"
