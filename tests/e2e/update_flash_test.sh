#!/usr/bin/env bash
# The whole update of an emulated handheld that runs its system, through the
# real road under the autopilot (the demo), and what the user saw on the way:
# identification behind the wait box, "Aktualisieren" and the checksum behind
# it again, the boot-mode page that keeps "Weiter" closed until the handheld
# has left its system and its boot loader answers, the flash, the reset and
# finish pages. The demo itself
# checks the flash, the version box and the handheld's clock.
set -euo pipefail
source_dir="$1"
build_dir="$2"
work="$build_dir/e2e-update"
"$source_dir/tools/run-demo.sh" "$build_dir" "$work"
transcript="$work/transcript.txt"
fail() { echo "e2e: $*" >&2; exit 1; }
expect_line() { grep -qxF -- "$1" "$transcript" || fail "transcript lacks: $1"; }

pages="$(grep -E '^open ' "$transcript" | cut -d' ' -f2 | tr '\n' ' ')"
[ "$pages" = "103 121 161 122 109 122 124 130 169 102 167 133 " ] || fail "pages in the wrong order: $pages"
expect_line 'end 109 1035'
expect_line 'text 1050 "ROM-Version: 2.03"'
expect_line 'text 1027 "ROM-Version: 2.04"'
# The boot-mode page: "Weiter" closed while the handheld runs its system;
# once its loader answers, "Zurück" closes and "Weiter" opens.
boot="$(sed -n '/^open 169$/,/^end 169/p' "$transcript" | grep -E '^enable (1|1221) ' | tr '\n' '|')"
[ "$boot" = "enable 1 0|enable 1221 0|enable 1 1|" ] || fail "boot-mode page buttons: $boot"
expect_line 'end 102 1'
expect_line 'end 133 0'
grep -q 'Copy Dovrin.dll successful' "$work/trace.txt" || fail "the clock library was not copied"
echo "e2e: update transcript as expected"
