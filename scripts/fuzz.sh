#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`: clang, coverage, ASan + UBSan) and runs each one
# briefly from its seed corpus in fuzz/corpus/. A fixed seed and a fixed number of runs make every
# run of the same tree do exactly the same work, so the step never flakes. Any crash, leak,
# sanitizer report or broken invariant fails the script; the input that caused it is kept in
# <build>/artifacts/ (replay it with <build>/bin/<target> <file>).
#
#   PITWALL_FUZZ_BUILD_DIR  build directory (default build/fuzz)
#   PITWALL_FUZZ_RUNS       inputs per target instead of each target's own count
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build="${PITWALL_FUZZ_BUILD_DIR:-build/fuzz}"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target pitwall_fuzz -j"$(nproc)"
build="$(cd "$build" && pwd)"

# Inputs per target, about 3 minutes for all ten on a two-core machine: fuzz_plugins ~55 s (a
# gauge draw costs far more than a bar's), fuzz_ticks ~25 s, fuzz_raster_scene ~25 s (real pixels,
# PNG files written and decoded for every input), fuzz_text_lines and fuzz_image_path ~20 s each,
# fuzz_scene ~15 s (the example scenes are its seeds), fuzz_telemetry ~14 s (a log file written
# for every input), fuzz_dbc ~20 s, fuzz_caption ~8 s, fuzz_value_format a few seconds. docs/reliability.md says
# how to run one target for longer.
declare -A runs=([fuzz_ticks]=400000 [fuzz_caption]=500000 [fuzz_plugins]=120000 [fuzz_scene]=60000 [fuzz_telemetry]=40000
                 [fuzz_raster_scene]=4000 [fuzz_text_lines]=400000 [fuzz_image_path]=400000
                 [fuzz_value_format]=400000 [fuzz_dbc]=200000)

# libFuzzer keys part of its mutation state by code addresses: without address randomisation the
# same seed gives the same inputs in every run. Where the system refuses that, the runs are still
# seeded and bounded, but may differ in detail.
no_aslr=()
if setarch "$(uname -m)" -R true 2>/dev/null; then no_aslr=(setarch "$(uname -m)" -R); fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"
# Every folder of fuzz/corpus is a target; each must have its count above.
for target in $(ls fuzz/corpus); do
  echo "== fuzz $target"
  [[ -n "${runs[$target]:-}" ]] || { echo "fuzz: no run count for $target" >&2; exit 1; }
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are.
  mkdir "$work/$target"
  "${no_aslr[@]}" "$build/bin/$target" -seed=1 -runs="${PITWALL_FUZZ_RUNS:-${runs[$target]}}" -reload=0 -timeout=60 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
    "$work/$target" "fuzz/corpus/$target" 2>"$work/$target.log" || {
    tail -n 60 "$work/$target.log" >&2
    echo "fuzz: $target failed; the input is in $build/artifacts/" >&2
    exit 1
  }
  grep -E '^(Done|stat::(number_of_executed_units|new_units_added|peak_rss_mb))' "$work/$target.log" || true
done
echo "fuzz: every target passed"
