#!/usr/bin/env bash
# Makes the Debian packages for one architecture and checks what each holds:
#     scripts/package.sh [amd64|armhf|arm64] [BUILD_DIR]
# amd64 (this machine): pitwall-plugins, pitwall (engine, preview tool, theme, examples) and
# pitwall-dev, in BUILD_DIR/packages/. BUILD_DIR is a configured build of this tree (a preset's, say
# build/default): it is brought up to date, which costs nothing once it is built, and packed as it
# is. Without one, a release build for /usr in build/package is configured and built first.
# armhf, arm64: the board build of scripts/arm.sh, tested under qemu, gives pitwall-plugins in
# build/<arch>/packages/.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/package.sh [amd64|armhf|arm64] [BUILD_DIR]" >&2
  exit 2
}
arch="${1:-amd64}"
build="${2:-}"
case "$arch" in
  amd64) ;;
  armhf | arm64)
    [[ -z "$build" ]] || usage # a board's build is always build/<arch>, tested by scripts/arm.sh
    exec scripts/arm.sh "$arch"
    ;;
  *) usage ;;
esac

if [[ -n "$build" ]]; then
  [[ -f "$build/CPackConfig.cmake" ]] || {
    echo "package.sh: $build is not a configured build of this tree" >&2
    exit 2
  }
  build="$(cd "$build" && pwd)"
else
  scripts/deps.sh
  build=build/package
  # -O2, Debian's own level: at -O3 GCC 12 reports a false -Wrestrict inside std::string.
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_INSTALL_PREFIX=/usr -DPITWALL_TESTS=OFF \
    -DPITWALL_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/packages"
(cd "$build" && cpack -B packages >/dev/null)
rm -rf "$build/packages/_CPack_Packages"
scripts/check-packages.sh "$build/packages" "$(dpkg --print-architecture)" "$(pwd)"
ls -1 "$(cd "$build" && pwd)/packages"/*.deb
