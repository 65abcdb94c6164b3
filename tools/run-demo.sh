#!/usr/bin/env bash
# The demo: an interrupted flash finished by corvash. An emulated handheld
# sits in its boot loader with ROM 2.03; the registry holds the record of a
# flash of ROM 2.04 that never completed. corvash runs under the autopilot
# (offscreen when there is no display), finds the loader, reads the
# handheld's identity, flashes the image and removes the record. The script
# prints the pages that were shown and checks the flash against the image.
#
# Usage: tools/run-demo.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build="$(cd "${1:?usage: run-demo.sh BUILD_DIR [WORK_DIR]}" && pwd)"
work="${2:-$build/demo}"
emu="$build/bin/k5210-emu"
nbf="$build/bin/nbf"
package="$build/package"
for tool in "$emu" "$nbf" "$package/corvash"; do
  [ -x "$tool" ] || { echo "demo: $tool is missing; build first" >&2; exit 2; }
done
export CORVASH_TIME_SCALE="${CORVASH_TIME_SCALE:-0.2}"
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"
state="$work/handheld"
export CORVASH_PREFIX="$prefix"
mkdir -p "$prefix/windows"

echo "== Making ROM 2.04 (a payload that is not a whole number of records)"
"$emu" init "$work/source" --variant NBT --language ENG --version 2.04 >/dev/null
payload_size=$((0x1000000 + 12345))
"$emu" show "$work/source" --flash a0000000 "$(printf '%x' $payload_size)" --raw >"$work/payload.bin"
image="$work/QUORROM204.nbf"
"$nbf" create --model "Quor 5210" --variant NBT --lang ENG --version 2.04 "$work/payload.bin" "$image"
"$nbf" info "$image"

echo "== Handheld with ROM 2.03, left in its boot loader by an interrupted flash"
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
"$emu" ctl "$state" bootloader
cat >"$prefix/system.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows CE Services]
"MajorVersion"=dword:00000004
"MinorVersion"=dword:00000000
REG
cat >"$prefix/user.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\DadivUzizova]
"Flash"=dword:00000001
"FlashFile"="$image"
REG
touch "$prefix/windows/MERLIX.ZPF"

"$emu" run "$state" --prefix "$prefix" --port wceusbsh001 >"$work/emu.out" 2>&1 &
emu_pid=$!
trap 'kill $emu_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q '^ready' "$work/emu.out" 2>/dev/null && break; sleep 0.1; done
grep '^ready' "$work/emu.out" || { cat "$work/emu.out" >&2; exit 1; }

cat >"$work/autopilot.txt" <<'SCRIPT'
# Recovery: confirm the flash, then the reset and finish pages.
124 press 1
167 press 1181
133 press 1
SCRIPT

echo "== corvash (autopilot)"
status=0
(cd "$package" && CORVASH_AUTOPILOT="$work/autopilot.txt" CORVASH_TRANSCRIPT="$work/transcript.txt" \
   CORVASH_TRACE="$work/trace.txt" ./corvash) || status=$?
echo "corvash exit code: $status"
echo "pages shown: $(grep -E '^open ' "$work/transcript.txt" | cut -d' ' -f2 | tr '\n' ' ')"
grep -E '^end ' "$work/transcript.txt" | sed 's/^/  /'

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
echo "device screen:"; "$emu" show "$state" --screen | sed 's/^/  |/'
[ "$status" -eq 0 ] && [ "$ok" -eq 1 ] && echo "DEMO PASSED" || { echo "DEMO FAILED"; exit 1; }
