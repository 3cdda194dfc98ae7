// Common Vertical Bar through the engine: layout, value map, zones, segments, scale, title, shine,
// failure paths, clone and destroy, asserted on the recording context's trace.
#include "level_bar_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace {

using pitwall::testing::level_bar_fixture;
using strings = std::vector<std::string>;

// The nine part copies of a 20 x 14 segment image with 4-pixel borders into a segment 36 wide.
strings segment_parts(const std::string &image) {
    const std::string p = "draw_image_part images/CommonBar/" + image + " ";
    return {p + "0 0 3 3 -> 0 0 3 3",    p + "4 0 15 3 -> 4 0 31 3",    p + "16 0 19 3 -> 32 0 35 3",
            p + "0 4 3 9 -> 0 4 3 9",    p + "4 4 15 9 -> 4 4 31 9",    p + "16 4 19 9 -> 32 4 35 9",
            p + "0 10 3 13 -> 0 10 3 13", p + "4 10 15 13 -> 4 10 31 13", p + "16 10 19 13 -> 32 10 35 13"};
}

strings concat(std::initializer_list<strings> parts) {
    strings out;
    for (const strings &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class VerticalBar : public ::testing::Test {
protected:
    level_bar_fixture f{false};
};

// Height 40: bar_len 20, one segment of (20 + 6) / 20; the value at value_max reaches pixel 20,
// (20 + 7) / 20 = 1 segment lit, carrying the mark image.
TEST_F(VerticalBar, Height40HasOneSegmentLitAtTheTop) {
    auto bar = f.make(50, 40);
    f.h.set(*bar, "value", 100.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.h.trace(), concat({{"get_clip -> none", "set_clip 0 0 49 39", "set_clip 0 10 49 29",
                                    "fill_rect 0 10 1 29 #ffffff", "fill_rect 48 10 49 29 #ffffff",
                                    "set_clip 7 10 42 29", "translate 7 10",
                                    "load_image images/CommonBar/green_fill_v.9.png flags=0x7888820 size=native -> ok",
                                    "load_image images/CommonBar/green_mark_v.9.png flags=0x7888820 size=native -> ok",
                                    "image_info images/CommonBar/green_mark_v.9.png 0 -> 20x14",
                                    "image_info images/CommonBar/green_mark_v.9.png 3 -> surface"},
                                   segment_parts("green_mark_v.9.png"),
                                   {"translate 0 20", "untranslate 7 30", "clear_clip"}}));
    EXPECT_EQ(bar->record()->dirty, 0);

    // Steady state: nothing is loaded or laid out again.
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("load_image"), 0);
    EXPECT_EQ(f.count("image_info", " 0 -> "), 0);
    EXPECT_EQ(f.count("draw_image_part"), 9);
}

TEST_F(VerticalBar, BelowHeight34NoSegmentsButScaleAndTitle) {
    auto bar = f.make(80, 33); // bar_len 13
    f.h.set(*bar, "render_title", std::string("T"));
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "ticks", std::string(";0;0|;100;100"));
    f.h.set(*bar, "value", 100.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("draw_image_part"), 0);
    EXPECT_EQ(f.count("fill_rect", "#082208"), 0);
    EXPECT_EQ(f.count("draw_text", "\"T\""), 1);
    EXPECT_EQ(f.count("draw_text", "\"100\""), 1);
    EXPECT_EQ(f.count("create_path"), 2);
}

