#!/usr/bin/env bash
# cmake --install into a fresh folder: the tools, the package folder with
# everything corvash looks for beside itself, and a desktop entry that starts
# corvash in that folder.
set -euo pipefail
build_dir="$1"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
cmake --install "$build_dir" --prefix "$root/usr" >/dev/null
fail() { echo "install: $*" >&2; exit 1; }
for tool in k5210-emu nbf wcescomm.exe wcesmgr.exe; do [ -x "$root/usr/bin/$tool" ] || fail "bin/$tool missing"; done
package="$root/usr/lib/corvash"
for file in corvash backup.exe Zembra.dll Dovrin.dll Havlok.dll readme.doc; do
  [ -f "$package/$file" ] || fail "package folder lacks $file"
done
entry="$root/usr/share/applications/corvash.desktop"
grep -qxF "Path=$package" "$entry" || fail "desktop entry does not start in the package folder"
grep -qxF "Exec=$package/corvash" "$entry" || fail "desktop entry does not start corvash"
[ -s "$root/usr/share/icons/hicolor/32x32/apps/corvash.png" ] || fail "icon missing"
echo "install: layout as expected"
