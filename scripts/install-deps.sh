#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12. Run as root (CI is root).
set -euo pipefail

packages=(
  # native build
  cmake ninja-build g++ make pkg-config
  # the packages are dated by the last commit
  git
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
  # the X11 editor of the VST 2.4 library and the LV2 UI: Xlib and Cairo; XTest (synthetic
  # drags) and XRes (the server's resource counts) for their tests
  libx11-dev libcairo2-dev libxtst-dev libxres-dev
  # the LV2 UI in a real host: jalv.gtk3 on a JACK server's dummy driver (jackd2 also brings
  # the tone and recorder clients), xdotool and xwininfo to find and drag the embedded window
  jalv jackd2 xdotool x11-utils
  # the VST 3 bundle in a real host: Ardour 7's scanner, headless Lua sessions and exporter
  ardour
  # the CLAP plug-in in a real host: Qtractor's scanner, and a Qtractor session whose ALSA
  # sequencer is the tests' own user-space one, built against alsa-lib
  qtractor libasound2-dev
  # looking at and measuring results (FFTW for the aliasing table; Calf Saturator's UI beside
  # ours in scripts/measure-editor-cost.sh)
  sox imagemagick libfftw3-dev calf-plugins
  # a comma-decimal locale (de_DE.UTF-8) for the tests that run every format under it
  locales
  # the release packages (scripts/package.sh) and their checks: the Windows installer, the
  # zip, the Debian package with its man page, and lintian. Not fonts-inter, which the
  # Debian package depends on: Wine registers a machine's font folders whatever fontconfig
  # hides, and the Windows tests want only the panel's own faces in their prefixes.
  nsis zip help2man dpkg-dev lintian
)

# npm fetches the fonts; the machine's own Node.js is used when it has one.
command -v npm >/dev/null 2>&1 || packages+=(npm)

# The comma-decimal locale the locale tests set; generated once, also on a machine that has
# every package already.
generate_test_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: locale de_DE.UTF-8 missing; run as root to generate it" >&2
    return 1
  fi
  localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  generate_test_locale
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether JACK may run with real-time priority; the tests need none.
echo "jackd2 jackd/tweak_rt_limits boolean false" | debconf-set-selections
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
generate_test_locale