// Width 60 with a title and a scale right of the bar: title strip 0..24, bar 25..29 (5 wide),
// scale 30..59; fill_w = 5 - 14 < 0, so only the rails are drawn.
TEST_F(VerticalBar, Width60LayoutLeavesRoomForRailsOnly) {
    auto bar = f.make(60, 100);
    f.h.set(*bar, "render_title", std::string("T"));
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "tick_mode", int64_t{2});
    f.h.set(*bar, "value", 50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    // Title: strip (0, 10, 24, 89), H = 80; alignment 0 starts the upward text at the bottom.
    EXPECT_TRUE(f.h.has("set_clip 0 10 24 89"));
    EXPECT_TRUE(f.h.has("draw_text 0 90 \"T\" font=\"fonts/CPMono_v07 Plain.otf\" size=20 colour=#000000"));
    EXPECT_TRUE(f.h.has("set_clip 30 0 59 99"));
    EXPECT_TRUE(f.h.has("set_clip 25 10 29 89"));
    EXPECT_TRUE(f.h.has("fill_rect 25 10 26 89 #ffffff"));
    EXPECT_TRUE(f.h.has("fill_rect 28 10 29 89 #ffffff"));
    EXPECT_EQ(f.count("set_clip"), 4);
    EXPECT_EQ(f.count("fill_rect"), 2);
}

TEST_F(VerticalBar, TitleAlignmentAlongTheStrip) {
    auto bar = f.make(50, 100); // strip 10..89, H = 80, "AB" is 16 wide
    f.h.set(*bar, "render_title", std::string("AB"));
    f.h.set(*bar, "color_title", int64_t{0x123456});
    f.h.set(*bar, "value", 50.0);
    const std::vector<std::pair<int64_t, int>> cases = {{1, 10 + 16}, {4, 10 + (16 + 80) / 2}, {2, 10 + 80}};
    for (auto [alignment, y] : cases) {
        f.h.set(*bar, "title_alignment", alignment);
        ASSERT_EQ(f.draw(*bar), 0);
        EXPECT_TRUE(f.h.has("draw_text 0 " + std::to_string(y) +
                            " \"AB\" font=\"fonts/CPMono_v07 Plain.otf\" size=20 colour=#123456"))
            << alignment;
        int at = f.h.find("set_attr 3 270");
        ASSERT_GE(at, 0);
        EXPECT_EQ(f.h.trace()[at + 2], "restore_attr 3");
    }
}

// bar_len 200: ten segments; unlit ones from the value_max end (first at 200 - 6 - 14 = 180).
TEST_F(VerticalBar, ValuesAreLimitedToTheRange) {
    auto bar = f.make(50, 220);
    f.h.set(*bar, "value", -50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("fill_rect 0 0 35 13 #082208"), 10);
    EXPECT_EQ(f.count("draw_image_part"), 0);
    EXPECT_TRUE(f.h.has("translate 7 190"));
    EXPECT_TRUE(f.h.has("untranslate 7 -10")); // 190 - 10 x 20

    f.h.set(*bar, "value", 150.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("fill_rect", "#082208"), 0);
    EXPECT_EQ(f.count("draw_image_part", "green_fill_v"), 81);
    EXPECT_EQ(f.count("draw_image_part", "green_mark_v"), 9);
}

TEST_F(VerticalBar, EqualBoundsLightNothing) {
    auto bar = f.make(50, 220);
    f.h.set(*bar, "value_min", 50.0);
    f.h.set(*bar, "value_max", 50.0);
    for (double v : {0.0, 50.0, 100.0}) {
        f.h.set(*bar, "value", v);
        ASSERT_EQ(f.draw(*bar), 0);
        EXPECT_EQ(f.count("fill_rect 0 0 35 13 #082208"), 10) << v;
        EXPECT_EQ(f.count("draw_image_part"), 0) << v;
    }
}

// tick_mode 3 with value_min = value_max = 50 and one tick ";50": the tick has no position (-1.0:
// pixel 200 x -1 / 100 = -2 top-down, -200 x -1 / 100 + 199 = 201 bottom-up) and the ticks leave no
// piece of map, so the value sits on the value_min end's first pixel. bar_len 200: ten segments, all
// unlit, drawn from the value_max end (first at 180 top-down, at r = 6 bottom-up); the lit walk
// starts at 0 or 186 and draws nothing.
TEST_F(VerticalBar, EqualBoundsThroughTheTicksLightNothingInEitherOrientation) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "value_min", 50.0);
    f.h.set(*bar, "value_max", 50.0);
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "tick_mode", int64_t{3});
    f.h.set(*bar, "ticks", std::string(";50"));
    f.h.set(*bar, "value", 50.0);
    const std::vector<std::tuple<int64_t, std::string, strings>> cases = {
        {0, "[0,-2 12,-2]", {"translate 7 190", "translate 7 10"}},
        {1, "[0,201 12,201]", {"translate 7 16", "translate 7 196"}}};
    for (const auto &[orientation, mark, starts] : cases) {
        f.h.set(*bar, "orientation", orientation);
        ASSERT_EQ(f.draw(*bar), 0);
        EXPECT_EQ(f.count("create_path", mark), 1) << orientation;
        EXPECT_EQ(f.h.lines("translate 7"), starts) << orientation;
        EXPECT_EQ(f.count("fill_rect 0 0 35 13 #082208"), 10) << orientation;
        EXPECT_EQ(f.count("draw_image_part"), 0) << orientation;
    }
}

