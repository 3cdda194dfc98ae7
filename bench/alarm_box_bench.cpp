// Alarm lamps and image value boxes: heap allocations and cost of a steady draw (recompute level
// 2), of a value change across the threshold states (level 1) and of a relayout (level 0: the
// control's width alternates by one pixel), against the null render context.
//
// A steady draw allocates nothing: images are cached, layouts kept per state, paths composed on
// the stack. A relayout of an alarm reloads its icon, one of a Classic Box its separator: the
// allocations counted then are the engine keeping the loading line in its log.
#include "draw_loop.h"
#include "pitwall/engine.h"
#include "pitwall/null_context.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

// A short font name keeps the engine's own lookup key inside the string's inline buffer.
constexpr const char *k_font = "fonts/m.otf";

using attributes = std::vector<std::pair<const char *, pitwall::attr_value>>;

struct widget_kind {
    const char *id; // benchmark name part
    const char *deliverable;
    int16_t width, height; // a typical size on a dashboard
    attributes own;        // what only this widget has
};

const std::vector<widget_kind> &kinds() {
    static const std::vector<widget_kind> all = {
        {"modern_alarm", "libgre-plugin-AlertFlat", 300, 80,
         {{"render_text", std::string("OIL PRESSURE")}, {"icon_idx", int64_t{9}}, {"icon_color", int64_t{1}},
          {"reset_mode", int64_t{1}}, {"text_alignment", int64_t{4}}}},
        {"classic_alarm", "libgre-plugin-AlertFramed", 300, 80,
         {{"render_text", std::string("FUEL LOW")}, {"icon_idx", int64_t{13}}, {"icon_color", int64_t{3}},
          {"reset_mode", int64_t{1}}, {"text_alignment", int64_t{5}}}},
        {"modern_box", "libgre-plugin-ValueBoxFlat", 200, 100,
         {{"render_title", std::string("WATER")}, {"render_text", std::string("92 C")}, {"title_size", int64_t{18}},
          {"alignment", int64_t{2}}}},
        {"classic_box", "libgre-plugin-ValueBoxFramed", 200, 100,
         {{"render_title", std::string("LAP")}, {"render_text", std::string("1:42.318")}, {"title_size", int64_t{18}},
          {"alignment", int64_t{3}}}},
    };
    return all;
}

struct widget_setup {
    pitwall::engine eng{"/app"};
    pitwall::null_context null{eng};
    gr_canvas_t canvas = pitwall::engine::canvas(800, 480);
    gr_control_t control;
    std::unique_ptr<pitwall::instance> widget;

    explicit widget_setup(const widget_kind &kind) : control(pitwall::make_control(0, 0, kind.width, kind.height, &canvas)) {
        eng.fonts().add_font(k_font);
        pitwall::plugin *plug =
            eng.load_plugin(std::string(PITWALL_PLUGIN_DIR) + "/" + kind.deliverable + ".so", nullptr);
        if (plug == nullptr) return;
        widget = plug->create();
        attributes common = {{"font", std::string(k_font)}, {"font_size", int64_t{24}},
                             {"lower_box", int64_t{6}},     {"color_box", int64_t{5}},
                             {"upper_box", int64_t{2}},     {"color_text", int64_t{0xffffff}},
                             {"lower_limit", int64_t{1}},   {"lower_value", 10.0},
                             {"upper_limit", int64_t{1}},   {"upper_value", 80.0}};
        common.insert(common.end(), kind.own.begin(), kind.own.end());
        for (const auto &[name, value] : common) (void)widget->set(name, value);
        // Every threshold state once, so that every state's images and layouts are held.
        for (double v : {5.0, 90.0, 50.0}) {
            (void)widget->set("value", v);
            widget->draw(null.context(), control);
        }
    }

    // One draw per iteration after `change`, timed and its allocations counted.
    template <typename Change>
    void run(benchmark::State &state, Change change) {
        bench::measure_draws(state, widget.get(), null.context(), control, change);
    }
};

void steady_draw(benchmark::State &state, const widget_kind *kind) {
    widget_setup s(*kind);
    s.run(state, [] {});
}

void value_change(benchmark::State &state, const widget_kind *kind) {
    widget_setup s(*kind);
    double v = 0.0;
    s.run(state, [&] {
        v = v >= 100.0 ? 0.0 : v + 7.5;
        (void)s.widget->set("value", v);
    });
}

void relayout(benchmark::State &state, const widget_kind *kind) {
    widget_setup s(*kind);
    bool flip = false;
    s.run(state, [&] {
        flip = !flip;
        s.control.width = static_cast<int16_t>(kind->width + (flip ? 1 : 0));
    });
}

[[maybe_unused]] const bool registered = [] {
    for (const widget_kind &kind : kinds()) {
        benchmark::RegisterBenchmark((std::string("alarm_box_steady_draw/") + kind.id).c_str(), steady_draw, &kind);
        benchmark::RegisterBenchmark((std::string("alarm_box_value_change/") + kind.id).c_str(), value_change, &kind);
        benchmark::RegisterBenchmark((std::string("alarm_box_relayout/") + kind.id).c_str(), relayout, &kind);
    }
    return true;
}();

} // namespace
