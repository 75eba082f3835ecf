#!/usr/bin/env bash
# Installs the panel's font families "Cinzel" and "Inter" (Regular and Bold) into a Wine
# prefix, from the npm registry's @expo-google-fonts packages.
#
#   scripts/install-fonts.sh PREFIX [WORK_DIR]
#   scripts/install-fonts.sh --dir FONTS_DIR [WORK_DIR]
#
# With --dir the faces go into FONTS_DIR instead (for the Linux build's Cairo painter), and
# WORK_DIR/velmora-fonts-linux.conf is a fontconfig configuration that adds that folder to
# the machine's fonts and takes Cinzel and Inter from it only. Nothing is installed
# system-wide either way.
#
# Wine 8's GDI+ finds a family by name only when the first face it enumerates has a full
# name (name table entry 4) equal to the family name, so the Regular faces are installed
# with that entry rewritten. Other faces of the two families on the machine (such as
# Debian's fonts-inter) would be enumerated by Wine through fontconfig; the file
# WORK_DIR/velmora-fonts.conf is a fontconfig configuration that hides them. Point
# FONTCONFIG_FILE at it when running Wine.
set -euo pipefail

if [ $# -lt 1 ] || { [ "$1" = --dir ] && [ $# -lt 2 ]; }; then
  echo "usage: $0 PREFIX [WORK_DIR] | $0 --dir FONTS_DIR [WORK_DIR]" >&2
  exit 2
fi
if [ "$1" = --dir ]; then
  fonts_dir=$2
  work=${3:-$fonts_dir/../font-packages}
else
  prefix=$1
  work=${2:-$prefix/../font-packages}
  fonts_dir=$prefix/drive_c/windows/Fonts
fi
version=0.4.2
mkdir -p "$work" "$fonts_dir"

python=""
for candidate in python3 /usr/bin/python3; do
  if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -c 'import fontTools' 2>/dev/null; then
    python=$candidate
    break
  fi
done
if [ -z "$python" ]; then
  echo "install-fonts: no python3 with fontTools (Debian: python3-fonttools)" >&2
  exit 1
fi

# Fetches a package's tarball once and unpacks the Regular and Bold faces from it, and the
# family's licence (its copyright line and the SIL Open Font License) as WORK_DIR/STEM-OFL.txt.
fetch_family() {
  local package=$1 stem=$2
  local tarball=$work/expo-google-fonts-$package-$version.tgz
  if [ ! -f "$tarball" ]; then
    (cd "$work" && npm pack --silent "@expo-google-fonts/$package@$version" >/dev/null)
  fi
  tar -xzf "$tarball" -C "$work" \
    "package/400Regular/${stem}_400Regular.ttf" "package/700Bold/${stem}_700Bold.ttf"
  tar -xzf "$tarball" -O package/LICENSE_FONT >"$work/$stem-OFL.txt"
}

fetch_family cinzel Cinzel
fetch_family inter Inter

"$python" - "$work/package" "$fonts_dir" <<'PY'
import sys
from fontTools.ttLib import TTFont

source, target = sys.argv[1], sys.argv[2]
FULL_NAME = 4
for family in ("Cinzel", "Inter"):
    for folder, style in (("400Regular", "Regular"), ("700Bold", "Bold")):
        font = TTFont(f"{source}/{folder}/{family}_{folder}.ttf")
        if style == "Regular":
            names = font["name"]
            for record in list(names.names):
                if record.nameID == FULL_NAME:
                    names.setName(family, FULL_NAME, record.platformID, record.platEncID,
                                  record.langID)
        font.save(f"{target}/{family}-{style}.ttf")
PY

cat > "$work/velmora-fonts.conf" <<'CONF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<!-- The machine's fonts, less any Cinzel or Inter: Wine takes those from its Fonts folder. -->
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <selectfont>
    <rejectfont>
      <pattern><patelt name="family"><string>Cinzel</string></patelt></pattern>
      <pattern><patelt name="family"><string>Inter</string></patelt></pattern>
    </rejectfont>
  </selectfont>
</fontconfig>
CONF

fonts_path=$(cd "$fonts_dir" && pwd)
cat > "$work/velmora-fonts-linux.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<!-- The machine's fonts and the panel's faces in $fonts_path; Debian's own Inter and
     Cinzel faces (fonts-inter and the like) are hidden, so those come from that folder. -->
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>$fonts_path</dir>
  <selectfont>
    <rejectfont>
      <glob>/usr/share/fonts/*/inter/*</glob>
      <glob>/usr/share/fonts/*/cinzel/*</glob>
      <glob>/usr/local/share/fonts/*nter*</glob>
      <glob>/usr/local/share/fonts/*inzel*</glob>
    </rejectfont>
  </selectfont>
</fontconfig>
CONF

echo "install-fonts: Cinzel and Inter installed in $fonts_dir"