// Limits whose values are no numbers: no value enters them and no tick lies in their zones, so no
// mark line and no segment does either. Ticks 0 and 100 at pixels 0 and
// 200 are white, and a full value lights ten green segments in both orientations.
TEST_F(VerticalBar, LimitsThatAreNoNumbersBoundNoZone) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "ticks", std::string(";0|;100"));
    f.h.set(*bar, "lower_limit", int64_t{1});
    f.h.set(*bar, "lower_value", std::nan(""));
    f.h.set(*bar, "upper_limit", int64_t{1});
    f.h.set(*bar, "upper_value", std::nan(""));
    f.h.set(*bar, "lower_bar", int64_t{3});
    f.h.set(*bar, "upper_bar", int64_t{2});
    f.h.set(*bar, "lower_tick", int64_t{3});
    f.h.set(*bar, "upper_tick", int64_t{2});
    f.h.set(*bar, "value", 100.0);
    for (int64_t orientation : {0, 1}) {
        f.h.set(*bar, "orientation", orientation);
        ASSERT_EQ(f.draw(*bar), 0);
        EXPECT_EQ(f.count("draw_path", "#ffffff #ffffff 1"), 2) << orientation;
        EXPECT_EQ(f.count("draw_path"), 2) << orientation;
        EXPECT_EQ(f.count("draw_image_part", "green_fill_v"), 81) << orientation;
        EXPECT_EQ(f.count("draw_image_part", "green_mark_v"), 9) << orientation;
        EXPECT_EQ(f.count("draw_image_part"), 90) << orientation;
    }
}

TEST_F(VerticalBar, InvertedRangeAndNaNValueDrawAsTheRangeStart) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "value_min", 100.0);
    f.h.set(*bar, "value_max", 0.0);
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "ticks", std::string(";0|;50|;100"));
    f.h.set(*bar, "value", 50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("fill_rect 0 0 35 13 #082208"), 10);
    EXPECT_EQ(f.count("draw_image_part"), 0);
    EXPECT_EQ(f.count("create_path"), 0); // no tick lies in an empty range

    f.h.set(*bar, "value_min", 0.0);
    f.h.set(*bar, "value_max", 100.0);
    f.h.set(*bar, "value", std::nan(""));
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("fill_rect 0 0 35 13 #082208"), 10);
    EXPECT_EQ(f.count("draw_image_part"), 0);

    f.h.set(*bar, "value_max", INFINITY);
    f.h.set(*bar, "value", 1e30);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("draw_image_part"), 0);
}

// Value 60 on bar_len 200: orientation 0 maps it to pixel 120, (120 + 7) / 20 = 6 lit; orientation 1
// to 199 - 120 = 79, (200 - 79 + 6) / 20 = 6 lit, growing from the bottom segment at 186.
TEST_F(VerticalBar, OrientationOneFillsUpward) {
    auto bar = f.make(50, 220);
    f.h.set(*bar, "value", 60.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.h.lines("translate 7"), (strings{"translate 7 190", "translate 7 10"}));
    EXPECT_EQ(f.h.lines("untranslate"), (strings{"untranslate 7 110", "untranslate 7 130"}));

    f.h.set(*bar, "orientation", int64_t{1});
    ASSERT_EQ(f.draw(*bar), 0);
    // Unlit from the top (r = 6) downward, lit from 186 upward.
    EXPECT_EQ(f.h.lines("translate 7"), (strings{"translate 7 16", "translate 7 196"}));
    EXPECT_EQ(f.h.lines("untranslate"), (strings{"untranslate 7 96", "untranslate 7 76"}));
    EXPECT_EQ(f.count("translate 0 20"), 4);
    EXPECT_EQ(f.count("translate 0 -20"), 6);
    EXPECT_EQ(f.count("draw_image_part", "green_mark_v"), 9);

    f.h.set(*bar, "value", 100.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("fill_rect", "#082208"), 0);
    EXPECT_EQ(f.count("draw_image_part"), 90);
}

