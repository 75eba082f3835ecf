#!/usr/bin/env bash
# Renders the built-in demo through every factory preset of the LV2 bundle and prints the
# table of docs/presets.md: each preset's peak and RMS beside the dry demo's.
#   scripts/measure-presets.sh [BUILD_DIR]      (default build/native, already built)
set -euo pipefail
render="${1:-build/native}/velmora-render"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "  peak      in -3.0 dBFS   out -1.6 dBFS": the third and sixth fields.
levels() { "$render" --demo "$work/out.wav" --force "$@" | awk '/^  (peak|RMS)/ { print $3, $6 }'; }

read -r dry_peak _ < <(levels | sed -n 1p)
read -r dry_rms _ < <(levels | sed -n 2p)
echo "| Preset | Category | Peak (dBFS) | RMS (dBFS) | RMS − dry (dB) |"
echo "|---|---|---:|---:|---:|"
echo "| *dry demo* | | $dry_peak | $dry_rms | 0.0 |"
"$render" --list-presets | tail -n +2 | while IFS= read -r line; do
  name=$(printf '%s' "${line:0:25}" | sed 's/ *$//')
  category=$(printf '%s' "${line:25}" | sed 's/^ *//')
  { read -r _ peak; read -r _ rms; } < <(levels --preset "$name")
  difference=$(awk -v a="$rms" -v b="$dry_rms" 'BEGIN { printf "%+.1f", a - b }')
  echo "| $name | $category | $peak | $rms | $difference |"
done
