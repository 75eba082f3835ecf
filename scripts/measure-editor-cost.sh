#!/usr/bin/env bash
# What the open, idle editor costs in a real host: jalv.gtk3 on a JACK server's dummy driver
# under its own Xvfb, the LV2 UI shown, and the CPU ticks (1/100 s) that jalv's process and
# the X server spend over 10 s; then the same for Calf Saturator's UI (Debian's calf-plugins)
# in the same host, for comparison; each at GTK's scale 1 and 2 (GDK_SCALE, which gives the
# LV2 UI a window of twice the size: the panel at 200 %). A measurement to run by hand, not
# a test.
#
#   scripts/measure-editor-cost.sh [BUILD_DIR] [DISPLAY_NUMBER] [SECONDS]
#
# BUILD_DIR defaults to build/native (its lv2-path/ holds the bundle), DISPLAY_NUMBER to 99.
set -euo pipefail

build=${1:-build/native} display_number=${2:-99} seconds=${3:-10}
command -v jalv.gtk3 jackd Xvfb xwininfo >/dev/null ||
  { echo "needs jalv, jackd2, xvfb and x11-utils"; exit 1; }
[ -d /usr/lib/lv2/calf.lv2 ] || { echo "needs calf-plugins for the comparison"; exit 1; }
[ -d "$build/lv2-path" ] || { echo "no $build/lv2-path: build the native preset first"; exit 1; }

work=$(mktemp -d)
server=velmora-cost-$$
export DISPLAY=:$display_number JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1 NO_AT_BRIDGE=1
export LV2_PATH=$(realpath "$build/lv2-path"):/usr/lib/lv2
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

Xvfb "$DISPLAY" -screen 0 2560x1600x24 -noreset >/dev/null 2>&1 &
xserver=$!
pids+=("$xserver")
jackd --no-realtime --name "$server" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
pids+=($!)
timeout 10 jack_wait --wait --server "$server" >/dev/null 2>&1 || { echo "no JACK server"; exit 1; }

# Ticks a process has spent so far, in user and system time.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Runs jalv.gtk3 on the plug-in URI until its window shows, lets it settle, then measures.
measure() {
  local uri=$1 name=$2 scale=$3
  GDK_SCALE=$scale jalv.gtk3 "$uri" >"$work/jalv.log" 2>&1 &
  local jalv=$!
  for _ in $(seq 100); do
    xwininfo -root -tree | grep -q "\"$name\": (\"jalv.gtk3\"" && break
    sleep 0.1
  done
  sleep 3
  local host_before x_before
  host_before=$(ticks "$jalv") x_before=$(ticks "$xserver")
  sleep "$seconds"
  local host_ticks=$(($(ticks "$jalv") - host_before)) x_ticks=$(($(ticks "$xserver") - x_before))
  kill "$jalv"
  wait "$jalv" 2>/dev/null || true
  echo "$name at GDK_SCALE=$scale: $((host_ticks + x_ticks)) ticks in $seconds s" \
    "(jalv $host_ticks, X server $x_ticks)"
}

for scale in 1 2; do
  measure urn:tolvan-audio:velmora "Tolvan Velmora" "$scale"
  measure http://calf.sourceforge.net/plugins/Saturator "Calf Saturator" "$scale"
done