TEST_F(VerticalBar, TickModeOneHasANarrowScaleWithoutLabels) {
    auto bar = f.make(60, 220);
    f.h.set(*bar, "tick_pos", int64_t{1});
    f.h.set(*bar, "tick_mode", int64_t{1});
    f.h.set(*bar, "ticks", std::string(";0;0|;100;100"));
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_TRUE(f.h.has("set_clip 0 0 14 219"));               // scale 15 wide at x0
    EXPECT_TRUE(f.h.has("fill_rect 15 10 16 209 #ffffff"));    // bar after it
    EXPECT_EQ(f.h.lines("create_path"),
              (strings{"create_path 0 flags=1 count=2 [2,0 14,0] -> path1",
                       "create_path 0 flags=1 count=2 [2,200 14,200] -> path2"}));
    EXPECT_EQ(f.count("draw_path", "#ffffff #ffffff 1"), 2);
    EXPECT_EQ(f.count("draw_text"), 0);
    EXPECT_TRUE(f.h.has("set_attr 5 2"));
}

// tick_mode 3 with ticks at 0 %, 50 % and 100 % for the values 0, 10 and 100: the value 10 sits at
// the middle of the bar (pixel 100, 5 segments lit); the linear map puts it at pixel 20 (1 lit).
TEST_F(VerticalBar, TickModeThreeMapsThroughTheTicks) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "tick_mode", int64_t{3});
    f.h.set(*bar, "ticks", std::string("0;0;0|50;10;10|100;100;100"));
    f.h.set(*bar, "value", 10.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("draw_image_part"), 45);
    // Label "10" (16 wide) rotated, centred on pixel 100 of the scale at x 11.
    EXPECT_TRUE(f.h.has("draw_text 11 108 \"10\" font=\"fonts/CPMono_v07 Plain.otf\" size=16 colour=#ffffff"));
    EXPECT_TRUE(f.h.has("translate 50 10")); // scale area at x0 + 80 - 30

    f.h.set(*bar, "tick_mode", int64_t{2});
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("draw_image_part"), 9);
    EXPECT_TRUE(f.h.has("draw_text 11 28 \"10\" font=\"fonts/CPMono_v07 Plain.otf\" size=16 colour=#ffffff"));
}

TEST_F(VerticalBar, SubsectionsAddShortInnerMarks) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "subsections", int64_t{4});
    f.h.set(*bar, "ticks", std::string(";0|;100"));
    ASSERT_EQ(f.draw(*bar), 0);
    strings points;
    for (const std::string &l : f.h.lines("create_path"))
        points.push_back(l.substr(l.find('['), l.find(']') - l.find('[') + 1));
    EXPECT_EQ(points, (strings{"[0,0 12,0]", "[0,50 5.5,50]", "[0,100 5.5,100]", "[0,150 5.5,150]",
                               "[0,200 12,200]"}));
}

