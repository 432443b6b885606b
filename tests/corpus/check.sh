#!/bin/bash
# Converts a corpus of damaged Access files and checks that each conversion
# either succeeds with table files that fit together or fails with a numbered
# error, leaving the output folder as it was; never a crash, a hang, a
# leftover temporary file or a changed source file. Prints a table of
# outcomes per kind of damage and the longest conversion.
#
#   tests/corpus/check.sh [COUNT] [--cli PATH] [--seed N] [--jobs N] [--keep DIR]
#                         [--results FILE]
#
# COUNT: check this many mutants, taken in turn from every kind (default:
# all, about 800). Without --cli, builds mdbtokvt-cli in $BUILD_DIR (default
# build-corpus). --keep DIR keeps the corpus in DIR; --results FILE gets one
# line per mutant (name, kind, edition, outcome, seconds, error, message). Exit status 1 when a rule
# was broken or a file cut at a page boundary converted with different data.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
count=
cli=
seed=1
jobs=2
keep=
results=
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    --results) results=$2; shift 2 ;;
    [0-9]*) count=$1; shift ;;
    *) echo "usage: $0 [COUNT] [--cli PATH] [--seed N] [--jobs N] [--keep DIR] [--results FILE]" >&2
       exit 2 ;;
  esac
done

if [ -z "$cli" ]; then
  build=${BUILD_DIR:-$root/build-corpus}
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target mdbtokvt-cli mdbtokvt-reader >/dev/null
  cli=$build/mdbtokvt-cli
fi
[ -x "$cli" ] || { echo "$0: no program $cli" >&2; exit 2; }

if [ -n "$keep" ]; then
  corpus=$keep
else
  corpus=$(mktemp -d "${TMPDIR:-/tmp}/mdbtokvt-corpus.XXXXXX")
  trap 'rm -rf "$corpus"' EXIT
fi
python3 "$here/make_corpus.py" "$corpus" --seed "$seed"
python3 "$here/run_corpus.py" --cli "$cli" --corpus "$corpus" --seed "$seed" --jobs "$jobs" \
  ${count:+--count "$count"} ${results:+--results "$results"}
