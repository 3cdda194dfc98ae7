#!/usr/bin/env bash
# The main job: build Pitwall, draw the demo scene and the racing dashboard; the last line printed
# is the racing dashboard's picture.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
build/default/bin/pitwall render examples/demo.json -o "$(pwd)/build/default/demo.png"
build/default/bin/pitwall render examples/racing-dashboard.json -o "$(pwd)/build/default/racing-dashboard.png"
