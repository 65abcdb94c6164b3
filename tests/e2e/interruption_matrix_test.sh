#!/usr/bin/env bash
# A flash interrupted at every stage, and the next start finishing it. An
# update of a handheld whose ROM is random bytes with a small image (load 1:
# five records from 0x80000, load 2: two records from 0x40000) is cut short:
# the loader falls silent, the cable is pulled, or corvash is killed, once a
# chosen record is in. The run must end on FEHLER 113 (or not at all, when
# killed) with the pending-flash record kept; then, with the cable back and
# the handheld in its boot loader, the next start of corvash is a recovery
# run that writes the whole image, byte for byte.
#
# Records count across both loads, end records included: 1-5 load 1, 6 its
# end record, 7-8 load 2, 9 its end record.
set -euo pipefail
source "$1/tools/world.sh"
source "$1/tests/e2e/cases.sh"
cases_init "$1" "$2" interruption-matrix
# The loader's silence ends a run only through the link watchdog (150 s);
# a smaller scale than the other groups keeps that short (not in a sanitizer
# build, whose slowness the loader's shorter waits would not allow for).
if [ "${E2E_SLOW:-0}" = 1 ]; then matrix_scale=0.1; else matrix_scale=0.02; fi
export CORVASH_TIME_SCALE="${CORVASH_MATRIX_TIME_SCALE:-$matrix_scale}"
size=$((0x120000))
record=$((0x20000))

# name                  fault                  N  then
matrix=(
  "silent_load1_first    silent-after-records   1  -"
  "silent_load1_middle   silent-after-records   3  -"
  "silent_load1_last     silent-after-records   5  -"
  "silent_between_loads  silent-after-records   6  -"
  "silent_load2_first    silent-after-records   7  -"
  "silent_load2_last     silent-after-records   8  -"
  "pulled_load1_first    no-record-request      1  unplug"
  "pulled_load1_middle   no-record-request      3  unplug"
  "pulled_load1_last     no-record-request      5  unplug"
  "pulled_between_loads  drop-after-records     6  -"
  "pulled_load2_first    no-record-request      7  unplug"
  "pulled_load2_last     no-record-request      8  unplug"
  "killed_load1_middle   no-record-request      3  kill"
  "killed_load2_first    no-record-request      7  kill"
)

# Payload offset of data record N (1-5 load 1, 7-8 load 2); none for the rest.
record_offset() {
  case "$1" in
    [1-5]) echo $((0x80000 + ($1 - 1) * record)) ;;
    7|8) echo $((0x40000 + ($1 - 7) * record)) ;;
  esac
}

# Whether the flash holds the image's bytes over [OFFSET, OFFSET + LENGTH).
flash_holds_image() {
  local offset="$1" length="$2"
  "$emu" show "$state" --flash "$(printf '%x' $((0xA0000000 + offset)))" "$(printf '%x' "$length")" --raw |
    cmp -s - <(tail -c +$((offset + 1)) "$image.payload" | head -c "$length")
}

# A step on the progress page: waits until record N is in the flash (the
# loader holds there, its request withheld), then pulls the cable or kills
# corvash (process PID).
write_interrupter() {
  cat >"$work/interrupt.sh" <<SCRIPT
set -e
emu="$emu" state="$state" image="$image" record=$record
$(declare -f record_offset flash_holds_image)
end=\$(( \$(record_offset "\$1") + record - 16 ))
for _ in \$(seq 3000); do flash_holds_image "\$end" 16 && break; sleep 0.01; done
flash_holds_image "\$end" 16 || { echo "record \$1 never arrived" >&2; exit 1; }
case "\$2" in
  unplug) "\$emu" ctl "\$state" unplug ;;
  kill) kill -KILL "\$3" ;;
esac
SCRIPT
}

# A sanitizer build checks the same code on one row of each way of being cut
# short, in each load and between them; the plain build plays every row.
sanitizer_rows='^(silent_between_loads|pulled_load1_middle|pulled_between_loads|killed_load2_first)$'

