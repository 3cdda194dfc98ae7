#!/usr/bin/env bash
# Builds and runs every test twice: a normal build, then AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs="$(nproc)"
for preset in default asan; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs"
done
# Last, the fuzz targets: a short, seeded run of each (scripts/fuzz.sh).
scripts/fuzz.sh
