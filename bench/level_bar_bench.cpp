// Level bars: heap allocations and cost of steady-state draws (recompute level 2), of a value
// change (level 1) and of a relayout (level 0), against the null render context.
//
// Allocations are counted by the program's counting allocator (alloc_counter.h), so that every
// allocation made while a draw runs is seen. The "allocs/draw" counter of a steady-state draw must be 0.
#include "alloc_counter.h"
#include "pitwall/engine.h"
#include "pitwall/null_context.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A short font name keeps the engine's own lookup key inside the string's inline buffer.
constexpr const char *k_font = "fonts/m.otf";

struct bar_setup {
    pitwall::engine eng{"/app"};
    pitwall::null_context null{eng};
    pitwall::plugin *plug = nullptr;
    gr_canvas_t canvas = pitwall::engine::canvas(800, 480);
    gr_control_t control = pitwall::make_control(0, 0, 800, 480, &canvas);
    std::unique_ptr<pitwall::instance> bar;

    bar_setup(const char *deliverable, bool horizontal, int64_t style) {
        eng.fonts().add_font(k_font);
        plug = eng.load_plugin(std::string(PITWALL_PLUGIN_DIR) + "/" + deliverable + ".so", nullptr);
        if (plug == nullptr) return;
        bar = plug->create();
        auto set = [this](const char *name, const pitwall::attr_value &v) { (void)bar->set(name, v); };
        set("width", int64_t{horizontal ? 400 : 90});
        set("height", int64_t{horizontal ? 90 : 400});
        set("font", std::string(k_font));
        set("render_title", std::string("Oil temperature"));
        set("tick_pos", int64_t{2});
        set("ticks", std::string(";0;0|;25;25|;50;50|;75;75|;100;100|;125;125|;150;150"));
        set("subsections", int64_t{4});
        set("is_modern", int64_t{1});
        set("style", style);
        set("value_min", 0.0);
        set("value_max", 150.0);
        set("upper_limit", int64_t{1});
        set("upper_value", 120.0);
        set("lower_limit", int64_t{1});
        set("lower_value", 40.0);
        for (const char *c : {"lower_bar", "lower_tick"}) set(c, int64_t{6});
        for (const char *c : {"color_bar", "color_tick"}) set(c, int64_t{5});
        for (const char *c : {"upper_bar", "upper_tick"}) set(c, int64_t{2});
        set("value", 90.0);
        bar->draw(null.context(), control); // relayout, images loaded
    }
};

void count_draw(benchmark::State &state, bar_setup &s) {
    alloc_counter::reset();
    for (auto _ : state) {
        alloc_counter::start();
        benchmark::DoNotOptimize(s.bar->draw(s.null.context(), s.control));
        alloc_counter::stop();
    }
    alloc_counter::report(state);
}

void level_bar_steady_draw(benchmark::State &state, const char *deliverable, bool horizontal, int64_t style) {
    bar_setup s(deliverable, horizontal, style);
    if (s.bar == nullptr) {
        state.SkipWithError("the bar plug-in did not load");
        return;
    }
    count_draw(state, s);
}
BENCHMARK_CAPTURE(level_bar_steady_draw, vertical_segments, "libgre-plugin-LevelBarVertical", false, int64_t{0});
BENCHMARK_CAPTURE(level_bar_steady_draw, vertical_fill, "libgre-plugin-LevelBarVertical", false, int64_t{1});
BENCHMARK_CAPTURE(level_bar_steady_draw, horizontal_segments, "libgre-plugin-LevelBarHorizontal", true, int64_t{0});

// A new value every draw: the threshold state is re-evaluated (level 1), nothing is laid out.
void level_bar_value_change(benchmark::State &state) {
    bar_setup s("libgre-plugin-LevelBarVertical", false, 0);
    if (s.bar == nullptr) {
        state.SkipWithError("the bar plug-in did not load");
        return;
    }
    double v = 0.0;
    alloc_counter::reset();
    for (auto _ : state) {
        v = v >= 150.0 ? 0.0 : v + 7.5;
        (void)s.bar->set("value", v);
        alloc_counter::start();
        benchmark::DoNotOptimize(s.bar->draw(s.null.context(), s.control));
        alloc_counter::stop();
    }
    alloc_counter::report(state);
}
BENCHMARK(level_bar_value_change);

// A full relayout every draw (tick parse, mark lines, value map): allocations expected, which also
// shows that the counting wrappers see the plug-ins' allocations.
void level_bar_relayout(benchmark::State &state) {
    bar_setup s("libgre-plugin-LevelBarVertical", false, 0);
    if (s.bar == nullptr) {
        state.SkipWithError("the bar plug-in did not load");
        return;
    }
    int64_t subsections = 4;
    alloc_counter::reset();
    for (auto _ : state) {
        subsections = subsections == 4 ? 5 : 4;
        (void)s.bar->set("subsections", subsections);
        alloc_counter::start();
        benchmark::DoNotOptimize(s.bar->draw(s.null.context(), s.control));
        alloc_counter::stop();
    }
    alloc_counter::report(state);
}
BENCHMARK(level_bar_relayout);

} // namespace
