#!/usr/bin/env bash
# Backup and restore of an emulated handheld through the real road: "Sichern"
# pulls the ROM into a file beside an earlier one of the same name (replaced
# after WARNUNG 112), the options page comes back, and "Wiederherstellen" of
# that file flashes it back through the boot-mode page. Then a handheld whose
# agent offers 128 chunks: only 124 are taken.
set -euo pipefail
source_dir="$1"
source "$source_dir/tools/world.sh"
world_setup "$2" "$2/e2e-backup"
fail() { echo "e2e: $*" >&2; exit 1; }

"$emu" init "$state" --variant WBT --language GER --version 2.03 >/dev/null
world_serve
backup="$work/QUORROM203.nbf"
echo "an earlier file of that name" >"$backup"
cat >"$work/autopilot.txt" <<SCRIPT
103 check 1203
103 press 1
121 press 1
161 press 1
109 press 1030
file save $backup
152 press 1
# The backup ends by itself; the options page comes back.
109 run "$nbf" verify "$backup"
109 run "$emu" ctl "$state" battery
109 run "$emu" show "$state" --flash a0040000 200000 --raw >"$work/before-restore.bin"
109 press 1036
file open $backup
124 press 1
130 press 1
105 run "$emu" ctl "$state" mains
105 wait-enabled 1
105 press 1
169 run "$emu" ctl "$state" bootloader
169 wait-enabled 1
169 press 1
167 run "$emu" ctl "$state" system
167 press 1181
133 press 1
SCRIPT
world_corvash "$work/autopilot.txt"
[ "$corvash_status" -eq 0 ] || fail "corvash ended with $corvash_status"
pages="$(world_pages)"
[ "$pages" = "103 121 161 122 109 152 132 109 122 124 130 105 169 102 167 133 " ] || fail "pages: $pages"
grep -qxF 'end 132 1' "$work/transcript.txt" || fail "the backup page did not end well"

# The backup: header and the flash from 0xA0000000.
[ "$(stat -c %s "$backup")" -eq $((32 + 0x1F00000)) ] || fail "backup size $(stat -c %s "$backup")"
head -c 22 "$backup" | grep -qx 'Quor 5210-WBT-GER-2.03' || fail "header: $(head -c 32 "$backup")"
"$emu" show "$state" --flash a0000000 1f00000 --raw | cmp -s - <(tail -c +33 "$backup") ||
  fail "the backup's payload differs from the flash"
# The restore wrote it back (the flash from 0xA0040000 equals the backup's).
"$emu" show "$state" --flash a0040000 1ec0000 --raw | cmp -s - <(tail -c +$((32 + 0x40000 + 1)) "$backup") ||
  fail "the restored flash differs from the backup"
grep -qxF 'text 1023 "100"' "$work/transcript.txt" || fail "the progress never reached 100"

echo "== A handheld that offers 128 chunks"
world_end
world_setup "$2" "$2/e2e-backup-128"
"$emu" init "$state" --flash-mb 64 >/dev/null
world_serve
backup="$work/big.nbf"
cat >"$work/autopilot.txt" <<SCRIPT
103 check 1203
103 press 1
121 press 1
161 press 1
109 press 1030
file save $backup
109 press 2
SCRIPT
world_corvash "$work/autopilot.txt"
[ "$(stat -c %s "$backup")" -eq $((32 + 0x1F00000)) ] || fail "128-chunk backup size $(stat -c %s "$backup")"
"$nbf" verify "$backup" >/dev/null || fail "the 124-chunk backup does not verify"
echo "e2e: backup and restore as expected"
