// A partial redraw on the raster context gives the same pixels as drawing the whole changed
// scene afresh: repainted areas get their background back, and every widget over them (the
// splash image under the boxes, bars beside gauges) is drawn again in order. So it does with each
// control's drawing kept, where only what a dirty control's drawing changed is repainted and the
// controls over it are replayed from their kept lists (bands that stay the same painted through
// their kept coverage).
#include "pitwall/raster_context.h"
#include "pitwall/scene_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

struct loaded {
    scene s;
    engine eng{PITWALL_APP_DIR};
    std::unique_ptr<raster_context> canvas;
    scene_run run;

    explicit loaded(const std::string &file) {
        error err;
        EXPECT_TRUE(load_scene(std::string(PITWALL_SOURCE_DIR) + "/examples/" + file, s, &err)) << err;
        std::vector<error> errors;
        eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
        canvas = std::make_unique<raster_context>(eng, s.width, s.height, s.background);
        EXPECT_EQ(run.build(eng, s), "");
    }
    ~loaded() {
        run.clear();
        eng.unload_all();
    }
};

// One frame's change of one control.
struct change {
    const char *what;
    const char *control;
    std::vector<std::pair<std::string, attr_value>> attributes;
    control_change place; // position, size, visibility
    int64_t most_damage;  // with kept lists, at most this many pixels repainted (-1: any)
};

scene_step step_of(const change &c) {
    scene_step step;
    control_change cc = c.place;
    cc.attributes = c.attributes;
    step.changes.emplace_back(c.control, cc);
    return step;
}

int64_t damaged_pixels(const scene_run &run) {
    int64_t n = 0;
    for (const gr_rect_t &r : run.damage()) n += int64_t(r.x2 - r.x1 + 1) * (r.y2 - r.y1 + 1);
    return n;
}

// The frames after each change: partial frames (with or without kept lists), or each drawn whole.
enum class frames { partial, partial_kept, whole };

std::vector<argb_image> play(const std::string &file, const std::vector<change> &changes, frames how,
                             bool coverage_kept) {
    // The plug-ins keep process-wide state (their application handle, their shared images), so
    // one engine at a time.
    loaded l(file);
    kept_drawing_of<raster_context> kept(*l.canvas);
    auto repaint = [&](const gr_rect_t &r) { l.canvas->clear(r, l.s.background); };
    l.run.draw(l.canvas->context());
    std::vector<argb_image> out;
    for (const change &c : changes) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(l.run.apply(step_of(c)), "");
        if (how == frames::whole) {
            l.canvas->clear(l.s.background);
            l.run.draw(l.canvas->context());
        } else {
            l.run.draw_changed(l.canvas->context(), repaint, {}, how == frames::partial_kept ? &kept : nullptr);
            EXPECT_FALSE(l.run.damage().empty());
            if (how == frames::partial_kept && c.most_damage >= 0) {
                EXPECT_LE(damaged_pixels(l.run), c.most_damage);
            }
        }
        out.push_back(l.canvas->snapshot());
    }
    // Bands that stayed the same were painted through their kept coverage.
    if (how == frames::partial_kept && coverage_kept) {
        EXPECT_GT(l.canvas->kept_coverages(), 0);
    }
    return out;
}

void expect_partial_frames_whole(const std::string &file, const std::vector<change> &changes,
                                 bool coverage_kept = false) {
    const std::vector<argb_image> whole = play(file, changes, frames::whole, false);
    for (frames how : {frames::partial, frames::partial_kept}) {
        const std::vector<argb_image> partial = play(file, changes, how, coverage_kept);
        ASSERT_EQ(partial.size(), whole.size());
        for (size_t k = 0; k < whole.size(); ++k) {
            SCOPED_TRACE(std::string(changes[k].what) + (how == frames::partial_kept ? ", kept lists" : ""));
            ASSERT_EQ(partial[k].pixels.size(), whole[k].pixels.size());
            size_t differing = 0;
            for (size_t i = 0; i < whole[k].pixels.size(); ++i) differing += partial[k].pixels[i] != whole[k].pixels[i];
            EXPECT_EQ(differing, 0u);
        }
    }
}

control_change moved(std::optional<int16_t> x, std::optional<int16_t> width = {}) {
    control_change c;
    c.x = x;
    c.width = width;
    return c;
}

control_change shown(bool visible) {
    control_change c;
    c.visible = visible ? 1u : 0u;
    return c;
}

TEST(partial_redraw_pixels, equal_a_fresh_full_frame_after_each_change) {
    // The changes add up, as frames of a running dashboard would.
    expect_partial_frames_whole("demo.json",
                                {
                                    {"lamp text", "oil pressure low", {{"value", 7.0}, {"render_text", std::string("7.0 bar")}}, {}, -1},
                                    {"gauge value", "engine speed gauge", {{"value", 9100.0}}, {}, -1},
                                    {"bar value", "throttle", {{"value", 12.0}}, {}, -1},
                                    {"moved over its neighbour", "lap time", {}, moved(40), -1},
                                });
}

TEST(partial_redraw_pixels, gauges_and_boxes_repaint_only_what_changed) {
    // The first change of a control after a whole frame repaints its area (it has no kept list
    // yet); from the second on, only what its drawing changed. The rev gauge is 340 x 340 (115 600
    // pixels): a value step moves its value arc's end and inner edge, its needle and its caption.
    const attr_value string_ticks = std::string("0;0;0|45;2500;1|90;5000;2|135;7500;3|180;10000;4");
    expect_partial_frames_whole("racing-dashboard.json",
                                {
                                    {"value up", "rev gauge", {{"value", 8740.0}}, {}, -1},
                                    {"value down", "rev gauge", {{"value", 8700.0}}, {}, 80000},
                                    {"a big step", "rev gauge", {{"value", 3000.0}}, {}, -1},
                                    {"into the upper state", "rev gauge", {{"value", 9400.0}}, {}, -1},
                                    {"out of it again", "rev gauge", {{"value", 8100.0}}, {}, -1},
                                    {"new ticks", "rev gauge", {{"ticks", string_ticks}}, {}, -1},
                                    {"resized", "rev gauge", {}, moved({}, int16_t(320)), -1},
                                    {"hidden", "rev gauge", {}, shown(false), -1},
                                    {"shown again", "rev gauge", {}, shown(true), -1},
                                    {"small gauge", "water gauge", {{"value", 104.0}}, {}, -1},
                                    {"small gauge again", "water gauge", {{"value", 103.0}}, {}, 19000},
                                    {"classic gauge", "speed gauge", {{"value", 212.0}}, {}, -1},
                                    {"classic gauge again", "speed gauge", {{"value", 214.0}}, {}, 60000},
                                    {"one box", "brake bias", {{"value", 56.6}, {"render_text", std::string("56.6")}}, {}, -1},
                                    {"one box again", "brake bias", {{"value", 56.7}, {"render_text", std::string("56.7")}}, {}, 3000},
                                    {"bar", "water bar", {{"value", 71.0}}, {}, -1},
                                    {"bar again", "water bar", {{"value", 64.0}}, {}, 10000},
                                    {"moved box", "delta", {}, moved(int16_t(1000)), -1},
                                },
                                true);
}

} // namespace
} // namespace pitwall::testing
