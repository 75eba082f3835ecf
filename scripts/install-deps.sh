#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12. Run as root (CI is root).
set -euo pipefail

packages=(
  # native build
  cmake ninja-build g++ make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libcli11-dev
  # Windows build and its tests under Wine
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 xvfb xauth
  # the panel painted with Cairo on Linux: text through Pango, families found by fontconfig
  libcairo2-dev libpango1.0-dev libfontconfig-dev
  # fonts for the editor's panel, from the npm registry
  python3 python3-fonttools
  # fuzzing
  clang libclang-rt-14-dev
  # third-party VST 2.4 effects the renderer is tested against
  lsp-plugins-vst dpf-plugins-vst
  # the LV2 plug-in: headers, and lilv, lv2apply, lv2_validate (with sord_validate) for its tests
  lv2-dev liblilv-dev lilv-utils sordi
  # looking at and measuring results
  sox imagemagick
)

# npm fetches the fonts; the machine's own Node.js is used when it has one.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
