#!/usr/bin/env bash
# Checks the Debian packages in DIR (made by cpack): each lists exactly what it should, for the
# expected architecture, and no file in any of them names a folder of this machine's build.
#     scripts/check-packages.sh DIR ARCH [TREE...]
# ARCH is the Debian architecture (amd64, armhf, arm64); each TREE is a folder whose path must not
# appear inside the packaged files (the source and build trees). pitwall and pitwall-dev are checked
# when present (a plug-in-only build, PITWALL_HOST_TOOLS=OFF, makes pitwall-plugins alone). Last, lintian, which must report no error.
set -euo pipefail
dir="$1"
arch="$2"
shift 2
trees=("$@")
"$(dirname "$0")/install-packages.sh" lintian dpkg-dev
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "check-packages: $*" >&2
  exit 1
}

deliverables=(AlertFlat AlertFramed ArcGaugeLarge ArcGaugeSmall DialGaugeLarge DialGaugeSmall
  LevelBarHorizontal LevelBarVertical SplashImage TextLabel TextLabelMenu TextLabelScroll
  ValueBoxFlat ValueBoxFramed ValueBoxPlain)

# The files and links of a package, one path per line without the leading "./", folders left out.
listing() { dpkg-deb --contents "$1" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort; }

# Every listed path must match one of the patterns (extended regular expressions).
only() {
  local deb="$1" path
  shift
  while read -r path; do
    local ok=0 pattern
    for pattern in "$@"; do [[ "$path" =~ ^${pattern}$ ]] && ok=1 && break; done
    ((ok)) || fail "$(basename "$deb") holds $path, which it should not"
  done < <(listing "$deb")
}
# (grep reads the whole listing: with -q it would stop early and break the pipe under pipefail)
has() { listing "$1" | grep -xE "$2" >/dev/null || fail "$(basename "$1") lacks $2"; }

lib='usr/lib(/[a-z0-9_-]+-linux-gnu[a-z]*)?'
checked=0
declare -A synopsis_of # each package's one-line description, to tell the packages apart
for deb in "$dir"/*.deb; do
  [[ -e "$deb" ]] || fail "no package in $dir"
  name="$(dpkg-deb --field "$deb" Package)"
  [[ "$(dpkg-deb --field "$deb" Architecture)" == "$arch" ]] || fail "$(basename "$deb") is not for $arch"
  doc="usr/share/doc/$name/copyright"
  changelog="usr/share/doc/$name/changelog.gz"
  has "$deb" "$doc"
  has "$deb" "$changelog"
  synopsis="$(dpkg-deb --field "$deb" Description | sed -n 1p)"
  for other in "${!synopsis_of[@]}"; do
    [[ "${synopsis_of[$other]}" != "$synopsis" ]] || fail "$name has the description of $other: $synopsis"
  done
  synopsis_of[$name]="$synopsis"
  case "$name" in
    pitwall-plugins)
      only "$deb" "$lib/pitwall/plugins/libgre-plugin-[A-Za-z]+\.so" "$doc" "$changelog"
      for d in "${deliverables[@]}"; do has "$deb" "$lib/pitwall/plugins/libgre-plugin-$d\.so"; done
      ;;
    pitwall)
      only "$deb" usr/bin/pitwall "$lib/libgre\.so\.0" "$lib/libgre\.so\.0\.[0-9.]+" \
        'usr/share/pitwall/app/images/[A-Za-z]+/[a-z0-9_]+(\.9)?\.png' 'usr/share/pitwall/examples/[a-z-]+\.(json|csv|dbc|log)' \
        'usr/share/man/man1/pitwall(-[a-z]+)?\.1\.gz' "$doc" "$changelog"
      has "$deb" usr/bin/pitwall
      has "$deb" 'usr/share/man/man1/pitwall\.1\.gz'
      has "$deb" 'usr/share/man/man1/pitwall-run\.1\.gz'
      has "$deb" "$lib/libgre\.so\.0\.[0-9.]+"
      has "$deb" usr/share/pitwall/app/images/splash/logo.png
      has "$deb" usr/share/pitwall/examples/demo.json
      has "$deb" usr/share/pitwall/examples/lap.csv
      ;;
    pitwall-dev)
      only "$deb" 'usr/include/pitwall/[A-Za-z0-9_]+\.h' "$lib/libgre\.so" "$lib/libpitwall-kit\.a" \
        "$lib/pkgconfig/pitwall(-[a-z]+)?\.pc" "$lib/cmake/Pitwall/[A-Za-z0-9_.-]+" "usr/share/doc/$name/.+"
      has "$deb" usr/include/pitwall/gre_host.h
      has "$deb" "$lib/pkgconfig/pitwall\.pc"
      ;;
    *) fail "unexpected package $name" ;;
  esac
  # No path of the build machine inside any file.
  rm -rf "$tmp/x" && dpkg-deb --extract "$deb" "$tmp/x"
  head -n 1 "$tmp/x/$doc" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "$(basename "$deb"): $doc is not in the machine-readable format"
  version="$(dpkg-deb --field "$deb" Version)"
  [[ "$(zcat "$tmp/x/$changelog" | dpkg-parsechangelog -l - -S Version)" == "$version" ]] ||
    fail "$(basename "$deb"): the changelog's latest entry is not $version"
  for tree in "${trees[@]}"; do
    if found="$(grep -rlF "$tree" "$tmp/x")"; then fail "$(basename "$deb"): $found names $tree"; fi
  done
  echo "check-packages: $(basename "$deb") holds $(listing "$deb" | wc -l) files, as it should"
  checked=$((checked + 1))
done
echo "check-packages: $checked packages for $arch checked"

# Debian's own checks: no error in any package; the warnings are listed (the README says
# why each one stays).
lintian --fail-on error --tag-display-limit 0 \
  "$dir"/*.deb >"$tmp/lintian" || {
  cat "$tmp/lintian" >&2
  fail "lintian reports errors"
}
if [[ -s "$tmp/lintian" ]]; then cat "$tmp/lintian"; fi
echo "check-packages: lintian reports no error"
