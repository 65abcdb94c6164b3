#!/usr/bin/env bash
# Roads and screens around a flash or a backup, each reached for real with an
# emulated handheld: a restore from an image file of the user's choice, the
# power warning on battery, an existing or a too small backup target, a
# handheld whose identity record is gone, an image that vanishes before the
# flash starts.
set -euo pipefail
source "$1/tools/world.sh"
source "$1/tests/e2e/cases.sh"
cases_init "$1" "$2" screens-around-flash
size=$((0x120000))

# Erases the identity record wherever the handheld keeps it: the reserve
# block and both asset data areas (the flash file is the handheld's flash, so
# this works while it is served too). A script, so that a step can run it.
write_identity_eraser() {
  cat >"$work/erase-identity.sh" <<SCRIPT
for offset in \$((0x40000)) \$((0x1FC0000)) \$((0x2FC0000)); do
  head -c 4096 /dev/zero | tr '\\0' '\\377' |
    dd of="$state/flash.bin" bs=4096 seek=\$((offset / 4096)) conv=notrunc status=none
done
SCRIPT
}

pending_flash_of() {
  cat >"$prefix/user.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\DadivUzizova]
"Flash"=dword:00000001
"FlashFile"="$1"
REG
}

# --- The restore road with an image file the user picks (not a backup of this
# handheld), from a folder of its own; on the way the handheld runs on battery
# until the power warning, and the user plugs in the mains.
case_begin restore_chosen_image
case_random_rom_handheld 2.03 "$size"
world_serve
mkdir -p "$work/downloads"
image="$work/downloads/QUORROM205.nbf"
case_small_image 2.05 "$image"
touch "$prefix/windows/MERLIX.ZPF"
{ case_intro
  echo '109 press 1036'
  echo "file open $image"
  echo "124 run \"$emu\" ctl \"$state\" battery"
  echo '124 press 1'
  echo '130 press 1'
  echo "105 run \"$emu\" ctl \"$state\" mains"
  echo '105 wait-enabled 1'
  echo '105 press 1'
  echo "169 run \"$emu\" ctl \"$state\" bootloader"
  echo '169 wait-enabled 1'
  echo '169 press 1'
  echo "167 run \"$emu\" show \"$state\" --screen >\"$work/screen.txt\""
  echo "167 run \"$emu\" ctl \"$state\" system"
  echo '167 press 1181'
  echo '133 press 1'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 122 124 130 105 169 102 167 133"
expect_screen 105 1040 "WARNUNG 111: NETZTEIL NICHT EINGESTECKT"
expect_screen 124 1027 "ROM-Version: 2.05"
expect_line 'end 102 1'
expect_flashed "$image.payload"
grep -q '^ \*   2\.05   \*$' "$work/screen.txt" || fail "the version box lacks 2.05"
has_pending_flash && fail "the pending-flash record stayed after the flash"
[ -e "$prefix/windows/MERLIX.ZPF" ] && fail "the marker stayed"
case_pass

# --- WARNUNG 111: on battery "Weiter" is closed; once the mains is plugged in
# the power watch opens it within about one of its 100 ms periods. Run
# unscaled, so that the time measured is the watch's own.
case_begin power_warning_on_battery
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
"$emu" ctl "$state" battery
world_serve
case_small_image 2.04 "$program/QUORROM204.nbf"
{ case_intro
  echo '109 press 1035'
  echo '124 press 1'
  echo '130 press 1'
  # Weiter opens with the page; the watch closes it at its first look.
  echo "105 run timeout 20 sh -c 'until sed -n \"/^open 105\\\$/,\\\$p\" \"$transcript\" | grep -qx \"enable 1 0\"; do sleep 0.01; done'"
  echo "105 run \"$emu\" ctl \"$state\" mains && date +%s%N >\"$work/mains-at\""
  echo '105 wait-enabled 1 5000'  # a guard; the limit is checked below
  echo "105 run date +%s%N >\"$work/enabled-at\""
  echo '105 press 1'
  echo '169 press 2'; } >"$work/autopilot.txt"
CORVASH_TIME_SCALE=1 case_run
expect_pages "103 121 161 122 109 122 124 130 105 169"
expect_screen 105 1040 "WARNUNG 111: NETZTEIL NICHT EINGESTECKT"
[ "$(sed -n '/^open 105$/,/^end 105 /p' "$transcript" | grep -E '^enable 1 ' | tr '\n' '|')" = "enable 1 0|enable 1 1|" ] ||
  fail "power warning's Weiter: $(sed -n '/^open 105$/,/^end 105 /p' "$transcript" | grep -E '^enable 1 ' | tr '\n' '|')"
expect_line 'end 105 0'
power_ms=$(( ($(cat "$work/enabled-at") - $(cat "$work/mains-at")) / 1000000 ))
echo "e2e: mains to Weiter enabled: $power_ms ms"
power_limit=$(( ${E2E_SLOW:-0} == 1 ? 1600 : 400 ))
[ "$power_ms" -le "$power_limit" ] || fail "Weiter opened $power_ms ms after the mains came back"
case_pass

# --- WARNUNG 112, "Abbrechen": the chooser asks again; cancelling it leaves
# the existing file as it was and the options page comes back.
case_begin backup_target_exists
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
world_serve
echo "an earlier file" >"$work/QUORROM203.nbf"
{ case_intro
  echo '109 press 1030'
  echo "file save $work/QUORROM203.nbf"
  echo '152 press 2'
  echo 'file cancel'
  echo '109 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 152"
expect_screen 152 1122 "WARNUNG 112: DIE VON IHNEN AUSGEWÄHLTE DATEI IST BEREITS VORHANDEN"
expect_line 'end 152 2'
expect_line 'end 109 1'
[ "$(cat "$work/QUORROM203.nbf")" = "an earlier file" ] || fail "the existing file was touched"
case_pass

# --- FEHLER 107: the backup target lies on a drive with 1 MiB free (a small
# file system mounted for corvash alone, in a mount namespace of its own).
case_begin no_room_for_backup
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
world_serve
mkdir -p "$work/small-drive"
if [ "$(id -u)" -eq 0 ]; then userns=(); else userns=(--map-root-user); fi
corvash_wrapper=(unshare "${userns[@]}" --mount sh -c
  "mount -t tmpfs -o size=1m small-drive '$work/small-drive' && exec \"\$0\"")
if "${corvash_wrapper[@]}" true 2>/dev/null; then
  { case_intro
    echo '109 press 1030'
    echo "file save $work/small-drive/QUORROM203.nbf"
    echo '145 press 2'
    echo '109 press 2'; } >"$work/autopilot.txt"
  case_run
  expect_pages "103 121 161 122 109 145"
  expect_screen 145 1108 "FEHLER 107: SYSTEM KANN AKTUELLES ROM-IMAGE NICHT SICHERN"
  expect_line 'end 109 1'
  case_pass
else
  echo "e2e: no_room_for_backup skipped: no mount namespace can be made here"
fi
corvash_wrapper=()

# --- FEHLER 116, recovery run: the handheld waits in its boot loader after an
# interrupted flash, but its identity record is gone from every area.
case_begin identity_erased_recovery
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
write_identity_eraser
bash "$work/erase-identity.sh"
"$emu" ctl "$state" bootloader
world_serve
case_small_image 2.04 "$work/QUORROM204.nbf"
pending_flash_of "$work/QUORROM204.nbf"
echo '268 press 1175' >"$work/autopilot.txt"
case_run
expect_pages "122 268"
expect_screen 268 1224 "FEHLER 116: FEHLER BEI DER IDENTIFIKATION DES Quor"
has_pending_flash || fail "the pending-flash record is gone"
case_pass

# --- FEHLER 116, update run: identified in its system, the handheld's
# identity record is erased before it restarts into its boot loader, so the
# loader's identity read finds nothing. No flash starts.
case_begin identity_erased_update
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
world_serve
case_small_image 2.04 "$program/QUORROM204.nbf"
write_identity_eraser
"$emu" show "$state" --flash a0080000 100000 --raw >"$work/before.bin"
{ case_intro
  echo '109 press 1035'
  echo '124 press 1'
  echo '130 press 1'
  echo "169 run bash \"$work/erase-identity.sh\""
  echo "169 run \"$emu\" ctl \"$state\" bootloader"
  echo '169 wait-enabled 1'
  echo '169 press 1'
  echo '268 press 1175'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 122 124 130 169 102 268"
expect_screen 268 1224 "FEHLER 116: FEHLER BEI DER IDENTIFIKATION DES Quor"
grep -qE '^open 114$' "$transcript" && fail "a second screen followed FEHLER 116"
"$emu" show "$state" --flash a0080000 100000 --raw | cmp -s - "$work/before.bin" || fail "the flash was written"
case_pass

# --- FEHLER 104 from the flash itself: the image beside the program is
# removed while the user restarts the handheld into its boot loader.
case_begin image_gone_before_flash
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
world_serve
case_small_image 2.04 "$program/QUORROM204.nbf"
{ case_intro
  echo '109 press 1035'
  echo '124 press 1'
  echo '130 press 1'
  echo "169 run rm \"$program/QUORROM204.nbf\""
  echo "169 run \"$emu\" ctl \"$state\" bootloader"
  echo '169 wait-enabled 1'
  echo '169 press 1'
  echo '141 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 122 124 130 169 102 141"
expect_screen 141 1097 "FEHLER 104: ROM-IMAGE-DATEI KANN NICHT GEÖFFNET WERDEN"
case_pass

# --- Recovery of an interrupted restore: the pending flash names the chosen
# image, which is what the next start writes, not the other image that lies
# beside the program.
case_begin restore_interrupted_then_recovered
case_random_rom_handheld 2.03 "$size"
world_serve
mkdir -p "$work/downloads"
chosen="$work/downloads/QUORROM205.nbf"
case_small_image 2.05 "$chosen"
case_small_image 2.04 "$program/QUORROM204.nbf" $((0x140000))
{ case_intro
  echo '109 press 1036'
  echo "file open $chosen"
  echo '124 press 1'
  echo '130 press 1'
  echo "169 run \"$emu\" ctl \"$state\" bootloader"
  echo '169 wait-enabled 1'
  echo "169 run \"$emu\" fault \"$state\" drop-after-records 2"
  echo '169 press 1'
  echo '114 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 122 124 130 169 102 114"
has_pending_flash || fail "the pending-flash record is gone"
"$emu" ctl "$state" plug
"$emu" ctl "$state" bootloader
printf '%s\n' '124 press 1' '167 press 1181' '133 press 1' >"$work/autopilot.txt"
case_run
expect_pages "122 124 102 167 133"
expect_screen 124 1027 "ROM-Version: 2.05"
expect_flashed "$chosen.payload"
case_pass

# --- Recovery with a stored image that does not fit the handheld (another
# language): it is dropped without a screen and the image beside the program
# is written instead.
case_begin recovery_stored_image_misfit
case_random_rom_handheld 2.03 "$size"
"$emu" ctl "$state" bootloader
world_serve
case_small_image 2.05 "$work/QUORROM205-GER.nbf" "$size" --lang GER
case_small_image 2.04 "$program/QUORROM204.nbf"
pending_flash_of "$work/QUORROM205-GER.nbf"
printf '%s\n' '124 press 1' '167 press 1181' '133 press 1' >"$work/autopilot.txt"
case_run
expect_pages "122 124 102 167 133"
expect_screen 124 1027 "ROM-Version: 2.04"
expect_flashed "$program/QUORROM204.nbf.payload"
case_pass

# --- Recovery with a stored image whose sum fails: it is dropped without a
# screen and the image beside the program is written; when that one fails
# too, FEHLER 102 and nothing is flashed.
case_begin recovery_stored_image_corrupt
case_random_rom_handheld 2.03 "$size"
"$emu" ctl "$state" bootloader
world_serve
case_small_image 2.05 "$work/QUORROM205.nbf" "$size"
case_small_image 2.04 "$program/QUORROM204.nbf"
corrupt() { printf '\x5a' | dd of="$1" bs=1 seek=$((32 + 0x90000)) conv=notrunc status=none; }
corrupt "$work/QUORROM205.nbf"
pending_flash_of "$work/QUORROM205.nbf"
printf '%s\n' '124 press 1' '167 press 1181' '133 press 1' >"$work/autopilot.txt"
case_run
expect_screen 124 1027 "ROM-Version: 2.04"
expect_flashed "$program/QUORROM204.nbf.payload"
corrupt "$program/QUORROM204.nbf"
pending_flash_of "$work/QUORROM205.nbf"
echo '139 press 2' >"$work/autopilot.txt"
case_run
expect_screen 139 1093 "FEHLER 102: PRÜFSUMMENFEHLER BEI IMAGE-DATEI."
expect_flashed "$program/QUORROM204.nbf.payload"
case_pass

# --- FEHLER 100 in a recovery run: the image beside the program is for
# another language than the handheld in its boot loader.
case_begin recovery_image_misfit
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
"$emu" ctl "$state" bootloader
world_serve
case_small_image 2.04 "$program/QUORROM204.nbf" "$size" --lang GER
pending_flash_of ""
echo '123 press 2' >"$work/autopilot.txt"
case_run
expect_pages "122 123"
expect_screen 123 1055 "FEHLER 100: INKOMPATIBLES IMAGE"
expect_screen 123 1062 "Sprache: Deutsch"
case_pass

echo "e2e: ${#cases_passed[@]} cases passed: ${cases_passed[*]}"
