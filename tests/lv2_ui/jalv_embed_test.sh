#!/usr/bin/env bash
# The LV2 UI in a real host: a JACK server on its dummy driver, jalv.gtk3 running the
# plug-in from the build tree's bundle with the UI embedded, on the X display in DISPLAY.
# Checks that the UI window sits inside jalv's window and shows the panel with the values
# jalv sends it, at 200 % when GTK scales by 2 (GDK_SCALE=2), and that a drag of the Mix knob changes the plug-in's port in the host: a
# tone through the plug-in comes out changed at Mix 100 %, unchanged once Mix is dragged to 0.
#
#   jalv_embed_test.sh LV2_PATH PANEL_PICTURE_COMMAND SCREENSHOT_PNG
set -euo pipefail
source "$(dirname "$0")/../support/panel_in_host.sh"

lv2_path=$1 panel_picture=$2 screenshot=$3
if [ -z "${DISPLAY:-}" ]; then
  echo "no DISPLAY is set"
  exit 77
fi

work=$(mktemp -d)
server=velmora-test-$$ client=velmora-jalv-$$ metro=velmora-tone-$$
export JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1 LV2_PATH=$lv2_path NO_AT_BRIDGE=1
pids=()
cleanup() {
  set +e  # a failed kill or wait must not cut the clean-up short
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/jalv.log" ] && sed 's/^/  jalv: /' "$work/jalv.log"
  exit 1
}

jackd --no-realtime --name "$server" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
timeout 10 jack_wait --wait --server "$server" >/dev/null 2>&1 || fail "the JACK server did not start"

# Starts jalv.gtk3 (Drive 80 %, Tube Bias 0.3: jalv sends them to the UI as port events)
# with the environment given, and finds its top-level window and the UI's window of the
# given size inside it.
host_window= ui_window= jalv_pid=
start_jalv() {
  local size=$1
  shift
  env "$@" jalv.gtk3 --jack-name "$client" --exact-jack-name -c drive=80 -c tube_bias=0.3 \
    urn:tolvan-audio:velmora >"$work/jalv.log" 2>&1 &
  jalv_pid=$!
  pids=("$jalv_pid" "${pids[@]}")
  host_window= ui_window=
  for _ in $(seq 100); do
    host_window=$(xwininfo -root -tree |
      awk '/"Tolvan Velmora": \("jalv.gtk3" "Jalv.gtk3"\)/ { print $1; exit }')
    if [ -n "$host_window" ]; then
      ui_window=$(xwininfo -tree -id "$host_window" |
        awk -v size="$size" '/"Tolvan Velmora": \(\)/ && index($5, size "+") == 1 { print $1; exit }')
      [ -n "$ui_window" ] && break
    fi
    kill -0 "$jalv_pid" 2>/dev/null || fail "jalv.gtk3 ended"
    sleep 0.1
  done
  [ -n "$ui_window" ] || fail "no embedded $size UI window in jalv's window"
  grep -q 'UI:.*urn:tolvan-audio:velmora:ui' "$work/jalv.log" || fail "jalv did not load the plug-in's UI"
  echo "jalv window $host_window holds the $size UI window $ui_window"
  sleep 0.5
}

# The UI's part of the host window against the panel picture of the same values at the
# scale.
compare_with_picture() {
  local scale=$1 width=$((840 * $1)) height=$((520 * $1))
  import -window "$host_window" "$screenshot"
  local top=$(($(xwininfo -id "$ui_window" | awk '/Absolute upper-left Y/ { print $4 }') -
               $(xwininfo -id "$host_window" | awk '/Absolute upper-left Y/ { print $4 }')))
  convert "$screenshot" -crop "${width}x${height}+0+$top" +repage "$work/ui.png"
  local differing
  differing=$(panel_differing_pixels "$work/ui.png" "$panel_picture" 0=0.8 1=0.3 --scale "$scale") ||
    fail "no panel picture"
  echo "UI window at ${scale}x against the panel picture outside the curve display: $differing pixels differ"
  [ "$differing" = 0 ] || fail "the embedded window does not show the panel with jalv's values"
}

start_jalv 840x520
compare_with_picture 1

# A tone into the plug-in, recorded beside the plug-in's output: the output's level in dB.
jack_metro -n "$metro" -b 600 -f 220 -A 0.3 -D 90 >/dev/null 2>&1 &
pids=("$!" "${pids[@]}")
sleep 0.5
for side in left right; do jack_connect "$metro:600_bpm" "$client:in_$side" || fail "no tone"; done
level_change() {
  jack_rec -f "$work/level.wav" -d 1 "$metro:600_bpm" "$client:out_left" >/dev/null 2>&1
  local rms_in rms_out
  rms_in=$(sox "$work/level.wav" -n remix 1 stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
  rms_out=$(sox "$work/level.wav" -n remix 2 stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
  awk -v a="$rms_in" -v b="$rms_out" 'BEGIN { printf "%.3f\n", 20 * log(b / a) / log(10) }'
}
before=$(level_change) || fail "no recording"
echo "level change through the plug-in at Mix 100 %: $before dB"
awk -v d="$before" 'BEGIN { exit !(d > 1 || d < -1) }' || fail "Mix 100 % left the tone unchanged"

panel_mix_to_zero "$ui_window"

after=$(level_change) || fail "no recording"
echo "level change through the plug-in after the drag: $after dB"
awk -v d="$after" 'BEGIN { exit !(d < 0.1 && d > -0.1) }' || fail "the drag did not reach the plug-in"
kill -0 "$jalv_pid" || fail "jalv.gtk3 died"

# GTK at a scale of 2 gives the UI a socket of 1680 x 1040 pixels: the panel fills it at 200 %.
kill "$jalv_pid"
wait "$jalv_pid" 2>/dev/null || true
start_jalv 1680x1040 GDK_SCALE=2
compare_with_picture 2
echo "PASS"
