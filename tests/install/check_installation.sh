#!/bin/sh
# Installs a build into a scratch prefix and packs it with CPack, then checks
# what a desktop's menu and dpkg will find there.
#   check_installation.sh BUILD_DIR
set -eu
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$scratch/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
for program in simplekavo simplekavo-export; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
[ "$("$prefix/bin/simplekavo-export" --version)" = "simplekavo-export 1.00" ] ||
  fail "the installed simplekavo-export does not run"

entry=$prefix/share/applications/simplekavo.desktop
desktop-file-validate "$entry" || fail "the menu entry is not valid"
grep -qx 'Exec=simplekavo' "$entry" || fail "the menu entry starts something else"
grep -qx 'Icon=simplekavo' "$entry" || fail "the menu entry names another icon"
grep -qx 'Categories=Utility;' "$entry" || fail "the menu entry is not under Utility"
for size in 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x$size/apps/simplekavo.png
  file "$icon" | grep -q "PNG image data, $size x $size" ||
    fail "hicolor ${size}x$size holds no $size-pixel icon"
done

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
package=$(ls "$scratch"/package/simplekavo_1.00_*.deb)
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libc6 qt6-qpa-plugins; do
  echo "$depends" | grep -q "$library" || fail "the package does not depend on $library"
done
contents=$(dpkg-deb -c "$package")
for path in ./usr/bin/simplekavo ./usr/bin/simplekavo-export \
            ./usr/share/applications/simplekavo.desktop \
            ./usr/share/icons/hicolor/48x48/apps/simplekavo.png; do
  echo "$contents" | grep -q " $path\$" || fail "the package lacks $path"
done
echo "installed and packed: $(basename "$package"), Depends: $depends"