// Upper limit at 80 on 0..100, bar_len 200: (160 + 6) / 20 = 8 segments normal, 2 upper.
TEST_F(VerticalBar, UpperLimitSplitsTheLastTwoSegments) {
    auto bar = f.make(50, 220);
    f.h.set(*bar, "upper_limit", int64_t{1});
    f.h.set(*bar, "upper_value", 80.0);
    f.h.set(*bar, "upper_bar", int64_t{2});
    f.h.set(*bar, "value", 100.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("draw_image_part", "green_fill_v"), 72);
    EXPECT_EQ(f.count("draw_image_part", "red_fill_v"), 9);
    EXPECT_EQ(f.count("draw_image_part", "red_mark_v"), 9);
    EXPECT_EQ(f.count("draw_image_part", "green_mark_v"), 0);
    int last_green = -1, first_red = -1;
    for (int i = 0; i < static_cast<int>(f.h.trace().size()); ++i) {
        if (f.h.trace()[i].find("green_fill_v.9.png 0 0") != std::string::npos) last_green = i;
        if (first_red < 0 && f.h.trace()[i].find("red_fill_v.9.png 0 0") != std::string::npos) first_red = i;
    }
    EXPECT_LT(last_green, first_red);

    // Value 50: 5 lit; the unlit ones from the far end: 2 upper (dark red), then 3 normal.
    f.h.set(*bar, "value", 50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    strings unlit = f.h.lines("fill_rect 0 0 35 13");
    EXPECT_EQ(unlit, (strings{"fill_rect 0 0 35 13 #370303", "fill_rect 0 0 35 13 #370303",
                              "fill_rect 0 0 35 13 #082208", "fill_rect 0 0 35 13 #082208",
                              "fill_rect 0 0 35 13 #082208"}));
}

TEST_F(VerticalBar, InvalidColourIndicesSkipTheirZones) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "upper_limit", int64_t{1});
    f.h.set(*bar, "upper_value", 80.0);
    f.h.set(*bar, "upper_bar", int64_t{0});
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "ticks", std::string(";0;a|;50;b|;90;c|;100;d"));
    f.h.set(*bar, "color_tick", int64_t{0});
    f.h.set(*bar, "upper_tick", int64_t{2});
    f.h.set(*bar, "value", 50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    // Unlit: the upper zone is skipped without moving, five normal ones from the far end.
    EXPECT_EQ(f.count("fill_rect 0 0 35 13 #082208"), 5);
    EXPECT_EQ(f.count("fill_rect 0 0 35 13 #370303"), 0);
    EXPECT_EQ(f.count("translate 0 -20"), 5);
    // Marks: the normal zone (2 lines) is skipped without advancing, so the two upper lines drawn
    // in red are the first two lines.
    EXPECT_EQ(f.h.lines("create_path"), (strings{"create_path 0 flags=1 count=2 [0,0 12,0] -> path1",
                                                 "create_path 0 flags=1 count=2 [0,100 12,100] -> path2"}));
    EXPECT_EQ(f.count("draw_path", "#ff0000 #ff0000"), 2);
    // Labels of the skipped zone fall to the upper zone's walk and its colour.
    EXPECT_EQ(f.count("draw_text", "colour=#ff0000"), 4);

    // Full value: the upper zone's two segments are never lit, so no mark image.
    f.h.set(*bar, "value", 100.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("draw_image_part", "green_fill_v"), 72);
    EXPECT_EQ(f.count("draw_image_part", "mark"), 0);
}

// The tick-list rules as a bar shows them (scale right of a bar 200 long: pixel = 2 x value).
TEST_F(VerticalBar, TickListThroughTheBar) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "tick_pos", int64_t{2});
    auto marks = [&] {
        strings ys;
        for (const std::string &l : f.h.lines("create_path"))
            ys.push_back(l.substr(l.find('['), l.find(']') - l.find('[') + 1));
        return ys;
    };
    f.h.set(*bar, "ticks", pitwall::null_string{});
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("create_path"), 0);
    f.h.set(*bar, "ticks", std::string(""));
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("create_path"), 0);

    f.h.set(*bar, "ticks", std::string("100;100|0;0|50;50"));
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(marks(), (strings{"[0,0 12,0]", "[0,100 12,100]", "[0,200 12,200]"}));

    f.h.set(*bar, "ticks", std::string("0;10;a|0;10;b|-5;-5;c|105;105;d|0;0||"));
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("create_path"), 2);
    EXPECT_EQ(f.count("draw_text", "\"a\""), 1);
    EXPECT_EQ(f.count("draw_text", "\"b\""), 0);
    EXPECT_EQ(f.count("draw_text", "\"c\""), 0);

    // Field 1 counts with tick_mode 3 only when it is given.
    f.h.set(*bar, "tick_mode", int64_t{3});
    f.h.set(*bar, "ticks", std::string(";5|80;10"));
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(marks(), (strings{"[0,10 12,10]", "[0,160 12,160]"}));
}

