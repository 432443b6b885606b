#!/usr/bin/env bash
# Benchmark (not a test): builds in Release mode, then for each benchmark
# database converts it with mdbtokvt-cli for edition rows 0 and 1 and dumps its
# four tables with mdb-export, interleaved, five runs each after a warm-up, and
# prints medians, the ratio to mdb-export, source rows per second and peak memory.
#   bench/run.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
scripts/install-deps.sh
command -v /usr/bin/time > /dev/null || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y -qq time > /dev/null
}
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh > /dev/null
cli="$PWD/build-release/mdbtokvt-cli"

databases=(bench/data/bench-small.mdb)
[ -f ../shared/fixtures/bench-medium.mdb ] && databases+=(../shared/fixtures/bench-medium.mdb)
tables=(PagerCompany USERS GROUPS GROUPUSER)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Runs a command under /usr/bin/time; prints "seconds kilobytes".
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2> "$work/stderr" || {
    cat "$work/stderr" >&2; return 1; }
  cat "$work/time"
}
export_all() { for t in "${tables[@]}"; do mdb-export "$1" "$t"; done; }
export -f export_all
export tables_list="${tables[*]}"
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

printf '%-18s %-10s %9s %7s %12s %9s\n' database job median ratio rows/s peak-MB
for db in "${databases[@]}"; do
  rows=0
  for t in "${tables[@]}"; do rows=$((rows + $(mdb-count "$db" "$t"))); done
  # Each edition converts into a folder of its own, so every run replaces
  # its own previous output, as a user converting again would.
  mkdir -p "$work/out0" "$work/out1"
  jobs=(export edition0 edition1)
  run_job() {
    case "$1" in
      export) measure bash -c "for t in $tables_list; do mdb-export '$db' \$t; done" ;;
      edition0) measure "$cli" convert "$db" "$work/out0" --edition 0 ;;
      edition1) measure "$cli" convert "$db" "$work/out1" --edition 1 ;;
    esac
  }
  for j in "${jobs[@]}"; do run_job "$j" > /dev/null; done  # warm-up
  for i in $(seq "$runs"); do
    for j in "${jobs[@]}"; do run_job "$j" >> "$work/$j"; done
  done
  base=$(cut -d' ' -f1 "$work/export" | median)
  for j in "${jobs[@]}"; do
    t=$(cut -d' ' -f1 "$work/$j" | median)
    kb=$(cut -d' ' -f2 "$work/$j" | sort -n | tail -1)
    awk -v db="$(basename "$db")" -v j="$j" -v t="$t" -v b="$base" -v r="$rows" -v kb="$kb" \
      'BEGIN { printf "%-18s %-10s %8.2fs %6.2fx %12.0f %9.1f\n", db, j, t, t/b, (t>0 ? r/t : 0), kb/1024 }'
    rm -f "$work/$j"
  done
  echo "  ($rows source rows in the four tables)"
done
