// Round gauges: heap allocations and cost of a steady draw (recompute level 2), of a value change
// (level 1) and of a relayout (level 0), at 440 and 120 pixels, against the null render context.
//
// A steady draw allocates the point buffer of each elliptical band it fills and nothing else:
// four bands in the modern gauges (remainder, value arc, white edge or dark cover, shadow), one in
// the classic ones (the value arc). The null context loads every image (one shared fake) and makes
// paths without allocating, so what is counted is the plug-ins' own work.
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

struct gauge_kind {
    const char *id; // benchmark name part
    const char *deliverable;
    bool modern;
    bool ticks; // a 20-tick scale (large modern, classic)
};

const gauge_kind k_gauges[] = {
    {"modern_large", "libgre-plugin-ArcGaugeLarge", true, true},
    {"modern_small", "libgre-plugin-ArcGaugeSmall", true, false},
    {"classic_small", "libgre-plugin-DialGaugeSmall", false, true},
    {"classic_large", "libgre-plugin-DialGaugeLarge", false, true},
};

// 20 labelled ticks, 0 to 95 in steps of 5.
std::string twenty_ticks() {
    std::string out;
    for (int v = 0; v < 100; v += 5) out += (v ? "|;" : ";") + std::to_string(v) + ";" + std::to_string(v);
    return out;
}

struct gauge_setup {
    pitwall::engine eng{"/app"};
    pitwall::null_context null{eng};
    gr_canvas_t canvas = pitwall::engine::canvas(800, 480);
    gr_control_t control = pitwall::make_control(0, 0, 800, 480, &canvas);
    std::unique_ptr<pitwall::instance> gauge;

    gauge_setup(const gauge_kind &kind, int64_t size) {
        eng.fonts().add_font(k_font);
        pitwall::plugin *plug =
            eng.load_plugin(std::string(PITWALL_PLUGIN_DIR) + "/" + kind.deliverable + ".so", nullptr);
        if (plug == nullptr) return;
        gauge = plug->create();
        attributes common = {{"width", size},         {"height", size},          {"angle_start", 45.0},
                             {"angle_span", 270.0},   {"value_min", 0.0},        {"value_max", 100.0},
                             {"upper_limit", int64_t{1}}, {"upper_value", 80.0}, {"lower_limit", int64_t{1}},
                             {"lower_value", 10.0},   {"font", std::string(k_font)}};
        if (kind.ticks) {
            common.insert(common.end(), {{"ticks", twenty_ticks()}, {"subsections", int64_t{4}},
                                         {"tick_mode", int64_t{2}}, {"tick_pos", int64_t{1}},
                                         {"lower_tick", int64_t{0x2060ff}}, {"color_tick", int64_t{0xffffff}},
                                         {"upper_tick", int64_t{0xff2020}}});
        }
        if (kind.modern) {
            common.insert(common.end(), {{"text", std::string("<channel value> km/h")}, {"decimals", int64_t{1}},
                                         {"font_size", int64_t{24}}, {"alignment", int64_t{2}},
                                         {"lower_gauge", int64_t{0x2060ff}}, {"color_gauge", int64_t{0x20c040}},
                                         {"upper_gauge", int64_t{0xff2020}}, {"color_text", int64_t{0xffffff}}});
        } else {
            common.insert(common.end(), {{"lower_gauge", int64_t{6}}, {"color_gauge", int64_t{1}},
                                         {"upper_gauge", int64_t{2}}});
        }
        for (const auto &[name, value] : common) {
            // tick_pos belongs to the classic gauges only; the large modern gauge always draws its scale.
            if (gauge->owner().find_attribute(name) != nullptr) (void)gauge->set(name, value);
        }
        // Every threshold state once, so that the classic gauges hold all their backgrounds.
        for (double v : {5.0, 90.0, 50.0}) {
            (void)gauge->set("value", v);
            gauge->draw(null.context(), control);
        }
    }

    // One draw per iteration after `change`, timed and its allocations counted.
    template <typename Change>
    void run(benchmark::State &state, Change change) {
        bench::measure_draws(state, gauge.get(), null.context(), control, change);
    }
};

void gauge_steady_draw(benchmark::State &state, const gauge_kind *kind, int64_t size) {
    gauge_setup s(*kind, size);
    s.run(state, [] {});
}

// A new value every draw: threshold state and value text only, across all three states.
void gauge_value_change(benchmark::State &state, const gauge_kind *kind, int64_t size) {
    gauge_setup s(*kind, size);
    double v = 0.0;
    s.run(state, [&] {
        v = v >= 100.0 ? 0.0 : v + 7.5;
        (void)s.gauge->set("value", v);
    });
}

// A full recompute every draw: the subsections of the 20-tick scale alternate; the small modern
// gauge, which has no scale, alternates its widget width by one pixel (same gauge size, new layout).
void gauge_relayout(benchmark::State &state, const gauge_kind *kind, int64_t size) {
    gauge_setup s(*kind, size);
    bool flip = false;
    s.run(state, [&] {
        flip = !flip;
        if (kind->ticks)
            (void)s.gauge->set("subsections", int64_t{flip ? 5 : 4});
        else
            (void)s.gauge->set("width", size + (flip ? 1 : 0));
    });
}

[[maybe_unused]] const bool registered = [] {
    for (const gauge_kind &kind : k_gauges) {
        for (int64_t size : {440, 120}) {
            const std::string suffix = std::string(kind.id) + "/" + std::to_string(size);
            benchmark::RegisterBenchmark(("gauge_steady_draw/" + suffix).c_str(), gauge_steady_draw, &kind, size);
            benchmark::RegisterBenchmark(("gauge_value_change/" + suffix).c_str(), gauge_value_change, &kind, size);
            benchmark::RegisterBenchmark(("gauge_relayout/" + suffix).c_str(), gauge_relayout, &kind, size);
        }
    }
    return true;
}();

} // namespace
