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
# Usage: tools/run-demo.sh BUILD_DIR [WORK_DIR] [--recovery]
set -euo pipefail
mode=update
args=()
for arg in "$@"; do
  case "$arg" in
    --recovery) mode=recovery ;;
    *) args+=("$arg") ;;
  esac
done
build="$(cd "${args[0]:?usage: run-demo.sh BUILD_DIR [WORK_DIR] [--recovery]}" && pwd)"
work="${args[1]:-$build/demo}"
emu="$build/bin/k5210-emu"
nbf="$build/bin/nbf"
package="$build/package"
for tool in "$emu" "$nbf" "$package/corvash" "$package/Havlok.dll"; do
  [ -x "$tool" ] || [ -f "$tool" ] || { echo "demo: $tool is missing; build first" >&2; exit 2; }
done
export CORVASH_TIME_SCALE="${CORVASH_TIME_SCALE:-0.2}"
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"
state="$work/handheld"
program="$work/program"   # the program's folder: the package and the update image
export CORVASH_PREFIX="$prefix"
mkdir -p "$prefix/windows" "$program"
for file in "$package"/*; do ln -s "$file" "$program/"; done

echo "== Making ROM 2.04 (a payload that is not a whole number of records)"
"$emu" init "$work/source" --variant NBT --language ENG --version 2.04 >/dev/null
payload_size=$((0x1000000 + 12345))
"$emu" show "$work/source" --flash a0000000 "$(printf '%x' $payload_size)" --raw >"$work/payload.bin"
image="$work/QUORROM204.nbf"
"$nbf" create --model "Quor 5210" --variant NBT --lang ENG --version 2.04 "$work/payload.bin" "$image"
"$nbf" info "$image"

"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
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
  cp "$image" "$program/QUORROM204.nbf"
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

"$emu" run "$state" --prefix "$prefix" --port wceusbsh001 >"$work/emu.out" 2>&1 &
emu_pid=$!
trap 'kill $emu_pid 2>/dev/null || true; wait $emu_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q '^ready' "$work/emu.out" 2>/dev/null && break; sleep 0.1; done
grep '^ready' "$work/emu.out" || { cat "$work/emu.out" >&2; exit 1; }

echo "== corvash (autopilot)"
status=0
(cd "$program" && CORVASH_AUTOPILOT="$work/autopilot.txt" CORVASH_TRANSCRIPT="$work/transcript.txt" \
   CORVASH_TRACE="$work/trace.txt" ./corvash) || status=$?
pc_time="$(date -u '+%Y-%m-%d %H:%M')"
echo "corvash exit code: $status"
echo "pages shown:"
grep -E '^(open|end) ' "$work/transcript.txt" | sed 's/^/  /'

echo "== Result"
flashed=$((payload_size - 0x40000))
"$emu" show "$state" --flash a0040000 "$(printf '%x' $flashed)" --raw >"$work/flashed.bin"
tail -c +$((0x40000 + 1)) "$work/payload.bin" >"$work/expected.bin"
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
  case "$clock" in "$pc_time"*) ;; *) echo "clock: not the PC's time"; ok=0 ;; esac
fi
[ "$status" -eq 0 ] && [ "$ok" -eq 1 ] && echo "DEMO PASSED" || { echo "DEMO FAILED"; exit 1; }
