#!/usr/bin/env bash
# Fuzzes the host-call sequences for as long as asked.
#   scripts/fuzz-long.sh [seconds] [build-dir]
# Defaults: one hour, build/fuzz (the fuzz preset). Builds the target, copies the committed
# seed corpus into a working corpus beside the build, runs libFuzzer on both cores, and
# leaves any input that broke a promise as crash-* in the build directory.
set -euo pipefail
seconds="${1:-3600}"
build="${2:-build/fuzz}"
cd "$(dirname "$0")/.."

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target velmora_fuzz_host_calls
work="$build/fuzz-corpus"
mkdir -p "$work"
cp -n fuzz/corpus/* "$work"/ 2>/dev/null || true

"$build/velmora_fuzz_host_calls" -max_total_time="$seconds" -max_len=4096 -timeout=30 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$build/" "$work" 2>&1 |
  tee "$build/fuzz-long.log" | grep -E '^#[0-9]+.*(pulse|DONE|NEW)|stat::|ERROR|broken promise' || true

if ls "$build"/crash-* "$build"/timeout-* "$build"/oom-* >/dev/null 2>&1; then
  echo "fuzz-long: findings left in $build" >&2
  exit 1
fi
echo "fuzz-long: no findings in ${seconds} s; see $build/fuzz-long.log"
