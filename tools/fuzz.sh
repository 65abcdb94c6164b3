#!/usr/bin/env bash
# Fuzzes the readers of outside input (tests/fuzz) with clang's libFuzzer
# under AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   tools/fuzz.sh [SECONDS]      each target runs SECONDS (default 30)
#
# Installs what it needs, configures and builds the fuzz build folder
# (CORVASH_FUZZ_BUILD, default build-fuzz), then runs every target on a fresh
# copy of its seed corpus tests/fuzz/corpus/<name>/. Fails when a target finds
# a crash, a leak, undefined behaviour, a broken property or a hang; the input
# that did it is kept as <build>/fuzz/findings/<name>/crash-* (or leak-*,
# timeout-*), and its log as <build>/fuzz/logs/<name>.log. A finding, once
# fixed, joins the target's corpus so that every later run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${CORVASH_FUZZ_BUILD:-build-fuzz}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: tools/fuzz.sh [SECONDS]" >&2
  exit 2
fi

# Debian's clang with its runtime libraries (libFuzzer and the sanitizers).
tools/install-deps.sh clang libclang-rt-dev

# Only the folders whose libraries the targets link.
dirs="common;desktop/platform;desktop/session;rapi;device/common;desktop/handheld;desktop/image;desktop/bootlink;desktop/resources"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCORVASH_FUZZ=ON -DCORVASH_WITH_QT=OFF -DCORVASH_WITH_BENCHMARKS=OFF \
  "-DCORVASH_DIRS=$dirs" >/dev/null
cmake --build "$build" --target fuzz_targets

# Inputs longer than a loader line (999 characters) and than a hive's or a
# script's usual line reach the cut paths.
declare -A max_len=([image_header]=4096 [reply_parser]=4096 [identification]=512 [hive]=4096
                    [resource_script]=8192 [remote_wire]=4096)
targets=(image_header reply_parser identification hive resource_script remote_wire)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
out="$build/fuzz"
failed=()
for name in "${targets[@]}"; do
  work="$out/work/$name"
  findings="$out/findings/$name"
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings" "$out/logs"
  cp tests/fuzz/corpus/"$name"/* "$work"/
  log="$out/logs/$name.log"
  started=$SECONDS
  if "$out/${name}_fuzz" -max_total_time="$seconds" -max_len="${max_len[$name]}" -timeout=10 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" "$work" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $name: clean, ${runs:-?} inputs in $((SECONDS - started)) s"
  else
    echo "fuzz $name: FOUND A FAULT after $((SECONDS - started)) s; input in $findings/, log $log"
    grep -E "ERROR|runtime error|fuzz property broken|SUMMARY" "$log" | head -5 || true
    failed+=("$name")
  fi
done
if ((${#failed[@]})); then
  echo "fuzz: faults found by ${failed[*]}"
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran clean for $seconds s each"
