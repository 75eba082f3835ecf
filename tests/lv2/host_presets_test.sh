#!/usr/bin/env bash
# The bundle's presets in real hosts: jalv (on a JACK server's dummy driver) lists them and
# loads one by URI, printing the control values it set; Ardour's Lua interface lists them
# by name, the names velmora-render reads through lilv.
#   host_presets_test.sh LV2_PATH VELMORA_RENDER
set -euo pipefail

export LV2_PATH=$1
render=$2
work=$(mktemp -d)
server=velmora-presets-$$
export JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1
jackd_pid=
cleanup() {
  set +e
  [ -n "$jackd_pid" ] && kill "$jackd_pid" 2>/dev/null && wait "$jackd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for log in "$work"/*.log; do sed "s|^|  $(basename "$log"): |" "$log"; done; exit 1; }

"$render" --list-presets | tail -n +2 | sed 's/  .*//' | sort >"$work/names"
[ "$(wc -l <"$work/names")" -ge 12 ] || fail "velmora-render lists $(wc -l <"$work/names") presets"

jackd --no-realtime --name "$server" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jackd_pid=$!
timeout 10 jack_wait --wait --server "$server" >/dev/null 2>&1 || fail "the JACK server did not start"

# jalv's console: list, load Parallel Drum Smash, print the controls.
preset=urn:tolvan-audio:velmora:preset:parallel-drum-smash
{ echo presets; sleep 1; echo "preset $preset"; sleep 1; echo controls; sleep 1; } |
  timeout 20 jalv -n "velmora-presets-jalv-$$" urn:tolvan-audio:velmora >"$work/jalv.log" 2>&1 ||
  [ $? -eq 124 ] || fail "jalv failed"
listed=$(grep -c '^\(> \)\?urn:tolvan-audio:velmora:preset:[a-z0-9-]* (' "$work/jalv.log" || true)
[ "$listed" -eq "$(wc -l <"$work/names")" ] || fail "jalv lists $listed presets"
grep -q "^\(> \)\?$preset (Parallel Drum Smash)$" "$work/jalv.log" || fail "jalv does not list $preset"
# The controls after the preset: the last block jalv printed.
expected="drive = 100.000000
tube_bias = 0.600000
glue_580 = 100.000000
momentum = 100.000000
sieve_172 = 60.000000
output = -3.500000
mix = 35.000000
enabled = 1.000000
oversampling = 1.000000"
controls=$(sed 's/^> //' "$work/jalv.log" | grep -E '^[a-z_0-9]+ = ' | tail -n 9)
[ "$controls" = "$expected" ] || fail "jalv's controls after the preset: $controls"

# Ardour: a session on its dummy back end, the plug-in's presets as its preset menu has them.
command -v ardour7-lua >/dev/null || { echo "no ardour7-lua"; exit 77; }
cat >"$work/presets.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
assert(create_session("$work/session", "presets", 48000), "the session could not be created")
local info = ARDOUR.LuaAPI.new_plugin_info("urn:tolvan-audio:velmora", ARDOUR.PluginType.LV2)
assert(not info:isnil(), "Ardour does not know the plug-in")
for preset in info:get_presets(false):iter() do print("preset: " .. preset.label) end
close_session()
quit()
LUA
timeout 300 ardour7-lua "$work/presets.lua" >"$work/ardour.log" 2>&1 || fail "ardour7-lua failed"
sed -n 's/^preset: //p' "$work/ardour.log" | sort >"$work/ardour-names"
cmp -s "$work/names" "$work/ardour-names" || fail "Ardour lists: $(tr '\n' ',' <"$work/ardour-names")"
echo "jalv and Ardour list the $(wc -l <"$work/names") presets; jalv loads one"
