// Modern Gauge Large through the real library: layout at several sizes, draw order, value to angle,
// the tick scale with its modes, zones and labels, thresholds, the value caption, the attribute
// protocol, failures, clone and destroy, asserted on the recording context's trace.
#include "gauge_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace pitwall::testing;
using pitwall::attr_value;
using strings = std::vector<std::string>;

const std::string k_needle = "images/ModernGauge/needle_large.png";
const std::string k_load = "load_image " + k_needle + " flags=0x7888820 size=";
const std::string k_font_tail = " font=\"fonts/CPMono_v07 Plain.otf\" size=";

// 0..100 over 270 degrees from 7:30 (stored 135), value 25 (202.5); every colour told apart.
const attr_list k_base = {
    {"text", std::string("<channel value> km/h")}, {"decimals", int64_t{1}}, {"font_size", int64_t{20}},
    {"value_min", 0.0}, {"value_max", 100.0}, {"angle_start", 45.0}, {"angle_span", 270.0}, {"value", 25.0},
    {"lower_gauge", int64_t{0xff0000}}, {"color_gauge", int64_t{0x00ff00}}, {"upper_gauge", int64_t{0x0000ff}},
    {"lower_text", int64_t{0x110000}}, {"color_text", int64_t{0x001100}}, {"upper_text", int64_t{0x000011}},
    {"lower_tick", int64_t{0x220000}}, {"color_tick", int64_t{0x002200}}, {"upper_tick", int64_t{0x000022}}};

// Limits at 20 and 80: values up to 20 lie in zone 0, from 80 on in zone 2.
const attr_list k_zones = {
    {"lower_limit", int64_t{1}}, {"lower_value", 20.0}, {"upper_limit", int64_t{1}}, {"upper_value", 80.0}};

struct modern_large : ::testing::Test {
    gauge_fixture f{"libgre-plugin-ArcGaugeLarge"};
    void SetUp() override { f.stage({k_needle}); }
    std::unique_ptr<pitwall::instance> make(const attr_list &extra = {}) {
        auto g = f.make(k_base);
        f.set(*g, extra);
        return g;
    }
    int draw(pitwall::instance &g, int16_t size = 440) { return f.draw(g, size, size); }
    std::vector<point> marks() const { // the inner end of every tick mark
        std::vector<point> out;
        for (const std::string &l : f.h.lines("create_path 0 ")) out.push_back(path_points(l).at(0));
        return out;
    }
    strings labels() const { // the labels' texts, tick labels being size 16
        strings out;
        for (const std::string &l : f.h.lines("draw_text"))
            if (const size_t open = l.find('"') + 1; l.find(k_font_tail + "16 ") != std::string::npos)
                out.push_back(l.substr(open, l.find("\" font=") - open));
        return out;
    }
};