TEST_F(VerticalBar, ValueChangesNeverReparseTicks) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "tick_pos", int64_t{2});
    std::string ticks;
    for (int v = 0; v < 60; ++v) ticks += (v ? "|;" : ";") + std::to_string(v);
    f.h.set(*bar, "ticks", ticks);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.h.lines("log"), (strings{"log 1 Common Vertical Bar: More than 50 ticks are not supported!"}));
    for (double v : {10.0, 20.0}) {
        f.h.set(*bar, "value", v);
        ASSERT_EQ(f.draw(*bar), 0);
        EXPECT_EQ(f.count("log"), 0);
        EXPECT_EQ(f.count("create_path"), 50);
    }
    // color_tick is a level-1 attribute: the next draw uses it without a relayout.
    f.h.set(*bar, "color_tick", int64_t{6});
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("draw_path", "#00b4ff"), 50);
    EXPECT_EQ(f.count("log"), 0);
    // ticks is a level-0 attribute.
    f.h.set(*bar, "subsections", int64_t{1});
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("log"), 1);
}

TEST_F(VerticalBar, ShineIsLoadedOncePerStateAndReleasedAtRelayout) {
    auto bar = f.make(50, 220);
    f.h.set(*bar, "is_modern", int64_t{1});
    f.h.set(*bar, "upper_limit", int64_t{1});
    f.h.set(*bar, "upper_value", 80.0);
    f.h.set(*bar, "upper_bar", int64_t{2});
    const std::string green = "load_image images/CommonBar/green_shine_left.png flags=0x7888820 size=11x200 -> ok";
    const std::string red = "load_image images/CommonBar/red_shine_left.png flags=0x7888820 size=11x200 -> ok";
    f.h.set(*bar, "value", 50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.h.lines("load_image images/CommonBar/green_shine"), (strings{green}));
    EXPECT_TRUE(f.h.has("draw_image images/CommonBar/green_shine_left.png 0 10 11x200 pivot 0 0"));
    EXPECT_TRUE(f.h.has("draw_image images/CommonBar/green_shine_left.png 38 10 11x200 pivot 5.5 100"));
    int at = f.h.find("set_attr 3 180");
    ASSERT_GE(at, 0);
    EXPECT_EQ(f.h.trace()[at + 2], "restore_attr 3");
    EXPECT_EQ(f.count("fill_rect", "#ffffff"), 0);

    f.h.set(*bar, "value", 90.0);
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.h.lines("load_image images/CommonBar/red_shine"), (strings{red}));
    for (double v : {50.0, 90.0}) {
        f.h.set(*bar, "value", v);
        ASSERT_EQ(f.draw(*bar), 0);
        EXPECT_EQ(f.count("load_image"), 0) << v;
    }
    // A new size releases both and loads the current state's at the new length.
    f.h.set(*bar, "height", int64_t{120});
    ASSERT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("release_image", "shine_left"), 2);
    EXPECT_EQ(f.h.lines("load_image"),
              (strings{"load_image images/CommonBar/red_shine_left.png flags=0x7888820 size=11x100 -> ok"}));
    // Destroy releases the one it holds through the render context outside draws.
    f.h.rec.clear_trace();
    bar.reset();
    EXPECT_EQ(f.h.trace(), (strings{"release_image images/CommonBar/red_shine_left.png"}));
}

