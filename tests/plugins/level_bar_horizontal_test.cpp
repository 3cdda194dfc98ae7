// Common Horizontal Bar: the vertical bar's rules with x and y exchanged; the differences (title,
// labels, layout along y, segment cells 14 wide) asserted on the trace.
#include "level_bar_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pitwall::testing::level_bar_fixture;
using strings = std::vector<std::string>;

class HorizontalBar : public ::testing::Test {
protected:
    level_bar_fixture f{true};
};

// Width 40: bar_len 20, one segment 14 wide at x0 + 10; the 14 x 20 images stretch to 14 x 36.
TEST_F(HorizontalBar, Width40HasOneSegment) {
    auto bar = f.make(40, 50);
    f.h.set(*bar, "value", 100.0);
    ASSERT_EQ(f.draw(*bar), 0);
    const std::string p = "draw_image_part images/CommonBar/green_mark.9.png ";
    EXPECT_EQ(f.h.trace(),
              (strings{"get_clip -> none", "set_clip 0 0 39 49", "set_clip 10 0 29 49",
                       "fill_rect 10 0 29 1 #ffffff", "fill_rect 10 48 29 49 #ffffff", "set_clip 10 7 29 42",
                       "translate 10 7",
                       "load_image images/CommonBar/green_fill.9.png flags=0x7888820 size=native -> ok",
                       "load_image images/CommonBar/green_mark.9.png flags=0x7888820 size=native -> ok",
                       "image_info images/CommonBar/green_mark.9.png 0 -> 14x20",
                       "image_info images/CommonBar/green_mark.9.png 3 -> surface",
                       p + "0 0 3 3 -> 0 0 3 3", p + "4 0 9 3 -> 4 0 9 3", p + "10 0 13 3 -> 10 0 13 3",
                       p + "0 4 3 15 -> 0 4 3 31", p + "4 4 9 15 -> 4 4 9 31", p + "10 4 13 15 -> 10 4 13 31",
                       p + "0 16 3 19 -> 0 32 3 35", p + "4 16 9 19 -> 4 32 9 35",
                       p + "10 16 13 19 -> 10 32 13 35", "translate 20 0", "untranslate 30 7", "clear_clip"}));
}

// Title strip (10, 0, 89, 24), W = 80, "AB" 16 wide: 1 left, 2 centred, other right; no rotation.
TEST_F(HorizontalBar, TitleAlignmentAcrossTheTop) {
    auto bar = f.make(100, 60);
    f.h.set(*bar, "render_title", std::string("AB"));
    f.h.set(*bar, "value", 50.0);
    const std::vector<std::pair<int64_t, int>> cases = {{1, 10}, {2, 10 + 32}, {4, 10 + 64}};
    for (auto [alignment, x] : cases) {
        f.h.set(*bar, "title_alignment", alignment);
        ASSERT_EQ(f.draw(*bar), 0);
        EXPECT_TRUE(f.h.has("set_clip 10 0 89 24"));
        EXPECT_TRUE(f.h.has("draw_text " + std::to_string(x) +
                            " 0 \"AB\" font=\"fonts/CPMono_v07 Plain.otf\" size=20 colour=#000000"))
            << alignment;
        EXPECT_EQ(f.count("set_attr 3"), 0);
    }
}

// Height 80, title, scale below the bar (tick_mode 2): title rows 0..24, bar 25 high at y0 + 25,
// scale 30 high at y0 + 50, fill_w 11.
TEST_F(HorizontalBar, LayoutTopToBottom) {
    auto bar = f.make(100, 80);
    f.h.set(*bar, "render_title", std::string("T"));
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "tick_mode", int64_t{2});
    f.h.set(*bar, "value", 50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.h.lines("set_clip"), (strings{"set_clip 0 0 99 79", "set_clip 10 0 89 24", "set_clip 0 50 99 79",
                                              "set_clip 10 25 89 49", "set_clip 10 32 89 42"}));
    EXPECT_TRUE(f.h.has("fill_rect 10 25 89 26 #ffffff"));
    EXPECT_TRUE(f.h.has("fill_rect 10 48 89 49 #ffffff"));
    EXPECT_TRUE(f.h.has("fill_rect 0 0 13 10 #082208")); // unlit segment 14 x fill_w
}

