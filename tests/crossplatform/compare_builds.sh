#!/usr/bin/env bash
# Renders the test signal with the Windows build (under Wine) and the Linux build and
# fails if any output sample differs by more than 2e-6.
set -eu
emulator="$1" windows_dump="$2" native_dump="$3" work="$4"
if [ ! -x "$native_dump" ]; then
  echo "FAIL: the Linux build's $native_dump is missing; build the native preset first"
  exit 1
fi
"$native_dump" "$work/native.f32"
"$emulator" "$windows_dump" "Z:$work/windows.f32"
python3 - "$work/native.f32" "$work/windows.f32" <<'PY'
import array, math, sys
a, b = array.array('f'), array.array('f')
with open(sys.argv[1], 'rb') as f: a.frombytes(f.read())
with open(sys.argv[2], 'rb') as f: b.frombytes(f.read())
if len(a) != len(b) or len(a) == 0:
    sys.exit(f"FAIL: {len(a)} samples from Linux, {len(b)} from Windows")
worst, same = 0.0, 0
for x, y in zip(a, b):
    if not (math.isfinite(x) and math.isfinite(y)):
        sys.exit("FAIL: a sample is not finite")
    d = abs(x - y)
    worst = max(worst, d)
    same += d == 0.0
print(f"{len(a)} samples compared: largest difference {worst:.3g}, "
      f"{100.0 * same / len(a):.4f}% identical")
if worst > 2e-6:
    sys.exit("FAIL: the builds differ by more than 2e-6")
PY
