#!/usr/bin/env bash
# The update road (the demo) under a real X server: corvash opens its pages
# as real windows through the xcb platform, the autopilot presses their
# buttons, and the run reaches the finish page with the handheld flashed.
# Skipped (77) without xvfb-run.
#
# Usage: update_road_x11_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir="$1"
build_dir="$2"
command -v xvfb-run >/dev/null || { echo "e2e_x11: xvfb-run is missing; skipped"; exit 77; }
work="$build_dir/e2e-x11-update"
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
  "$source_dir/tools/run-demo.sh" "$build_dir" "$work"
transcript="$work/transcript.txt"
fail() { echo "e2e_x11: $*" >&2; exit 1; }
pages="$(grep -E '^open ' "$transcript" | cut -d' ' -f2 | tr '\n' ' ')"
[ "$pages" = "103 121 161 122 109 122 124 130 169 102 167 133 " ] || fail "pages in the wrong order: $pages"
grep -qxF 'end 102 1' "$transcript" || fail "the flash did not end well"
grep -qxF 'end 133 0' "$transcript" || fail "the run did not reach the finish page"
echo "e2e_x11: update road in real windows reached the finish page"
