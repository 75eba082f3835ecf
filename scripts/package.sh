#!/usr/bin/env bash
# Builds what the packages need and writes them to dist/, with dist/SHA256SUMS:
#   Tolvan_Velmora-<version>-win64-setup.exe   the Windows installer (NSIS)
#   Tolvan_Velmora-<version>-win64.zip         the same files for installing by hand
#   tolvan-velmora_<version>_amd64.deb         the Debian package
#   Tolvan_Velmora-<version>-linux-x86_64.tar.gz  the Linux plug-ins with install.sh
# Name, vendor and version are the project's own (project(VERSION) in CMakeLists.txt and
# parameters/plugin_version.h.in). The same commit gives the same files: every time stamp
# is SOURCE_DATE_EPOCH, the last commit's time unless set. VELMORA_DIST names another
# folder than dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) ||
    { echo "package: no git history to date the packages by; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH
export TZ=UTC LC_ALL=C

native=$root/build/native win64=$root/build/win64
work=$root/build/package dist=$(readlink -m "${VELMORA_DIST:-$root/dist}")
build() {
  local preset=$1; shift
  [ -f "$root/build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target "$@"
}
build native Tolvan_Velmora velmora_lv2 velmora_lv2_ui velmora_clap velmora_vst3 velmora-render
build win64 Tolvan_Velmora velmora_clap velmora_vst3

header=$native/generated/parameters/plugin_version.h
version=$(sed -n 's/^#define VELMORA_VERSION_TEXT "\(.*\)"$/\1/p' "$header")
name=$(sed -n 's/.*velmoraPluginName = "\(.*\)";$/\1/p' "$header")
vendor=$(sed -n 's/.*velmoraVendorName = "\(.*\)";$/\1/p' "$header")
[ -n "$version" ] && [ -n "$name" ] && [ -n "$vendor" ] || { echo "package: no name, vendor or version in $header" >&2; exit 1; }
file_stem=${name// /_}
package=$(tr 'A-Z ' 'a-z-' <<<"$name")
maintainer="$vendor <packages@tolvan-audio.com>"

rm -rf "$work/windows" "$work/deb" "$work/linux" "$dist"
mkdir -p "$work" "$dist"
# The panel's faces (Cinzel and Inter, Regular and Bold) and their licences.
bash scripts/install-fonts.sh --dir "$work/fonts" "$work/font-packages" >/dev/null
fonts=$work/fonts licences=("$work/font-packages/Cinzel-OFL.txt" "$work/font-packages/Inter-OFL.txt")

# Every file and folder under the given ones gets the commit's time.
stamp() { find "$@" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }
# The Linux libraries and programs under a folder: no symbols beyond the dynamic ones, no
# notes or comments, and not executable unless they are programs.
strip_linux_binaries() {
  find "$1" -type f \( -name '*.so' -o -name '*.clap' \) -exec chmod 644 {} +
  find "$1" -type f \( -name '*.so' -o -name '*.clap' -o -name velmora-render \) -print0 |
    xargs -0 strip --remove-section=.comment --remove-section=.note --strip-unneeded
}

windows_packages() {
  local payload=$work/windows/payload
  mkdir -p "$payload"/{VST2,VST3,CLAP,Fonts}
  cp "$win64/Tolvan_Velmora.dll" "$payload/VST2/"
  cp -r "$win64/Tolvan_Velmora.vst3" "$payload/VST3/"
  cp "$win64/Tolvan_Velmora.clap" "$payload/CLAP/"
  cp "$fonts"/*.ttf "${licences[@]}" "$payload/Fonts/"
  find "$payload" -type f \( -name '*.dll' -o -name '*.clap' -o -name '*.vst3' \) \
    -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
  stamp "$payload"

  # What the installer script takes from here: names, files, the bundle's layout.
  local defines=$work/windows/velmora-defines.nsh
  {
    echo "!define VELMORA_NAME \"$name\""
    echo "!define VELMORA_VENDOR \"$vendor\""
    echo "!define VELMORA_VERSION \"$version\""
    echo "!define VELMORA_PAYLOAD \"$payload\""
    echo "!define VELMORA_OUTFILE \"$dist/$file_stem-$version-win64-setup.exe\""
    echo "!macro VELMORA_FONTS OPERATION"
    for face in "$fonts"/*.ttf; do
      echo "  !insertmacro \${OPERATION} \"${face##*/}\" \"$(fc-scan --format '%{fullname[0]}' "$face")\""
    done
    echo "!macroend"
    echo "!macro VELMORA_VST3_UNINSTALL FOLDER"
    (cd "$payload/VST3" && find Tolvan_Velmora.vst3 -type f | sort | sed 's|/|\\|g; s|^|  Delete "${FOLDER}\\|; s|$|"|'
     cd "$payload/VST3" && find Tolvan_Velmora.vst3 -depth -type d | sed 's|/|\\|g; s|^|  RMDir "${FOLDER}\\|; s|$|"|')
    echo "!macroend"
  } >"$defines"
  makensis -V2 -NOCD "-X!addincludedir $work/windows" "$root/packaging/windows/Tolvan_Velmora.nsi"

  local folder=$work/windows/$file_stem-$version-win64
  mkdir -p "$folder"
  cp -r "$payload"/. "$folder/"
  sed 's/$/\r/' "$root/packaging/windows/INSTALL.txt" >"$folder/INSTALL.txt"
  stamp "$folder"
  (cd "$work/windows" && find "${folder##*/}" | sort | zip -q -X -9 "$dist/$file_stem-$version-win64.zip" -@)
}

# The Debian package: plug-ins where Debian's hosts look, velmora-render with its man page,
# Cinzel (Inter comes from fonts-inter), the copyright file and the changelog.
debian_package() {
  local stage=$work/deb/root doc
  doc=$stage/usr/share/doc/$package
  cmake --install "$native" --prefix "$stage/usr" >/dev/null
  # The renderer's default plug-in is the bundle beside it: it lives in a folder of its own
  # with a link to the installed bundle.
  install -D -m 755 "$native/velmora-render" "$stage/usr/libexec/$package/velmora-render"
  ln -s ../../lib/lv2/Tolvan_Velmora.lv2 "$stage/usr/libexec/$package/Tolvan_Velmora.lv2"
  mkdir -p "$stage/usr/bin"
  ln -s "../libexec/$package/velmora-render" "$stage/usr/bin/velmora-render"
  strip_linux_binaries "$stage/usr"

  mkdir -p "$stage/usr/share/man/man1" "$stage/usr/share/fonts/truetype/$package" "$doc"
  help2man --no-info --no-discard-stderr --version-string="$version" \
    --name="render audio files through $name or another LV2 or VST 2.4 effect" \
    "$native/velmora-render" | gzip -9n >"$stage/usr/share/man/man1/velmora-render.1.gz"
  install -m 644 "$fonts"/Cinzel-*.ttf "$stage/usr/share/fonts/truetype/$package/"
  {
    sed "s/@VENDOR@/$vendor/; s/@NAME@/$name/" "$root/packaging/linux/copyright"
    # The font's licence in full, as its authors ship it (their copyright line, then the OFL).
    printf '\nLicense: OFL-1.1\n'
    sed 's/^[[:space:]]*$/./; s/^/ /' "$work/font-packages/Cinzel-OFL.txt"
  } >"$doc/copyright"
  printf '%s (%s) stable; urgency=medium\n\n  * %s %s.\n\n -- %s  %s\n' "$package" "$version" \
    "$name" "$version" "$maintainer" "$(date -R -d "@$SOURCE_DATE_EPOCH")" | gzip -9n >"$doc/changelog.gz"
  find "$stage" -type d -exec chmod 755 {} +

  # Dependencies from the libraries' own needs (dpkg-shlibdeps reads a source tree's control).
  local shlibs_dir=$work/deb/shlibs
  mkdir -p "$shlibs_dir/debian"
  printf 'Source: %s\n\nPackage: %s\nArchitecture: amd64\n' "$package" "$package" >"$shlibs_dir/debian/control"
  local depends
  depends=$(cd "$shlibs_dir" && find "$stage/usr/lib" "$stage/usr/libexec" -type f \( -name '*.so' -o -name '*.clap' -o -name velmora-render \) \
              -exec dpkg-shlibdeps -O -e {} + 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
  mkdir -p "$stage/DEBIAN"
  sed -e "s/@PACKAGE@/$package/" -e "s/@VERSION@/$version/" -e "s/@MAINTAINER@/$maintainer/" \
      -e "s/@DEPENDS@/$depends, fonts-inter/" -e "s/@NAME@/$name/g" \
      -e "s/@INSTALLED_SIZE@/$(du -sk --exclude=DEBIAN "$stage" | cut -f1)/" \
      "$root/packaging/linux/control" >"$stage/DEBIAN/control"
  (cd "$stage" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
  chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
  stamp "$stage"
  dpkg-deb --root-owner-group -Zxz --build "$stage" "$dist/${package}_${version}_amd64.deb" >/dev/null
}

# The tarball: the four Linux plug-ins, both families and install.sh for the current user.
linux_tarball() {
  local folder=$work/linux/$file_stem-$version-linux-x86_64
  mkdir -p "$folder/fonts"
  cp -r "$native/Tolvan_Velmora.lv2" "$native/Tolvan_Velmora.vst3" "$native/Tolvan_Velmora.so" \
        "$native/Tolvan_Velmora.clap" "$folder/"
  strip_linux_binaries "$folder"
  cp "$fonts"/*.ttf "${licences[@]}" "$folder/fonts/"
  install -m 755 "$root/packaging/linux/install.sh" "$folder/install.sh"
  stamp "$folder"
  tar -C "$work/linux" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
      -cf - "${folder##*/}" | gzip -9n >"$dist/$file_stem-$version-linux-x86_64.tar.gz"
}

windows_packages
debian_package
linux_tarball
(cd "$dist" && sha256sum -- *.exe *.zip *.deb *.tar.gz >SHA256SUMS)
ls -l "$dist"
