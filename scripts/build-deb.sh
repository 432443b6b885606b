#!/usr/bin/env bash
# Builds the Debian package (debian/, debhelper) and puts the .deb into
# OUTDIR (default build-deb, which git ignores).
#   scripts/build-deb.sh [OUTDIR]
# dpkg-buildpackage writes its results beside the source tree, so it builds
# a copy of the tree in a temporary folder: nothing is written next to the
# checkout, and the checkout itself is left as it was. DEB_BUILD_OPTIONS is
# passed on (nocheck: the package build neither builds nor runs the tests);
# JOBS sets the parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build-deb}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
source_tree="$work/mdbtokvt"
mkdir "$source_tree"
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  # The files git knows or would add, as they are now; not the build folders.
  git ls-files -z --cached --others --exclude-standard |
    tar --null --files-from=- --ignore-failed-read -cf - 2> /dev/null | tar -xf - -C "$source_tree"
else
  tar --exclude='./build*' --exclude='./out' -cf - . | tar -xf - -C "$source_tree"
fi
(cd "$source_tree" && dpkg-buildpackage -us -uc -b -j"${JOBS:-2}")
cp "$work"/*.deb "$out"/
ls "$out"/*.deb
