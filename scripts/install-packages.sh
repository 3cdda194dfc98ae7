#!/usr/bin/env bash
# Installs those of the Debian packages named on the command line that this machine lacks (as
# root): the one place the set-up scripts install anything.
#     scripts/install-packages.sh PACKAGE...
set -euo pipefail

missing=()
for p in "$@"; do
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
