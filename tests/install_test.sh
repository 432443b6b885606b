#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed command line.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
"$prefix/bin/mdbtokvt-cli" --version | grep -q '^mdbtokvt-cli '
# The installed command line converts with the installed reader (it lies
# outside the build tree, so the build's own reader is never taken).
libexecdir="$(sed -n 's/^CMAKE_INSTALL_LIBEXECDIR:[A-Z]*=//p' "$build/CMakeCache.txt")"
test -x "$prefix/${libexecdir:-libexec}/mdbtokvt/mdbtokvt-reader"
fixtures="$(cd "$(dirname "$0")" && pwd)/data/fixtures"
mkdir "$prefix/converted"
env -u MDBTOKVT_READER "$prefix/bin/mdbtokvt-cli" convert "$fixtures/sample.abk" "$prefix/converted" > /dev/null
cmp "$prefix/converted/TERMTAB.KVT" "$fixtures/expected/sample.abk/edition-0/TERMTAB.KVT"
cmp "$prefix/converted/GROUPTAB.KVT" "$fixtures/expected/sample.abk/edition-0/GROUPTAB.KVT"
test "$(stat -c %s "$prefix/converted/USERTAB.KVT")" -eq $((15 + 45 * 352))
test -f "$prefix/share/applications/MDBtoKVT.desktop"
grep -q '^Categories=Utility;' "$prefix/share/applications/MDBtoKVT.desktop"
test -f "$prefix/share/icons/hicolor/scalable/apps/mdbtokvt.svg"
test -f "$prefix/share/man/man1/mdbtokvt-cli.1"
test -f "$prefix/share/metainfo/org.mdbtokvt.MDBtoKVT.metainfo.xml"
programs=("$prefix/bin/mdbtokvt-cli")
if grep -q '^MDBTOKVT_HAVE_WINDOW:INTERNAL=1' "$build/CMakeCache.txt"; then
  test -x "$prefix/bin/MDBtoKVT"
  test -f "$prefix/share/man/man1/MDBtoKVT.1"
  programs+=("$prefix/bin/MDBtoKVT")
fi
# libmdb runs only in the reader: the programs a user starts do not load it.
for program in "${programs[@]}"; do
  if ldd "$program" | grep 'libmdb'; then
    echo "$program loads libmdb" >&2
    exit 1
  fi
done
# (ldd's output is read whole: grep -q leaving early would make ldd fail.)
reader_libraries="$(ldd "$prefix/${libexecdir:-libexec}/mdbtokvt/mdbtokvt-reader")"
grep -q 'libmdb\.so' <<< "$reader_libraries"
echo "installed into a temporary prefix and ran $("$prefix/bin/mdbtokvt-cli" --version)"