// scale s = (size - 80) / 360; needle trunc(110 s + 0.5) x trunc(6 s + 0.5) at (size - 35 - w,
// (size - h) / 2), pivot (size / 2 - x - 0.5, h / 2 - 0.5); ring D = size - 80 with band 55 s, edge
// D + 10 (2 thick), shadow 317 s down to the band's inner edge; caption inset trunc(55 s + 40.5).
// The scale starts at 3 o'clock (angle_start -90): the tick 0's major mark runs from c - 35 to
// c - 25, its label "0" (8 x 16) sits at (trunc(2c - 15 - 4 + 0.5), trunc(c - 16 + 0.5)).
// One instance throughout: every new size releases the needle and loads it at the new size.
TEST_F(modern_large, layout_scales_needle_ring_caption_and_scale_with_the_gauge_square) {
    struct row {
        int16_t w, h, x, y;
        std::string square, load, caption, mark, label;
        double needle_x, needle_y, pivot_x, pivot_y, cx, cy, radius, band, shadow;
    };
    const double s240 = 160 / 360.0, s300 = 220 / 360.0;
    const std::vector<row> rows = {
        {440, 440, 0, 0, "set_clip 0 0 439 439", "110x6", "set_clip 95 95 344 344", "[405,220 415,220]",
         "draw_text 421 204 \"0\"", 295, 217, -75.5, 2.5, 220, 220, 180, 55, 158.5},
        // At (10, 20); s = 160 / 360: 49 x 3 at (156, 118.5), inset trunc(24.44 + 40.5) = 64.
        {240, 240, 10, 20, "set_clip 10 20 249 259", "49x3", "set_clip 74 84 185 195", "[205,120 215,120]",
         "draw_text 221 104 \"0\"", 166, 138.5, -36.5, 1, 130, 140, 80, 55 * s240, 317 * s240 / 2},
        // 500 x 300: the left 300 x 300; s = 220 / 360: 67 x 4 at (198, 148), inset trunc(33.6 + 40.5) = 74.
        {500, 300, 0, 0, "set_clip 0 0 299 299", "67x4", "set_clip 74 74 225 225", "[265,150 275,150]",
         "draw_text 281 134 \"0\"", 198, 148, -48.5, 1.5, 150, 150, 110, 55 * s300, 317 * s300 / 2},
    };
    auto g = make({{"angle_start", -90.0}, {"value", 50.0}, {"ticks", std::string(";0;0")}});
    for (const row &r : rows) {
        SCOPED_TRACE(r.square);
        ASSERT_EQ(f.draw(*g, r.w, r.h, r.x, r.y), 0);
        EXPECT_EQ(f.h.lines("set_clip").front(), r.square);
        EXPECT_EQ(f.h.lines("translate"), strings{"translate " + std::to_string(r.x) + " " + std::to_string(r.y)});
        EXPECT_EQ(f.h.lines("release_image"), &r == &rows[0] ? strings{} : strings{"release_image " + k_needle});
        EXPECT_EQ(f.h.lines("load_image"), strings{k_load + r.load + " -> ok"});
        expect_image_draw(f.h.lines("draw_image").at(0), k_needle, r.needle_x, r.needle_y, std::stoi(r.load),
                          std::stoi(r.load.substr(r.load.find('x') + 1)), r.pivot_x, r.pivot_y);
        EXPECT_EQ(f.rotation(), 135); // 50 of 0..100 over 270 from 0
        EXPECT_EQ(f.count("create_path 0 ", r.mark), 1);
        EXPECT_EQ(f.count(r.label + k_font_tail + "16 colour=#002200"), 1);
        EXPECT_EQ(f.h.find(r.caption) + 1, f.h.find(f.h.lines("draw_text").back()));
        // Arc and edge start at 3 o'clock on their outer edges; arc and shadow close on the band's inner edge.
        const std::vector<point> arc = f.band("#00ff00"), edge = f.band("#ffffff"), shadow = f.band("#000000");
        ASSERT_FALSE(arc.empty() || edge.empty() || shadow.empty());
        expect_point(arc.front(), {r.cx + r.radius, r.cy});
        expect_point(arc.back(), {r.cx + r.radius - r.band, r.cy});
        expect_point(edge.front(), {r.cx + r.radius + 5, r.cy});
        expect_point(edge.back(), {r.cx + r.radius + 3, r.cy});
        expect_point(shadow.front(), {r.cx + r.shadow, r.cy});
        expect_point(shadow.back(), {r.cx + r.radius - r.band, r.cy});
    }
}

