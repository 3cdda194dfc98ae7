// Whole scenes on the raster context: the time, heap allocations and bytes allocated of a full
// frame (canvas cleared, every control drawn) and of a partial one (one value box changed, only
// the area it damaged repainted and redrawn). Two scenes: bench/scenes/basic-demo.json, the first
// demo kept as it was so that figures stay comparable over time, and the current examples/demo.json.
//
// The value change of a partial frame is made inside the timed loop but outside the allocation
// count: two attribute sets, next to nothing beside a frame.
#include "alloc_counter.h"
#include "scene_frames.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr const char *k_basic_demo = PITWALL_SOURCE_DIR "/bench/scenes/basic-demo.json";
constexpr const char *k_demo = PITWALL_SOURCE_DIR "/examples/demo.json";

// One frame per iteration after `change` (not counted), timed and its allocations counted.
template <typename Change, typename Frame>
void measure_frames(benchmark::State &state, const char *scene_path, Change change, Frame frame) {
    bench::scene_frames frames;
    if (std::string why = frames.open(scene_path); !why.empty()) {
        state.SkipWithError(why.c_str());
        return;
    }
    int failed = 0;
    alloc_counter::reset();
    for (auto _ : state) {
        change(frames);
        alloc_counter::start();
        failed += frame(frames);
        alloc_counter::stop();
    }
    alloc_counter::report(state, "frame");
    if (failed != 0) state.SkipWithError("a control's draw returned nonzero during the frames");
}

void scene_full_frame(benchmark::State &state, const char *scene_path) {
    measure_frames(
        state, scene_path, [](bench::scene_frames &) {}, [](bench::scene_frames &f) { return f.full_frame(); });
}

void scene_partial_frame(benchmark::State &state, const char *scene_path) {
    measure_frames(
        state, scene_path, [](bench::scene_frames &f) { f.change_value(); },
        [](bench::scene_frames &f) { return f.partial_frame(); });
}

BENCHMARK_CAPTURE(scene_full_frame, basic_demo, k_basic_demo)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_partial_frame, basic_demo, k_basic_demo)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_full_frame, demo, k_demo)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_partial_frame, demo, k_demo)->Unit(benchmark::kMicrosecond);

} // namespace
