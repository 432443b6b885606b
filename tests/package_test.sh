#!/usr/bin/env bash
# Builds the Debian package as scripts/build-deb.sh does (without the tests,
# which the test command has run already), checks it with lintian (no error,
# no warning), checks its desktop entry and AppStream file, unpacks it into
# an empty root and converts the example there with the unpacked programs.
# Leaves the checkout as it found it.
set -euo pipefail
cd "$(dirname "$0")/.."
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status_before="$(git status --porcelain 2> /dev/null || true)"

start=$SECONDS
DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" scripts/build-deb.sh "$work/debs" > "$work/build.log" 2>&1 ||
  { tail -n 50 "$work/build.log" >&2; exit 1; }
echo "package built in $((SECONDS - start)) s"
deb="$(ls "$work"/debs/mdbtokvt_*.deb)"

echo "lintian $(basename "$deb"):"
lintian --fail-on error,warning --info "$deb" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error,warning "$deb" > /dev/null 2>&1 ||
  { echo "lintian reports errors or warnings" >&2; exit 1; }

# Depends comes from the binaries, not from a list kept by hand.
depends="$(dpkg-deb -f "$deb" Depends)"
grep -q 'libmdb3' <<< "$depends"
grep -q 'libqt6widgets6' <<< "$depends"

root="$work/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/MDBtoKVT.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.mdbtokvt.MDBtoKVT.metainfo.xml" > /dev/null
test -f "$root/usr/share/man/man1/mdbtokvt-cli.1.gz"
test -f "$root/usr/share/man/man1/MDBtoKVT.1.gz"
grep -q '^Files: src/sortorder/tables/' "$root/usr/share/doc/mdbtokvt/copyright"
test -x "$root/usr/bin/MDBtoKVT"

# The unpacked command line finds the unpacked reader beside itself.
cli="$root/usr/bin/mdbtokvt-cli"
version="$(env -u MDBTOKVT_READER LD_LIBRARY_PATH="$root/usr/lib" "$cli" --version)"
grep -q '^mdbtokvt-cli ' <<< "$version"
mkdir "$work/converted"
env -u MDBTOKVT_READER LD_LIBRARY_PATH="$root/usr/lib" \
  "$cli" convert examples/sample.abk "$work/converted" > /dev/null
expected=tests/data/fixtures/expected/sample.abk/edition-0
cmp "$work/converted/TERMTAB.KVT" "$expected/TERMTAB.KVT"
cmp "$work/converted/GROUPTAB.KVT" "$expected/GROUPTAB.KVT"
test "$(stat -c %s "$work/converted/USERTAB.KVT")" -eq "$(stat -c %s "$expected/USERTAB.KVT")"

if [ "$(git status --porcelain 2> /dev/null || true)" != "$status_before" ]; then
  echo "building the package changed the checkout:" >&2
  git status --short >&2
  exit 1
fi
echo "package $(basename "$deb") checked: lintian clean, unpacked and ran $version"
