#!/usr/bin/env bash
# Builds and runs every test twice: a normal build, then AddressSanitizer + UndefinedBehaviorSanitizer;
# then the whole runtime's tests on 32-bit ARM (scripts/arm.sh armhf); last, a short seeded run of
# the fuzz targets. Ends with one summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs="$(nproc)"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
passed=0
for preset in default asan; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs" | tee "$log"
  count="$(grep -oE 'tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)"
  passed=$((passed + count))
done
# The 32-bit board: everything `pitwall run` needs cross-built for armhf and tested under qemu-arm
# (the instance records at their real sizes, the pictures as on the desk), its packages checked and
# installed; the desk's tool for its screenshots is the default build's.
PITWALL_DESK_BUILD=build/default scripts/arm.sh armhf | tee "$log"
count="$(grep -oE 'tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)"
passed=$((passed + count))
# Last, the fuzz targets: a short, seeded run of each (scripts/fuzz.sh); a failure stops here.
scripts/fuzz.sh
targets="$(ls fuzz/corpus | wc -l)"
echo "tests: $((passed + targets)) passed, 0 failed"
