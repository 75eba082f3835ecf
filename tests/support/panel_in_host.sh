# Sourced by the tests that look at and drive the panel in a host's window.

# panel_differing_pixels UI_PNG PANEL_PICTURE_COMMAND INDEX=VALUE... [--scale S]: how many
# pixels of the panel's screenshot differ from the panel picture of those normalized values
# (at the scale, 1 unless given), with the curve display (where the glow keeps pulsing with
# the host's timer or idle calls) blacked out in both.
panel_differing_pixels() {
  local ui=$1 picture=$2 scale=1 previous=
  shift 2
  for argument in "$@"; do
    [ "$previous" = --scale ] && scale=$argument
    previous=$argument
  done
  "$picture" "$ui.reference.png" "$@" >/dev/null || return 1
  for png in "$ui" "$ui.reference.png"; do
    convert "$png" -fill black \
      -draw "rectangle $((255 * scale)),$((105 * scale)) $((585 * scale)),$((290 * scale))" "$png.masked.png"
  done
  compare -metric AE -fuzz 2% "$ui.reference.png.masked.png" "$ui.masked.png" null: 2>&1 || true
}

# panel_mix_to_zero WINDOW: Mix dragged to 0 in the panel shown in WINDOW (press on the knob,
# 300 pixels down in steps, where 200 span the range, release).
panel_mix_to_zero() {
  xdotool mousemove --window "$1" 700 375 mousedown 1
  for step in 1 2 3 4 5; do
    xdotool mousemove --window "$1" 700 $((375 + 60 * step))
    sleep 0.05
  done
  xdotool mouseup 1
  sleep 0.5
}
