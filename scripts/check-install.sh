#!/usr/bin/env bash
# Installs the three packages into a fresh Debian 12 root of their architecture, with every
# dependency taken from Debian's archive, then runs the installed tool there under qemu-user (in
# the root's own loader and libraries, nothing of this machine's): it must render the installed
# demo scene and run the installed racing dashboard offscreen from the installed CAN log. As root:
#     scripts/check-install.sh amd64|armhf|arm64 DIR
# DIR holds pitwall, pitwall-plugins and pitwall-dev for the architecture (scripts/package.sh and
# scripts/arm.sh make them). The root is unpacked by apt's own resolution of the packages'
# dependencies (mmdebstrap's extract variant: nothing is configured, so nothing runs in it but
# the tool).
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-}"
dir="${2:-}"
case "$arch" in
  amd64) qemu=qemu-x86_64 ;;
  armhf) qemu=qemu-arm ;;
  arm64) qemu=qemu-aarch64 ;;
  *)
    echo "usage: scripts/check-install.sh amd64|armhf|arm64 DIR" >&2
    exit 2
    ;;
esac
scripts/install-packages.sh mmdebstrap qemu-user
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "check-install: $*" >&2
  exit 1
}

debs=()
for name in pitwall pitwall-plugins pitwall-dev; do
  deb="$(ls "$dir/${name}_"*"_$arch.deb" 2>/dev/null | head -n 1)"
  [[ -n "$deb" ]] || fail "no $name package for $arch in $dir"
  debs+=("$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")")
done

# The packages as a repository of their own beside Debian's, copied into the root by apt.
mkdir -p "$tmp/repo"
cp "${debs[@]}" "$tmp/repo/"
(cd "$tmp/repo" && dpkg-scanpackages --multiversion . /dev/null 2>/dev/null >Packages)
root="$tmp/root"
archive=http://deb.debian.org/debian
if ! timeout 900 mmdebstrap --quiet --mode=root --variant=extract --architectures="$arch" --include=pitwall,pitwall-plugins,pitwall-dev \
  --aptopt='Acquire::Languages "none"' bookworm "$root" "deb $archive bookworm main" \
  "deb $archive bookworm-updates main" "deb [trusted=yes] copy://$tmp/repo ./" >"$tmp/mmdebstrap.log" 2>&1; then
  cat "$tmp/mmdebstrap.log" >&2
  fail "the $arch packages do not install with their dependencies from Debian"
fi
rm -rf "$root/dev"
echo "check-install: the three $arch packages install with their dependencies from Debian ($(du -sm "$root" | cut -f1) MB)"

# Every library the packaged programs and plug-ins need is in the root (qemu would fall back to
# this machine's own where the root lacks one, which on the desk's architecture hides a missing
# dependency).
while read -r elf; do
  while read -r needed; do
    [[ -n "$(find "$root/lib" "$root/usr/lib" -name "$needed" -print -quit)" ]] ||
      fail "${elf#"$root"} needs $needed, which no package it depends on installs"
  done < <(readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
done < <(find "$root/usr/bin/pitwall" "$root/usr/lib" -path '*pitwall*' -type f \( -name pitwall -o -name '*.so*' \) 2>/dev/null;
  find "$root/usr/lib" -name 'libgre.so.*' -type f)

# The installed tool, in the root's own libraries and theme.
tool=("$qemu" -L "$root" "$root/usr/bin/pitwall")
examples="$root/usr/share/pitwall/examples"
"${tool[@]}" --version >/dev/null || fail "the installed tool does not start"
"${tool[@]}" render "$examples/demo.json" -o "$tmp/demo.png" >/dev/null 2>"$tmp/render.err" ||
  fail "the installed tool does not render the installed demo: $(cat "$tmp/render.err")"
SDL_AUDIODRIVER=dummy "${tool[@]}" run "$examples/racing-dashboard.json" --display offscreen --seconds 2 \
  --feed "candump:$examples/lap-can.log" --screenshot "$tmp/dash.png" 2>"$tmp/run.err" ||
  fail "the installed tool does not run the installed racing dashboard: $(cat "$tmp/run.err")"
[[ -s "$tmp/demo.png" && -s "$tmp/dash.png" ]] || fail "the installed tool wrote no picture"
echo "check-install: the installed tool renders and runs the installed examples under $qemu"
