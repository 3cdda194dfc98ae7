// Labels: heap allocations and cost of a steady draw and of a text change, against the null render
// context. Neither allocates: lines are walked in place and fonts are looked up, never held.
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

struct label_kind {
    const char *id;
    const char *deliverable;
    const char *text_attribute;
    const char *texts[2]; // alternated by the text-change benchmark
    attributes own;
};

const std::vector<label_kind> &kinds() {
    static const std::vector<label_kind> all = {
        {"label", "libgre-plugin-TextLabel", "render_text", {"LAP 12<br>P3<br>+0.412", "LAP 13<br>P2<br>-0.208"},
         {{"alignment", int64_t{1}}, {"color_text", int64_t{0xffffff}}}},
        {"label_turned", "libgre-plugin-TextLabel", "render_text", {"BRAKE BIAS", "BRAKE BIAS 56"},
         {{"alignment", int64_t{5}}, {"orientation", int64_t{3}}, {"color_text", int64_t{0xffffff}}}},
        {"scroll_label", "libgre-plugin-TextLabelScroll", "text",
         {"Box this lap: tyres soft", "Box next lap: tyres medium"},
         {{"alignment", int64_t{3}}, {"offset", int64_t{-10}}}},
        {"menu_label", "libgre-plugin-TextLabelMenu", "text", {"Setup<br>Lap timer<br>Exit", "Setup<br>Logger<br>Exit"},
         {{"alignment", int64_t{2}}}},
    };
    return all;
}

struct label_setup {
    pitwall::engine eng{"/app"};
    pitwall::null_context null{eng};
    gr_canvas_t canvas = pitwall::engine::canvas(800, 480);
    gr_control_t control = pitwall::make_control(0, 0, 240, 120, &canvas);
    std::unique_ptr<pitwall::instance> label;

    explicit label_setup(const label_kind &kind) {
        eng.fonts().add_font(k_font);
        pitwall::plugin *plug =
            eng.load_plugin(std::string(PITWALL_PLUGIN_DIR) + "/" + kind.deliverable + ".so", nullptr);
        if (plug == nullptr) return;
        label = plug->create();
        (void)label->set("font", std::string(k_font));
        (void)label->set("font_size", int64_t{24});
        (void)label->set(kind.text_attribute, std::string(kind.texts[0]));
        for (const auto &[name, value] : kind.own) (void)label->set(name, value);
        label->draw(null.context(), control);
    }

    // One draw per iteration after `change`, timed and its allocations counted.
    template <typename Change>
    void run(benchmark::State &state, Change change) {
        bench::measure_draws(state, label.get(), null.context(), control, change);
    }
};

void steady_draw(benchmark::State &state, const label_kind *kind) {
    label_setup s(*kind);
    s.run(state, [] {});
}

// The text alternates between two values (its copy is made by the set, outside the count).
void text_change(benchmark::State &state, const label_kind *kind) {
    label_setup s(*kind);
    bool flip = false;
    s.run(state, [&] {
        flip = !flip;
        (void)s.label->set(kind->text_attribute, std::string(kind->texts[flip ? 1 : 0]));
    });
}

[[maybe_unused]] const bool registered = [] {
    for (const label_kind &kind : kinds()) {
        benchmark::RegisterBenchmark((std::string("label_steady_draw/") + kind.id).c_str(), steady_draw, &kind);
        benchmark::RegisterBenchmark((std::string("label_text_change/") + kind.id).c_str(), text_change, &kind);
    }
    return true;
}();

} // namespace
