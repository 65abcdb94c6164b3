#!/usr/bin/env bash
# `k5210-emu run --window` under a real X server: the window opens (found by
# its title through the X server), its reset button into the boot loader,
# pressed there through its key (Alt+B, the X server's own test input),
# restarts the handheld into its boot loader, Alt+C pulls its cable, and
# `ctl off` ends the service and closes the window. Skipped (77) without
# xvfb-run or xdotool.
#
# Usage: handheld_window_x11_test.sh K5210_EMU BUILD_DIR
set -euo pipefail
emu="$1"
build_dir="$2"
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "e2e_x11: $tool is missing; skipped"; exit 77; }
done
if [ -z "${E2E_X11_INNER:-}" ]; then
  exec env E2E_X11_INNER=1 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work="$build_dir/e2e-x11-window"
rm -rf "$work"
mkdir -p "$work/prefix"
state="$work/handheld"
fail() {
  echo "e2e_x11: $*" >&2
  cat "$work/emu.out" >&2 2>/dev/null || true
  exit 1
}
# Waits up to 20 s for a condition (the test's own limit, not the system's).
wait_for() {
  local _
  for _ in $(seq 200); do eval "$1" && return 0; sleep 0.1; done
  return 1
}
mode_is() { grep -qx "mode=$1" "$state/handheld.conf"; }

"$emu" init "$state" --version 2.03 >/dev/null
"$emu" run "$state" --prefix "$work/prefix" --window >"$work/emu.out" 2>&1 &
emu_pid=$!
trap 'kill $emu_pid 2>/dev/null || true; wait $emu_pid 2>/dev/null || true' EXIT
wait_for 'grep -q "^ready" "$work/emu.out"' || fail "the handheld was not served"

window="$(timeout 20 xdotool search --sync --onlyvisible --name '^Quor 5210 - ' | head -n 1)" ||
  fail "no window of the handheld on the X server"
[ -n "$window" ] || fail "no window of the handheld on the X server"
mode_is system || fail "the handheld did not start in its system"

xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+b
wait_for 'mode_is bootloader' || fail "the reset button did not restart the handheld into its boot loader"
wait_for 'grep -qx "cable=plugged" "$state/handheld.conf"' || fail "the cable was pulled unasked"
xdotool key --clearmodifiers alt+c
wait_for 'grep -qx "cable=unplugged" "$state/handheld.conf"' || fail "the cable toggle did not pull the cable"

"$emu" ctl "$state" off
wait_for '! kill -0 $emu_pid 2>/dev/null' || fail "run did not end after ctl off"
wait $emu_pid || fail "run ended with status $?"
echo "e2e_x11: the handheld's window opened under X and its buttons restarted it and pulled its cable"
