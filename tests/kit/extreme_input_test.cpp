// Kit code fed the extreme values an application can set: each case reproduces a fault the fuzz
// targets (fuzz/) found, and runs under the sanitizers with the rest of the suite.
#include "frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

std::string rect(const gr_rect_t &r) {
    return std::to_string(r.x1) + " " + std::to_string(r.y1) + " " + std::to_string(r.x2) + " " + std::to_string(r.y2);
}

// A 32-bit instance size keeps only its low 16 bits on screen: 0x80000000 is a width of 0,
// INT32_MAX (low bits 0xffff) a height of -1. Neither may overflow the rectangle sums.
TEST(extreme_input, widget_rectangle_of_32_bit_extreme_sizes) {
    gr_canvas_t canvas{{200, 100}};
    gr_control_t ctl{10, 20, 100, 50, &canvas};
    gr_instance_t inst{};
    inst.visible = 1;
    inst.width = std::numeric_limits<int32_t>::min();
    inst.height = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::inclusive)), "10 20 9 18");
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::exclusive)), "10 20 10 19");
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::inset_one)), "11 21 9 18");
    EXPECT_EQ(rect(kit::widget_rect(&ctl, &inst, kit::rect_rule::inset_two)), "11 21 8 17");
}

} // namespace
