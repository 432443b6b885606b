#!/usr/bin/env bash
# Builds the fuzz target in ./build-fuzz and fuzzes for SECONDS (default 60),
# starting from the Access files among the test fixtures.
#
#   tests/fuzz/run.sh [SECONDS]
#
# FUZZ_WORKERS fuzzing processes (default 2, 1 on one core), FUZZ_BUILD_JOBS
# compile jobs (default 2). The corpus is made afresh in build-fuzz/fuzz/corpus;
# what is found stays in build-fuzz/fuzz/findings (until the next run moves it
# to findings/earlier): crash-* and leak-*, and the
# timeout-* and oom-* inputs, which are libmdb looping or allocating without
# end and are left to the reader process's limits. The verdict: exit 1 when
# this run found a crash or a leak, or when the fuzzer ended in any other way
# than normally, by a timeout (status 70) or by running out of memory (71),
# for example when it could not start; timeouts and out-of-memory inputs are
# only listed. build-fuzz/mdbtokvt-fuzz FILE runs one input again and tells
# what went wrong. The first crash or leak ends the fuzzing; the failing job's
# output is printed at the end and the finding run again.
#
# FUZZ_TARGET runs that fuzzer instead of building one, and FUZZ_WORK puts the
# corpus, findings and log in that folder instead (for testing this script).
set -euo pipefail
seconds="${1:-60}"
cd "$(dirname "$0")/../.."
root="$PWD"
build="$root/build-fuzz"
work="${FUZZ_WORK:-$build/fuzz}"
fuzzer="${FUZZ_TARGET:-}"

if [ -z "$fuzzer" ]; then
  "$root/scripts/install-deps.sh" clang-14 libclang-rt-14-dev
  # The compilers only count when the folder is configured the first time.
  CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMDBTOKVT_BUILD_FUZZER=ON -DMDBTOKVT_BUILD_GUI=OFF -DMDBTOKVT_BUILD_TESTS=OFF > /dev/null
  cmake --build "$build" -j "${FUZZ_BUILD_JOBS:-2}" --target mdbtokvt-fuzz
  fuzzer="$build/mdbtokvt-fuzz"
fi

rm -rf "$work/corpus" "$work/tmp"
mkdir -p "$work/corpus" "$work/tmp" "$work/findings/earlier"
# What earlier runs found is kept aside, so what lies in findings is this run's.
find "$work/findings" -maxdepth 1 -type f -exec mv -f -t "$work/findings/earlier" {} +
seeds=()
for f in tests/data/fixtures/*.mdb tests/data/fixtures/*.abk tests/data/fixtures/real/*.mdb \
         tests/data/fixtures/real/*.abk; do
  [ -f "$f" ] && seeds+=("$f")
done
cp "${seeds[@]}" "$work/corpus/"
# Room for the largest seed and a few more pages.
max_len=$(stat -c %s "${seeds[@]}" | sort -n | tail -1)
max_len=$((max_len + 65536))

workers="${FUZZ_WORKERS:-$(($(nproc) > 1 ? 2 : 1))}"
log="$work/fuzz.log"
# libmdb's reading ends unexpectedly in places that leak; those are not ours.
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0"
export TMPDIR="$work/tmp"
set +e
# A crash or a leak fails the step, so it also ends the fuzzing: fork mode
# then copies the job's whole output (the sanitizer's report, the target's
# fault) into the log, where it would otherwise go with the job.
"$fuzzer" "$work/corpus" \
  -fork="$workers" -max_total_time="$seconds" \
  -ignore_timeouts=1 -ignore_ooms=1 -ignore_crashes=0 \
  -timeout=10 -rss_limit_mb=3000 -max_len="$max_len" \
  -dict="$root/tests/fuzz/access.dict" -close_fd_mask=3 \
  -artifact_prefix="$work/findings/" 2>&1 | tee "$log" | grep --line-buffered -E '^#[0-9]+:'
status=${PIPESTATUS[0]}
set -e

# In fork mode the progress lines read
#   #<execs>: cov: <n> ft: <n> corp: <n> exec/s: <n> oom/timeout/crash: a/b/c time: <s>s ...
last=$(grep -E '^#[0-9]+:' "$log" | tail -1 || true)
count_new() { find "$work/findings" -maxdepth 1 -type f -name "$1-*" | wc -l; }
crashes=$(count_new crash)
leaks=$(count_new leak)
echo "== fuzzing summary (${seconds}s, log $log)"
if [ -n "$last" ]; then
  echo "$last" | awk '{
    for (i = 1; i < NF; ++i) v[$i] = $(i + 1)
    execs = substr($1, 2) + 0; secs = v["time:"] + 0
    split(v["oom/timeout/crash:"], otc, "/")
    printf "executions %d in %ds (%.1f exec/s), cov %s, ft %s, corpus %s inputs\n",
           execs, secs, secs ? execs / secs : 0, v["cov:"], v["ft:"], v["corp:"]
    printf "libFuzzer counted %s ooms, %s timeouts, %s crashes\n", otc[1], otc[2], otc[3]
  }'
else
  echo "no progress lines in the log"
fi
echo "new findings: $crashes crash, $leaks leak, $(count_new timeout) timeout, $(count_new oom) oom" \
  "in $work/findings"
if [ "$crashes" -gt 0 ] || [ "$leaks" -gt 0 ]; then
  # What the job reported, and each finding run again, so the log of a run on
  # a machine that is gone afterwards (CI) still tells what went wrong and
  # where (a fault that needs the inputs before it may not show again).
  if grep -q '^INFO: log from the inner process:' "$log"; then
    echo "== the failing job's output"
    sed -n '/^INFO: log from the inner process:/,$p' "$log" | sed 1d |
      grep -v -E '^(INFO|#[0-9]+)' | head -n 120 | sed 's/^/  | /'
  fi
  find "$work/findings" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' \) |
    while read -r finding; do
      echo "== $finding ($(stat -c %s "$finding") bytes, sha1 $(sha1sum < "$finding" | cut -c1-40))"
      timeout 120 "$fuzzer" -runs=1 -rss_limit_mb=3000 -artifact_prefix="$work/tmp/" "$finding" 2>&1 |
        grep -v -E '^(INFO|Executed|MERGE|\*\*\*)|: Running [0-9]+ inputs' | tail -n 80 | sed 's/^/  | /' || true
    done
  exit 1
fi
# In fork mode libFuzzer exits with the status of the last job that failed,
# also when it was told to ignore that kind of failure: 70 for a timeout, 71
# for running out of memory. Those are listed above and pass; any other
# status (a crash without a finding, a fuzzer that did not start) fails.
case "$status" in
  0) ;;
  70 | 71) echo "the fuzzer exited with status $status (a timeout or out-of-memory input, not counted)" ;;
  *)
    echo "the fuzzer exited with status $status"
    exit 1
    ;;
esac
