#!/usr/bin/env bash
# The screens a user meets before any flash starts, each reached for real:
# an emulated handheld (or none), its sync software, corvash from its package
# folder under the autopilot, and the image files as a user would have them.
set -euo pipefail
source "$1/tools/world.sh"
source "$1/tests/e2e/cases.sh"
cases_init "$1" "$2" screens-before-flash

# The sync software as it registers itself, at the version given.
write_sync_version() {
  cat >"$prefix/system.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows CE Services]
"MajorVersion"=dword:0000000$1
"MinorVersion"=dword:0000000$2
REG
}

# A handheld with ROM 2.03 that runs its system and is linked.
serve_handheld() {
  "$emu" init "$state" --variant NBT --language ENG --version 2.03 "$@" >/dev/null
  world_serve
}

# --- FEHLER 115: the sync software is 3.1; serving the handheld keeps that.
case_begin sync_software_too_old
write_sync_version 3 1
serve_handheld
grep -qx '"MinorVersion"=dword:00000001' "$prefix/system.reg" || fail "the emulator changed the sync version"
echo '165 press 1175' >"$work/autopilot.txt"
case_run
expect_pages "165"
expect_screen 165 1172 "FEHLER 115: UNGÜLTIGE VERSION VON ACTIVESYNC"
case_pass

# --- FEHLER 101: no handheld linked and no boot loader on any port.
case_begin no_handheld
write_sync_version 3 5
{ case_intro; echo '138 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 138"
expect_screen 138 1091 "FEHLER 101: VERBINDUNGSFEHLER"
case_pass

# --- FEHLER 101 again: the handheld leaves its system before the power check,
# so its power status cannot be read.
case_begin power_status_unreadable
serve_handheld
case_small_image 2.04 "$program/QUORROM204.nbf"
{ case_intro
  echo '109 press 1035'
  echo '124 press 1'
  echo "130 run \"$emu\" ctl \"$state\" bootloader"
  echo '130 press 1'
  echo '138 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 122 124 130 138"
expect_screen 138 1091 "FEHLER 101: VERBINDUNGSFEHLER"
case_pass

# --- FEHLER 103: "Aktualisieren" with no image beside the program.
case_begin no_image
serve_handheld
{ case_intro; echo '109 press 1035'; echo '140 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 140"
expect_screen 140 1095 "FEHLER 103: ROM-IMAGE-DATEI NICHT GEFUNDEN"
case_pass

# --- FEHLER 104: the image beside the program cannot be opened (a link to an
# image on a drive that is gone; the tests may run as root, for whom a file
# without read permission stays readable).
case_begin image_unreadable
serve_handheld
ln -s "$work/removed-drive/QUORROM204.nbf" "$program/QUORROM204.nbf"
{ case_intro; echo '109 press 1035'; echo '141 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 141"
expect_screen 141 1097 "FEHLER 104: ROM-IMAGE-DATEI KANN NICHT GEÖFFNET WERDEN"
case_pass

# --- FEHLER 104 on the restore road: the chosen file is gone.
case_begin restore_file_gone
serve_handheld
{ case_intro; echo '109 press 1036'; echo "file open $work/gone.nbf"; echo '141 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 141"
expect_screen 141 1097 "FEHLER 104: ROM-IMAGE-DATEI KANN NICHT GEÖFFNET WERDEN"
case_pass

# --- FEHLER 102: one payload byte of the image changed after it was made.
case_begin checksum_mismatch
serve_handheld
image="$program/QUORROM204.nbf"
case_small_image 2.04 "$image"
printf '\x5a' | dd of="$image" bs=1 seek=$((32 + 0x90000)) conv=notrunc status=none
{ case_intro; echo '109 press 1035'; echo '139 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 122 139"
expect_screen 139 1093 "FEHLER 102: PRÜFSUMMENFEHLER BEI IMAGE-DATEI."
case_pass

# --- FEHLER 100: an image for another variant, model or language; the screen
# shows the handheld's and the image's rows.
for mismatch in "--variant WBT" "--model Quor 5211" "--lang GER"; do
  read -r option value <<<"$mismatch"
  case_begin "incompatible_${option#--}"
  serve_handheld
  case_small_image 2.04 "$program/QUORROM204.nbf" $((0x120000)) "$option" "$value"
  { case_intro; echo '109 press 1035'; echo '123 press 2'; } >"$work/autopilot.txt"
  case_run
  expect_pages "103 121 161 122 109 122 123"
  expect_screen 123 1055 "FEHLER 100: INKOMPATIBLES IMAGE"
  expect_screen 123 1057 "ROM-Version: 2.03"
  case "$option" in
    --model) expect_screen 123 1060 "Modell: Quor 5211" ;;
    --lang) expect_screen 123 1062 "Sprache: Deutsch" ;;
  esac
  case_pass
done

# --- FEHLER 110: a 2 MiB image for a handheld that reports 1 MiB of flash.
case_begin image_too_large
serve_handheld --flash-mb 1
case_small_image 2.04 "$program/QUORROM204.nbf" $((0x200000 + 4096))
{ case_intro; echo '109 press 1035'; echo '151 press 2'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 109 122 151"
expect_screen 151 1116 "FEHLER 110: IMAGE-DATEI IST ZU GROSS"
expect_screen 151 1120 "2 MB"
expect_screen 151 1121 "1 MB"
case_pass

# --- FEHLER 117: identification gives nothing (the program folder lacks the
# handheld's identification library, so it cannot be copied to the handheld).
case_begin identification_library_missing
serve_handheld
rm "$program/Havlok.dll"
{ case_intro; echo '269 press 1175'; } >"$work/autopilot.txt"
case_run
expect_pages "103 121 161 122 269"
expect_screen 269 1206 "FEHLER 117: UNGÜLTIGE MODELL-ID"
case_pass

echo "e2e: ${#cases_passed[@]} cases passed: ${cases_passed[*]}"