TEST_F(VerticalBar, TwoInstancesShareThePluginWideImages) {
    auto a = f.make(50, 220);
    auto b = f.make(50, 220);
    f.h.set(*a, "value", 100.0);
    f.h.set(*b, "value", 100.0);
    ASSERT_EQ(f.draw(*a), 0);
    EXPECT_EQ(f.count("load_image"), 2);
    ASSERT_EQ(f.draw(*b), 0);
    EXPECT_EQ(f.count("load_image"), 0);
    EXPECT_EQ(f.count("draw_image_part"), 90);
    // Destroying an instance releases nothing shared.
    f.h.rec.clear_trace();
    a.reset();
    EXPECT_EQ(f.count("release_image"), 0);
    ASSERT_EQ(f.draw(*b), 0);
    EXPECT_EQ(f.count("released:"), 0);
}

// Segment, mark and continuous-fill images live in the plug-in's cache until fini; the shine is the
// instance's and goes with it.
TEST_F(VerticalBar, PluginWideImagesAreReleasedAtFiniOnly) {
    auto segments = f.make(50, 220);
    f.h.set(*segments, "is_modern", int64_t{1});
    f.h.set(*segments, "value", 100.0);
    auto fill = f.make(50, 220);
    f.h.set(*fill, "style", int64_t{1});
    f.h.set(*fill, "value", 50.0);
    ASSERT_EQ(f.draw(*segments), 0);
    ASSERT_EQ(f.draw(*fill), 0);
    f.h.rec.clear_trace();
    segments.reset();
    fill.reset();
    EXPECT_EQ(f.h.trace(), (strings{"release_image images/CommonBar/green_shine_left.png"}));
    f.h.rec.clear_trace();
    f.h.eng.unload_all();
    strings released = f.h.lines("release_image");
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (strings{"release_image images/CommonBar/green_fill.9.png",
                                 "release_image images/CommonBar/green_fill_v.9.png",
                                 "release_image images/CommonBar/green_mark_v.9.png"}));
    EXPECT_EQ(f.h.rec.live_images(), 0);
}

TEST_F(VerticalBar, CloneDrawsAfterItsSourceIsDestroyed) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "render_title", std::string("Oil"));
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "ticks", std::string(";0;0|;50;50|;100;100"));
    f.h.set(*bar, "is_modern", int64_t{1});
    f.h.set(*bar, "value", 70.0);
    ASSERT_EQ(f.draw(*bar), 0);
    ASSERT_EQ(f.draw(*bar), 0);
    const strings steady = f.h.trace();

    // Path handles are numbered by the context; compare the traces without them.
    auto without_paths = [](strings t) {
        for (std::string &l : t) l = std::regex_replace(l, std::regex(" path[0-9]+"), " path");
        return t;
    };
    auto copy = bar->clone();
    f.h.rec.clear_trace();
    bar.reset();
    EXPECT_EQ(f.h.trace(), (strings{"release_image images/CommonBar/green_shine_left.png"}));
    ASSERT_EQ(f.draw(*copy), 0); // relayout, its own shine
    EXPECT_EQ(f.count("load_image", "green_shine_left"), 1);
    ASSERT_EQ(f.draw(*copy), 0);
    EXPECT_EQ(without_paths(f.h.trace()), without_paths(steady));
}

TEST_F(VerticalBar, FailedLoadsReturnMinusOneAfterRestoringTheClip) {
    f.h.rec.remove_image("images/CommonBar/green_mark_v.9.png");
    auto bar = f.make(50, 220);
    f.h.set(*bar, "value", 50.0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(f.draw(*bar), -1);
        EXPECT_EQ(f.count("load_image images/CommonBar/green_mark_v.9.png"), 1);
        EXPECT_EQ(f.h.trace().back(), "clear_clip");
        // The load fails before the first lit segment: the lit translation is undone as it stands.
        EXPECT_EQ(f.h.trace()[f.h.trace().size() - 2], "untranslate 7 10");
        EXPECT_GT(bar->record()->dirty, 0);
    }

    // A clip set before the draw is put back.
    gr_rect_t outer{0, 0, 400, 400};
    f.h.rec.set_clip_state(outer);
    EXPECT_EQ(f.draw(*bar), -1);
    EXPECT_EQ(f.h.trace().back(), "set_clip 0 0 400 400");
}

