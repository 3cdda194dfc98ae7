#!/usr/bin/env bash
# Makes the Debian packages for one architecture and checks what each holds:
#     scripts/package.sh [amd64|armhf|arm64]
# amd64 (this machine): a Release build for /usr in build/package gives pitwall-plugins, pitwall
# (engine, preview tool, theme, examples) and pitwall-dev, in build/package/packages/.
# armhf, arm64: the board build of scripts/arm.sh, tested under qemu, gives pitwall-plugins in
# build/<arch>/packages/.
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-amd64}"
case "$arch" in
  amd64) ;;
  armhf | arm64) exec scripts/arm.sh "$arch" ;;
  *)
    echo "usage: scripts/package.sh [amd64|armhf|arm64]" >&2
    exit 2
    ;;
esac

scripts/deps.sh
build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPITWALL_TESTS=OFF -DPITWALL_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/packages"
(cd "$build" && cpack -B packages >/dev/null)
rm -rf "$build/packages/_CPack_Packages"
scripts/check-packages.sh "$build/packages" "$(dpkg --print-architecture)" "$(pwd)"
ls -1 "$(pwd)/$build/packages"/*.deb
