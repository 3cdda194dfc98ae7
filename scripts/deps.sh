#!/usr/bin/env bash
# Installs whatever the build and the tests need that this Debian 12 machine lacks (as root).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libfreetype-dev libpng-dev nlohmann-json3-dev libcli11-dev
  librsvg2-bin fonts-dejavu-core
  clang libclang-rt-14-dev
  libcpp-httplib-dev chromium chromium-driver python3-selenium
  libsdl2-dev xvfb
  python3-can
  help2man lintian mmdebstrap qemu-user
)

"$(dirname "$0")/install-packages.sh" "${packages[@]}"
