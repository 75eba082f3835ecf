#!/usr/bin/env bash
# lv2_validate on the built bundle: fails on its exit status, on any error or warning it
# prints, and when it reports a count of errors other than 0.
set -uo pipefail
bundle=$1
report=$(lv2_validate "$bundle"/*.ttl 2>&1)
status=$?
printf '%s\n' "$report"
[ "$status" -eq 0 ] || { echo "lv2_validate exited with $status"; exit 1; }
problems=$(printf '%s\n' "$report" | grep -iE 'error|warn' | grep -vE '^Found 0 errors among [0-9]+ files')
[ -z "$problems" ] || { echo "lv2_validate reported problems"; exit 1; }
printf '%s\n' "$report" | grep -qE '^Found 0 errors among [0-9]+ files' || { echo "no summary line"; exit 1; }
