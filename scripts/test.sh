#!/usr/bin/env bash
# Installs what is missing, builds, runs every test, converts the corpus of
# damaged files (tests/corpus/check.sh, about 40 s; CORPUS_TEST=0 skips it),
# builds and checks the Debian package (tests/package_test.sh;
# PACKAGE_TEST=0 skips it), then
# fuzzes the source layer and the converters for FUZZ_SECONDS (default 60;
# 0 skips it) in a build of its own (build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd "${BUILD_DIR:-build}" && ctest --output-on-failure -j "$(nproc)")
if [ "${CORPUS_TEST:-1}" != 0 ]; then
  tests/corpus/check.sh --cli "${BUILD_DIR:-build}/mdbtokvt-cli" --jobs "$(nproc)"
fi
if [ "${PACKAGE_TEST:-1}" != 0 ]; then
  JOBS="$(nproc)" tests/package_test.sh
fi
fuzz_seconds="${FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" -gt 0 ]; then
  FUZZ_BUILD_JOBS="${FUZZ_BUILD_JOBS:-$(nproc)}" tests/fuzz/run.sh "$fuzz_seconds"
fi
