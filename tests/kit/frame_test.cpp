// The common draw frame: rectangle rules, clip save/restore, and what leaves `dirty` alone.
#include "frame.h"

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct frame_fixture : ::testing::Test {
    pitwall::engine eng{"/app"};
    pitwall::recording_context rec{eng};
    gr_canvas_t canvas{{200, 100}};
    gr_instance_t inst{};
    frame_fixture() {
        inst.visible = 1;
        inst.width = -1;
        inst.height = -1;
    }
    gr_control_t control(int16_t x, int16_t y, int16_t w, int16_t h) { return {x, y, w, h, &canvas}; }
};

std::string rect(const gr_rect_t &r) {
    return std::to_string(r.x1) + " " + std::to_string(r.y1) + " " + std::to_string(r.x2) + " " + std::to_string(r.y2);
}

TEST_F(frame_fixture, rectangle_rules) {
    gr_control_t ctl = control(10, 20, 30, 40);
    inst.x = 2;
    inst.y = 3;
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::inclusive)), "12 23 41 62");
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::exclusive)), "12 23 42 63");
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::inset_one)), "13 24 41 62");
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::inset_two)), "13 24 40 61");
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::control)), "10 20 40 60")
        << "the control's own rectangle ignores the instance offsets";
}

TEST_F(frame_fixture, explicit_sizes_ignore_the_controls_and_offsets_use_low_16_bits) {
    gr_control_t ctl = control(10, 20, 30, 40);
    inst.width = 5;
    inst.height = 6;
    inst.x = 0x10001; // low 16 bits: 1
    inst.y = 0xffff;  // low 16 bits: -1
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::inclusive)), "11 19 15 24");
}

TEST_F(frame_fixture, without_a_clip_the_canvas_bounds_the_draw_and_the_clip_is_cleared) {
    gr_control_t ctl = control(190, 90, 30, 40);
    inst.dirty = 3;
    kit::frame f;
    ASSERT_TRUE(kit::frame_enter(f, rec.context(), &ctl, &inst, kit::rect_rule::inclusive));
    EXPECT_EQ(kit::frame_end(f), 0);
    EXPECT_EQ(inst.dirty, 0);
    EXPECT_EQ(rec.trace_text(), "get_clip -> none\nset_clip 190 90 199 99\nclear_clip\n");
}

TEST_F(frame_fixture, a_clip_set_before_is_restored_exactly) {
    rec.set_clip_state(gr_rect_t{5, 5, 50, 50});
    gr_control_t ctl = control(40, 0, 30, 30);
    kit::frame f;
    ASSERT_TRUE(kit::frame_enter(f, rec.context(), &ctl, &inst, kit::rect_rule::inclusive));
    gr_rect_t inner{45, 10, 100, 12};
    EXPECT_TRUE(kit::frame_clip_to(f, inner));
    EXPECT_FALSE(kit::frame_clip_to(f, gr_rect_t{60, 0, 70, 10})) << "outside the visible part";
    EXPECT_EQ(kit::frame_fail(f), -1);
    EXPECT_EQ(rec.trace_text(),
              "get_clip -> 5 5 50 50\nset_clip 40 5 50 29\nset_clip 45 10 50 12\nset_clip 5 5 50 50\n");
}

TEST_F(frame_fixture, a_widget_wholly_outside_the_clip_touches_nothing) {
    rec.set_clip_state(gr_rect_t{0, 0, 9, 9});
    gr_control_t ctl = control(10, 0, 5, 5);
    inst.dirty = 2;
    kit::frame f;
    EXPECT_FALSE(kit::frame_enter(f, rec.context(), &ctl, &inst, kit::rect_rule::inclusive));
    EXPECT_EQ(inst.dirty, 2);
    EXPECT_EQ(rec.trace_text(), "get_clip -> 0 0 9 9\n");
}

TEST_F(frame_fixture, invisible_or_inhibited_instances_are_not_drawn) {
    EXPECT_TRUE(kit::frame_should_draw(&inst));
    inst.visible = 0;
    EXPECT_FALSE(kit::frame_should_draw(&inst));
    inst.visible = 7;
    inst.inhibit = 0.5f;
    EXPECT_FALSE(kit::frame_should_draw(&inst));
    inst.inhibit = -0.0f; // exactly zero
    EXPECT_TRUE(kit::frame_should_draw(&inst));
    inst.inhibit = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(kit::frame_should_draw(&inst));
}

} // namespace
