#!/usr/bin/env bash
# Makes the board's root: a Debian 12 tree for armhf or arm64 holding the target's development
# packages that the tool needs (Cairo, FreeType, libpng, SDL2, cpp-httplib and the header-only
# libraries), for the cross compiler to build against (--sysroot) and qemu-user to run the results
# in (-L). As root:
#     scripts/board-root.sh armhf|arm64 [ROOT]
# ROOT defaults to build/<arch>/root. A root made from the same package list is kept.
#
# Why a root of its own rather than the host's multiarch packages: every Multi-Arch: same library
# must have the same version for the host and the target, so installing the target's development
# packages upgrades some thirty of the host's libraries in step (zlib, libpng, OpenSSL, expat ...),
# and any target index that the mirror cannot serve (the security suite's, say) leaves the two
# out of step and apt refuses. The root needs no emulation to make: its packages are unpacked,
# never configured (mmdebstrap's extract variant).
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-}"
case "$arch" in
  armhf | arm64) ;;
  *)
    echo "usage: scripts/board-root.sh armhf|arm64 [ROOT]" >&2
    exit 2
    ;;
esac
root="${2:-build/$arch/root}"

packages=(
  libcairo2-dev libfreetype-dev libpng-dev libsdl2-dev libcpp-httplib-dev
  nlohmann-json3-dev libcli11-dev libstdc++6
)
stamp="$root/.pitwall-root"
want="$arch ${packages[*]}"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  exit 0
fi

scripts/install-packages.sh mmdebstrap

archive=http://deb.debian.org/debian
suites=("deb $archive bookworm main" "deb $archive bookworm-updates main")
security="deb http://deb.debian.org/debian-security bookworm-security main"

make_root() {
  rm -rf "$root"
  mkdir -p "$(dirname "$root")"
  timeout 600 mmdebstrap --quiet --mode=root --variant=extract --architectures="$arch" \
    --include="$(
      IFS=,
      echo "${packages[*]}"
    )" \
    --aptopt='Acquire::Languages "none"' bookworm "$root" "$@" >"$root.log" 2>&1
}

echo "pitwall: making the $arch root in $root"
# With the security suite if the mirror serves its index for this architecture; without it the
# root still builds and runs, on the release's own versions.
if ! make_root "${suites[@]}" "$security"; then
  echo "pitwall: the security suite's $arch index could not be read ($root.log); the root goes without it" >&2
  if ! make_root "${suites[@]}"; then
    cat "$root.log" >&2
    exit 1
  fi
fi
# The device nodes made for a chroot would stand in for the desk's under qemu -L (a pseudo-terminal
# master outside the desk's devpts, say): nothing runs chrooted here, so the root goes without them.
rm -rf "$root/dev"
echo "$want" >"$stamp"
