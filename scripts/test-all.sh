#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test suite: Linux (plain,
# under ASan/UBSan and, for the threading tests, TSan), Windows under Wine, a bounded fuzz
# run, and the release packages with their checks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# One X server for the Linux editor tests and for the Windows programs that open windows.
if [ -z "${DISPLAY:-}" ]; then
  display=:$((90 + RANDOM % 100))
  # -noreset: the server would reset whenever its last client leaves, and connections
  # attempted during a reset fail.
  # Large enough for the editor at 200 % (1680 x 1040) in its host window.
  Xvfb "$display" -screen 0 2560x1600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
  export DISPLAY=$display
  sleep 1
fi

run_preset() {
  local preset=$1
  echo "=== $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
}

run_preset native
run_preset native-sanitize

echo "=== native-tsan (threads) ==="
cmake --preset native-tsan
cmake --build --preset native-tsan --target robustness_threads robustness_allocation
ctest --preset native-tsan -R 'robustness_(threads|allocation)'

echo "=== fuzz (about three minutes: the committed seed corpora, then 30 s per target) ==="
cmake --preset fuzz
cmake --build --preset fuzz --target velmora_fuzz_host_calls velmora_fuzz_clap velmora_fuzz_vst3 \
  velmora_fuzz_lv2 velmora_fuzz_render
ctest --preset fuzz -R '^fuzz_'
bash scripts/fuzz-long.sh 30 build/fuzz

echo "=== packages (dist/) and their checks ==="
bash scripts/package.sh
bash tests/packaging/run.sh

# Last, so the run closes on the Windows suites' summary.
run_preset win64
