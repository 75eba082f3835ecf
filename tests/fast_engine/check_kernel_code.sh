#!/usr/bin/env bash
# The engine's machine code: no fused multiply-add anywhere (it would round once where the
# sound rounds twice); 256- and 512-bit registers only in the wide kernels' units, which run
# only where the processor has them; and, with --unaligned-wide (the Windows build), no
# aligned 256- or 512-bit move in those units, which GCC would use on a stack it cannot align.
#   check_kernel_code.sh OBJDUMP [--unaligned-wide] OBJECT...   (or one ;-separated list)
set -euo pipefail
objdump=$1
shift
unaligned_wide=0
if [ "${1:-}" = --unaligned-wide ]; then
  unaligned_wide=1
  shift
fi
objects=()
for argument in "$@"; do
  IFS=';' read -r -a listed <<<"$argument"
  objects+=("${listed[@]}")
done
status=0
wide_units=0
for object in "${objects[@]}"; do
  code=$("$objdump" -d --no-show-raw-insn "$object")
  if grep -qE '\svfn?m(add|sub)' <<<"$code"; then
    echo "$object: fused multiply-add instructions" >&2
    status=1
  fi
  case "$(basename "$object")" in
    kernel_avx2.* | kernel_avx512.*)
      wide_units=$((wide_units + 1))
      grep -qE '%ymm' <<<"$code" || { echo "$object: no 256-bit code at all" >&2; status=1; }
      if [ $unaligned_wide = 1 ] && grep -E '\svmova(pd|ps|dqa?(32|64)?)\s' <<<"$code" | grep -qE '%[yz]mm'; then
        echo "$object: aligned 256/512-bit moves" >&2
        status=1
      fi
      ;;
    *)
      if grep -qE '%[yz]mm' <<<"$code"; then
        echo "$object: 256/512-bit registers outside the wide kernels" >&2
        status=1
      fi
      ;;
  esac
done
echo "checked ${#objects[@]} objects, $wide_units wide kernel units"
if [ "$wide_units" -eq 0 ]; then
  echo "no wide kernel unit among the objects" >&2
  status=1
fi
exit $status
