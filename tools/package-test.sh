#!/usr/bin/env bash
# The Debian package as a user gets it, from a build folder whose programs are
# built (default build/): make it with cpack, check it with lintian, install
# it with apt-get, validate its desktop entry and metainfo, run each installed
# program's --version and the update demo against the installed k5210-emu and
# corvash, then purge it and check that nothing of it is left. Installs and
# purges corvash on this machine: meant for CI, which runs as root (about a
# minute after the build, most of it installing lintian).
#
# Usage: tools/package-test.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
tools/install-deps.sh lintian appstream desktop-file-utils
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
fail() { echo "package-test: $*" >&2; exit 1; }

echo "== Making the package"
rm -f "$build"/corvash_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/corvash_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || fail "cpack made no corvash_*.deb in $build"
echo "$(basename "$deb"):"
dpkg-deb -f "$deb" Version Architecture Depends | sed 's/^/  /'
lintian --fail-on error "$deb" || fail "lintian reports errors"

echo "== Installing it"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "$deb" >/dev/null
dpkg-query -L corvash | sort >"$build/package-files.txt"
desktop-file-validate /usr/share/applications/corvash.desktop || fail "desktop entry invalid"
appstreamcli validate --no-net /usr/share/metainfo/*.metainfo.xml || fail "metainfo invalid"
for program in corvash nbf k5210-emu corvash-flash; do
  [ "$program" = corvash-flash ] && [ ! -e /usr/bin/corvash-flash ] && continue
  version="$(cd / && "/usr/bin/$program" --version)" || fail "$program --version failed"
  echo "  $program --version: $version"
done

echo "== The update demo against the installed programs"
tools/run-demo.sh /usr

echo "== Purging it"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y corvash >/dev/null
left=0
while read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  # A folder stays when another package owns it too (/usr/bin, /usr/share/man).
  [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1 && continue
  echo "left after purge: $path" >&2
  left=1
done <"$build/package-files.txt"
[ "$left" -eq 0 ] || fail "the purge left files of the package"
echo "PACKAGE TEST PASSED"
