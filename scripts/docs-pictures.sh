#!/usr/bin/env bash
# The picture the README shows, made again from its scene with the tool of a build:
#   docs/racing-dashboard.png   the racing dashboard (examples/racing-dashboard.json)
# Usage: scripts/docs-pictures.sh [BUILD_DIR]   (default build/default, built first)
# The widget gallery is not kept in the repository: `pitwall gallery -o DIR` makes it (README).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/default}"
if [ "$build" = build/default ]; then
    cmake --preset default >/dev/null
    cmake --build --preset default -j"$(nproc)"
fi
"$build/bin/pitwall" render examples/racing-dashboard.json -o docs/racing-dashboard.png 2>/dev/null
