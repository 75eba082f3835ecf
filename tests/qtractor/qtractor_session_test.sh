#!/usr/bin/env bash
# The .clap in a real Qtractor session: a JACK server on its dummy driver, Debian's Qtractor
# on the X display in DISPLAY, with the project's user-space ALSA sequencer standing in for
# the kernel's. The session puts the plug-in on an audio track playing a tone, its settings
# in the state Qtractor keeps for it (made by the built plug-in itself). jack_transport plays
# the session and jack_rec records the master output, whose level must be that of
# velmora-render at the same settings; the editor opened inside Qtractor must show the panel
# of those settings, and a drag of its Mix knob must reach the sound and the state Qtractor
# saves; SIGTERM must then end Qtractor with status 0.
#
#   qtractor_session_test.sh CLAP SEQ_FIXTURE STATE_TOOL RENDER PANEL_PICTURE SCREENSHOT_PNG
set -euo pipefail
source "$(dirname "$0")/../support/panel_in_host.sh"

clap=$1 fixture=$2 state_tool=$3 render=$4 panel_picture=$5 screenshot=$6
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY is set"; exit 77; }
command -v qtractor >/dev/null || { echo "qtractor is not installed"; exit 77; }

work=$(mktemp -d)
server=velmora-qtractor-$$
export JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1 NO_AT_BRIDGE=1
# Qt writes window titles (the "—" in them) in the locale's encoding: UTF-8 whatever the caller
# has, so that the titles below match.
export LC_ALL=C.UTF-8
# A home of its own: Qtractor's settings start from its defaults, and alsa-lib reads the
# sequencer's definition from this home's .asoundrc.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cat >"$HOME/.asoundrc" <<EOF
seq_type.velmora_test { lib "$fixture" }
seq.!default { type velmora_test }
EOF

