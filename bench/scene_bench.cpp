// Whole scenes on the raster context: the time, heap allocations and bytes allocated of a full
// frame (canvas cleared, every control drawn) and of a partial one (one value changed, only the
// area it damaged repainted and redrawn). The scenes: bench/scenes/basic-demo.json, the first demo
// kept as it was so that figures stay comparable over time, the current examples/demo.json, the
// racing dashboard (whole, its rev gauge between 8720 and 8740, one value box) and the lap's
// tracks played at 25 frames a second: the cases scripts/bench-instructions.sh counts.
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
constexpr const char *k_racing = PITWALL_SOURCE_DIR "/examples/racing-dashboard.json";
constexpr const char *k_lap = PITWALL_SOURCE_DIR "/examples/lap.json";

// A named control's attribute alternating between two values; none: the scene's first value box.
struct change_of {
    const char *control, *attribute, *first, *second;
};

// One frame per iteration after `change` (not counted), timed and its allocations counted.
template <typename Change, typename Frame>
void measure_frames(benchmark::State &state, const char *scene_path, Change change, Frame frame,
                    const change_of *chosen = nullptr) {
    bench::scene_frames frames;
    std::string why = frames.open(scene_path);
    if (why.empty() && chosen != nullptr)
        why = frames.choose_change(chosen->control, chosen->attribute, chosen->first, chosen->second);
    if (!why.empty()) {
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

void scene_partial_frame(benchmark::State &state, const char *scene_path, const change_of *chosen = nullptr) {
    measure_frames(
        state, scene_path, [](bench::scene_frames &f) { f.change_value(); },
        [](bench::scene_frames &f) { return f.partial_frame(); }, chosen);
}

void scene_track_frame(benchmark::State &state, const char *scene_path) {
    measure_frames(
        state, scene_path, [](bench::scene_frames &) {}, [](bench::scene_frames &f) { return f.track_frame(); });
}

constexpr change_of k_rev_gauge{"rev gauge", "value", "8720", "8740"};
constexpr change_of k_one_box{"brake bias", "value", "56.5", "56.6"};

BENCHMARK_CAPTURE(scene_full_frame, basic_demo, k_basic_demo)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_partial_frame, basic_demo, k_basic_demo)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_full_frame, demo, k_demo)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_partial_frame, demo, k_demo)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_full_frame, racing_dashboard, k_racing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_partial_frame, racing_dashboard_rev_gauge, k_racing, &k_rev_gauge)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_partial_frame, racing_dashboard_one_box, k_racing, &k_one_box)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(scene_track_frame, lap, k_lap)->Unit(benchmark::kMicrosecond);

} // namespace
