#!/usr/bin/env bash
# Measures what a whole frame costs on the raster context and writes it to docs/performance.md.
#
#   scripts/bench-instructions.sh            instructions per frame, counted by callgrind
#   scripts/bench-instructions.sh --timings  time, heap allocations and bytes per frame (Google Benchmark)
#
# Each fills its own table, between the marker lines <!-- instructions --> ... <!-- /instructions -->
# or <!-- timings --> ... <!-- /timings -->, and says what it measured on. Builds Release in
# build/bench; valgrind is installed here when missing (only this command needs it).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=instructions
case "${1:-}" in
  "") ;;
  --timings) mode=timings ;;
  *) echo "usage: scripts/bench-instructions.sh [--timings]" >&2; exit 2 ;;
esac

doc=docs/performance.md
build=build/bench
# What is counted: scene, frame kind, frames, and for a partial frame of one control the control,
# its attribute and the two values it alternates between. callgrind's counts are exact, so a few
# frames are enough; the lap's 250 frames are its first ten seconds at 25 frames a second.
cases=(
  "bench/scenes/basic-demo.json|full|10"
  "bench/scenes/basic-demo.json|partial|100"
  "examples/demo.json|full|10"
  "examples/demo.json|partial|100"
  "examples/racing-dashboard.json|full|10"
  "examples/racing-dashboard.json|partial|100|rev gauge|value|8720|8740"
  "examples/racing-dashboard.json|partial|100|brake bias|value|56.5|56.6"
  "examples/lap.json|track|250"
  "bench/scenes/modern-gauge-880.json|full|5"
  "bench/scenes/modern-gauge-880.json|partial|20|big gauge|value|8720|8740"
)

scripts/deps.sh
if [ "$mode" = instructions ]; then scripts/install-packages.sh valgrind; fi
for marker in "<!-- $mode -->" "<!-- /$mode -->"; do
  grep -qxF "$marker" "$doc" || { echo "pitwall: $doc has no line $marker" >&2; exit 2; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
table="$work/table.md"

# Release at -O2: GCC 12 at -O3 reports false -Wrestrict warnings inside std::string, which the
# project's -Werror turns into errors.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DPITWALL_TESTS=OFF >/dev/null
if [ "$mode" = instructions ]; then target=pitwall_frames; else target=pitwall_bench; fi
if ! cmake --build "$build" -j"$(nproc)" --target "$target" >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  exit 1
fi

# The line every table starts with: when, which tree, on what.
compiler="$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")"
commit="$(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
git diff --quiet HEAD 2>/dev/null || commit="$commit with uncommitted changes"
cpu="$(sed -n '/^model name/{s/^[^:]*: //;p;q}' /proc/cpuinfo)"
version="$("$compiler" --version | sed -n 1p)"
measured_on="Measured $(date -u +%Y-%m-%d) on commit $commit: ${cpu:-unknown CPU}, $(nproc) cores, $version, Release (-O2)"

if [ "$mode" = instructions ]; then
  {
    echo "$measured_on, $(valgrind --version)."
    echo
    echo "| scene | frame | change | instructions/frame | pixels repainted/frame | frames counted |"
    echo "|---|---|---|--:|--:|--:|"
  } >"$table"
  for case in "${cases[@]}"; do
    IFS='|' read -r scene kind frames control attribute first second <<<"$case"
    change=()
    what="-"
    if [ -n "$control" ]; then
      change=("$control" "$attribute" "$first" "$second")
      what="$control $attribute $first / $second"
    elif [ "$kind" = partial ]; then
      what="first value box"
    elif [ "$kind" = track ]; then
      what="tracks at 25 fps"
    fi
    out="$work/callgrind.out"
    repainted="$(valgrind -q --tool=callgrind --instr-atstart=no --collect-atstart=no --callgrind-out-file="$out" \
      "$build/bin/pitwall_frames" "$scene" "$kind" "$frames" "${change[@]}" | sed -n 's/^repainted \([0-9]*\) pixels per frame$/\1/p')"
    # One "totals:" line per dump; the collected region is the frames alone.
    total="$(awk '/^totals:/ { sum += $2 } END { printf "%.0f", sum }' "$out")"
    if [ "$total" -eq 0 ]; then
      echo "pitwall: callgrind counted nothing for $scene ($kind); remove $build and run again" >&2
      exit 1
    fi
    echo "| $(basename "$scene") | $kind | $what | $(awk -v t="$total" -v n="$frames" 'BEGIN { printf "%.0f", t / n }') | ${repainted:-?} | $frames |" >>"$table"
  done
else
  load="$(cut -d' ' -f1 /proc/loadavg)"
  json="$work/scene.json"
  "$build/bin/pitwall_bench" --benchmark_filter=scene --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_format=json >"$json"
  {
    echo "$measured_on; load average $load at the start. Median of 5 runs."
    echo
    echo "| scene | frame | change | µs/frame (wall) | µs/frame (CPU) | allocations/frame | bytes allocated/frame |"
    echo "|---|---|---|--:|--:|--:|--:|"
  } >"$table"
  # Google Benchmark writes one field per line; a benchmark's record ends with its closing brace.
  # Names read "scene_full_frame/basic_demo_median".
  awk -F': ' '
    function value(s) { sub(/,$/, "", s); gsub(/"/, "", s); return s }
    /"name":/ { name = value($2) }
    /"aggregate_name":/ { aggregate = value($2) }
    /"real_time":/ { wall = value($2) }
    /"cpu_time":/ { cpu = value($2) }
    /"time_unit":/ { unit = value($2) }
    /"allocs\/frame":/ { allocs = value($2) }
    /"bytes\/frame":/ { bytes = value($2) }
    /^    }/ {
      if (aggregate == "median" && name ~ /^scene_/) {
        split(name, part, "/")
        kind = part[1]; sub(/^scene_/, "", kind); sub(/_frame$/, "", kind)
        scene = part[2]; sub(/_median$/, "", scene)
        change = "-"
        if (sub(/_rev_gauge$/, "", scene)) change = "rev gauge"
        else if (sub(/_one_box$/, "", scene)) change = "one value box"
        gsub(/_/, "-", scene)
        to_us = unit == "ms" ? 1000 : unit == "ns" ? 0.001 : 1
        printf "| %s.json | %s | %s | %.1f | %.1f | %.1f | %.0f |\n", scene, kind, change, wall * to_us, cpu * to_us, allocs, bytes
      }
      name = aggregate = wall = cpu = unit = allocs = bytes = ""
    }' "$json" >>"$table"
  if [ "$(grep -c '^| [a-z-]*\.json' "$table")" -ne 8 ]; then
    echo "pitwall: the scene benchmarks did not give eight results (see $build/bin/pitwall_bench --benchmark_filter=scene)" >&2
    exit 1
  fi
fi

# The table replaces whatever stood between the two markers.
awk -v begin="<!-- $mode -->" -v end="<!-- /$mode -->" -v table="$table" '
  $0 == begin { print; while ((getline line < table) > 0) print line; skipping = 1; next }
  $0 == end { skipping = 0 }
  !skipping { print }' "$doc" >"$work/doc"
cp "$work/doc" "$doc"
cat "$table"
