#!/usr/bin/env bash
# Makes this build's Debian packages with cpack into a temporary folder, checks what each holds,
# and installs them into a fresh Debian root where the installed tool must run.
#     package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
(cd "$tmp" && cpack --config "$build/CPackConfig.cmake" -B "$tmp/packages" >"$tmp/cpack.log" 2>&1) || {
  cat "$tmp/cpack.log" >&2
  exit 1
}
rm -rf "$tmp/packages/_CPack_Packages"
"$source/scripts/check-packages.sh" "$tmp/packages" "$(dpkg --print-architecture)" "$source" "$build"
# Installed into a fresh root with their dependencies from Debian's archive, the tool runs there.
"$source/scripts/check-install.sh" "$(dpkg --print-architecture)" "$tmp/packages"
