#!/usr/bin/env bash
# Builds and runs every test twice: a normal build, then AddressSanitizer + UndefinedBehaviorSanitizer;
# then the kit and plug-in tests on 32-bit ARM (scripts/arm.sh armhf); last, a short seeded run of
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
# The 32-bit board: the kit and plug-in tests cross-built for armhf and run under qemu-arm, where
# the instance records have their real sizes.
scripts/arm.sh armhf | tee "$log"
count="$(grep -oE 'tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)"
passed=$((passed + count))
# Last, the fuzz targets: a short, seeded run of each (scripts/fuzz.sh); a failure stops here.
scripts/fuzz.sh
targets="$(ls fuzz/corpus | wc -l)"
echo "tests: $((passed + targets)) passed, 0 failed"
