#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows command line under Wine, end to end, onto a drive of its own:
# a folder mapped as drive E: (a link in the Wine prefix's dosdevices).
#   export_on_drive_e.sh WINE_RUN EXPORT_EXE WINE_PREFIX [LINUX_EXPORT]
# 1. An export from a folder of ROMs whose names hold accents, commas and
#    characters outside Windows-1252 to E:\ gives the same bytes as the
#    Linux program's export of that folder (the manifest's hashes, sizes and
#    names; the sources' identities in it are each host's own).
# 2. A second export into E: while the first one holds it (stopped with
#    SIGSTOP once it has begun writing) is refused, changes nothing, and the
#    first then completes.
# 3. Ctrl-C (Wine turns SIGINT into the console's Ctrl-C event) during a
#    replace takes it back: E: is as it was, and the status is 130.
# 4. A failure injected during a replace (every source rewritten while the
#    export is stopped, so that the next copy finds its source changed)
#    takes it back too: E: is as it was, and the export says why.
# Without the Linux program (scripts/test windows builds it) the test is
# skipped (77).
set -euo pipefail
wine_run=$1
program=$2
export WINEPREFIX=$3
linux_export=${4:-}
if [[ -z $linux_export || ! -x $linux_export ]]; then
  echo "no Linux simplekavo-export to compare with (scripts/test windows builds it)"
  exit 77
fi
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
drive=$WINEPREFIX/dosdevices/e:
cleanup() {
  [[ -n ${first:-} ]] && kill -CONT "$first" 2>/dev/null
  [[ -L $drive ]] && rm -f "$drive"
  rm -rf "$scratch"
}
trap cleanup EXIT
windows() { printf 'Z:%s' "${1//\//\\}"; }

# The prefix is this test's own, made on first use. E: is mapped before
# Wine starts in it: a Wine already running there may not know the drive
# yet ("Invalid function").
roms=$scratch/roms
stick=$scratch/stick
mkdir -p "$roms" "$stick" "$scratch/linux"
"$wine_run" "$program" --version >/dev/null
wineserver -k 2>/dev/null || true
ln -sfn "$stick" "$drive"
names=("Alex Kidd in Miracle World.sms" "Café, the game.sms" "Madō Monogatari 日本.gg"
       "Sonic, the Hedgehog (E).sms" "Señor Ü.GG" "Zoë's Quest.sms")
for i in $(seq 1 40); do names+=("Game $i.sms"); done
for name in "${names[@]}"; do
  # Large enough that an export is still writing when it is stopped.
  head -c $((4 << 20)) /dev/urandom >"$roms/$name"
  printf '%s' "$name" >>"$roms/$name"
done

# Waits for the export `pid` to begin writing to E:, and stops it there.
stop_when_writing() {
  local pid=$1 waited=0
  until compgen -G "$stick/*.simplekavo-new" >/dev/null; do
    kill -0 "$pid" 2>/dev/null ||
      fail "the export ended before it was seen writing: $(cat "$scratch"/*.out)"
    ((++waited < 6000)) || fail "the export never began writing"
    sleep 0.01
  done
  kill -STOP "$pid"
}

# 1 and 2: the first export, stopped while it holds E:, and a second one.
"$wine_run" "$program" "$(windows "$roms")" 'E:\' >"$scratch/first.out" 2>&1 &
first=$!
stop_when_writing "$first"
status=0
"$wine_run" "$program" "$(windows "$roms")" 'E:\' >"$scratch/second.out" 2>&1 || status=$?
[[ $status == 3 ]] || fail "a second export into E: gave status $status: $(cat "$scratch/second.out")"
grep -q "Another export is writing to this folder" "$scratch/second.out" ||
  fail "the second export did not say why: $(cat "$scratch/second.out")"
kill -CONT "$first"
status=0
wait "$first" || status=$?
first=
[[ $status == 0 ]] || fail "the first export gave status $status: $(cat "$scratch/first.out")"
grep -q '^Exported 46 files in 2 groups' "$scratch/first.out" ||
  fail "the first export said: $(cat "$scratch/first.out")"

"$linux_export" "$roms" "$scratch/linux" >/dev/null
# The layout byte for byte; the manifest without the sources' identities
# (fields 5 to 8: times, device, file number).
diff -r -x KAVOSUMS.TXT "$scratch/linux" "$stick" || fail "E: holds other bytes than Linux wrote"
manifest() { awk -F'\t' '{ split($1, f, " "); print f[1], f[2], f[3], f[4], f[9] "\t" $2 }' "$1"; }
diff <(manifest "$scratch/linux/KAVOSUMS.TXT") <(manifest "$stick/KAVOSUMS.TXT") ||
  fail "the manifests differ"
LC_ALL=C grep -qa "^Caf.*, the game.sms,ROMS0\\\\1.sms" "$stick/FILES.TXT" ||
  fail "the index does not hold the name with a comma: $(head -3 "$stick/FILES.TXT")"

# 3: Ctrl-C during a replace of another list takes it back.
before=$(cd "$stick" && find . -type f -exec sha256sum {} + | sort)
rm "$roms/Game 7.sms"
head -c 1000 /dev/urandom >"$roms/Game 41.sms"
"$wine_run" "$program" --replace "$(windows "$roms")" 'E:\' >"$scratch/third.out" 2>&1 &
third=$!
stop_when_writing "$third"
kill -INT "$third"
kill -CONT "$third"
status=0
wait "$third" || status=$?
[[ $status == 130 ]] || fail "Ctrl-C gave status $status: $(cat "$scratch/third.out")"
grep -q "Interrupted by Ctrl-C" "$scratch/third.out" ||
  fail "the interruption was not named: $(cat "$scratch/third.out")"
grep -q "The destination was left as it was" "$scratch/third.out" ||
  fail "the take-back was not said: $(cat "$scratch/third.out")"
after=$(cd "$stick" && find . -type f -exec sha256sum {} + | sort)
[[ $before == "$after" ]] || fail "E: is not as it was after Ctrl-C"
[[ -z $(find "$stick" -name '*.simplekavo-*') ]] || fail "Ctrl-C left staged files on E:"

# 4: a failure injected during a replace takes it back.
"$wine_run" "$program" --replace "$(windows "$roms")" 'E:\' >"$scratch/fourth.out" 2>&1 &
fourth=$!
stop_when_writing "$fourth"
for rom in "$roms"/*; do printf 'changed' >>"$rom"; done
kill -CONT "$fourth"
status=0
wait "$fourth" || status=$?
[[ $status != 0 && $status != 130 ]] ||
  fail "the failed export gave status $status: $(cat "$scratch/fourth.out")"
grep -q "The destination was left as it was" "$scratch/fourth.out" ||
  fail "the take-back was not said: $(cat "$scratch/fourth.out")"
after=$(cd "$stick" && find . -type f -exec sha256sum {} + | sort)
[[ $before == "$after" ]] || fail "E: is not as it was after the failure"
[[ -z $(find "$stick" -name '*.simplekavo-*') ]] || fail "the failure left staged files on E:"
echo "E: holds what Linux writes; a second export was refused; Ctrl-C and a failure took a replace back"
