#!/bin/sh
# The folder-order check finds what it is there to find: on a copy of the
# tree it passes, then fails on an include that goes up the order, on a
# library linked against it, and on a README whose order list has changed.
set -eu
root=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/mdbtokvt-layering.XXXXXX")
trap 'rm -rf "$work"' EXIT

fresh() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree/tests"
  cp -R "$root/src" "$work/tree/src"
  cp "$root/README.md" "$work/tree/README.md"
  cp -R "$here" "$work/tree/tests/layering"
}
expect() {  # expect STATUS TEXT: the check ends with STATUS, printing TEXT
  set +e
  out=$(python3 "$work/tree/tests/layering/check_includes.py" "$work/tree" 2>&1)
  status=$?
  set -e
  if [ "$status" -ne "$1" ] || ! printf '%s\n' "$out" | grep -qF "$2"; then
    echo "expected status $1 and \"$2\", got $status:"
    printf '%s\n' "$out"
    exit 1
  fi
}

fresh
expect 0 ""
printf '#include "run/DBConvert.h"\n' >> "$work/tree/src/names/NameSet.h"
expect 1 "src/names/NameSet.h includes run/"
fresh
sed -i 's/kvtnames PUBLIC kvtcommon/kvtnames PUBLIC kvtquery kvtcommon/' \
  "$work/tree/src/names/CMakeLists.txt"
expect 1 "links kvtquery of query/"
fresh
sed -i 's/^reader:          readerprotocol access query$/reader:          access query/' \
  "$work/tree/README.md"
expect 1 "README.md lacks the folder order line"
fresh
rm "$work/tree/src/source/README.md"
expect 1 "src/source has no README.md"
