#!/usr/bin/env bash
# Fuzzes every target, one after another, for as long as asked.
#   scripts/fuzz-long.sh [seconds per target] [build-dir] [target ...]
# Defaults: one hour each, build/fuzz (the fuzz preset), every target: host_calls (the VST 2.4
# library's host calls), clap, vst3, lv2 and render. Builds the targets, copies each committed
# seed corpus into a working corpus beside the build, runs libFuzzer, and leaves any input
# that broke a promise as <target>-crash-* in the build directory.
set -euo pipefail
seconds="${1:-3600}"
build="${2:-build/fuzz}"
shift $(( $# < 2 ? $# : 2 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(host_calls clap vst3 lv2 render)
cd "$(dirname "$0")/.."

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/velmora_fuzz_}"

for target in "${targets[@]}"; do
  seeds=fuzz/corpus_$target
  [ "$target" = host_calls ] && seeds=fuzz/corpus
  work="$build/fuzz-corpus-$target"
  mkdir -p "$work"
  cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  echo "fuzz-long: $target for $seconds s"
  "$build/velmora_fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=30 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$build/$target-" "$work" 2>&1 |
    tee "$build/fuzz-long-$target.log" |
    grep -E '^#[0-9]+.*(DONE)|stat::number_of_executed_units|ERROR|broken promise' || true
done

if ls "$build"/*-crash-* "$build"/*-timeout-* "$build"/*-oom-* >/dev/null 2>&1; then
  echo "fuzz-long: findings left in $build" >&2
  exit 1
fi
echo "fuzz-long: no findings in ${seconds} s per target; see $build/fuzz-long-*.log"