// Marks (line width 2) and labels inside the square's translation; the remainder at alpha 160, arc
// and edge at 255, shadow at 38; the needle turned to the value; the caption in its own clip.
TEST_F(modern_large, draw_order_and_alphas) {
    auto g = make({{"angle_start", -90.0}, {"value", 50.0}, {"ticks", std::string(";0;0")}});
    ASSERT_EQ(draw(*g), 0);
    EXPECT_EQ(f.trace_without({"create_path", "free_path", "res_", "text_extent", "font_metrics", "draw_image"}),
              (strings{"get_clip -> none", "set_clip 0 0 439 439", "translate 0 0", "set_attr 5 2",
                       "draw_path path #002200 #002200 1", "restore_attr 5",
                       "draw_text 421 204 \"0\"" + k_font_tail + "16 colour=#002200", "untranslate 0 0",
                       "set_attr 2 160", "draw_path path #121212 #121212 1", "set_attr 2 255",
                       "draw_path path #00ff00 #00ff00 1", "set_attr 2 255", "draw_path path #ffffff #ffffff 1",
                       "set_attr 2 38", "draw_path path #000000 #000000 1", "restore_attr 2", k_load + "110x6 -> ok",
                       "set_attr 3 135", "restore_attr 3", "set_clip 95 95 344 344",
                       "draw_text 273 210 \"50.0 km/h\"" + k_font_tail + "20 colour=#001100", "clear_clip"}));
    EXPECT_EQ(f.h.find("restore_attr 3") - 1, f.h.find(f.h.lines("draw_image").at(0)));
    EXPECT_EQ(g->record()->dirty, 0);
}

// Centre (220, 220), ring radius 180. The dark remainder runs from the needle a whole turn on from
// the start, in the scale's direction (its polygon starts at the smaller end); the value arc from
// the start to the needle.
TEST_F(modern_large, value_to_angle_clamps_to_the_range_and_turns_with_the_span) {
    struct row {
        double start, span, min, max, value, needle, remainder_from;
        std::optional<double> arc_from; // none: start and needle coincide
    };
    const std::vector<row> rows = {
        {45, 270, 0, 100, 25, 202.5, 202.5, 135}, // 135 + 25 * 2.7; remainder to 495
        {45, 270, 0, 100, -10, 135, 135, {}},     // clamped to the start
        {45, 270, 0, 100, 150, 405, 405, 135},    // clamped to the end
        {45, 270, 0, 100, NAN, 135, 135, {}},     // no number: value_min
        {45, 270, 50, 50, 70, 135, 135, {}},      // no range: the start
        {45, 270, 100, 0, 50, 135, 135, {}},      // inverted range: the start
        {45, -270, 0, 100, 25, 67.5, -225, 67.5}, // counter-clockwise; remainder from 135 - 360
    };
    for (const row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.start << " " << r.span << " " << r.min << ".." << r.max << " "
                                        << r.value);
        auto g = make({{"angle_start", r.start}, {"angle_span", r.span}, {"value_min", r.min}, {"value_max", r.max},
                       {"value", r.value}});
        ASSERT_EQ(draw(*g), 0);
        EXPECT_NEAR(f.rotation(), r.needle, 1e-3);
        const std::vector<point> remainder = f.band("#121212"), arc = f.band("#00ff00");
        ASSERT_FALSE(remainder.empty());
        expect_point(remainder.front(), polar(220, 220, 180, r.remainder_from));
        EXPECT_EQ(arc.empty(), !r.arc_from);
        EXPECT_EQ(f.band("#ffffff").empty(), !r.arc_from);
        if (r.arc_from && !arc.empty()) expect_point(arc.front(), polar(220, 220, 180, *r.arc_from));
    }
}

