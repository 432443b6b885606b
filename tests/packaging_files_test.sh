#!/usr/bin/env bash
# The desktop entry, the AppStream file and the man pages as their own
# checkers see them. Exits 77 (skipped) when a checker is not installed
# (scripts/install-deps.sh installs them).
set -euo pipefail
packaging="$(cd "$(dirname "$0")/../packaging" && pwd)"
for tool in desktop-file-validate appstreamcli man; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed"; exit 77; }
done
desktop-file-validate "$packaging/MDBtoKVT.desktop"
appstreamcli validate --no-net "$packaging/org.mdbtokvt.MDBtoKVT.metainfo.xml"
for page in "$packaging"/*.1; do
  warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 > /dev/null)"
  if [ -n "$warnings" ]; then
    echo "$page: $warnings" >&2
    exit 1
  fi
done
echo "desktop entry, AppStream file and man pages are valid"