pids=()
cleanup() {
  set +e  # a failed kill or wait must not cut the clean-up short
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM  # so that the clean-up runs when the test itself is stopped
fail() {
  echo "FAIL: $*"
  # Its messages without the xruns JACK's dummy driver reports on a busy machine.
  [ -f "$work/qtractor.log" ] && grep -v 'XRUN' "$work/qtractor.log" | sed 's/^/  qtractor: /'
  exit 1
}
rms_db() {  # the RMS level in dB of channel $2 of file $1, from second $3 for $4 seconds
  sox "$1" -n remix "$2" trim "$3" "$4" stat 2>&1 |
    awk '/RMS +amplitude/ { printf "%.3f\n", 20 * log($3) / log(10) }'
}

# Drive 80 %, Tube Bias 0.3, Output -12 dB, as the plug-in saves them; Qtractor keeps the
# state as qCompress (the length in 4 big-endian bytes, then zlib) in base64.
"$state_tool" 0=80 1=0.3 5=-12 >"$work/state.bin" || fail "the plug-in saved no state"
state=$(python3 -c '
import base64, struct, sys, zlib
data = open(sys.argv[1], "rb").read()
print(base64.b64encode(struct.pack(">I", len(data)) + zlib.compress(data)).decode())' "$work/state.bin")

sox -n -r 48000 -b 16 -c 2 "$work/tone.wav" synth 8 sine 220 vol 0.3
cat >"$work/velmora.qtr" <<EOF
<!DOCTYPE qtractorSession>
<session name="velmora" version="Qtractor 0.9.31">
 <properties><sample-rate>48000</sample-rate></properties>
 <tracks>
  <track name="Tone" type="audio">
   <properties><input-bus>Master</input-bus><output-bus>Master</output-bus></properties>
   <state><gain>1</gain><panning>0</panning></state>
   <clips>
    <clip name="tone">
     <properties><start>0</start><offset>0</offset><length>384000</length><gain>1</gain></properties>
     <audio-clip><filename>$work/tone.wav</filename></audio-clip>
    </clip>
   </clips>
   <plugins>
    <plugin type="CLAP">
     <filename>$clap</filename>
     <index>0</index>
     <activated>1</activated>
     <configs><config key="state">$state</config></configs>
    </plugin>
   </plugins>
  </track>
 </tracks>
</session>
EOF

jackd --no-realtime --name "$server" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
timeout 10 jack_wait --wait --server "$server" >/dev/null 2>&1 || fail "the JACK server did not start"

qtractor "$work/velmora.qtr" >"$work/qtractor.log" 2>&1 &
qtractor_pid=$!
pids=("$qtractor_pid" "${pids[@]}")

# The session's window, and Qtractor's master output in the JACK graph: the engine runs.
# Qtractor may mark the session as modified while it loads the plug-in's state (which tells
# the host that the values changed).
main_window=
for _ in $(seq 200); do
  main_window=$(xwininfo -root -tree | awk '/\/velmora.qtr( \[modified\])? — Qtractor": \("qtractor"/ { print $1; exit }')
  [ -n "$main_window" ] && jack_lsp 2>/dev/null | grep -q '^Qtractor:Master/out_2$' && break
  main_window=
  kill -0 "$qtractor_pid" 2>/dev/null || fail "Qtractor ended"
  sleep 0.1
done
[ -n "$main_window" ] || fail "Qtractor did not open the session with its engine running"
sleep 1

# Played from the start; one second after the start, two seconds of the master output.
record_master() {
  printf 'locate 0\nplay\n' | timeout 5 jack_transport >/dev/null 2>&1 || fail "jack_transport failed"
  sleep 1
  timeout 10 jack_rec -f "$work/$1" -d 2 Qtractor:Master/out_1 Qtractor:Master/out_2 >/dev/null 2>&1 ||
    fail "no recording"
  printf 'stop\n' | timeout 5 jack_transport >/dev/null 2>&1
}
record_master master.wav

# The recording's level on both channels against velmora-render's of the tone at SETTINGS.
expect_level() {  # expect_level RECORDING WHAT SETTING...
  local recording=$1 what=$2 expected recorded channel
  shift 2
  "$render" --force "$work/tone.wav" "$work/expected.wav" --set Drive=80% --set "Tube Bias=0.3" "$@" >/dev/null ||
    fail "velmora-render failed"
  expected=$(rms_db "$work/expected.wav" 1 2 1)
  for channel in 1 2; do
    recorded=$(rms_db "$work/$recording" "$channel" 0.5 1)
    echo "channel $channel: recorded $recorded dB, velmora-render at $what $expected dB"
    awk -v r="$recorded" -v e="$expected" 'BEGIN { exit !(r - e < 0.2 && e - r < 0.2) }' ||
      fail "the recorded level is not the one at $what"
  done
}
expect_level master.wav "the saved state's Output -12 dB" --set Output=-12dB

# The editor: a double click on the plug-in in the track's list opens it in a window of
# Qtractor's holding the plug-in's 840 x 520 window.
editor_window= ui_window=
for attempt in 1 2 3; do
  xdotool mousemove --window "$main_window" 180 180 click --repeat 2 --delay 80 1
  for _ in $(seq 50); do
    editor_window=$(xwininfo -root -tree | awk '/"Tolvan Velmora - Tone — Qtractor": \("qtractor"/ { print $1; exit }')
    [ -n "$editor_window" ] &&
      ui_window=$(xwininfo -tree -id "$editor_window" | awk '/"Tolvan Velmora": \(\)  840x520/ { print $1; exit }')
    [ -n "$ui_window" ] && break 2
    sleep 0.1
  done
done
[ -n "$ui_window" ] || fail "no editor window inside Qtractor"
echo "Qtractor's editor window $editor_window holds the plug-in's window $ui_window"
sleep 0.5

# The editor against the panel picture of the state's values; the screenshot shows Qtractor
# with the editor open.
x=$(xwininfo -id "$main_window" | awk '/Absolute upper-left X/ { print $4 }')
y=$(xwininfo -id "$main_window" | awk '/Absolute upper-left Y/ { print $4 }')
size=$(xwininfo -id "$main_window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
import -window root -crop "$size+$x+$y" +repage "$screenshot"
import -window "$ui_window" "$work/ui.png"
differing=$(panel_differing_pixels "$work/ui.png" "$panel_picture" 0=0.8 1=0.3) || fail "no panel picture"
echo "editor against the panel picture outside the curve display: $differing pixels differ"
[ "$differing" = 0 ] || fail "the editor does not show the panel of the saved state"

# Mix dragged to 0 in the editor: the level becomes velmora-render's at Mix 0.
panel_mix_to_zero "$ui_window"
record_master dry.wav
expect_level dry.wav "Mix 0 after the drag" --set Output=-12dB --set Mix=0%

# Saved (Ctrl+S), the session holds the plug-in's own state with the dragged Mix: the state
# the plug-in saves at these settings, byte for byte.
"$state_tool" 0=80 1=0.3 5=-12 6=0 >"$work/dragged.bin" || fail "the plug-in saved no state"
xdotool windowfocus --sync "$main_window" key ctrl+s
saved=
for _ in $(seq 50); do
  saved=$(python3 -c '
import base64, re, struct, sys, zlib
text = open(sys.argv[1]).read()
found = re.search(r"<config key=\"state\">(.*?)</config>", text, re.S)
packed = base64.b64decode("".join(found.group(1).split()))
data = zlib.decompress(packed[4:])
print(data.hex() if struct.unpack(">I", packed[:4])[0] == len(data) else "bad length")' "$work/velmora.qtr" \
    2>/dev/null || true)
  [ "$saved" = "$(od -An -v -tx1 "$work/dragged.bin" | tr -d ' \n')" ] && break
  saved=
  sleep 0.1
done
[ -n "$saved" ] || fail "the saved session does not hold the plug-in's state after the drag"
echo "the saved session holds the plug-in's state with Mix 0"

# SIGTERM: Qtractor closes the unchanged session and exits with 0 within 10 s.
kill -TERM "$qtractor_pid"
for _ in $(seq 100); do kill -0 "$qtractor_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$qtractor_pid" 2>/dev/null && fail "Qtractor still runs 10 s after SIGTERM"
status=0
wait "$qtractor_pid" || status=$?
[ "$status" = 0 ] || fail "Qtractor exited with $status on SIGTERM"
echo "PASS"
