#!/usr/bin/env bash
# The LV2 UI in a real host: a JACK server on its dummy driver, jalv.gtk3 running the
# plug-in from the build tree's bundle with the UI embedded, on the X display in DISPLAY.
# Checks that the UI window sits inside jalv's window and shows the panel, and that a drag
# of the Mix knob changes the plug-in's port in the host: a sine through the plug-in comes
# out changed at Mix 100 %, and unchanged once the knob is dragged to 0 %.
#
#   jalv_embed_test.sh LV2_PATH LEVEL_PROBE PANEL_PICTURE_COMMAND SCREENSHOT_PNG
set -euo pipefail

lv2_path=$1 probe=$2 panel_picture=$3 screenshot=$4
if [ -z "${DISPLAY:-}" ]; then
  echo "no DISPLAY is set"
  exit 77
fi

work=$(mktemp -d)
server=velmora-test-$$
client=velmora-jalv-$$
export JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1 LV2_PATH=$lv2_path NO_AT_BRIDGE=1
jack_pid= jalv_pid=
cleanup() {
  set +e  # a failed kill or wait must not cut the clean-up short
  for pid in $jalv_pid $jack_pid; do
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
jack_pid=$!
timeout 10 jack_wait --wait --server "$server" >/dev/null 2>&1 || fail "the JACK server did not start"

jalv.gtk3 --jack-name "$client" --exact-jack-name urn:tolvan-audio:velmora >"$work/jalv.log" 2>&1 &
jalv_pid=$!

# jalv's top-level window, then the 840 x 520 window of the UI somewhere inside it.
host_window= ui_window=
for _ in $(seq 100); do
  host_window=$(xwininfo -root -tree |
    awk '/"Tolvan Velmora": \("jalv.gtk3" "Jalv.gtk3"\)/ { print $1; exit }')
  if [ -n "$host_window" ]; then
    ui_window=$(xwininfo -tree -id "$host_window" |
      awk '/"Tolvan Velmora": \(\)  840x520/ { print $1; exit }')
    [ -n "$ui_window" ] && break
  fi
  kill -0 "$jalv_pid" 2>/dev/null || fail "jalv.gtk3 ended"
  sleep 0.1
done
[ -n "$ui_window" ] || fail "no embedded UI window in jalv's window"
grep -q 'UI:.*urn:tolvan-audio:velmora:ui' "$work/jalv.log" || fail "jalv did not load the plug-in's UI"
echo "jalv window $host_window holds the UI window $ui_window"
sleep 0.5

# The UI's part of the host window against the panel picture at the default values. Only
# the pulsing glow may differ, as the host keeps idling the animation.
import -window "$host_window" "$screenshot"
reference=$work/reference.png
"$panel_picture" "$reference" >/dev/null || fail "no panel picture"
offset=$(xwininfo -id "$ui_window" | awk '/Absolute upper-left Y/ { y = $4 } END { print y }')
host_y=$(xwininfo -id "$host_window" | awk '/Absolute upper-left Y/ { print $4 }')
convert "$screenshot" -crop "840x520+0+$((offset - host_y))" +repage "$work/ui.png"
differing=$(compare -metric AE -fuzz 2% "$reference" "$work/ui.png" null: 2>&1 || true)
echo "UI window against the panel picture: $differing of 436800 pixels differ"
[ "${differing%%.*}" -lt 8000 ] 2>/dev/null || fail "the embedded window does not show the panel"

before=$("$probe" "$client" 1) || fail "the level probe could not run"
echo "level change through the plug-in at Mix 100 %: $before dB"
awk -v d="$before" 'BEGIN { exit !(d > 1 || d < -1) }' || fail "Mix 100 % left the sine unchanged"

# Mix: press on the knob, 300 pixels down in steps (200 span the range), release.
xdotool mousemove --window "$ui_window" 700 375 mousedown 1
for step in 1 2 3 4 5; do
  xdotool mousemove --window "$ui_window" 700 $((375 + 60 * step))
  sleep 0.05
done
xdotool mouseup 1
sleep 0.5

after=$("$probe" "$client" 1) || fail "the level probe could not run"
echo "level change through the plug-in after the drag: $after dB"
awk -v d="$after" 'BEGIN { exit !(d < 0.05 && d > -0.05) }' || fail "the drag did not reach the plug-in"
kill -0 "$jalv_pid" || fail "jalv.gtk3 died"
echo "PASS"
