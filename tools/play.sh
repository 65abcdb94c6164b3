#!/usr/bin/env bash
# Play the user's part by hand: a handheld with ROM 2.03 runs its system,
# linked through the emulated sync software, and shows itself in a window;
# corvash starts beside it from its program folder, where the update image
# QUORROM204.nbf (ROM 2.04) waits. No autopilot: you click through the
# pages, and when the boot-mode page asks for it you restart the handheld
# into its boot loader with the window's "Reset to boot loader" button.
#
# Needs a display (X11 or Wayland); without one it says so and exits 2.
#
# Usage: tools/play.sh [BUILD_DIR] [WORK_DIR]     (defaults: build, BUILD_DIR/play)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$root/build}"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "play: needs a display to show corvash and the handheld (DISPLAY is not set)" >&2
  exit 2
fi
# A person plays at the system's own pace unless told otherwise.
export CORVASH_TIME_SCALE="${CORVASH_TIME_SCALE:-1}"
source "$root/tools/world.sh"
world_setup "$build_dir" "${2:-$build_dir/play}"

world_image 2.04 "$program/QUORROM204.nbf" >/dev/null
"$emu" init "$state" --variant NBT --language ENG --version 2.03 >/dev/null
touch "$prefix/windows/MERLIX.ZPF"
world_serve --port wceusbsh001 --window

cat <<TEXT
== Set up for playing
  prefix         $prefix   (CORVASH_PREFIX)
  handheld       $state   (ROM 2.03, running its system, on mains, cable plugged)
  its port       $prefix/dosdevices/wceusbsh001, held by the emulated sync software
  program folder $program   (corvash and its files, QUORROM204.nbf = ROM 2.04)
  time scale     $CORVASH_TIME_SCALE

== How to act
  - corvash is yours: read each page and answer it as a user would.
  - The handheld's window has its buttons: "Reset to boot loader" when the
    boot-mode page asks you to restart it into its boot loader, "Reset to
    system" after the flash; the mains plug and the sync cable toggle there.
  - From another terminal the same through the command line:
      $emu ctl $state bootloader|system|mains|battery|unplug|plug
      $emu show $state --screen
  - Closing the handheld's window leaves it served; it ends with this script.
TEXT

echo "== corvash"
status=0
(cd "$program" && CORVASH_TRANSCRIPT="$work/transcript.txt" CORVASH_TRACE="$work/trace.txt" ./corvash) || status=$?
echo "corvash ended with exit code $status; its transcript: $work/transcript.txt"
if [ -t 0 ]; then
  read -r -p "Press Enter to switch the handheld off. " _ || true
fi
"$emu" ctl "$state" off >/dev/null 2>&1 || true
