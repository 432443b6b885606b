#!/usr/bin/env bash
# The verdict of tests/fuzz/run.sh, with a stub in place of the fuzzer: crash
# and leak findings and a fuzzer that ends in any other way than normally, by
# a timeout (70) or by running out of memory (71) fail the run; timeout and
# out-of-memory findings and what earlier runs found do not.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Prints a progress line as libFuzzer's fork mode does, leaves a finding named
# STUB_FINDING-<hash> when asked, and exits with STUB_STATUS.
stub="$scratch/stub-fuzzer"
cat > "$stub" <<'STUB'
#!/usr/bin/env bash
prefix=""
for arg; do
  case "$arg" in -artifact_prefix=*) prefix="${arg#-artifact_prefix=}" ;; esac
done
echo "#1200: cov: 900 ft: 2400 corp: 40 exec/s: 20 oom/timeout/crash: 0/1/0 time: 60s job: 9"
if [ -n "${STUB_FINDING:-}" ]; then echo input > "${prefix}${STUB_FINDING}-da39a3ee"; fi
exit "${STUB_STATUS:-0}"
STUB
chmod +x "$stub"

failures=0
# expect STATUS FINDING WANTED_EXIT WANTED_TEXT
expect() {
  local output exit_code=0
  output="$(STUB_STATUS="$1" STUB_FINDING="$2" FUZZ_TARGET="$stub" FUZZ_WORK="$scratch/work" \
            "$here/run.sh" 1 2>&1)" || exit_code=$?
  if [ "$exit_code" -ne "$3" ] || ! grep -qF -- "$4" <<< "$output"; then
    echo "FAILED: fuzzer status $1, finding '${2:-none}': run.sh exited $exit_code (wanted $3)," \
         "output without '$4':"
    printf '%s\n' "$output" | sed 's/^/  | /'
    failures=$((failures + 1))
  fi
}

expect 0 "" 0 "new findings: 0 crash, 0 leak, 0 timeout, 0 oom"
expect 70 timeout 0 "new findings: 0 crash, 0 leak, 1 timeout, 0 oom"
expect 71 oom 0 "new findings: 0 crash, 0 leak, 0 timeout, 1 oom"
expect 1 "" 1 "the fuzzer exited with status 1"
expect 77 "" 1 "the fuzzer exited with status 77"
expect 1 crash 1 "new findings: 1 crash, 0 leak"
expect 70 leak 1 "new findings: 0 crash, 1 leak"
# The crash and the leak above are an earlier run's now: set aside, not counted.
expect 0 "" 0 "new findings: 0 crash, 0 leak, 0 timeout, 0 oom"
test "$(find "$scratch/work/findings/earlier" -name 'crash-*' -o -name 'leak-*' | wc -l)" -eq 2 ||
  { echo "FAILED: earlier findings were not kept in findings/earlier"; failures=$((failures + 1)); }

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "run.sh verdicts: 9 cases as expected"