// Ticks 0, 50 (explicit position 180) and 100 over 0..100 from 135: the inner ends (radius 185) of
// the major marks, and the needle. Mode 3 bends the map through the ticks (0..50 over 180 degrees,
// 50..100 over 90; a single tick at 50 placed at 90 splits the scale into 0..50 over 90 and 50..100
// over 180), mode 4 only places the ticks, mode 2 ignores the positions. A position counts
// clockwise even on a counter-clockwise scale.
TEST_F(modern_large, tick_mode_places_the_ticks_and_bends_the_needle_map) {
    const std::string three = "0;0|180;50|;100;100";
    struct row {
        std::string ticks;
        int64_t mode;
        double span, value;
        std::vector<double> tick_angles;
        double needle;
    };
    const std::vector<row> rows = {
        {three, 2, 270, 25, {135, 270, 405}, 202.5}, {three, 3, 270, 25, {135, 315, 405}, 225},
        {three, 3, 270, 75, {135, 315, 405}, 360},   {three, 4, 270, 50, {135, 315, 405}, 270},
        {three, 4, -270, 50, {135, 315, -135}, 0},   {"90;50", 3, 270, 25, {225}, 180},
        {"90;50", 3, 270, 75, {225}, 315}};
    for (const row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.ticks << " mode " << r.mode << " span " << r.span << " " << r.value);
        auto g = make({{"ticks", r.ticks}, {"tick_mode", r.mode}, {"angle_span", r.span}, {"value", r.value}});
        ASSERT_EQ(draw(*g), 0);
        const std::vector<point> m = marks();
        ASSERT_EQ(m.size(), r.tick_angles.size());
        for (size_t i = 0; i < m.size(); ++i) expect_point(m[i], polar(220, 220, 185, r.tick_angles[i]));
        EXPECT_NEAR(f.rotation(), r.needle, 1e-3);
    }
}

TEST_F(modern_large, tick_list_keeps_range_order_and_limit_and_marks_follow_mode_and_subsections) {
    std::string sixty;
    for (int i = 0; i < 60; ++i) sixty += (i ? "|;" : ";") + std::to_string(i);
    struct row {
        attr_value ticks;
        int64_t mode, subsections;
        size_t marks;
        strings labels;
        int warnings;
    };
    const std::vector<row> rows = {
        {std::string(";-5;a|;50;b|;105;c"), 0, 0, 1, {"b"}, 0}, // out of range: dropped
        {std::string(";50;a|;50;b"), 0, 0, 1, {"a"}, 0},        // equal values: the first stays
        {sixty, 0, 0, 50, {}, 1},
        {std::string(";0;x|;100;y"), 1, 0, 2, {}, 0},           // mode 1: marks only
        {pitwall::null_string{}, 0, 5, 0, {}, 0},
        {std::string(";0;x|;100;y"), 0, 1, 2, {"x", "y"}, 0},
        {std::string(";0;x|;100;y"), 0, 5, 6, {"x", "y"}, 0},   // four minor marks
    };
    for (const row &r : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << r.mode << " subsections " << r.subsections << " " << r.marks);
        auto g = make({{"ticks", r.ticks}, {"tick_mode", r.mode}, {"subsections", r.subsections}});
        ASSERT_EQ(draw(*g), 0);
        EXPECT_EQ(marks().size(), r.marks);
        EXPECT_EQ(labels(), r.labels);
        EXPECT_EQ(f.count("res_lookup font", "size=16"), r.mode == 1 ? 0 : 3);
        EXPECT_EQ(f.h.lines("log "),
                  strings(static_cast<size_t>(r.warnings),
                          "log 1 Modern Gauge Large: More than 50 ticks are not supported!"));
    }
}

// Ticks 0 and 100 (zones 0 and 2) with five subsections: minor marks at the values 20, 40, 60 and
// 80 (189, 243, 297 and 351 degrees, radius 187.5) take the zones of their own values, 0 (on the
// lower limit), 1, 1 and 2 (on the upper limit); marks are drawn zone by zone, in value order.
TEST_F(modern_large, minor_marks_across_zones_take_the_colour_of_their_own_value) {
    auto g = make(k_zones);
    f.set(*g, {{"ticks", std::string(";0|;100")}, {"subsections", int64_t{5}}});
    ASSERT_EQ(draw(*g), 0);
    const std::vector<std::pair<double, double>> at = {{135, 185},   {189, 187.5}, {243, 187.5},
                                                       {297, 187.5}, {351, 187.5}, {405, 185}};
    const std::vector<point> m = marks();
    ASSERT_EQ(m.size(), at.size());
    for (size_t i = 0; i < at.size(); ++i) expect_point(m[i], polar(220, 220, at[i].second, at[i].first));
    strings colours;
    for (const std::string &l : f.h.lines("draw_path")) colours.push_back(l.substr(l.find('#'), 7));
    colours.resize(6); // the bands follow
    EXPECT_EQ(colours, (strings{"#220000", "#220000", "#002200", "#002200", "#000022", "#000022"}));
}

