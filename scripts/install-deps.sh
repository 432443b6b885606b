#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the package build
# and its checks need, when missing, and the further packages named as
# arguments.
#   scripts/install-deps.sh [PACKAGE...]
set -euo pipefail
packages=(g++ cmake make pkg-config mdbtools mdbtools-dev libsqlite3-dev libseccomp-dev libgtest-dev
          nlohmann-json3-dev qt6-base-dev xvfb xauth python3
          debhelper dpkg-dev fakeroot lintian appstream desktop-file-utils man-db "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
