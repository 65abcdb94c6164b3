#!/usr/bin/env bash
# corvash-flash and the wizard finish each other's interrupted flashes: the
# pending-flash record that one leaves is the one the other reads. First
# corvash-flash is stopped by SIGINT in its first load and the wizard's
# recovery finishes the flash; then the wizard's recovery flash loses its
# cable in the first load and corvash-flash resume finishes it.
set -euo pipefail
source "$(dirname "$0")/../../tools/world.sh"
world_setup "$1" "$(mktemp -d /tmp/corvash-handover-XXXXXX)/world"
flash="$build/bin/corvash-flash"
fail() { echo "FAIL: $*" >&2; exit 1; }
size=$((0x120000))
image="$work/QUORROM204.nbf"
world_image 2.04 "$image" "$size"
head -c "$size" /dev/urandom >"$work/old.payload"
"$nbf" create --model "Quor 5210" --variant NBT --lang ENG --version 2.03 "$work/old.payload" "$work/old.nbf" >/dev/null
"$emu" init "$state" --rom "$work/old.nbf" >/dev/null
world_serve --port wceusbsh001
"$emu" ctl "$state" bootloader

flashed() {
  "$emu" show "$state" --flash a0040000 "$(printf '%x' $((size - 0x40000)))" --raw |
    cmp -s - <(tail -c +$((0x40000 + 1)) "$image.payload")
}
pending() { grep -qxF '"Flash"=dword:00000001' "$prefix/user.reg" 2>/dev/null; }

# 1. corvash-flash, stopped in its first load.
"$emu" fault "$state" silent-after-records 3
"$flash" flash "$image" --yes --json >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 600); do grep -q '"stage":"load 1","done":[1-9]' "$work/out" && break; sleep 0.05; done
kill -INT "$pid"
set +e; wait "$pid"; rc=$?; set -e
[ "$rc" -eq 130 ] || fail "corvash-flash stopped by SIGINT exited $rc ($(cat "$work/err"))"
pending || fail "corvash-flash left no record of its interrupted flash"
# The wizard starts with the handheld in its boot loader: recovery.
"$emu" fault "$state" clear
"$emu" ctl "$state" bootloader
printf '%s\n' '124 press 1' '167 press 1181' '133 press 1' >"$work/autopilot.txt"
world_corvash "$work/autopilot.txt"
[ "$corvash_status" -eq 0 ] || fail "the wizard's recovery ended with $corvash_status"
[ "$(world_pages)" = "122 124 102 167 133 " ] || fail "the wizard's recovery showed $(world_pages)"
flashed || fail "the wizard's recovery did not finish the flash corvash-flash began"
pending && fail "the record stayed after the wizard's recovery"

# 2. The wizard's recovery flash, its cable pulled in the first load.
"$emu" ctl "$state" bootloader
"$flash" flash "$work/old.nbf" --yes >/dev/null 2>&1 || fail "could not put ROM 2.03 back"
"$emu" ctl "$state" bootloader
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\n"Flash"=dword:00000001\n"FlashFile"="%s"\n' \
  "$image" >"$prefix/user.reg"
"$emu" fault "$state" drop-after-records 3
printf '%s\n' '124 press 1' '114 press 2' >"$work/autopilot.txt"
world_corvash "$work/autopilot.txt"
[ "$(world_pages)" = "122 124 102 114 " ] || fail "the interrupted recovery showed $(world_pages)"
pending || fail "the wizard left no record of its interrupted flash"
flashed && fail "the interrupted recovery flash is whole"
"$emu" ctl "$state" plug
"$emu" ctl "$state" bootloader
"$flash" resume --yes >"$work/out" 2>"$work/err" || fail "resume exited $? ($(cat "$work/err"))"
flashed || fail "resume did not finish the flash the wizard began"
pending && fail "the record stayed after resume"
echo "handover: the wizard finishes corvash-flash's flash, resume finishes the wizard's: passed"