// Labels on the circle of radius 205, centred on their tick, bottom on the circle: "a" at 135
// degrees at (trunc(-144.96 + 220 - 4 + 0.5), trunc(144.96 + 220 - 16 + 0.5)) = (71, 349); "b" at
// 270 at (216, trunc(-0.5) = 0); "c" at 405 at (361, 349). A zone pass whose font lookup fails
// leaves its labels to the next pass, in that pass's colour.
// Its own engine per pass, and no other: a plug-in library serves one engine at a time.
TEST(modern_large_labels, labels_sit_on_their_ticks_in_their_zone_colour_or_the_next_found_one) {
    const std::string font = "fonts/labels.otf";
    for (bool fail_first_pass : {false, true}) {
        SCOPED_TRACE(fail_first_pass);
        gauge_fixture local{"libgre-plugin-ArcGaugeLarge"};
        local.stage({k_needle});
        if (!fail_first_pass) local.h.eng.fonts().add_font(font);
        local.h.eng.set_trace_hook([&](const std::string &line) { // the font appears after one failed lookup
            local.h.rec.record(line);
            if (line == "res_lookup font \"" + font + "\" size=16 -> null") local.h.eng.fonts().add_font(font);
        });
        auto g = local.make(k_base);
        local.set(*g, k_zones);
        local.set(*g, {{"font", font}, {"ticks", std::string(";0;a|;50;b|;100;c")}});
        ASSERT_EQ(local.draw(*g, 440, 440), 0);
        const std::string tail = "\" font=\"" + font + "\" size=16 colour=";
        EXPECT_EQ(local.count("draw_text 71 349 \"a" + tail + (fail_first_pass ? "#002200" : "#220000")), 1);
        EXPECT_EQ(local.count("draw_text 216 0 \"b" + tail + "#002200"), 1);
        EXPECT_EQ(local.count("draw_text 361 349 \"c" + tail + "#000022"), 1);
        EXPECT_EQ(local.h.lines("log "),
                  strings(fail_first_pass ? 1 : 0, "log 0 Modern Gauge Large: Couldn't get font reference " + font));
        local.h.eng.set_trace_hook({});
    }
}

// Lower limit 20 (hysteresis 5), upper 80 (hysteresis 10): the state picks the value arc's and the
// caption's colour and holds inside the hysteresis bands.
TEST_F(modern_large, threshold_state_colours_arc_and_caption_with_hysteresis) {
    auto g = make({{"lower_limit", int64_t{1}}, {"lower_value", 20.0}, {"lower_hyst", 5.0},
                   {"upper_limit", int64_t{1}}, {"upper_value", 80.0}, {"upper_hyst", 10.0}});
    const strings arc = {"#ff0000", "#00ff00", "#0000ff"}, text = {"#110000", "#001100", "#000011"};
    for (const auto &[value, state] :
         std::vector<std::pair<double, size_t>>{{50, 1}, {80, 2}, {75, 2}, {69, 1}, {20, 0}, {24, 0}, {26, 1}}) {
        SCOPED_TRACE(value);
        f.set(*g, {{"value", value}});
        ASSERT_EQ(draw(*g), 0);
        EXPECT_FALSE(f.band(arc[state]).empty());
        EXPECT_EQ(f.count("draw_text", "colour=" + text[state]), 1);
    }
}

