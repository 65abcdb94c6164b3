#!/usr/bin/env bash
# The backup pull's failure rows through the real road: corvash under the
# autopilot, k5210-emu with its sync software, and the real backup.exe.
#  1. backup.exe is missing beside the program: FEHLER 106, and the run ends.
#  2. A chunk never comes (the handheld refuses the agent's image.nb after
#     three chunks): FEHLER 109, and the earlier file that WARNUNG 112 let the
#     backup replace is still there byte for byte, with nothing half-written
#     under its name or beside it.
#  3. corvash killed in the middle of a pull: the same, after a kill.
#  4. A folder as the target: FEHLER 104 before any chunk is pulled.
set -euo pipefail
source "$1/tools/world.sh"
fail() { echo "backup road: $*" >&2; exit 1; }

# The steps from the welcome page to "Sichern" with a backup saved as $1.
backup_steps() {
  cat <<SCRIPT
103 check 1203
103 press 1
121 press 1
161 press 1
109 press 1030
file save $1
SCRIPT
}

# The last text that control $1 showed.
last_text() { grep -E "^text $1 " "$work/transcript.txt" | tail -n 1 | cut -d' ' -f3-; }

echo "== backup.exe missing beside the program"
world_setup "$2" "$2/backup-road-no-agent"
rm "$program/backup.exe"
"$emu" init "$state" >/dev/null
world_serve
backup="$work/QUORROM.nbf"
{ backup_steps "$backup"; echo "144 press 2"; } >"$work/autopilot.txt"
world_corvash "$work/autopilot.txt"
[ "$corvash_status" -eq 0 ] || fail "corvash ended with $corvash_status"
pages="$(world_pages)"
[ "$pages" = "103 121 161 122 109 132 144 " ] || fail "pages: $pages"
[[ "$(last_text 1106)" == '"FEHLER 106:'* ]] || fail "FEHLER 106 heading: $(last_text 1106)"
grep -qxF 'end 144 1' "$work/transcript.txt" || fail "FEHLER 106 did not end with Beenden"
[ ! -e "$backup" ] || fail "a backup file was made without an agent"
if "$emu" show "$state" --files | grep -qi 'backup\.exe'; then fail "an agent reached the handheld"; fi

echo "== A chunk that never comes, over an earlier file"
world_end
world_setup "$2" "$2/backup-road-lost-chunk"
"$emu" init "$state" --variant WBT --language GER --version 2.03 >/dev/null
world_serve
"$emu" fault "$state" refuse-file image.nb 3
backup="$work/QUORROM203.nbf"
head -c 300000 /dev/urandom >"$backup"
cp "$backup" "$work/earlier.bin"
{ backup_steps "$backup"; echo "152 press 1"; echo "147 press 2"; } >"$work/autopilot.txt"
world_corvash "$work/autopilot.txt"
[ "$corvash_status" -eq 0 ] || fail "corvash ended with $corvash_status"
pages="$(world_pages)"
[ "$pages" = "103 121 161 122 109 152 132 147 " ] || fail "pages: $pages"
[[ "$(last_text 1113)" == '"FEHLER 109:'* ]] || fail "FEHLER 109 heading: $(last_text 1113)"
grep -qxF 'end 147 1' "$work/transcript.txt" || fail "FEHLER 109 did not end with Beenden"
# Three chunks came (3 x 100 / 124 percent), the fourth never.
[ "$(last_text 1023)" = '"2"' ] || fail "last figure $(last_text 1023)"
cmp -s "$backup" "$work/earlier.bin" || fail "the earlier file was not kept as it was"
leftovers="$(find "$work" -maxdepth 1 -name '*QUORROM203*' ! -name 'QUORROM203.nbf')"
[ -z "$leftovers" ] || fail "half-written files left beside the target: $leftovers"
echo "== corvash killed in the middle of a pull, over an earlier file"
world_end
world_setup "$2" "$2/backup-road-killed"
"$emu" init "$state" >/dev/null
world_serve
"$emu" fault "$state" refuse-file image.nb 3
head -c 300000 /dev/urandom >"$work/QUORROM.nbf"
cp "$work/QUORROM.nbf" "$work/earlier.bin"
{ backup_steps "$work/QUORROM.nbf"; echo "152 press 1"; } >"$work/autopilot.txt"
corvash_wrapper=(sh -c 'echo $$ >"$0"; exec "$@"' "$work/corvash.pid")
world_corvash "$work/autopilot.txt" &
for _ in $(seq 600); do [ "$(last_text 1023 2>/dev/null)" = '"2"' ] && break; sleep 0.1; done
kill -KILL "$(cat "$work/corvash.pid")"
wait $! || true
unset corvash_wrapper
cmp -s "$work/QUORROM.nbf" "$work/earlier.bin" || fail "the earlier file was not kept as it was"
leftovers="$(find "$work" -maxdepth 1 -name '*QUORROM*' ! -name 'QUORROM.nbf')"
[ -z "$leftovers" ] || fail "files left beside the target after the kill: $leftovers"

echo "== A folder as the target"
world_end
world_setup "$2" "$2/backup-road-folder-target"
"$emu" init "$state" >/dev/null
world_serve
mkdir "$work/QUORROM.nbf"
{ backup_steps "$work/QUORROM.nbf"; printf '%s\n' '152 press 1' '141 press 2' '109 press 2'; } >"$work/autopilot.txt"
world_corvash "$work/autopilot.txt"
[ "$(world_pages)" = "103 121 161 122 109 152 132 141 109 " ] || fail "pages: $(world_pages)"
sed -n '/^open 141$/,$p' "$work/transcript.txt" | grep -qxF 'end 132 2' || fail "page 132 ended before FEHLER 104"
[ "$(last_text 1023)" = '"0"' ] || fail "chunks were pulled: last figure $(last_text 1023)"
[ -z "$(ls -A "$work/QUORROM.nbf")" ] && [ "$(find "$work" -maxdepth 1 -name '*QUORROM*' | wc -l)" = 1 ] ||
  fail "files left in or beside the folder"
echo "backup road: failure rows as expected"
