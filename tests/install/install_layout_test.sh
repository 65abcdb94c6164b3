#!/usr/bin/env bash
# cmake --install into a fresh folder: the tools, the package folder with
# everything corvash looks for beside itself, a desktop entry that starts
# corvash in that folder, and a launcher on the PATH that does the same. The
# Debian package holds exactly that tree, under /usr, with a man page for
# every program it puts on the PATH and metadata that validates.
set -euo pipefail
build_dir="$1"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
cmake --install "$build_dir" --prefix "$root/usr" >/dev/null
fail() { echo "install: $*" >&2; exit 1; }
for tool in corvash k5210-emu nbf wcescomm.exe wcesmgr.exe; do [ -x "$root/usr/bin/$tool" ] || fail "bin/$tool missing"; done
package="$root/usr/lib/corvash"
for file in corvash backup.exe Zembra.dll Dovrin.dll Havlok.dll readme.doc; do
  [ -f "$package/$file" ] || fail "package folder lacks $file"
done
entry="$root/usr/share/applications/corvash.desktop"
grep -qxF "Path=$package" "$entry" || fail "desktop entry does not start in the package folder"
grep -qxF "Exec=$package/corvash" "$entry" || fail "desktop entry does not start corvash"
[ -s "$root/usr/share/icons/hicolor/32x32/apps/corvash.png" ] || fail "icon missing"
# The launcher reaches the wizard in the package folder wherever it is called from.
version="$(cd / && "$root/usr/bin/corvash" --version)" || fail "bin/corvash --version failed"
[[ "$version" =~ ^corvash\ [0-9] ]] || fail "bin/corvash --version printed \"$version\""

# The package: the installed tree, file for file.
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$root/deb" >/dev/null
deb=("$root"/deb/corvash_*.deb)
[ -f "${deb[0]}" ] || fail "cpack made no corvash_*.deb"
dpkg-deb -c "${deb[0]}" | awk '$1 !~ /^d/ {print $6}' | sed 's#^\./##' | sort >"$root/packaged"
(cd "$root" && find usr ! -type d | sort) >"$root/installed"
diff -u "$root/installed" "$root/packaged" >&2 || fail "the package's files differ from the installed tree"
for program in "$root"/usr/bin/*; do
  grep -qxF "usr/share/man/man1/$(basename "$program").1.gz" "$root/packaged" ||
    fail "no man page for $(basename "$program")"
done
for page in "$root"/usr/share/man/man1/*.1.gz; do
  command -v man >/dev/null || break
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" || true
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
grep -qF "<release version=\"${version#corvash }\"" "${metainfo[0]}" || fail "metainfo does not name release ${version#corvash }"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry" || fail "desktop entry invalid"; fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "${metainfo[0]}" >&2 || fail "metainfo invalid"
fi
echo "install: layout and package as expected"
