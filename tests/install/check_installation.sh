#!/bin/sh
# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into a scratch prefix and packs it with CPack, then checks
# what a desktop's menu, man, a software centre and dpkg will find there.
#   check_installation.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$scratch/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
for program in simplekavo simplekavo-export; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
for program in simplekavo simplekavo-export; do
  version_text=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$program" --version)
  [ "$(echo "$version_text" | head -1)" = "$program $version" ] ||
    fail "the installed $program does not say its version $version"
  echo "$version_text" | grep -q "^License GPL-3.0-or-later" ||
    fail "the installed $program does not say its licence"
  page=$prefix/share/man/man1/$program.1.gz
  [ -f "$page" ] || fail "share/man/man1/$program.1.gz is not installed"
  # man renders it without a complaint, names the program and its options.
  text=$(MANWIDTH=200 man -l "$page" 2>"$scratch/man.err" | tr -s " ") ||
    fail "man cannot read $program.1"
  [ ! -s "$scratch/man.err" ] || fail "man complains about $program.1: $(cat "$scratch/man.err")"
  echo "$text" | grep -q "^NAME" || fail "$program.1 has no NAME section"
  echo "$text" | grep -q "$program - copy a folder of game ROMs" || fail "$program.1 names another program"
  echo "$text" | grep -q -- "--version" || fail "$program.1 does not list --version"
done
man -l "$prefix/share/man/man1/simplekavo-export.1.gz" 2>/dev/null | grep -q -- "--dry-run" ||
  fail "simplekavo-export.1 does not list --dry-run"

doc=$prefix/share/doc/simplekavo
grep -q "^License: GPL-3+" "$doc/copyright" || fail "the copyright file names no GPL-3+ licence"
zcat "$doc/changelog.gz" | head -1 | grep -q "^simplekavo ($version) " ||
  fail "the changelog does not start with $version"

metainfo=$prefix/share/metainfo/org.simplekavo.SimpleKAVO.metainfo.xml
[ -f "$metainfo" ] || fail "the AppStream metainfo is not installed"
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.out" 2>&1 ||
  fail "the AppStream metainfo is not valid: $(cat "$scratch/appstream.out")"
grep -q "<release version=\"$version\"" "$metainfo" ||
  fail "the metainfo's release is not $version"
id=org.simplekavo.SimpleKAVO
grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch the menu entry"

# Named by the AppStream id, and handing the window the folder it is given.
entry=$prefix/share/applications/$id.desktop
desktop-file-validate "$entry" || fail "the menu entry is not valid"
grep -qx 'Exec=simplekavo %f' "$entry" || fail "the menu entry starts something else"
grep -qx 'Icon=simplekavo' "$entry" || fail "the menu entry names another icon"
grep -qx 'Categories=Utility;' "$entry" || fail "the menu entry is not under Utility"
for size in 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x$size/apps/simplekavo.png
  file "$icon" | grep -q "PNG image data, $size x $size" ||
    fail "hicolor ${size}x$size holds no $size-pixel icon"
done

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
package=$(ls "$scratch"/package/simplekavo_"$version"_*.deb)
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libc6 qt6-qpa-plugins; do
  echo "$depends" | grep -q "$library" || fail "the package does not depend on $library"
done
contents=$(dpkg-deb -c "$package")
for path in ./usr/bin/simplekavo ./usr/bin/simplekavo-export \
            ./usr/share/applications/org.simplekavo.SimpleKAVO.desktop \
            ./usr/share/icons/hicolor/48x48/apps/simplekavo.png \
            ./usr/share/man/man1/simplekavo-export.1.gz ./usr/share/man/man1/simplekavo.1.gz \
            ./usr/share/doc/simplekavo/copyright ./usr/share/doc/simplekavo/changelog.gz \
            ./usr/share/metainfo/org.simplekavo.SimpleKAVO.metainfo.xml; do
  echo "$contents" | grep -q " $path\$" || fail "the package lacks $path"
done
# Debian's own check: no error and no warning (a warning that had to stay
# would need an override in the package, saying why).
lintian --fail-on error,warning --tag-display-limit 0 "$package" >"$scratch/lintian.out" 2>&1 ||
  fail "lintian: $(cat "$scratch/lintian.out")"
echo "installed and packed: $(basename "$package"), Depends: $depends"
