#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed command line.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
"$prefix/bin/mdbtokvt-cli" --version | grep -q '^mdbtokvt-cli '
test -f "$prefix/share/applications/MDBtoKVT.desktop"
grep -q '^Categories=Utility;' "$prefix/share/applications/MDBtoKVT.desktop"
test -f "$prefix/share/icons/hicolor/scalable/apps/mdbtokvt.svg"
test -f "$prefix/share/man/man1/mdbtokvt-cli.1"
if grep -q '^MDBTOKVT_HAVE_WINDOW:INTERNAL=1' "$build/CMakeCache.txt"; then
  test -x "$prefix/bin/MDBtoKVT"
fi
echo "installed into a temporary prefix and ran $("$prefix/bin/mdbtokvt-cli" --version)"
