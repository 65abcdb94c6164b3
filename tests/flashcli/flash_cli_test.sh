#!/usr/bin/env bash
# corvash-flash against an emulated handheld in its boot loader: identify,
# a refused image, a whole flash, no loader, a flash stopped by SIGINT in its
# first load that resume then finishes, and a link lost in the first load.
set -euo pipefail
bin="$(cd "$1" && pwd)/bin"
emu="$bin/k5210-emu" nbf="$bin/nbf" flash="$bin/corvash-flash"
work="$(mktemp -d /tmp/corvash-flash-cli-XXXXXX)"
export CORVASH_PREFIX="$work/prefix" CORVASH_TIME_SCALE="${CORVASH_TIME_SCALE:-0.05}"
state="$work/handheld"
serve_pid=
cleanup() { [ -z "$serve_pid" ] || { kill "$serve_pid" 2>/dev/null; wait "$serve_pid" 2>/dev/null; } || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$CORVASH_PREFIX/windows" "$CORVASH_PREFIX/dosdevices"
# The other three names lead nowhere, so that the port test meets only ours.
for port in com1 com2 wceusbsh002; do ln -sfn "$work/no-such-port" "$CORVASH_PREFIX/dosdevices/$port"; done

size=$((0x120000))
# A handheld whose ROM is random bytes, so that a flash changes nearly every byte.
head -c "$size" /dev/urandom >"$work/old.payload"
"$nbf" create --model "Quor 5210" --variant NBT --lang ENG --version 2.03 "$work/old.payload" "$work/old.nbf" >/dev/null
"$emu" init "$state" --rom "$work/old.nbf" >/dev/null
# Images of a generated ROM: the right one and one in another language.
"$emu" init "$work/source" --variant NBT --language ENG --version 2.04 --flash-mb 1 >/dev/null
"$emu" show "$work/source" --flash a0000000 "$(printf '%x' "$size")" --raw >"$work/new.payload"
"$nbf" create --model "Quor 5210" --variant NBT --lang ENG --version 2.04 "$work/new.payload" "$work/new.nbf" >/dev/null
"$nbf" create --model "Quor 5210" --variant NBT --lang GER --version 2.04 "$work/new.payload" "$work/ger.nbf" >/dev/null

# Serves the handheld until `ctl off`.
serve() {
  "$emu" run "$state" --prefix "$CORVASH_PREFIX" >"$work/emu.out" 2>&1 &
  serve_pid=$!
  for _ in $(seq 200); do grep -q '^ready' "$work/emu.out" && break; sleep 0.05; done
  grep -q '^ready' "$work/emu.out" || fail "k5210-emu did not start"
}
switch_off() { "$emu" ctl "$state" off; wait "$serve_pid" 2>/dev/null || true; serve_pid=; }
serve

flash_bytes() { "$emu" show "$state" --flash a0040000 "$(printf '%x' $((size - 0x40000)))" --raw; }
flashed() { flash_bytes | cmp -s - <(tail -c +$((0x40000 + 1)) "$work/new.payload"); }
pending() { grep -qxF '"Flash"=dword:00000001' "$CORVASH_PREFIX/user.reg" 2>/dev/null; }
# Runs corvash-flash; sets rc and seconds.
run() {
  local start=$SECONDS
  set +e
  "$flash" "$@" >"$work/out" 2>"$work/err"
  rc=$?
  set -e
  seconds=$((SECONDS - start))
}
expect_rc() { [ "$rc" -eq "$1" ] || fail "$2: exit $rc, not $1 ($(cat "$work/err"))"; }

# A handheld that runs its system, then one that is off: no loader, in bounded time.
run identify
expect_rc 3 "identify of a handheld in its system"
[ "$seconds" -le 20 ] || fail "no loader took ${seconds}s"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "more than one failure line: $(cat "$work/err")"
switch_off
run flash "$work/new.nbf" --yes
expect_rc 3 "flash of a handheld that is off"
pending && fail "a flash that found no loader left a record"

serve
"$emu" ctl "$state" bootloader
run identify
expect_rc 0 "identify"
printf 'port: wceusbsh001\nmodel: Quor 5210\nvariant: NBT\nlanguage: ENG\nversion: 2.03\n' |
  diff - <(grep -v '^identify$' "$work/out") || fail "identify printed otherwise"
run identify --json --port wceusbsh001
expect_rc 0 "identify --json"
grep -qxF '{"port":"wceusbsh001","model":"Quor 5210","variant":"NBT","language":"ENG","version":"2.03"}' "$work/out" ||
  fail "identify --json: $(cat "$work/out")"
grep -qxF '{"result":"done","exit":0}' <(tail -n 1 "$work/out") || fail "identify --json has no result last"

# A refusal sends nothing to the flash; so does a flash that nobody can confirm.
flash_bytes >"$work/before.bin"
run flash "$work/ger.nbf" --yes
expect_rc 1 "an image in another language"
grep -q 'language' "$work/err" || fail "the refusal does not name the language"
run flash "$work/new.nbf" </dev/null
expect_rc 2 "a flash without a terminal and without --yes"
flash_bytes | cmp -s - "$work/before.bin" || fail "a refused flash changed the flash"
pending && fail "a refused flash left a record"

# SIGINT in the first load: the loader holds after its third record.
"$emu" fault "$state" silent-after-records 3
"$flash" flash "$work/new.nbf" --yes --json >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 400); do grep -q '"stage":"load 1","done":[1-9]' "$work/out" && break; sleep 0.05; done
grep -q '"stage":"load 1","done":[1-9]' "$work/out" || fail "no progress of load 1: $(cat "$work/out" "$work/err")"
pending || fail "no record of the pending flash during load 1"
kill -INT "$pid"
set +e; wait "$pid"; rc=$?; set -e
expect_rc 130 "SIGINT during load 1"
pending || fail "the record went with the interruption"
grep -qF '"exit":130' <(tail -n 1 "$work/out") || fail "no result object after SIGINT"
flashed && fail "the interrupted flash is whole"
# The user restarts the handheld into its boot loader; resume finishes it.
"$emu" fault "$state" clear
"$emu" ctl "$state" bootloader
run resume --yes
expect_rc 0 "resume"
flashed || fail "after resume the flash from 0xA0040000 differs from the image"
pending && fail "the record stayed after resume"
"$emu" show "$state" --screen | grep -qF '*   2.04   *' || fail "no version box after resume"

# A whole flash in one go, its progress a line per stage and per 5 %.
switch_off
"$emu" init "$state" --rom "$work/old.nbf" >/dev/null
serve
"$emu" ctl "$state" bootloader
run flash "$work/new.nbf" --yes
expect_rc 0 "flash"
flashed || fail "the flash from 0xA0040000 differs from the image"
pending && fail "the record stayed after the flash"
"$emu" show "$state" --screen | grep -qF '*   2.04   *' || fail "no version box on the screen"
for stage in identify 'load 1' 'load 2' box; do grep -qxF "$stage" "$work/out" || fail "no stage $stage"; done

# The cable pulled in the first load: exit 4, and the record stays for resume.
"$emu" fault "$state" drop-after-records 3
run flash "$work/new.nbf" --yes
expect_rc 4 "a link lost during load 1"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "more than one failure line: $(cat "$work/err")"
pending || fail "the record went with the lost link"
echo "corvash-flash: identify, refusals, no loader, SIGINT and resume, flash, lost link: all passed"
