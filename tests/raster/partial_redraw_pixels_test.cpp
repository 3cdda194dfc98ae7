// A partial redraw on the raster context gives the same pixels as drawing the whole changed
// scene afresh: repainted areas get their background back, and every widget over them (the
// splash image under the boxes, bars beside gauges) is drawn again in order.
#include "pitwall/raster_context.h"
#include "pitwall/scene_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

struct demo {
    scene s;
    engine eng{PITWALL_APP_DIR};
    std::unique_ptr<raster_context> canvas;
    scene_run run;

    demo() {
        error err;
        EXPECT_TRUE(load_scene(std::string(PITWALL_SOURCE_DIR) + "/examples/demo.json", s, &err)) << err;
        std::vector<error> errors;
        eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
        canvas = std::make_unique<raster_context>(eng, s.width, s.height, s.background);
        EXPECT_EQ(run.build(eng, s), "");
    }
    ~demo() {
        run.clear();
        eng.unload_all();
    }
};

TEST(partial_redraw_pixels, equal_a_fresh_full_frame_after_each_change) {
    // Each row changes one control; the changes add up, as frames of a running dashboard would.
    struct change {
        const char *control;
        std::vector<std::pair<std::string, attr_value>> attributes;
        std::optional<int16_t> x;
    };
    const change changes[] = {
        {"oil pressure low", {{"value", 7.0}, {"render_text", std::string("7.0 bar")}}, {}},
        {"engine speed gauge", {{"value", 9100.0}}, {}},
        {"throttle", {{"value", 12.0}}, {}},
        {"lap time", {}, int16_t{40}}, // moved over its neighbour
    };
    std::vector<scene_step> steps;
    for (const change &c : changes) {
        control_change cc;
        cc.attributes = c.attributes;
        cc.x = c.x;
        steps.emplace_back().changes.emplace_back(c.control, cc);
    }
    // The plug-ins keep process-wide state (their application handle, their shared images), so
    // one engine at a time: first every partial frame, then each fresh one.
    std::vector<argb_image> partial_frames;
    {
        demo partial;
        partial.run.draw(partial.canvas->context());
        for (const scene_step &step : steps) {
            EXPECT_EQ(partial.run.apply(step), "");
            partial.run.draw_changed(partial.canvas->context(),
                                     [&](const gr_rect_t &r) { partial.canvas->clear(r, partial.s.background); });
            EXPECT_FALSE(partial.run.damage().empty());
            partial_frames.push_back(partial.canvas->snapshot());
        }
    }
    for (size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE(changes[k].control);
        demo fresh;
        fresh.run.draw(fresh.canvas->context());
        fresh.canvas->clear(fresh.s.background);
        for (size_t i = 0; i <= k; ++i) EXPECT_EQ(fresh.run.apply(steps[i]), "");
        fresh.run.draw(fresh.canvas->context());
        const argb_image expected = fresh.canvas->snapshot();
        ASSERT_EQ(partial_frames[k].pixels.size(), expected.pixels.size());
        size_t differing = 0;
        for (size_t i = 0; i < expected.pixels.size(); ++i) differing += partial_frames[k].pixels[i] != expected.pixels[i];
        EXPECT_EQ(differing, 0u);
    }
}

} // namespace
} // namespace pitwall::testing
