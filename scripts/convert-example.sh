#!/usr/bin/env bash
# Installs what is missing, builds, and converts the bundled example address
# book into ./out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
mkdir -p out
build/mdbtokvt-cli convert examples/sample.abk out
ls -l out
