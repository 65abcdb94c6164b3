# A world for corvash and an emulated handheld, sourced by the demo, the
# play script and the end-to-end tests: a prefix, a program folder with the
# package's files, a handheld in a state folder, and the emulator serving it.
#
#   world_setup DIR WORK_DIR         sets emu, nbf, package, work, prefix, state, program
#   world_image VERSION OUT [SIZE]   an image file of a generated ROM (payload in OUT.payload)
#   world_place FILE NAME            FILE beside the program as NAME, until the shell ends
#   world_serve [run options]        k5210-emu run in the background until the shell ends
#   world_corvash SCRIPT             corvash under the autopilot; sets corvash_status
#                                    (started through the command corvash_wrapper holds, if any)
#   world_pages                      the templates corvash opened, in order, one line
#
# DIR is a build folder (bin/ and the package folder package/), whose files
# the world's own program folder links to, or an installed prefix such as
# /usr (bin/ and lib/corvash/), whose corvash starts through its launcher in
# its own package folder; placing files there needs write access to it.
world_setup() {
  build="$(cd "$1" && pwd)"
  # Absolute, as corvash runs in the program folder and the handheld in its own.
  rm -rf "$2"
  mkdir -p "$2"
  work="$(cd "$2" && pwd)"
  emu="$build/bin/k5210-emu"
  nbf="$build/bin/nbf"
  package="$build/package"
  corvash_start=(./corvash)
  if [ ! -d "$package" ] && [ -x "$build/lib/corvash/corvash" ]; then
    package="$build/lib/corvash"
    corvash_start=("$build/bin/corvash")
  fi
  local tool
  for tool in "$emu" "$nbf" "$package/corvash" "$package/Havlok.dll"; do
    [ -e "$tool" ] || { echo "world: $tool is missing; build first" >&2; exit 2; }
  done
  export CORVASH_TIME_SCALE="${CORVASH_TIME_SCALE:-0.2}"
  [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
  export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
  prefix="$work/prefix"
  state="$work/handheld"
  program="$work/program"
  export CORVASH_PREFIX="$prefix"
  mkdir -p "$prefix/windows"
  if [ "${corvash_start[0]}" = ./corvash ]; then
    mkdir -p "$program"
    local file
    for file in "$package"/*; do ln -s "$file" "$program/"; done
  else
    program="$package"
  fi
  world_pids=()
  # Files placed by an earlier world of this shell stay listed for removal.
  [ -n "${world_placed+x}" ] || world_placed=()
  trap world_end EXIT
}

world_end() {
  local pid
  for pid in "${world_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${world_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -f "${world_placed[@]}"
}

world_place() {
  [ -w "$program" ] || { echo "world: cannot place $2 in $program (not writable)" >&2; exit 2; }
  cp "$1" "$program/$2"
  world_placed+=("$program/$2")
}

world_image() {
  local version="$1" out="$2" size="${3:-$((0x1000000 + 12345))}"
  "$emu" init "$work/source-$version" --variant NBT --language ENG --version "$version" >/dev/null
  "$emu" show "$work/source-$version" --flash a0000000 "$(printf '%x' "$size")" --raw >"$out.payload"
  "$nbf" create --model "Quor 5210" --variant NBT --lang ENG --version "$version" "$out.payload" "$out" >/dev/null
}

world_serve() {
  "$emu" run "$state" --prefix "$prefix" "$@" >"$work/emu.out" 2>&1 &
  world_pids+=($!)
  local _
  for _ in $(seq 100); do
    if grep -q '^ready' "$work/emu.out" 2>/dev/null; then
      world_block_other_ports
      return 0
    fi
    sleep 0.1
  done
  cat "$work/emu.out" >&2
  return 1
}

# The ports no handheld serves lead nowhere, so that corvash's port test never
# reaches the machine's own serial ports.
world_block_other_ports() {
  local port
  for port in com1 com2 wceusbsh001 wceusbsh002; do
    [ -e "$prefix/dosdevices/$port" ] || [ -L "$prefix/dosdevices/$port" ] ||
      ln -s /nonexistent/no-handheld "$prefix/dosdevices/$port"
  done
}

world_corvash() {
  corvash_status=0
  (cd "$program" && CORVASH_AUTOPILOT="$1" CORVASH_TRANSCRIPT="$work/transcript.txt" \
     CORVASH_TRACE="$work/trace.txt" ${corvash_wrapper[@]+"${corvash_wrapper[@]}"} "${corvash_start[@]}") ||
    corvash_status=$?
}

world_pages() { grep -E '^open ' "$work/transcript.txt" | cut -d' ' -f2 | tr '\n' ' '; }
