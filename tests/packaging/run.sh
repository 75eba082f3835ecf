#!/usr/bin/env bash
# The packages' checks, on what scripts/package.sh wrote to dist/: the Windows installer
# under Wine, the Debian package and the tarball, and the same files made again. Builds the two Windows programs the
# installer's check runs.
set -uo pipefail
cd "$(dirname "$0")/../.."
cmake --build --preset win64 --target velmora-snapshot velmora-installed-plugins-test >/dev/null || exit 1
passed=0 failed=0
for check in "bash tests/packaging/check_windows_installer.sh dist build/win64" \
             "bash tests/packaging/check_linux_packages.sh dist"; do
  if $check; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
# The same commit gives the same files.
if VELMORA_DIST=build/package/dist-again bash scripts/package.sh >/dev/null 2>&1 &&
   cmp -s dist/SHA256SUMS build/package/dist-again/SHA256SUMS; then
  echo "PASS: the packages made again are the same, byte for byte"; passed=$((passed + 1))
else
  echo "FAIL: the packages made again differ"; diff dist/SHA256SUMS build/package/dist-again/SHA256SUMS; failed=$((failed + 1))
fi
echo "packages: $passed passed, $failed failed"
[ "$failed" = 0 ]
