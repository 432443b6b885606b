#!/usr/bin/env bash
# Benchmark (not a test): builds in Release mode, then for each benchmark
# database converts it with mdbtokvt-cli for edition rows 0 and 1 and dumps its
# four tables with mdb-export, interleaved, after a warm-up, and prints for
# each job the median time, the ratio to mdb-export, source rows per second,
# the time per membership (GROUPUSER row) and the peak memory.
#   bench/run.sh [DB...]          the databases given, or all that are there:
#                                 bench/data/bench-small.mdb and, from ../shared/fixtures,
#                                 bench-medium.mdb, bench-large.mdb and bench-max.mdb.gz
#                                 (unpacked once into build-release/bench-max.mdb)
#   bench/run.sh --profile DB     perf record -g of one edition-1 conversion, and the
#                                 top of its report by thread name and function
# RUNS (default 5; or a number as the first argument) runs per job; MAX_RUNS
# (default 5) for bench-max, the slow one.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${RUNS:-5}"
max_runs="${MAX_RUNS:-5}"
profile=""
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then  # the older form: bench/run.sh RUNS
  runs="$1"
  shift
fi
if [ "${1:-}" = "--profile" ]; then
  [ $# -eq 2 ] || { echo "usage: bench/run.sh --profile DB" >&2; exit 2; }
  profile="$2"
  shift 2
fi
scripts/install-deps.sh
command -v /usr/bin/time > /dev/null || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y -qq time > /dev/null
}
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh > /dev/null
cli="$PWD/build-release/mdbtokvt-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

if [ -n "$profile" ]; then
  command -v perf > /dev/null || { echo "perf is not installed: no profile"; exit 0; }
  mkdir -p "$work/out"
  perf record -g -o "$work/perf.data" -- "$cli" convert "$profile" "$work/out" --edition 1 \
    > /dev/null 2> "$work/perf.err" || { cat "$work/perf.err" >&2; exit 1; }
  echo "share of all threads' CPU samples, edition row 1 of $(basename "$profile"):"
  perf report -i "$work/perf.data" --no-children --sort comm,sym --stdio -g none 2> /dev/null |
    grep -E '^ +[0-9.]+%' | head -40
  exit 0
fi

# The unpacked bench-max is kept between runs; it is unpacked again only when
# its size or modification time no longer match the archive's.
max_db() {
  local gz=../shared/fixtures/bench-max.mdb.gz db=build-release/bench-max.mdb
  [ -f "$gz" ] || { echo "no $gz: bench-max skipped" >&2; return 1; }
  local size
  size=$(gzip -l "$gz" | awk 'NR == 2 { print $2 }')
  if [ ! -f "$db" ] || [ "$(stat -c %s "$db")" != "$size" ] ||
     [ "$(stat -c %Y "$db")" != "$(stat -c %Y "$gz")" ]; then
    gzip -dc "$gz" > "$db.part"
    touch -r "$gz" "$db.part"
    mv "$db.part" "$db"
  fi
  echo "$db"
}

databases=("$@")
if [ ${#databases[@]} -eq 0 ]; then
  databases=(bench/data/bench-small.mdb)
  for name in bench-medium bench-large; do
    [ -f "../shared/fixtures/$name.mdb" ] && databases+=("../shared/fixtures/$name.mdb")
  done
  if db=$(max_db); then databases+=("$db"); fi
fi
tables=(PagerCompany USERS GROUPS GROUPUSER)

# Runs a command under /usr/bin/time; prints "seconds kilobytes". GNU time's
# %M is the peak resident size of the largest single process of the command's
# tree (the converter or its reader; mdb-export), not their sum.
# A conversion that ends in an error (bench-large has more receivers than a
# table file holds) is timed all the same; its first line of error is kept
# for the table.
measure() {
  if ! /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2> "$work/stderr"; then
    grep -m1 -E '^Error [0-9]+' "$work/stderr" > "$work/failure" || {
      cat "$work/stderr" >&2; return 1; }
  fi
  tail -1 "$work/time"
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

printf '%-18s %-10s %9s %7s %12s %10s %9s\n' database job median ratio rows/s ns/member peak-MB
for db in "${databases[@]}"; do
  rows=0
  for t in "${tables[@]}"; do rows=$((rows + $(mdb-count "$db" "$t"))); done
  members=$(mdb-count "$db" GROUPUSER)
  n="$runs"
  [[ "$db" == *bench-max* ]] && n="$max_runs"
  # Each edition converts into a folder of its own, so every run replaces
  # its own previous output, as a user converting again would.
  mkdir -p "$work/out0" "$work/out1"
  jobs=(export edition0 edition1)
  run_job() {
    case "$1" in
      export) measure bash -c "for t in ${tables[*]}; do mdb-export '$db' \$t; done" ;;
      edition0) measure "$cli" convert "$db" "$work/out0" --edition 0 ;;
      edition1) measure "$cli" convert "$db" "$work/out1" --edition 1 ;;
    esac
  }
  for j in "${jobs[@]}"; do run_job "$j" > /dev/null; done  # warm-up
  rm -f "$work/failure"
  for _ in $(seq "$n"); do
    for j in "${jobs[@]}"; do run_job "$j" >> "$work/$j"; done
  done
  base=$(cut -d' ' -f1 "$work/export" | median)
  for j in "${jobs[@]}"; do
    t=$(cut -d' ' -f1 "$work/$j" | median)
    kb=$(cut -d' ' -f2 "$work/$j" | sort -n | tail -1)
    awk -v db="$(basename "$db")" -v j="$j" -v t="$t" -v b="$base" -v r="$rows" -v m="$members" \
      -v kb="$kb" 'BEGIN {
        printf "%-18s %-10s %8.2fs %6.2fx %12.0f %10.0f %9.1f\n", db, j, t, (b>0 ? t/b : 0),
               (t>0 ? r/t : 0), (m>0 ? t*1e9/m : 0), kb/1024 }'
    rm -f "$work/$j"
  done
  echo "  ($rows source rows in the four tables, $members memberships, medians of $n runs)"
  if [ -f "$work/failure" ]; then echo "  (the conversions end in: $(cut -c1-100 "$work/failure"))"; fi
  rm -rf "$work/out0" "$work/out1"
done