// Value 60 on bar_len 200: six lit from the right end (start 186), four unlit from the left (r = 6).
TEST_F(HorizontalBar, OrientationOneFillsFromTheRight) {
    auto bar = f.make(220, 50);
    f.h.set(*bar, "orientation", int64_t{1});
    f.h.set(*bar, "value", 60.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.h.lines("translate 1"), (strings{"translate 16 7", "translate 196 7"}));
    EXPECT_EQ(f.count("translate 20 0"), 4);
    EXPECT_EQ(f.count("translate -20 0"), 6);
    EXPECT_EQ(f.count("fill_rect 0 0 13 35 #082208"), 4);
    EXPECT_EQ(f.h.lines("untranslate"), (strings{"untranslate 96 7", "untranslate 76 7"}));
}

// Width 220, height 60: bar_len 200, scale rows 0..29 above a bar 30 high, fill rows 37..52.
// tick_mode 3, orientation 1: ticks 0, 20, 100 at 0 %, 40 %, 100 % lie at x = 199, 119, -1 and the
// map runs through them (0..20 over -80 px, 20..100 over -120 px). Lower 10 maps to 159, upper 60 to
// 59: mark zones lower / normal / upper one each; counted from the right end the threshold pixels
// are 40 and 140, so of ten segments (40 + 6) / 20 = 2 are lower, 10 - (140 + 6) / 20 = 3 upper and
// 5 normal. The value 30 maps to 104: (200 - 104 + 6) / 20 = 5 lit, 5 unlit.
TEST_F(HorizontalBar, MapThroughTheTicksFromTheRightWithZones) {
    auto bar = f.make(220, 60);
    f.h.set(*bar, "tick_pos", int64_t{1});
    f.h.set(*bar, "tick_mode", int64_t{3});
    f.h.set(*bar, "ticks", std::string("0;0;lo|40;20;a|100;100;hi"));
    f.h.set(*bar, "orientation", int64_t{1});
    f.h.set(*bar, "lower_limit", int64_t{1});
    f.h.set(*bar, "lower_value", 10.0);
    f.h.set(*bar, "upper_limit", int64_t{1});
    f.h.set(*bar, "upper_value", 60.0);
    f.h.set(*bar, "lower_bar", int64_t{2});
    f.h.set(*bar, "upper_bar", int64_t{4});
    f.h.set(*bar, "lower_tick", int64_t{2});
    f.h.set(*bar, "upper_tick", int64_t{4});
    f.h.set(*bar, "value", 30.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.h.lines("create_path"), (strings{"create_path 0 flags=1 count=2 [199,17 199,29] -> path1",
                                                 "create_path 0 flags=1 count=2 [119,17 119,29] -> path2",
                                                 "create_path 0 flags=1 count=2 [-1,17 -1,29] -> path3"}));
    EXPECT_EQ(f.h.lines("draw_path"), (strings{"draw_path path1 #ff0000 #ff0000 1", "draw_path path2 #ffffff #ffffff 1",
                                               "draw_path path3 #ff7200 #ff7200 1"}));
    const std::string font = " font=\"fonts/CPMono_v07 Plain.otf\" size=16 colour=";
    EXPECT_EQ(f.h.lines("draw_text"), (strings{"draw_text 191 0 \"lo\"" + font + "#ff0000",
                                               "draw_text 115 0 \"a\"" + font + "#ffffff",
                                               "draw_text -9 0 \"hi\"" + font + "#ff7200"}));
    // Unlit from the left end (r = 6): the three upper ones, then two normal.
    EXPECT_EQ(f.h.lines("fill_rect 0 0"),
              (strings{"fill_rect 0 0 13 15 #2c1c02", "fill_rect 0 0 13 15 #2c1c02", "fill_rect 0 0 13 15 #2c1c02",
                       "fill_rect 0 0 13 15 #082208", "fill_rect 0 0 13 15 #082208"}));
    // Lit from the right end (186): two lower, then three normal, the last with the mark.
    EXPECT_EQ(f.h.lines("translate 1"), (strings{"translate 10 0", "translate 16 37", "translate 196 37"}));
    EXPECT_EQ(f.h.lines("untranslate"), (strings{"untranslate 10 0", "untranslate 116 37", "untranslate 96 37"}));
    EXPECT_EQ(f.count("draw_image_part", "red_fill.9"), 18);
    EXPECT_EQ(f.count("draw_image_part", "green_fill.9"), 18);
    EXPECT_EQ(f.count("draw_image_part", "green_mark.9"), 9);
    EXPECT_EQ(f.count("draw_image_part"), 45);
    // A segment 14 wide and 16 high from the 14 x 20 image: only the rows move.
    EXPECT_TRUE(f.h.has("draw_image_part images/CommonBar/red_fill.9.png 10 16 13 19 -> 10 12 13 15"));
}