// The caption box is 95..344 (250 square), the text right-aligned: x = 345 - 8 per character.
TEST_F(modern_large, caption_formats_the_value_into_the_text) {
    struct row {
        std::string text;
        int64_t decimals;
        double value;
        std::string shown; // empty: nothing drawn
    };
    const std::vector<row> rows = {
        {"<channel value> km/h", 1, 42.26, "42.3 km/h"},
        {"Load <channel value> %", 0, 87.6, "Load 88 %"},
        {"RPM", 2, 5, "RPM"},
        {"<channel value>/<channel value>", 0, 5, "5/<channel value>"},
        {"ABCDEFGHIJ<channel value>", 9, 12345.5, "ABCDEFGHIJ12345.50"}, // 25 characters, 18 kept
        {"<channel value>", 12, 0.5, "0.500000000"},                     // decimals beyond 9 as 9
        {"", 0, 5, ""},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.text);
        auto g = make({{"text", r.text}, {"decimals", r.decimals}, {"value", r.value}});
        ASSERT_EQ(draw(*g), 0);
        const std::string x = std::to_string(345 - 8 * static_cast<int>(r.shown.size()));
        EXPECT_EQ(f.h.lines("draw_text"), r.shown.empty() ? strings{}
                                                           : strings{"draw_text " + x + " 210 \"" + r.shown + "\"" +
                                                                     k_font_tail + "20 colour=#001100"});
    }
}

// "RPM" is 24 wide in the 250 box at 95: left 95, centre 95 + 113, anything else 95 + 226.
// Vertically (250 - line height) / 2. Both divisions truncate toward zero, also for a text wider
// than the box: (250 - 303) / 2 = -26. A clip in force before the draw narrows the box (95..199:
// 105 wide, right-aligned at 95 + 81).
TEST_F(modern_large, caption_alignment_and_vertical_centring) {
    struct row {
        int64_t alignment;
        int32_t advance, line_height, x, y;
        std::string box;
    };
    const std::string full = "set_clip 95 95 344 344";
    const std::vector<row> rows = {
        {1, 8, 20, 95, 210, full},   {2, 8, 20, 208, 210, full}, {0, 8, 20, 321, 210, full},
        {3, 8, 20, 321, 210, full},  {255, 8, 20, 321, 210, full}, {2, 8, 31, 208, 204, full},
        {2, 101, 20, 69, 210, full}, {0, 8, 20, 176, 210, "set_clip 95 95 199 344"}};
    auto g = make({{"text", std::string("RPM")}});
    for (const row &r : rows) {
        SCOPED_TRACE(r.alignment);
        f.h.rec.set_text_advance(r.advance);
        f.h.rec.set_line_height(20, r.line_height);
        f.h.rec.set_clip_state(gr_rect_t{0, 0, static_cast<int16_t>(r.box == full ? 799 : 199), 479});
        f.set(*g, {{"alignment", r.alignment}});
        ASSERT_EQ(draw(*g), 0);
        const int at = f.h.find(r.box);
        ASSERT_GE(at, 0);
        EXPECT_EQ(f.h.trace().at(static_cast<size_t>(at) + 1), "draw_text " + std::to_string(r.x) + " " +
                                                                   std::to_string(r.y) + " \"RPM\"" + k_font_tail +
                                                                   "20 colour=#001100");
    }
}

