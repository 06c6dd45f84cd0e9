#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows installer under Wine, in a Wine prefix of its own:
#   installation.sh BUILD_DIR
# 1. cpack makes the installer and the portable zip from the build.
# 2. The installer runs silently (/S): both programs, the DLLs and plugins
#    they need beside them, a Start-menu entry, an uninstaller and an entry
#    in Windows' list of programs.
# 3. The installed simplekavo-export.exe, with no WINEPATH (so every DLL it
#    loads is one the installer put there), exports a folder of ROMs: the
#    index and the copies are what they must be. The installed window starts
#    on Qt's offscreen platform from its own plugins and stays up.
# 4. The uninstaller (/S) leaves the prefix's drive C: as it was before the
#    installation, and no entry in the list of programs.
set -euo pipefail
build=$(cd "$1" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d"
unset WINEPATH
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
windows() { printf 'Z:%s' "${1//\//\\}"; }

# 1. The packages.
(cd "$build" && cpack -G "NSIS;ZIP" -B "$scratch/package" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack could not make the packages"; }
installer=$(compgen -G "$scratch/package/SimpleKAVO-*-windows-x86_64.exe") || fail "no installer"
zip=$(compgen -G "$scratch/package/SimpleKAVO-*-windows-x86_64.zip") || fail "no portable zip"
listed=$(unzip -l "$zip")
for file in bin/simplekavo.exe bin/simplekavo-export.exe bin/Qt6Widgets.dll bin/platforms/qwindows.dll; do
  [[ $listed == *"/$file"* ]] || fail "the portable zip lacks $file"
done

# 2. A fresh prefix, drive C: before, the silent installation.
WINEDLLOVERRIDES="mscoree,mshtml=;$WINEDLLOVERRIDES" wine wineboot --init >/dev/null 2>&1
wineserver -w
drive_c=$WINEPREFIX/drive_c
# What is there, but for the temporary folders Wine and NSIS use, and the
# caches of device set-up files that Wine's own device manager writes into
# windows\inf whenever it gets round to it (input.pnf, winehid.pnf).
contents() {
  (cd "$drive_c" &&
    find . -path './users/*/Temp' -prune -o -path './windows/inf/*.pnf' -prune -o -print | sort)
}
before=$(contents)
wine "$installer" /S >"$scratch/install.log" 2>&1 || fail "the installer failed: $(cat "$scratch/install.log")"
wineserver -w
folder="$drive_c/Program Files/SimpleKAVO"
for file in bin/simplekavo.exe bin/simplekavo-export.exe bin/Qt6Core.dll bin/libstdc++-6.dll \
            bin/platforms/qwindows.dll bin/platforms/qoffscreen.dll Uninstall.exe; do
  [[ -f $folder/$file ]] || fail "the installation lacks $file"
done
shortcut=$(cd "$drive_c" && find . -iname 'SimpleKAVO.lnk' | head -n 1)
[[ -n $shortcut ]] || fail "no Start-menu entry"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\SimpleKAVO'
wine reg query "$key" >/dev/null 2>&1 || fail "no entry in the list of programs"

# 3. The installed programs. A export of a folder of ROMs, one name with an
# accent and a comma:
roms=$scratch/roms
out=$scratch/out
mkdir -p "$roms" "$out"
for name in "Alex Kidd.sms" "Café, the game.gg" "Sonic.sms"; do
  head -c 70000 /dev/urandom >"$roms/$name"
done
program='C:\Program Files\SimpleKAVO\bin'
wine "$program\\simplekavo-export.exe" "$(windows "$roms")" "$(windows "$out")" \
  >"$scratch/export.out" 2>&1 || fail "the installed export failed: $(cat "$scratch/export.out")"
grep -q '^Exported 3 files in 1 group' "$scratch/export.out" ||
  fail "the installed export said: $(cat "$scratch/export.out")"
cmp "$roms/Alex Kidd.sms" "$out/ROMS0/0.SMS" && cmp "$roms/Café, the game.gg" "$out/ROMS0/1.GG" &&
  cmp "$roms/Sonic.sms" "$out/ROMS0/2.SMS" || fail "the copies are not their sources' bytes"
LC_ALL=C grep -qa '^Caf.*, the game.gg,ROMS0\\1.gg' "$out/FILES.TXT" ||
  fail "the index is not as written: $(head -c 200 "$out/FILES.TXT")"
# The window, on the offscreen platform (Wine hands WINEQT_X on as QT_X),
# with the fonts Debian has: up after some seconds, having said nothing.
WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR=$(windows /usr/share/fonts/truetype/dejavu) \
  WINEQT_FORCE_STDERR_LOGGING=1 wine "$program\\simplekavo.exe" "$(windows "$roms")" \
  >"$scratch/window.out" 2>&1 &
window=$!
sleep 8
kill -0 "$window" 2>/dev/null || fail "the installed window ended: $(cat "$scratch/window.out")"
# (Wine's own notes, such as that it cannot read drive Z:'s label, aside.)
said=$(grep -v '^wine: ' "$scratch/window.out" || true)
[[ -z $said ]] || fail "the installed window said: $said"
wineserver -k
wait "$window" 2>/dev/null || true

# 4. The uninstaller, which copies itself to the temporary folder and
# runs from there: wineserver -w waits for it.
wine "C:\\Program Files\\SimpleKAVO\\Uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
wineserver -w
wine reg query "$key" >/dev/null 2>&1 && fail "the list of programs still names SimpleKAVO"
wineserver -w
after=$(contents)
left=$(comm -13 <(echo "$before") <(echo "$after"))
[[ -z $left ]] || fail "the uninstaller left: $left"
echo "installed, exported, the window started, uninstalled; nothing left on C:"