TEST_F(HorizontalBar, LabelsAreCentredOnTheirTicksWithoutRotation) {
    auto bar = f.make(220, 80);
    f.h.set(*bar, "tick_pos", int64_t{1});
    f.h.set(*bar, "ticks", std::string(";50;50"));
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_TRUE(f.h.has("set_clip 0 0 219 29"));
    EXPECT_TRUE(f.h.has("translate 10 0"));
    EXPECT_EQ(f.h.lines("create_path"), (strings{"create_path 0 flags=1 count=2 [100,17 100,29] -> path1"}));
    EXPECT_TRUE(f.h.has("draw_text 92 0 \"50\" font=\"fonts/CPMono_v07 Plain.otf\" size=16 colour=#ffffff"));
    EXPECT_EQ(f.count("set_attr 3"), 0);
    EXPECT_TRUE(f.h.has("untranslate 10 0"));
}

TEST_F(HorizontalBar, ShineAlongTopAndBottom) {
    auto bar = f.make(220, 50);
    f.h.set(*bar, "is_modern", int64_t{1});
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_TRUE(f.h.has("load_image images/CommonBar/green_shine_top.png flags=0x7888820 size=200x11 -> ok"));
    int at = f.h.find("draw_image images/CommonBar/green_shine_top.png 10 0 200x11 pivot 0 0");
    ASSERT_GE(at, 0);
    EXPECT_EQ(f.h.trace()[at + 1], "set_attr 3 180");
    EXPECT_EQ(f.h.trace()[at + 2], "draw_image images/CommonBar/green_shine_top.png 10 38 200x11 pivot 100 5.5");
    EXPECT_EQ(f.h.trace()[at + 3], "restore_attr 3");
}

TEST_F(HorizontalBar, ContinuousFillStopsAtTheValue) {
    auto bar = f.make(220, 50);
    f.h.set(*bar, "style", int64_t{1});
    f.h.set(*bar, "value", 50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    int at = f.h.find("set_clip 10 7 110 42");
    ASSERT_GE(at, 0);
    EXPECT_EQ(strings(f.h.trace().begin() + at, f.h.trace().end()),
              (strings{"set_clip 10 7 110 42",
                       "load_image images/CommonBar/green_fill_v.9.png flags=0x7888820 size=native -> ok",
                       "translate 10 7", "image_info images/CommonBar/green_fill_v.9.png 3 -> surface",
                       "draw_image_part images/CommonBar/green_fill_v.9.png 1 1 88 1 -> 0 0 199 35",
                       "untranslate 10 7", "clear_clip"}));
}

TEST_F(HorizontalBar, MessagesCarryItsOwnName) {
    auto bar = f.make(220, 80);
    f.h.set(*bar, "tick_pos", int64_t{2});
    std::string ticks;
    for (int v = 0; v < 51; ++v) ticks += (v ? "|;" : ";") + std::to_string(v);
    f.h.set(*bar, "ticks", ticks);
    f.h.set(*bar, "render_title", std::string("Gear"));
    f.h.rec.fail_text_extent(true);
    EXPECT_EQ(f.draw(*bar), -1);
    EXPECT_EQ(f.h.lines("log"), (strings{"log 1 Common Horizontal Bar: More than 50 ticks are not supported!",
                                         "log 0 Failed to get text extent for Common Horizontal Bar title Gear"}));
    EXPECT_EQ(f.h.trace().back(), "clear_clip");
}

TEST_F(HorizontalBar, CloneOwnsItsStrings) {
    auto bar = f.make(220, 80);
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "ticks", std::string(";0;lo|;100;hi"));
    f.h.set(*bar, "font", std::string("fonts/CPMono_v07 Plain.otf"));
    ASSERT_EQ(f.draw(*bar), 0);
    auto copy = bar->clone();
    bar.reset();
    ASSERT_EQ(f.draw(*copy), 0);
    EXPECT_EQ(f.count("draw_text", "\"lo\""), 1);
    EXPECT_EQ(f.count("draw_text", "\"hi\""), 1);
}

} // namespace
