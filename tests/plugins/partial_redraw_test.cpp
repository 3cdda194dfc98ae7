// Partial redraw: only what changed is repainted, and every control meeting a repainted area is
// drawn again under its clip, in scene order.
#include "pitwall/scene_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using strings = std::vector<std::string>;

std::string rect(const gr_rect_t &r) {
    return std::to_string(r.x1) + " " + std::to_string(r.y1) + " " + std::to_string(r.x2) + " " + std::to_string(r.y2);
}

// Three boxes on a 200 x 100 canvas: "a" at (10, 10) 50 x 30, "b" over its right part at (40, 20),
// "c" apart at (120, 10).
struct partial_scene {
    pitwall::engine eng{"/app"};
    pitwall::recording_context rec{eng};
    pitwall::scene s;
    pitwall::scene_run run;
    strings events; // "repaint R" and "draw NAME under R" (R: the clip in force)

    partial_scene() {
        std::vector<pitwall::error> errors;
        eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
        pitwall::error err;
        EXPECT_TRUE(pitwall::parse_scene(R"({"canvas": {"width": 200, "height": 100}, "controls": [
            {"widget": "Basic Box", "name": "a", "x": 10, "y": 10, "width": 50, "height": 30, "attributes": {"value": 1}},
            {"widget": "Basic Box", "name": "b", "x": 40, "y": 20, "width": 50, "height": 30, "attributes": {"value": 1}},
            {"widget": "Basic Box", "name": "c", "x": 120, "y": 10, "width": 50, "height": 30, "attributes": {"value": 1}}]})",
                                         "/", s, &err))
            << err;
        EXPECT_EQ(run.build(eng, s, &rec), "");
        run.draw(rec.context());
    }

    strings frame(const pitwall::scene_step &step = {}) {
        events.clear();
        EXPECT_EQ(run.apply(step), "");
        run.draw_changed(
            rec.context(), [&](const gr_rect_t &r) { events.push_back("repaint " + rect(r)); },
            [&](const pitwall::draw_result &r) {
                auto clip = rec.clip_state();
                events.push_back("draw " + r.control + (clip ? " under " + rect(*clip) : " unclipped") + " dirty " +
                                 std::to_string(r.dirty_before) + " -> " + std::to_string(r.dirty_after));
            });
        return events;
    }
};

pitwall::scene_step change(const std::string &name, pitwall::control_change c) {
    pitwall::scene_step step;
    step.changes.emplace_back(name, std::move(c));
    return step;
}

TEST(partial_redraw, repaints_what_changed_and_redraws_what_it_meets) {
    partial_scene p;
    EXPECT_EQ(p.frame(), strings{}) << "nothing changed, nothing drawn";

    // A value of "a": its area (x .. x + width) is repainted; "b" overlaps it and is drawn again
    // over it, clipped to the same area; "c" is left alone.
    pitwall::control_change value;
    value.attributes.emplace_back("value", int64_t{2});
    EXPECT_EQ(p.frame(change("a", value)),
              (strings{"repaint 10 10 60 40", "draw a under 10 10 60 40 dirty 1 -> 0",
                       "draw b under 10 10 60 40 dirty 0 -> 0"}));
    // A change of "b", which lies over "a": "a" is drawn first, under "b"'s area.
    EXPECT_EQ(p.frame(change("b", value)),
              (strings{"repaint 40 20 90 50", "draw a under 40 20 90 50 dirty 0 -> 0",
                       "draw b under 40 20 90 50 dirty 1 -> 0"}));

    // "c" moves by 20: where it was and where it is overlap and are repainted as one.
    pitwall::control_change move;
    move.x = 140;
    EXPECT_EQ(p.frame(change("c", move)), (strings{"repaint 120 10 190 40", "draw c under 120 10 190 40 dirty 0 -> 0"}));

    // Hidden, then shown: its area is repainted each time, and it is drawn only when shown.
    pitwall::control_change hide, show;
    hide.visible = 0u;
    show.visible = 1u;
    EXPECT_EQ(p.frame(change("c", hide)), (strings{"repaint 140 10 190 40"}));
    EXPECT_EQ(p.frame(), strings{});
    EXPECT_EQ(p.frame(change("c", show)), (strings{"repaint 140 10 190 40", "draw c under 140 10 190 40 dirty 0 -> 0"}));

    // Destroyed: the area it left is repainted with what remains there.
    pitwall::scene_step destroy;
    destroy.destroys.push_back("b");
    EXPECT_EQ(p.frame(destroy), (strings{"repaint 40 20 90 50", "draw a under 40 20 90 50 dirty 0 -> 0"}));

    // Two changes far apart stay two areas; a clone appears where its source is.
    pitwall::control_change other_value;
    other_value.attributes.emplace_back("value", int64_t{3});
    pitwall::scene_step two = change("a", other_value);
    two.changes.emplace_back("c", other_value);
    EXPECT_EQ(p.frame(two), (strings{"repaint 10 10 60 40", "draw a under 10 10 60 40 dirty 1 -> 0",
                                     "repaint 140 10 190 40", "draw c under 140 10 190 40 dirty 1 -> 0"}));
    pitwall::scene_step clone;
    clone.clones.emplace_back("d", "c");
    EXPECT_EQ(p.frame(clone), (strings{"repaint 140 10 190 40", "draw c under 140 10 190 40 dirty 0 -> 0",
                                       "draw d under 140 10 190 40 dirty 0 -> 0"}));
    EXPECT_EQ(p.rec.clip_state(), std::nullopt) << "the clip is lifted after each area";
}

} // namespace