TEST_F(VerticalBar, ShineFailures) {
    auto bar = f.make(50, 220);
    f.h.set(*bar, "is_modern", int64_t{1});
    f.h.set(*bar, "color_bar", int64_t{8}); // not a palette index: no load attempted
    EXPECT_EQ(f.draw(*bar), -1);
    EXPECT_EQ(f.count("load_image"), 0);
    EXPECT_EQ(f.h.trace().back(), "clear_clip");

    f.h.set(*bar, "color_bar", int64_t{3});
    f.h.rec.remove_image("images/CommonBar/yellow_shine_left.png");
    EXPECT_EQ(f.draw(*bar), -1);
    EXPECT_EQ(f.count("load_image", "-> null"), 1);
    EXPECT_EQ(f.h.trace().back(), "clear_clip");
}

TEST_F(VerticalBar, SegmentLayoutFailsWhenItsSizeCannotBeRead) {
    f.h.rec.fail_size_query("images/CommonBar/green_mark_v.9.png");
    auto bar = f.make(50, 220);
    f.h.set(*bar, "value", 100.0);
    EXPECT_EQ(f.draw(*bar), -1);
    EXPECT_TRUE(f.h.has("image_info images/CommonBar/green_mark_v.9.png 0 -> fail"));
    EXPECT_EQ(f.h.trace().back(), "clear_clip");
}

TEST_F(VerticalBar, TitleExtentFailureEndsTheFrame) {
    auto bar = f.make(50, 220);
    f.h.set(*bar, "render_title", std::string("Fuel"));
    f.h.rec.fail_text_extent(true);
    EXPECT_EQ(f.draw(*bar), -1);
    EXPECT_EQ(f.h.lines("log"),
              (strings{"log 0 Failed to get text extent for Common Vertical Bar title Fuel"}));
    EXPECT_EQ(f.h.trace().back(), "clear_clip");
    EXPECT_EQ(f.count("fill_rect"), 0);
}

TEST_F(VerticalBar, AMissingFontLeavesOutTheTextOnly) {
    auto bar = f.make(80, 220);
    f.h.set(*bar, "font", std::string("fonts/none.otf"));
    f.h.set(*bar, "render_title", std::string("Fuel"));
    f.h.set(*bar, "tick_pos", int64_t{2});
    f.h.set(*bar, "ticks", std::string(";0;0|;100;100"));
    f.h.set(*bar, "value", 100.0);
    EXPECT_EQ(f.draw(*bar), 0);
    EXPECT_EQ(f.count("draw_text"), 0);
    EXPECT_EQ(f.count("log 0 Common Vertical Bar: Couldn't get font reference fonts/none.otf"), 2);
    EXPECT_EQ(f.count("create_path"), 2);
    EXPECT_EQ(f.count("draw_image_part"), 90);
}

TEST_F(VerticalBar, ContinuousFillStopsAtTheValue) {
    auto bar = f.make(50, 220);
    f.h.set(*bar, "style", int64_t{1});
    f.h.set(*bar, "value", 50.0);
    ASSERT_EQ(f.draw(*bar), 0);
    int at = f.h.find("set_clip 7 10 42 110"); // fill area bottom moved to 10 + 100
    ASSERT_GE(at, 0);
    EXPECT_EQ(strings(f.h.trace().begin() + at, f.h.trace().end()),
              (strings{"set_clip 7 10 42 110",
                       "load_image images/CommonBar/green_fill.9.png flags=0x7888820 size=native -> ok",
                       "translate 7 10", "image_info images/CommonBar/green_fill.9.png 3 -> surface",
                       "draw_image_part images/CommonBar/green_fill.9.png 1 1 1 88 -> 0 0 35 199",
                       "untranslate 7 10", "clear_clip"}));
    EXPECT_EQ(f.count("fill_rect 0 0 35 13 #082208"), 5);

    f.h.set(*bar, "color_bar", int64_t{0});
    EXPECT_EQ(f.draw(*bar), -1);
    EXPECT_EQ(f.h.trace().back(), "clear_clip");
}

} // namespace
