#!/usr/bin/env bash
# Builds the board configuration for 32-bit (armhf, the default) or 64-bit (arm64) ARM with Debian's
# cross compiler, runs the kit and plug-in tests under qemu-user, then packs the tested plug-ins as
# the board's Debian package, build/<arch>/packages/pitwall-plugins_<version>_<arch>.deb:
#     scripts/arm.sh [armhf|arm64]
# Installs what is missing first (as root). The build is build/<arch> (presets armhf, arm64).
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-armhf}"
case "$arch" in
  armhf | arm64) ;;
  *)
    echo "usage: scripts/arm.sh [armhf|arm64]" >&2
    exit 2
    ;;
esac
# crossbuild-essential only recommends the target's C library; it is named here so that it comes
# without the other recommendations.
packages=(
  cmake ninja-build nlohmann-json3-dev googletest
  "crossbuild-essential-$arch" "libc6-dev-$arch-cross" qemu-user
)

scripts/install-packages.sh "${packages[@]}"

jobs="$(nproc)"
echo "== $arch build"
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" -j"$jobs"
ctest --preset "$arch" -j"$jobs"
rm -rf "build/$arch/packages"
(cd "build/$arch" && cpack -B packages >/dev/null)
rm -rf "build/$arch/packages/_CPack_Packages"
scripts/check-packages.sh "build/$arch/packages" "$arch" "$(pwd)"
