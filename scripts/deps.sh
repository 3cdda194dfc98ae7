#!/usr/bin/env bash
# Installs whatever the build and the tests need that this Debian 12 machine lacks (as root).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libfreetype-dev libpng-dev nlohmann-json3-dev libcli11-dev
  librsvg2-bin fonts-dejavu-core
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "pitwall: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "pitwall: these packages are missing; run this command as root to install them" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
