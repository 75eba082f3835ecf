#!/usr/bin/env bash
# The packages' checks, on what scripts/package.sh wrote to dist/: the Windows installer
# under Wine, then the Debian package and the tarball. Builds the two Windows programs the
# installer's check runs.
set -uo pipefail
cd "$(dirname "$0")/../.."
cmake --build --preset win64 --target velmora-snapshot velmora-installed-plugins-test >/dev/null || exit 1
passed=0 failed=0
for check in "bash tests/packaging/check_windows_installer.sh dist build/win64" \
             "bash tests/packaging/check_linux_packages.sh dist"; do
  if $check; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "packages: $passed passed, $failed failed"
[ "$failed" = 0 ]
