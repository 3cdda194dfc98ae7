#!/usr/bin/env bash
# The main job: build Pitwall and draw the demo dashboard.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
build/default/bin/pitwall render examples/demo.json -o "$(pwd)/build/default/demo.png"