TEST_F(modern_large, every_set_counts_but_only_a_changed_value_lowers_the_level) {
    auto g = make();
    ASSERT_EQ(draw(*g), 0);
    // Equal values and cfg: counted, nothing recomputed. angle_start 45 compares as the stored 135.
    f.set(*g, {{"value", 25.0}, {"cfg", int64_t{7}}, {"text", std::string("<channel value> km/h")},
               {"angle_start", 45.0}, {"color_gauge", int64_t{0x00ff00}}});
    EXPECT_EQ(g->record()->dirty, 5);
    ASSERT_EQ(draw(*g), 0);
    EXPECT_EQ(f.count("release_image") + f.count("load_image"), 0);
    // 135 is the stored number but a new attribute value (225 once stored).
    f.set(*g, {{"angle_start", 135.0}});
    EXPECT_EQ(g->record()->dirty, 1);
    ASSERT_EQ(draw(*g), 0);
    EXPECT_EQ(f.count("load_image"), 1);
    EXPECT_NEAR(f.rotation(), 292.5, 1e-3);

    // Layout attributes rebuild everything, which releases the needle and loads it again; the
    // others only re-evaluate the value.
    attr_list relayout = all_set_to({"lower_value", "upper_value", "lower_hyst", "upper_hyst", "angle_start",
                                     "angle_span", "value_min", "value_max"},
                                    7.0);
    for (const auto &entry : all_set_to({"decimals", "tick_mode", "subsections", "lower_limit", "upper_limit"},
                                        int64_t{3}))
        relayout.push_back(entry);
    relayout.insert(relayout.end(), {{"text", std::string("<channel value> mph")}, {"ticks", std::string(";0")}});
    attr_list value_only = all_set_to({"lower_gauge", "color_gauge", "upper_gauge", "lower_text", "color_text",
                                       "upper_text", "lower_tick", "color_tick", "upper_tick"},
                                      int64_t{7});
    value_only.insert(value_only.end(), {{"value", 30.0}, {"font", std::string(k_default_font)},
                                         {"font_size", int64_t{18}}, {"alignment", int64_t{1}}});
    for (const attr_list *list : {&relayout, &value_only})
        for (const auto &entry : *list) {
            SCOPED_TRACE(entry.first);
            f.set(*g, {entry});
            ASSERT_EQ(draw(*g), 0);
            const int release = f.h.find("release_image " + k_needle), load = f.h.find(k_load + "110x6 -> ok");
            EXPECT_EQ(release >= 0 && load > release, list == &relayout);
            EXPECT_EQ(release < 0 && load < 0, list == &value_only);
        }
}

TEST_F(modern_large, caption_failures) {
    // Never set: nothing is drawn, not even the clip is asked, and every draw tries again.
    auto g = f.make({{"value", 1.0}});
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(draw(*g), -1);
        EXPECT_TRUE(f.h.trace().empty());
    }
    EXPECT_EQ(g->record()->dirty, 1);
    f.set(*g, {{"text", std::string()}});
    EXPECT_EQ(draw(*g), 0);

    // A clip that leaves nothing of the caption box: no text, no failure.
    auto clipped = make();
    f.h.rec.set_clip_state(gr_rect_t{0, 0, 94, 479});
    EXPECT_EQ(draw(*clipped), 0);
    EXPECT_EQ(f.count("draw_text") + f.count("text_extent"), 0);

    // A text that cannot be measured ends the frame with the clip restored; a label that cannot
    // be measured counts as 0 x 0: "0" at 135 degrees at (trunc(-144.96 + 220.5), trunc(144.96 + 220.5)).
    auto m = make({{"ticks", std::string(";0;0")}});
    f.h.rec.set_clip_state(gr_rect_t{0, 0, 799, 479});
    f.h.rec.fail_text_extent(true);
    EXPECT_EQ(draw(*m), -1);
    const strings &t = f.h.trace();
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[t.size() - 2], "log 0 Failed to get text extent for Modern Gauge Large title 25.0 km/h");
    EXPECT_EQ(t.back(), "set_clip 0 0 799 479");
    EXPECT_EQ(f.h.lines("draw_text"), strings{"draw_text 75 365 \"0\"" + k_font_tail + "16 colour=#002200"});
}

