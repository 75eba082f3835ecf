#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine: install what the build needs, build the native
# plug-in and renderer, and render the built-in demo through the plug-in.
#   scripts/demo.sh [OUTPUT]      (default demo/velmora-demo.wav, the dry signal beside it)
# VELMORA_BUILD_DIR picks another build folder than build/native.
set -euo pipefail
cd "$(dirname "$0")/.."

output="${1:-demo/velmora-demo.wav}"
build_dir="${VELMORA_BUILD_DIR:-build/native}"

bash scripts/install-deps.sh
cmake --preset native -B "$build_dir"
cmake --build "$build_dir" -j2 --target velmora-render
mkdir -p "$(dirname "$output")"
"$build_dir/velmora-render" --demo "$output" --force