results=()
for row in "${matrix[@]}"; do
  read -r name kind count then <<<"$row"
  [[ -z "${E2E_CASES:-}" || "$name" =~ $E2E_CASES ]] || continue  # a developer's choice of rows
  [[ "${E2E_SLOW:-0}" != 1 || -n "${E2E_CASES:-}" || "$name" =~ $sanitizer_rows ]] || continue
  case_begin "$name"
  case_random_rom_handheld 2.03 "$size"
  world_serve
  image="$program/QUORROM204.nbf"
  case_small_image 2.04 "$image" "$size"
  write_interrupter
  { case_intro
    echo '109 press 1035'
    echo '124 press 1'
    echo '130 press 1'
    echo "169 run \"$emu\" ctl \"$state\" bootloader"
    echo '169 wait-enabled 1'
    echo "169 run \"$emu\" fault \"$state\" $kind $count"
    echo '169 press 1'
    [ "$then" = - ] || echo "102 run bash \"$work/interrupt.sh\" $count $then \$PPID"
    [ "$then" = kill ] || echo '114 press 2'; } >"$work/autopilot.txt"

  # The interrupted run.
  world_corvash "$work/autopilot.txt"
  if [ "$then" = kill ]; then
    [ "$corvash_status" -eq 137 ] || fail "corvash was not killed (status $corvash_status)"
    expect_pages "103 121 161 122 109 122 124 130 169 102"
  else
    [ "$corvash_status" -eq 0 ] || fail "corvash ended with $corvash_status"
    expect_pages "103 121 161 122 109 122 124 130 169 102 114"
    expect_screen 114 1039 "FEHLER 113:  UPDATE-FEHLER"
    expect_line 'end 102 2'
  fi
  has_pending_flash || fail "the pending-flash record is gone after the interruption"
  grep -qxF "\"FlashFile\"=hex(1):$(printf '%s' "$image" | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//;s/,$//')" \
    "$prefix/user.reg" || fail "the pending-flash record lacks the image"
  cp "$prefix/user.reg" "$work/interrupted-user.reg"
  # It stopped where it was meant to: record N is in, the one after it is not.
  offset=$(record_offset "$count")
  [ -z "$offset" ] || flash_holds_image "$offset" "$record" || fail "record $count is not in the flash"
  case "$count" in 5|6) next=$(record_offset 7) ;; *) next=$(record_offset $((count + 1))) ;; esac
  [ -z "$next" ] || ! flash_holds_image "$next" 16 || fail "record after $count is in the flash"
  cp "$transcript" "$work/interrupted-transcript.txt"

  # The next start: cable back, handheld in its boot loader.
  "$emu" fault "$state" clear
  grep -q '^cable=unplugged' "$state/handheld.conf" && "$emu" ctl "$state" plug
  [ -e "$prefix/dosdevices/wceusbsh001" ] || "$emu" ctl "$state" plug
  "$emu" ctl "$state" bootloader
  printf '%s\n' '124 press 1' '167 press 1181' '133 press 1' >"$work/recovery.txt"
  world_corvash "$work/recovery.txt"
  [ "$corvash_status" -eq 0 ] || fail "the recovery run ended with $corvash_status"
  expect_pages "122 124 102 167 133"
  expect_line 'end 102 1'
  expect_flashed "$image.payload"
  has_pending_flash && fail "the pending-flash record stayed after the recovery"
  results+=("$name: interrupted after record $count, recovered, flash equals the image")
  case_pass
done

# A recovery run that is itself cut short (the cable pulled in its second
# load) keeps the pending-flash record; the start after it finishes the flash.
if [[ -z "${E2E_CASES:-}" || recovery_interrupted =~ $E2E_CASES ]]; then
  case_begin recovery_interrupted
  case_random_rom_handheld 2.03 "$size"
  "$emu" ctl "$state" bootloader
  world_serve
  image="$work/QUORROM204.nbf"
  case_small_image 2.04 "$image" "$size"
  cat >"$prefix/user.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\DadivUzizova]
"Flash"=dword:00000001
"FlashFile"="$image"
REG
  write_interrupter
  "$emu" fault "$state" no-record-request 7
  printf '%s\n' '124 press 1' "102 run bash \"$work/interrupt.sh\" 7 unplug" '114 press 2' >"$work/autopilot.txt"
  case_run
  expect_pages "122 124 102 114"
  has_pending_flash || fail "the failed recovery run dropped the pending-flash record"
  flash_holds_image "$(record_offset 5)" "$record" || fail "the recovery run's first load is not in the flash"
  "$emu" ctl "$state" plug
  "$emu" ctl "$state" bootloader
  printf '%s\n' '124 press 1' '167 press 1181' '133 press 1' >"$work/autopilot.txt"
  case_run
  expect_pages "122 124 102 167 133"
  expect_flashed "$image.payload"
  has_pending_flash && fail "the pending-flash record stayed after the recovery"
  results+=("recovery_interrupted: a recovery run pulled after record 7, the next start recovered")
  case_pass
fi

printf 'e2e: %s\n' "${results[@]}"
