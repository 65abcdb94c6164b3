#!/usr/bin/env bash
# The demo: corvash updates an emulated handheld, under the autopilot
# (offscreen when there is no display, in real windows when there is one).
#
#   update (default)  the handheld runs its system with ROM 2.03 and is linked
#                     through the emulated sync software; corvash identifies
#                     it over the remote API, the user restarts it into its
#                     boot loader on the boot-mode page, corvash flashes ROM
#                     2.04 beside the program, draws the version box and sets
#                     the handheld's clock.
#   --recovery        the handheld sits in its boot loader after an
#                     interrupted flash of ROM 2.04; corvash finishes it.
#
# The script prints each page as corvash shows it and the result: the flash
# against the image, the version box on the handheld's screen, its clock.
#
# Usage: tools/run-demo.sh BUILD_DIR|PREFIX [WORK_DIR] [--recovery]
# With an installed PREFIX (/usr) it runs the installed k5210-emu and corvash
# (through its launcher), places the update image in the package folder for
# the run (so it needs write access there, as root has) and works in
# WORK_DIR, by default a fresh temporary folder.
set -euo pipefail
mode=update
args=()
for arg in "$@"; do
  case "$arg" in
    --recovery) mode=recovery ;;
    *) args+=("$arg") ;;
  esac
done
[ -n "${args[0]:-}" ] || { echo "usage: run-demo.sh BUILD_DIR|PREFIX [WORK_DIR] [--recovery]" >&2; exit 2; }
source "$(dirname "$0")/world.sh"
work_dir="${args[1]:-}"
if [ -z "$work_dir" ]; then
  if [ -d "${args[0]}/package" ]; then work_dir="${args[0]}/demo"; else work_dir="$(mktemp -d)/demo"; fi
fi
world_setup "${args[0]}" "$work_dir"

echo "== Making ROM 2.04 (a payload that is not a whole number of records)"
image="$work/QUORROM204.nbf"
world_image 2.04 "$image"
payload_size=$(stat -c %s "$image.payload")
"$nbf" info "$image"

# ROM 2.03 of random bytes, so that a flash shows in every byte it writes.
head -c "$payload_size" /dev/urandom >"$work/old.payload"
"$nbf" create --model "Quor 5210" --variant NBT --lang ENG --version 2.03 "$work/old.payload" "$work/old.nbf" >/dev/null
"$emu" init "$state" --rom "$work/old.nbf" >/dev/null
touch "$prefix/windows/MERLIX.ZPF"
if [ "$mode" = recovery ]; then
  echo "== Handheld with ROM 2.03, left in its boot loader by an interrupted flash"
  "$emu" ctl "$state" bootloader
  cat >"$prefix/user.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\DadivUzizova]
"Flash"=dword:00000001
"FlashFile"="$image"
REG
  cat >"$work/autopilot.txt" <<'SCRIPT'
# Recovery: confirm the flash, then the reset and finish pages.
124 press 1
167 press 1181
133 press 1
SCRIPT
else
  echo "== Handheld with ROM 2.03, running its system, linked through the sync software"
  world_place "$image" QUORROM204.nbf
  cat >"$work/autopilot.txt" <<SCRIPT
# Update: the introduction, "Aktualisieren", confirmation and ready pages;
# on the boot-mode page the user restarts the handheld into its boot loader.
103 check 1203
103 press 1
121 press 1
161 press 1
109 press 1035
124 press 1
130 press 1
169 run "$emu" ctl "$state" bootloader
169 wait-enabled 1
169 press 1
# After the flash the user reads the version box, then restarts the
# handheld into its system.
167 run "$emu" show "$state" --screen >"$work/screen.txt"
167 run "$emu" ctl "$state" system
167 press 1181
133 press 1
SCRIPT
fi

world_serve --port wceusbsh001

echo "== corvash (autopilot): each page as it opens and ends"
# The transcript, followed while corvash writes it, until the run is over.
sleep 86400 &
running=$!
tail -s 0.1 --pid="$running" -n +1 -F "$work/transcript.txt" 2>/dev/null |
  sed -un 's/^open \([0-9]*\)$/  page \1 opens/p; s/^end \([0-9]*\) \(.*\)$/  page \1 ends with \2/p' &
follower=$!
world_corvash "$work/autopilot.txt"
status=$corvash_status
pc_time="$(date -u '+%Y-%m-%d %H:%M')"
kill "$running"
wait "$follower" 2>/dev/null || true
echo "corvash exit code: $status"

echo "== Result"
flashed=$((payload_size - 0x40000))
"$emu" show "$state" --flash a0040000 "$(printf '%x' $flashed)" --raw >"$work/flashed.bin"
tail -c +$((0x40000 + 1)) "$image.payload" >"$work/expected.bin"
ok=1
if cmp -s "$work/flashed.bin" "$work/expected.bin"; then
  echo "flash: equals the image from 0xA0040000 ($flashed bytes)"
else
  echo "flash: DIFFERS from the image"; ok=0
fi
if grep -qi 'DadivUzizova' "$prefix/user.reg" 2>/dev/null; then
  echo "pending-flash record: still there"; ok=0
else
  echo "pending-flash record: removed"
fi
if [ -e "$prefix/windows/MERLIX.ZPF" ]; then echo "marker: still there"; ok=0; else echo "marker: removed"; fi
[ "$mode" = update ] || "$emu" show "$state" --screen >"$work/screen.txt"
echo "handheld screen after the flash:"; sed 's/^/  |/' "$work/screen.txt"
grep -q '^ \*   2\.04   \*$' "$work/screen.txt" || { echo "version box: missing"; ok=0; }
if [ "$mode" = update ]; then
  clock="$("$emu" show "$state" --clock)"
  echo "handheld clock: $clock UTC (PC: $pc_time UTC)"
  # The PC's minute was read a moment before the handheld's clock: a minute
  # may have turned in between, so the two may differ by that much.
  drift=$(( $(date -u -d "$clock" +%s) - $(date -u -d "$pc_time" +%s) ))
  if [ "$drift" -lt 0 ] || [ "$drift" -ge 120 ]; then echo "clock: not the PC's time"; ok=0; fi
fi
[ "$status" -eq 0 ] && [ "$ok" -eq 1 ] && echo "DEMO PASSED" || { echo "DEMO FAILED"; exit 1; }
