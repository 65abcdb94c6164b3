# Helpers for the scripts that run several cases of the whole system, each in
# a world folder of its own under GROUP_DIR (sourced after tools/world.sh).
#
#   cases_init SOURCE_DIR BUILD_DIR GROUP    where the cases' folders go
#   case_begin NAME                          a fresh world for case NAME
#   case_ports_elsewhere                     the ports no handheld serves lead nowhere
#   case_small_image VERSION OUT [SIZE] [nbf create options]   a ROM image of SIZE payload bytes
#   case_intro                               the autopilot lines up to the options page
#   case_random_rom_handheld VERSION SIZE    a handheld whose ROM is random bytes
#   expect_flashed PAYLOAD                   the flash from 0xA0040000 equals the payload's
#   has_pending_flash                        the user's hive holds the pending-flash record
#   case_run                                 corvash under $work/autopilot.txt, ending well
#   expect_pages "103 121 ..."               the templates opened, in order
#   expect_screen TEMPLATE ID "TEXT"         the page opened, showed TEXT in control ID, ended
#   expect_line LINE                         the transcript holds LINE
#   case_pass                                prints the case's result
cases_init() {
  cases_source="$1"
  cases_build="$2"
  cases_dir="$2/e2e-$3"
  cases_passed=()
  fail() { echo "e2e ${case_name:-}: $*" >&2; exit 1; }
}

case_begin() {
  case_name="$1"
  case_started=$(date +%s%N)
  world_end
  world_setup "$cases_build" "$cases_dir/$1"
  transcript="$work/transcript.txt"
  case_ports_elsewhere
}

# The port test must meet only the emulated handheld, never a serial port of
# the machine the tests run on: links to nowhere for the ports it does not
# serve (the emulator replaces the link of its own port).
case_ports_elsewhere() {
  mkdir -p "$prefix/dosdevices"
  local port
  for port in com1 com2 wceusbsh001 wceusbsh002; do
    [ -e "$prefix/dosdevices/$port" ] || ln -sfn "$work/no-such-port" "$prefix/dosdevices/$port"
  done
}

# An image of a generated ROM of SIZE payload bytes (small ones make fast
# flashes); the payload stays in OUT.payload. Further options go to nbf create.
case_small_image() {
  local version="$1" out="$2" size="${3:-$((0x120000))}"
  shift 3 || shift $#
  "$emu" init "$work/source" --variant NBT --language ENG --version "$version" --flash-mb 1 >/dev/null
  "$emu" show "$work/source" --flash a0000000 "$(printf '%x' "$size")" --raw >"$out.payload"
  rm -rf "$work/source"
  local model="Quor 5210" variant=NBT lang=ENG
  while [ $# -gt 0 ]; do
    case "$1" in
      --model) model="$2" ;;
      --variant) variant="$2" ;;
      --lang) lang="$2" ;;
    esac
    shift 2
  done
  "$nbf" create --model "$model" --variant "$variant" --lang "$lang" --version "$version" "$out.payload" "$out" >/dev/null
}

# corvash under the autopilot script $work/autopilot.txt; it must end well.
case_run() {
  world_corvash "$work/autopilot.txt"
  [ "$corvash_status" -eq 0 ] || fail "corvash ended with $corvash_status"
}

# A handheld in STATE whose ROM is random bytes (SIZE of them, version
# VERSION), so that a flash of a generated image changes nearly every byte.
case_random_rom_handheld() {
  local version="$1" size="$2"
  head -c "$size" /dev/urandom >"$work/old-rom.payload"
  "$nbf" create --model "Quor 5210" --variant NBT --lang ENG --version "$version" \
    "$work/old-rom.payload" "$work/old-rom.nbf" >/dev/null
  "$emu" init "$state" --rom "$work/old-rom.nbf" >/dev/null
}

# The flash from 0xA0040000 equals PAYLOAD from 0x40000 on (what a flash
# writes: the loader's own first block stays).
expect_flashed() {
  local payload="$1" length
  length=$(( $(stat -c %s "$payload") - 0x40000 ))
  "$emu" show "$state" --flash a0040000 "$(printf '%x' "$length")" --raw |
    cmp -s - <(tail -c +$((0x40000 + 1)) "$payload") || fail "the flash from 0xA0040000 differs from the image"
}

# The pending-flash record of an unfinished flash, as the user's hive holds it.
has_pending_flash() {
  sed -n '/^\[HKEY_CURRENT_USER\\Software\\DadivUzizova\]$/,/^\[/p' "$prefix/user.reg" 2>/dev/null |
    grep -qxF '"Flash"=dword:00000001'
}

case_intro() {
  printf '%s\n' '103 check 1203' '103 press 1' '121 press 1' '161 press 1'
}

expect_pages() {
  local pages
  pages="$(world_pages)"
  [ "$pages" = "$1 " ] || fail "pages: $pages (expected $1)"
}

expect_line() { grep -qxF -- "$1" "$transcript" || fail "transcript lacks: $1"; }

# The page TEMPLATE opened, showed TEXT (as the transcript escapes it) in
# control ID while it was open, and ended.
expect_screen() {
  local template="$1" id="$2" text="$3"
  sed -n "/^open $template\$/,/^end $template /p" "$transcript" | grep -qxF -- "text $id \"$text\"" ||
    fail "page $template did not show in $id: $text"
  grep -qE "^end $template " "$transcript" || fail "page $template did not end"
}

case_pass() {
  cases_passed+=("$case_name")
  echo "e2e: $case_name passed ($(( ($(date +%s%N) - case_started) / 1000000 )) ms)"
}
