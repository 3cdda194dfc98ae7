#!/usr/bin/env bash
# Builds the board configuration for 32-bit (armhf, the default) or 64-bit (arm64) ARM with Debian's
# cross compiler against the board's root (scripts/board-root.sh), runs the tests under qemu-user,
# then packs the board's Debian packages into build/<arch>/packages/, checks them and installs them
# into a fresh root of the board's architecture where the installed tool must run:
#     scripts/arm.sh [armhf|arm64]
# Installs what is missing first (as root). The build is build/<arch> (presets armhf, arm64).
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-armhf}"
case "$arch" in
  armhf)
    qemu=qemu-arm
    # ELF header of a 32-bit little-endian ARM program, executable or shared (PIE)
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x28\x00'
    ;;
  arm64)
    qemu=qemu-aarch64
    magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
    ;;
  *)
    echo "usage: scripts/arm.sh [armhf|arm64]" >&2
    exit 2
    ;;
esac
mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# crossbuild-essential only recommends the target's C library; it is named here so that it comes
# without the other recommendations. The theme is drawn on this machine (rsvg-convert), the manual
# pages read from the tool's help (help2man), and the desk's tool that the board's screenshots are
# compared with is built here with the desk's libraries.
packages=(
  cmake ninja-build pkgconf googletest librsvg2-bin help2man
  "crossbuild-essential-$arch" "libc6-dev-$arch-cross" qemu-user
  g++ libcairo2-dev libfreetype-dev libpng-dev libsdl2-dev libcpp-httplib-dev nlohmann-json3-dev
  libcli11-dev fonts-dejavu-core
)
scripts/install-packages.sh "${packages[@]}"
scripts/board-root.sh "$arch"

# The tests start the tool as a child process: the kernel hands the target's programs to qemu
# (binfmt_misc), which finds the target's libraries through QEMU_LD_PREFIX (the test preset).
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ ! -e "$binfmt/$qemu" ]; then
  printf '%s' ":$qemu:M::$magic:$mask:/usr/bin/$qemu:" >"$binfmt/register"
fi

jobs="$(nproc)"
# The desk's tool, whose screenshots the board's must equal (PITWALL_DESK_TOOL for the tests): from
# the desk build PITWALL_DESK_BUILD names (the test command's build/default, already built), or
# built alone (no tests or benchmarks) in build/armdesk.
echo "== desk tool"
desk="${PITWALL_DESK_BUILD:-}"
if [[ -z "$desk" ]]; then
  desk=build/armdesk
  cmake --preset default -B "$desk" -DPITWALL_TESTS=OFF -DPITWALL_BENCH=OFF >/dev/null
fi
cmake --build "$desk" -j"$jobs" --target pitwall
export PITWALL_DESK_TOOL="$(cd "$desk" && pwd)/bin/pitwall"

echo "== $arch build"
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" -j"$jobs"
# Left to the desk's suites: the install tests (they install and run for the desk's architecture;
# the board's packages are checked below), the browser and the Python tests of `pitwall serve`.
ctest --preset "$arch" -j"$jobs" --label-exclude '^(install|browser|serve)$'
rm -rf "build/$arch/packages"
(cd "build/$arch" && cpack -B packages >/dev/null)
rm -rf "build/$arch/packages/_CPack_Packages"
scripts/check-packages.sh "build/$arch/packages" "$arch" "$(pwd)"
scripts/check-install.sh "$arch" "build/$arch/packages"
