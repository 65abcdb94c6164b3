#!/usr/bin/env bash
# Runs the demo in a folder of its own and checks what the user saw: the wait
# box, the confirmation page without "Zurück", the progress page, the reset
# and finish pages, with their texts as the program's resources give them.
set -euo pipefail
source_dir="$1"
build_dir="$2"
work="$build_dir/e2e-recovery"
# Folders relative to where it starts, as the README's demo command gives them.
(cd "$build_dir" && "$source_dir/tools/run-demo.sh" . e2e-recovery --recovery)
transcript="$work/transcript.txt"
fail() { echo "e2e: $*" >&2; exit 1; }
expect_line() { grep -qxF -- "$1" "$transcript" || fail "transcript lacks: $1"; }

[ "$(grep -E '^open ' "$transcript" | tr '\n' ' ')" = "open 122 open 124 open 102 open 167 open 133 " ] ||
  fail "pages in the wrong order: $(grep -E '^open ' "$transcript" | tr '\n' ' ')"
expect_line 'text 1072 "Die Informationen auf Ihrem Quor Pocket PC werden überprüft...  Bitte warten..."'
expect_line 'text 1048 "Bestätigen Sie, dass Sie die ROM-Version aktualisieren möchten:"'
expect_line 'text 1050 "ROM-Version: 2.03"'
expect_line 'text 1027 "ROM-Version: 2.04"'
expect_line 'enable 1221 0'
expect_line 'text 1043 "Das ROM-Image auf Ihrem Quor Pocket PC wird aktualisiert... "'
expect_line 'text 1023 "100"'
expect_line 'end 102 1'
expect_line 'text 1181 "Weiter"'
expect_line 'end 133 0'
echo "e2e: transcript as expected"