TEST_F(modern_large, failures_of_needle_paths_and_fonts_leave_out_only_what_failed) {
    auto g = make({{"ticks", std::string(";0;0|;100;100")}});
    // No needle image: the scale and the bands are drawn, then the clip is restored; retried.
    f.h.rec.remove_image(k_needle);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(draw(*g), -1);
        EXPECT_EQ(f.count("draw_text"), 2);
        EXPECT_EQ(f.count("draw_path"), 6); // two marks, remainder, arc, edge, shadow
        const strings &t = f.h.trace();
        EXPECT_EQ(strings(t.end() - 2, t.end()), (strings{k_load + "110x6 -> null", "clear_clip"}));
    }
    EXPECT_NE(g->record()->dirty, 0);
    f.stage({k_needle});

    // Refused paths: marks are skipped, each band logs; needle, labels and caption are drawn.
    f.h.rec.fail_create_path(true);
    EXPECT_EQ(draw(*g), 0);
    EXPECT_EQ(f.count("create_path 0 "), 2);
    EXPECT_EQ(f.h.lines("log "), strings(4, "log 0 Failed to allocate memory for ellipse path"));
    EXPECT_EQ(f.count("draw_path"), 0);
    EXPECT_EQ(f.count("draw_image") + f.count("draw_text"), 4);
    f.h.rec.fail_create_path(false);

    // No font, or a resource without a font: one message per lookup (three label passes and the
    // caption), no text, everything else drawn.
    for (bool found_but_empty : {false, true}) {
        SCOPED_TRACE(found_but_empty);
        f.h.eng.fonts().clear();
        if (found_but_empty) f.h.eng.fonts().stage_font_failure(k_default_font);
        EXPECT_EQ(draw(*g), 0);
        EXPECT_EQ(f.h.lines("log "), strings(4, std::string("log 0 Modern Gauge Large: ") +
                                                    (found_but_empty ? "Invalid argument, unable to find font"
                                                                     : "Couldn't get font reference " +
                                                                           std::string(k_default_font))));
        EXPECT_EQ(f.count("res_release"), found_but_empty ? 4 : 0);
        EXPECT_EQ(f.count("draw_text"), 0);
        EXPECT_EQ(f.count("draw_image"), 1);
    }
}

// Below 110 pixels the needle rounds to no height (6 (size - 80) / 360 < 0.5); at 111 it is 9 x 1.
TEST_F(modern_large, a_gauge_too_small_for_a_needle_draws_the_rest_without_one) {
    for (const auto &[size, load] : std::vector<std::pair<int16_t, std::string>>{{79, ""}, {81, ""}, {111, "9x1"}}) {
        SCOPED_TRACE(size);
        auto g = make();
        ASSERT_EQ(draw(*g, size), 0);
        EXPECT_EQ(f.h.lines("load_image"), load.empty() ? strings{} : strings{k_load + load + " -> ok"});
        EXPECT_EQ(f.count("draw_image"), load.empty() ? 0 : 1);
        EXPECT_EQ(f.count("set_attr 2 160"), 1);
    }
}

// The clone keeps the source's threshold state: 75 lies in the upper hysteresis band (80 - 10), so
// the source's state 2 holds in the clone too.
TEST_F(modern_large, a_clone_rebuilds_and_loads_its_own_needle_and_outlives_its_source) {
    auto g = make({{"ticks", std::string(";0;0")}, {"upper_limit", int64_t{1}}, {"upper_value", 80.0},
                   {"upper_hyst", 10.0}, {"value", 80.0}});
    ASSERT_EQ(draw(*g), 0);
    f.set(*g, {{"value", 75.0}});
    ASSERT_EQ(draw(*g), 0);
    auto copy = g->clone();
    ASSERT_EQ(draw(*copy), 0);
    EXPECT_EQ(f.count("load_image"), 1);
    EXPECT_EQ(labels(), strings{"0"});
    EXPECT_EQ(f.count("draw_text", "\"75.0 km/h\"" + k_font_tail + "20 colour=#000011"), 1);
    EXPECT_FALSE(f.band("#0000ff").empty());
    f.h.rec.clear_trace();
    g.reset();
    EXPECT_EQ(f.h.trace(), strings{"release_image " + k_needle});
    ASSERT_EQ(draw(*copy), 0);
    EXPECT_EQ(f.h.lines("draw_image"), strings{"draw_image " + k_needle + " 295 217 110x6 pivot -75.5 2.5"});
    copy.reset();
    EXPECT_EQ(f.h.rec.live_images(), 0);
}

TEST_F(modern_large, an_unchanged_gauge_redraws_the_same_without_loading) {
    auto g = make({{"ticks", std::string(";0;0|;100;100")}});
    ASSERT_EQ(draw(*g), 0);
    const strings first = f.trace_without({"load_image"});
    ASSERT_EQ(draw(*g), 0);
    EXPECT_EQ(f.trace_without({}), first);
}

} // namespace
