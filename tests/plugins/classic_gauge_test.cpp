// Classic Gauge Small and Large through the real libraries: layout per size, the needle's overrun
// beyond the scale, the dial background per threshold state, the tick scale, recompute levels and
// `dirty`, failures, clone and destroy, asserted on the recording context's trace.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using pitwall::instance;
using pitwall::testing::plugin_harness;
using strings = std::vector<std::string>;
using point = std::pair<double, double>;

constexpr const char *k_font = "fonts/CPMono_v07 Plain.otf";
constexpr const char *k_dir = "images/ClassicGauge/";
const strings k_colours = {"white", "red", "yellow", "orange", "green", "blue", "violet"};

struct variant {
    const char *deliverable;
    const char *name; // display name: message prefix
    const char *word; // in the file names: "small" / "large"
    int16_t design;   // gauge_scale 1 at this size
};
const variant k_small{"libgre-plugin-DialGaugeSmall", "Classic Gauge Small", "small", 240};
const variant k_large{"libgre-plugin-DialGaugeLarge", "Classic Gauge Large", "large", 440};
const variant k_variants[] = {k_small, k_large};

// One classic plug-in with every dial background, its needle and (optionally) the default font.
struct dial {
    explicit dial(const variant &which, bool with_font = true) : v(which), h(which.deliverable) {
        if (with_font) h.eng.fonts().add_font(k_font);
        for (const std::string &c : k_colours) h.rec.add_image(background(c), v.design, v.design);
        h.rec.add_image(needle(), 32, 115);
    }
    std::string background(const std::string &colour) const {
        return std::string(k_dir) + colour + "_bg_" + v.word + ".png";
    }
    std::string needle() const { return std::string(k_dir) + "needle_" + v.word + ".png"; }
    std::string needle_size() const { return v.design == 240 ? "32x115" : "10x87"; }
    std::string design_square() const { return std::to_string(v.design) + "x" + std::to_string(v.design); }
    static std::string load(const std::string &path, const std::string &size, const std::string &result = "ok") {
        return "load_image " + path + " flags=0x7888820 size=" + size + " -> " + result;
    }

    // A square gauge (the design size by default) with a white dial in every state and the scale
    // 0..100 from 45 degrees over 270 (stored start 135: 7:30 clockwise to 4:30), showing 50.
    std::unique_ptr<instance> make(int64_t size = 0) {
        auto g = h.make();
        set(*g, {{"width", size ? size : v.design}, {"height", size ? size : v.design},
                 {"lower_gauge", int64_t{1}}, {"color_gauge", int64_t{1}}, {"upper_gauge", int64_t{1}},
                 {"angle_start", 45.0}, {"angle_span", 270.0}, {"value_min", 0.0}, {"value_max", 100.0},
                 {"value", 50.0}});
        return g;
    }
    void set(instance &g, const std::vector<std::pair<std::string, pitwall::attr_value>> &values) {
        for (const auto &[name, value] : values) h.set(g, name, value);
    }
    int draw(instance &g, int16_t x = 0, int16_t y = 0) { return h.draw(g, h.control(x, y, 800, 480)); }
    size_t count(const std::string &prefix) const { return h.lines(prefix).size(); }

    const variant &v;
    plugin_harness h;
};

// The points of a "create_path ... [x,y x,y ...] -> pathN" line.
std::vector<point> points_of(const std::string &line) {
    std::vector<point> out;
    const size_t open = line.find('['), close = line.find(']');
    std::istringstream in(line.substr(open + 1, close - open - 1));
    std::string pair;
    while (in >> pair) {
        const size_t comma = pair.find(',');
        out.emplace_back(std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1)));
    }
    return out;
}

double radius_of(point p, double c) { return std::hypot(p.first - c, p.second - c); }
// Degrees in [0, 360), clockwise from 3 o'clock, of a point around (c, c).
double angle_of(point p, double c) {
    const double a = std::atan2(p.second - c, p.first - c) * 180.0 / std::numbers::pi;
    return a < 0 ? a + 360.0 : a;
}
double wrap(double degrees) { return std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0); }

// Fill colour of every tick mark drawn, in order (the value arc's fixed greys left out).
strings mark_colours(const plugin_harness &h) {
    strings out;
    for (const std::string &l : h.lines("draw_path"))
        if (l.find(" #4d4d4d ") == std::string::npos && l.find(" #808080 ") == std::string::npos)
            out.push_back(l.substr(l.find(' ', 10) + 1, 7));
    return out;
}

// The needle rotation of the drawn trace.
double rotation(const plugin_harness &h) {
    const strings r = h.lines("set_attr 3 ");
    return r.size() == 1 ? std::stod(r[0].substr(11)) : std::nan("");
}

// Angle start -90 (stored 0, 3 o'clock) over 180 and the value 50: the arc from 0 to A = 90, the
// needle turned by A - 90 = 0. Control at (10, 20): centre (10 + c, 20 + c). The arc's step is
// 360 / (trunc(D * pi / 4) + 1) degrees: small D 180 -> 360 / 142, 35 whole steps in 90 degrees, so
// 36 points and the end per edge, 2 x 37 = 74; large D 389 -> 360 / 306, 76 whole steps, 2 x 78 = 156.
TEST(classic_gauge, lays_out_background_value_arc_and_needle_at_the_design_size) {
    struct expected {
        const variant &v;
        std::string clip, bg_size, needle_size;
        double cx, cy, arc_radius;
        std::string count, colour, needle;
    };
    const std::vector<expected> cases = {
        {k_small, "10 20 249 259", "240x240", "32x115", 130, 140, 90, "74", "#4d4d4d",
         "114 117 32x115 pivot 16 23"}, // x (240 - 32) / 2, y 120 - 32 * 23 / 32
        {k_large, "10 20 449 459", "440x440", "10x87", 230, 240, 194.5, "156", "#808080",
         "225 340 10x87 pivot 5 -100"}, // x (440 - 10) / 2, y 220 + 100
    };
    for (const expected &e : cases) {
        SCOPED_TRACE(e.v.name);
        dial d{e.v};
        auto g = d.make();
        d.set(*g, {{"angle_start", -90.0}, {"angle_span", 180.0}});
        ASSERT_EQ(d.draw(*g, 10, 20), 0);
        strings trace = d.h.trace();
        ASSERT_EQ(trace.size(), 12u) << d.h.rec.trace_text();
        const std::string path = trace[5];
        trace[5] = "(arc)";
        const std::string bg = d.background("white");
        EXPECT_EQ(trace, (strings{"get_clip -> none", "set_clip " + e.clip,
                                  d.load(bg, e.bg_size), d.load(d.needle(), e.needle_size),
                                  "draw_image " + bg + " 10 20 " + e.bg_size + " pivot 0 0", "(arc)",
                                  "draw_path path1 " + e.colour + " " + e.colour + " 1", "free_path path1",
                                  "set_attr 3 0", "draw_image " + d.needle() + " " + e.needle, "restore_attr 3",
                                  "clear_clip"}));
        // A ring sector 2 pixels thick: outer edge 0 -> 90 degrees, inner edge back to 0.
        EXPECT_EQ(path.rfind("create_path 2 flags=3 count=" + e.count + " [", 0), 0u) << path;
        const std::vector<point> p = points_of(path);
        ASSERT_EQ(std::to_string(p.size()), e.count);
        const size_t half = p.size() / 2;
        for (size_t i = 0; i < p.size(); ++i) {
            const double r = e.arc_radius - (i < half ? 0 : 2);
            EXPECT_NEAR(std::hypot(p[i].first - e.cx, p[i].second - e.cy), r, 1e-3) << i;
        }
        EXPECT_EQ(p.front(), point(e.cx + e.arc_radius, e.cy));
        EXPECT_NEAR(p[half - 1].first, e.cx, 1e-3);
        EXPECT_NEAR(p[half - 1].second, e.cy + e.arc_radius, 1e-3);
        EXPECT_EQ(p.back(), point(e.cx + e.arc_radius - 2, e.cy));
    }
}

// Stored start 135. Outside the range the needle stands one degree beyond the end it passed; the
// arc follows it. An inverted range or a NaN value leaves it at the start, where the arc is empty.
TEST(classic_gauge, needle_overruns_the_scale_by_one_degree_and_the_arc_follows_it) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct row {
        double span, min, max, value, angle;
    };
    const std::vector<row> rows = {
        {270, 0, 100, 150, 135 + 270 + 1}, // 406: the needle at 316 degrees from 6 o'clock
        {270, 0, 100, -5, 135 - 1},        {270, 0, 100, 100, 135 + 270},
        {270, 0, 100, 25, 135 + 67.5},     {-270, 0, 100, 150, 135 - 270 - 1},
        {-270, 0, 100, -5, 135 + 1},       {270, 100, 0, 50, 135},
        {270, 100, 0, 150, 135},           {270, 20, 100, nan, 135},
    };
    for (const variant &v : k_variants) {
        for (const row &r : rows) {
            SCOPED_TRACE(std::string(v.name) + " span " + std::to_string(r.span) + " range " +
                         std::to_string(r.min) + ".." + std::to_string(r.max) + " value " + std::to_string(r.value));
            dial d{v};
            auto g = d.make();
            d.set(*g, {{"angle_span", r.span}, {"value_min", r.min}, {"value_max", r.max}, {"value", r.value}});
            ASSERT_EQ(d.draw(*g), 0);
            EXPECT_NEAR(rotation(d.h), r.angle - 90, 1e-4) << "the artwork points down";
            const strings arc = d.h.lines("create_path 2 ");
            if (r.angle == 135) {
                EXPECT_TRUE(arc.empty());
                continue;
            }
            ASSERT_EQ(arc.size(), 1u);
            const std::vector<point> p = points_of(arc[0]);
            const double c = v.design / 2.0, from = std::min(135.0, r.angle), to = std::max(135.0, r.angle);
            EXPECT_NEAR(angle_of(p.front(), c), wrap(from), 1e-3);
            EXPECT_NEAR(angle_of(p[p.size() / 2 - 1], c), wrap(to), 1e-3);
        }
    }
}

// Upper limit 80 in red (2), lower limit 10 in yellow (3), normal white (1).
TEST(classic_gauge, each_state_loads_its_background_once_until_a_full_recompute_releases_them) {
    dial d{k_small};
    auto g = d.make();
    d.set(*g, {{"upper_limit", int64_t{1}}, {"upper_value", 80.0}, {"upper_gauge", int64_t{2}},
               {"lower_limit", int64_t{1}}, {"lower_value", 10.0}, {"lower_gauge", int64_t{3}}});
    const auto load = [&](const std::string &colour, const std::string &size = "240x240") {
        return d.load(d.background(colour), size);
    };
    const std::string needle = d.load(d.needle(), "32x115");
    struct step {
        double value;
        strings loads;
        std::string shown;
    };
    const std::vector<step> steps = {{50, {load("white"), needle}, "white"}, {90, {load("red")}, "red"},
                                     {50, {}, "white"},                      {90, {}, "red"},
                                     {5, {load("yellow")}, "yellow"},        {50, {}, "white"}};
    for (const step &s : steps) {
        SCOPED_TRACE(s.value);
        d.set(*g, {{"value", s.value}});
        ASSERT_EQ(d.draw(*g), 0);
        EXPECT_EQ(d.h.lines("load_image"), s.loads);
        EXPECT_TRUE(d.h.has("draw_image " + d.background(s.shown) + " 0 0 240x240 pivot 0 0"));
        EXPECT_EQ(d.count("release_image"), 0u);
    }
    // A new colour index: all four images go, the state's new one and the needle come back.
    d.set(*g, {{"upper_gauge", int64_t{4}}, {"value", 90.0}});
    ASSERT_EQ(d.draw(*g), 0);
    EXPECT_EQ(d.count("release_image"), 4u);
    EXPECT_EQ(d.h.lines("load_image"), (strings{load("orange"), needle}));
    // A new size: 200 / 240 of the needle, 26.67 x 95.83 rounded.
    d.set(*g, {{"width", int64_t{200}}, {"height", int64_t{300}}});
    ASSERT_EQ(d.draw(*g), 0);
    EXPECT_EQ(d.count("release_image"), 2u);
    EXPECT_EQ(d.h.lines("load_image"),
              (strings{load("orange", "200x200"), d.load(d.needle(), "27x96")}));
}

TEST(classic_gauge, a_colour_index_outside_the_palette_fails_only_in_its_state) {
    for (int64_t index : {0, 8}) {
        SCOPED_TRACE(index);
        dial d{k_small};
        auto g = d.make();
        d.set(*g, {{"color_gauge", index}, {"upper_gauge", int64_t{2}}, {"upper_limit", int64_t{1}},
                   {"upper_value", 80.0}});
        d.h.rec.set_clip_state(gr_rect_t{0, 0, 500, 400});
        const int dirty = g->record()->dirty;
        EXPECT_EQ(d.draw(*g), -1);
        EXPECT_EQ(d.h.trace(), (strings{"get_clip -> 0 0 500 400", "set_clip 0 0 239 239", "set_clip 0 0 500 400"}));
        EXPECT_EQ(g->record()->dirty, dirty);
        d.set(*g, {{"value", 90.0}});
        EXPECT_EQ(d.draw(*g), 0);
        EXPECT_TRUE(d.h.has("draw_image " + d.background("red") + " 0 0 240x240 pivot 0 0"));
        d.set(*g, {{"value", 50.0}});
        EXPECT_EQ(d.draw(*g), -1);
        EXPECT_EQ(d.count("load_image"), 0u);
    }
}

// Ticks 0 and 100 in blue (lower), green (normal) and red (upper) zones. A limit outside the range
// is no limit: no alarm state, no zone; a limit on the range's bound still is one.
TEST(classic_gauge, limits_outside_the_value_range_give_no_alarm_state_and_no_tick_zone) {
    struct row {
        std::string limit;
        double at, value;
        std::string background;
        strings tick_colours;
    };
    const std::vector<row> rows = {{"upper", 150, 120, "white", {"#00ff00", "#00ff00"}},
                                   {"upper", 100, 120, "red", {"#00ff00", "#ff0000"}},
                                   {"lower", -10, -20, "white", {"#00ff00", "#00ff00"}},
                                   {"lower", 0, -20, "yellow", {"#0000ff", "#00ff00"}}};
    for (const variant &v : k_variants) {
        for (const row &r : rows) {
            SCOPED_TRACE(std::string(v.name) + " " + r.limit + " " + std::to_string(r.at));
            dial d{v};
            auto g = d.make();
            d.set(*g, {{"ticks", ";0|;100"}, {"tick_pos", int64_t{1}}, {"tick_mode", int64_t{1}},
                       {"lower_gauge", int64_t{3}}, {"upper_gauge", int64_t{2}}, {"lower_tick", int64_t{0x0000ff}},
                       {"color_tick", int64_t{0x00ff00}}, {"upper_tick", int64_t{0xff0000}},
                       {r.limit + "_limit", int64_t{1}}, {r.limit + "_value", r.at}, {"value", r.value}});
            ASSERT_EQ(d.draw(*g), 0);
            EXPECT_EQ(d.count("load_image " + d.background(r.background) + " "), 1u);
            EXPECT_EQ(mark_colours(d.h), r.tick_colours);
        }
    }
}

// Ticks at 135 (value 0) and 405 degrees (value 100), one minor mark at 270 between them; label
// radius c - 40 (80 / 180): "0" (8 x 16) at x = trunc(R cos 135 + c - 4 + 0.5), y = trunc(R sin
// 135 + c - 16 + 0.5); "100" (24 wide) at x = trunc(R cos 45 + c - 12 + 0.5).
TEST(classic_gauge, marks_and_labels_lie_on_their_radii_inside_a_translation_to_the_square) {
    struct expected {
        const variant &v;
        std::string label0, label100;
    };
    const std::vector<expected> cases = {
        {k_small, "draw_text 59 161 \"0\"", "draw_text 165 161 \"100\""},  // 80 * 0.7071 = 56.57
        {k_large, "draw_text 89 331 \"0\"", "draw_text 335 331 \"100\""}}; // 180 * 0.7071 = 127.28
    for (const expected &e : cases) {
        SCOPED_TRACE(e.v.name);
        dial d{e.v};
        auto g = d.make();
        d.set(*g, {{"ticks", ";0;0|;100;100"}, {"tick_pos", int64_t{1}}, {"subsections", int64_t{2}},
                   {"color_tick", int64_t{0x123456}}});
        ASSERT_EQ(d.draw(*g, 10, 20), 0);
        const strings marks = d.h.lines("create_path 0 flags=1 count=2 ");
        ASSERT_EQ(marks.size(), 3u);
        const double c = e.v.design / 2.0;
        const double angles[] = {135, 270, 45}, outer[] = {c - 10, c - 17.5, c - 10};
        for (size_t i = 0; i < 3; ++i) {
            const std::vector<point> p = points_of(marks[i]);
            ASSERT_EQ(p.size(), 2u);
            EXPECT_NEAR(radius_of(p[0], c), c - 25, 1e-3) << i;
            EXPECT_NEAR(radius_of(p[1], c), outer[i], 1e-3) << i;
            EXPECT_NEAR(angle_of(p[0], c), angles[i], 1e-3) << i;
            EXPECT_NEAR(angle_of(p[1], c), angles[i], 1e-3) << i;
        }
        EXPECT_EQ(d.h.lines("draw_path path2 "), strings{"draw_path path2 #123456 #123456 1"});
        const std::string style = " font=\"" + std::string(k_font) + "\" size=16 colour=#123456";
        EXPECT_EQ(d.h.lines("draw_text"), (strings{e.label0 + style, e.label100 + style}));
        // The order: arc, translated marks at line width 2, labels, back, then the needle on top.
        const int translate = d.h.find("translate 10 20"), width = d.h.find("set_attr 5 2"),
                  restore = d.h.find("restore_attr 5"), untranslate = d.h.find("untranslate 10 20");
        EXPECT_LT(d.h.find("free_path path1"), translate);
        EXPECT_LT(translate, width);
        EXPECT_LT(restore, d.h.find(e.label0 + style));
        EXPECT_LT(d.h.find(e.label100 + style), untranslate);
        EXPECT_LT(untranslate, d.h.find("set_attr 3 180")); // 135 + 135 - 90
    }
}

TEST(classic_gauge, tick_pos_and_tick_mode_choose_between_marks_and_labels) {
    struct row {
        int64_t tick_pos, tick_mode;
        size_t marks, labels;
    };
    const std::vector<row> rows = {{0, 2, 0, 0}, {2, 2, 0, 0}, {1, 1, 2, 0}, {1, 0, 2, 2}, {1, 2, 2, 2}};
    for (const row &r : rows) {
        SCOPED_TRACE(std::to_string(r.tick_pos) + " " + std::to_string(r.tick_mode));
        dial d{k_large};
        auto g = d.make();
        d.set(*g, {{"ticks", ";0;lo|;100;hi"}, {"tick_pos", r.tick_pos}, {"tick_mode", r.tick_mode}});
        ASSERT_EQ(d.draw(*g), 0);
        EXPECT_EQ(d.count("create_path 0 "), r.marks);
        EXPECT_EQ(d.count("draw_text"), r.labels);
        EXPECT_EQ(d.count("res_lookup"), r.labels ? 3u : 0u) << "one font per zone pass";
        EXPECT_EQ(d.count("translate"), r.marks ? 1u : 0u);
    }
}

// The list 0;0|180;50|;100;100 on 0..100 from 135 over 270 degrees. Mode 2 ignores the explicit
// position: tick 50 at 135 + 135 = 270, linear needle. Mode 3 honours it (tick 50 at 135 + 180) and
// maps piecewise: 25 -> 135 + 90, 75 -> 315 + 45. Mode 4 honours it but keeps the linear needle.
TEST(classic_gauge, tick_mode_places_ticks_and_bends_the_needle_map_as_the_large_modern_gauge) {
    struct row {
        int64_t mode;
        double value, tick50, needle;
    };
    const std::vector<row> rows = {{2, 25, 270, 202.5}, {3, 25, 315, 225}, {3, 75, 315, 360}, {4, 25, 315, 202.5}};
    for (const row &r : rows) {
        SCOPED_TRACE(std::to_string(r.mode) + " " + std::to_string(r.value));
        dial d{k_small};
        auto g = d.make();
        d.set(*g, {{"ticks", "0;0|180;50|;100;100"}, {"tick_pos", int64_t{1}}, {"tick_mode", r.mode},
                   {"value", r.value}});
        ASSERT_EQ(d.draw(*g), 0);
        const strings marks = d.h.lines("create_path 0 ");
        ASSERT_EQ(marks.size(), 3u);
        const double angles[] = {135, r.tick50, 45};
        for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(angle_of(points_of(marks[i])[0], 120), angles[i], 1e-3) << i;
        EXPECT_NEAR(rotation(d.h), r.needle - 90, 1e-3);
    }
}

// Ticks 0 and 100 with four subsections: minor marks at 25, 50 and 75. Lower limit 30 and upper 60:
// tick 0 and minor 25 lower, minor 50 normal, minor 75 and tick 100 upper, drawn zone by zone.
TEST(classic_gauge, minor_marks_take_the_zone_of_their_own_value) {
    for (const variant &v : k_variants) {
        SCOPED_TRACE(v.name);
        dial d{v};
        auto g = d.make();
        d.set(*g, {{"ticks", ";0|;100"}, {"tick_pos", int64_t{1}}, {"tick_mode", int64_t{1}},
                   {"subsections", int64_t{4}}, {"lower_limit", int64_t{1}}, {"lower_value", 30.0},
                   {"upper_limit", int64_t{1}}, {"upper_value", 60.0}, {"lower_tick", int64_t{0x0000ff}},
                   {"color_tick", int64_t{0x00ff00}}, {"upper_tick", int64_t{0xff0000}}});
        ASSERT_EQ(d.draw(*g), 0);
        const strings marks = d.h.lines("create_path 0 ");
        ASSERT_EQ(marks.size(), 5u);
        const double c = v.design / 2.0, minor = c - 17.5, major = c - 10;
        const double outer[] = {major, minor, minor, minor, major};
        for (size_t i = 0; i < 5; ++i) {
            const std::vector<point> p = points_of(marks[i]);
            EXPECT_NEAR(angle_of(p[0], c), wrap(135 + 67.5 * static_cast<double>(i)), 1e-3) << i;
            EXPECT_NEAR(radius_of(p[1], c), outer[i], 1e-3) << i;
        }
        EXPECT_EQ(mark_colours(d.h), (strings{"#0000ff", "#0000ff", "#00ff00", "#ff0000", "#ff0000"}));
    }
}

TEST(classic_gauge, more_than_fifty_ticks_keep_fifty_with_one_warning) {
    for (const variant &v : k_variants) {
        SCOPED_TRACE(v.name);
        dial d{v};
        auto g = d.make();
        std::string ticks;
        for (int i = 0; i < 60; ++i) ticks += (i ? "|;" : ";") + std::to_string(i);
        d.set(*g, {{"ticks", ticks}, {"tick_pos", int64_t{1}}});
        ASSERT_EQ(d.draw(*g), 0);
        const std::string warning = "log 1 " + std::string(v.name) + ": More than 50 ticks are not supported!";
        EXPECT_EQ(d.h.lines("log "), strings{warning});
        EXPECT_EQ(d.count("create_path 0 "), 50u);
        ASSERT_EQ(d.draw(*g), 0);
        EXPECT_TRUE(d.h.lines("log ").empty()) << "parsed at a full recompute only";
    }
}

// Every set of an own id counts, changed or not (cfg too); only a change lowers the level. Level 0
// releases the background and needle and loads them again; level 1 reloads nothing.
TEST(classic_gauge, every_set_counts_in_dirty_and_only_layout_changes_reload_the_images) {
    struct row {
        std::string name;
        pitwall::attr_value changed;
        bool relayout = true;
    };
    const std::vector<row> rows = {
        {"ticks", std::string(";50")}, {"subsections", int64_t{3}}, {"tick_pos", int64_t{1}},
        {"tick_mode", int64_t{3}},     {"lower_gauge", int64_t{4}}, {"color_gauge", int64_t{1}, false},
        {"upper_gauge", int64_t{6}},   {"lower_limit", int64_t{1}}, {"upper_limit", int64_t{1}},
        {"lower_value", -5.0},         {"upper_value", 95.0},       {"lower_hyst", 1.0},
        {"upper_hyst", 1.0},           {"angle_start", 45.0, false}, {"angle_start", 40.0},
        {"angle_span", 180.0},         {"value_min", -10.0},        {"value_max", 200.0},
        {"value", 60.0, false},        {"font", std::string("fonts/x.otf"), false},
        {"lower_tick", int64_t{1}, false}, {"color_tick", int64_t{2}, false}, {"upper_tick", int64_t{3}, false},
        {"cfg", int64_t{7}, false},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        dial d{k_small};
        auto g = d.make();
        ASSERT_EQ(d.draw(*g), 0);
        ASSERT_EQ(g->record()->dirty, 0);
        for (int repeat = 1; repeat <= 2; ++repeat) {
            d.set(*g, {{r.name, r.changed}});
            EXPECT_EQ(g->record()->dirty, 1);
            ASSERT_EQ(d.draw(*g), 0);
            const size_t expected = repeat == 1 && r.relayout ? 2u : 0u;
            EXPECT_EQ(d.count("release_image"), expected) << repeat;
            EXPECT_EQ(d.count("load_image"), expected) << repeat;
            EXPECT_EQ(g->record()->dirty, 0);
        }
    }
}

TEST(classic_gauge, a_missing_image_fails_the_draw_after_the_clip_and_is_retried_next_draw) {
    for (const variant &v : k_variants) {
        for (bool needle_missing : {false, true}) {
            SCOPED_TRACE(std::string(v.name) + (needle_missing ? " needle" : " background"));
            dial d{v};
            const std::string missing = needle_missing ? d.needle() : d.background("white");
            d.h.rec.remove_image(missing);
            auto g = d.make();
            const int dirty = g->record()->dirty;
            const std::string edge = std::to_string(v.design - 1), bg = d.background("white");
            for (int attempt = 0; attempt < 2; ++attempt) {
                EXPECT_EQ(d.draw(*g), -1);
                strings expected = {"get_clip -> none", "set_clip 0 0 " + edge + " " + edge};
                if (needle_missing && attempt == 0) expected.push_back(d.load(bg, d.design_square()));
                expected.push_back(needle_missing ? d.load(d.needle(), d.needle_size(), "null")
                                                  : d.load(bg, d.design_square(), "null"));
                expected.push_back("clear_clip");
                EXPECT_EQ(d.h.trace(), expected) << attempt;
                EXPECT_EQ(g->record()->dirty, dirty);
            }
            d.h.rec.add_image(missing, 10, 10);
            EXPECT_EQ(d.draw(*g), 0);
            // A missing background stopped the draw before the needle was asked for.
            strings loads = {d.load(d.needle(), d.needle_size())};
            if (!needle_missing) loads.insert(loads.begin(), d.load(bg, d.design_square()));
            EXPECT_EQ(d.h.lines("load_image"), loads);
            EXPECT_EQ(d.count("draw_image"), 2u);
            EXPECT_EQ(g->record()->dirty, 0);
        }
    }
}

TEST(classic_gauge, a_font_that_cannot_be_had_skips_the_labels_but_not_the_marks) {
    struct row {
        const variant &v;
        bool stage_failure;
        std::string message;
    };
    const std::vector<row> rows = {
        {k_large, false, "log 0 Classic Gauge Large: Couldn't get font reference fonts/CPMono_v07 Plain.otf"},
        {k_small, false, "log 0 Classic Gauge Small: Couldn't get font reference fonts/CPMono_v07 Plain.otf"},
        {k_small, true, "log 0 Classic Gauge Small: Invalid argument, unable to find font"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.message);
        dial d{r.v, false};
        if (r.stage_failure) d.h.eng.fonts().stage_font_failure(k_font);
        auto g = d.make();
        d.set(*g, {{"ticks", ";0;lo|;100;hi"}, {"tick_pos", int64_t{1}}});
        ASSERT_EQ(d.draw(*g), 0);
        EXPECT_EQ(d.h.lines("log "), strings(3, r.message)) << "one try per zone pass";
        EXPECT_EQ(d.count("draw_text"), 0u);
        EXPECT_EQ(d.count("create_path 0 "), 2u);
        EXPECT_EQ(d.count("res_release"), r.stage_failure ? 3u : 0u);
        EXPECT_EQ(d.count("draw_image"), 2u);
    }
}

TEST(classic_gauge, a_refused_path_drops_the_arc_and_the_marks_but_not_the_needle) {
    dial d{k_small};
    auto g = d.make();
    d.set(*g, {{"ticks", ";0|;100"}, {"tick_pos", int64_t{1}}, {"tick_mode", int64_t{1}}});
    d.h.rec.fail_create_path(true);
    EXPECT_EQ(d.draw(*g), 0);
    EXPECT_EQ(d.h.lines("log "), strings{"log 0 Failed to allocate memory for ellipse path"});
    EXPECT_EQ(d.count("create_path"), 3u);
    EXPECT_EQ(d.count("draw_path") + d.count("free_path"), 0u);
    EXPECT_EQ(d.count("draw_image"), 2u);
    EXPECT_EQ(g->record()->dirty, 0);
}

// Needle width trunc(size / design * 32 or 10 + 0.5): 0 at 3 and 21 pixels, 1 at 4 and 22. Small at
// 4: 1 x trunc(1.92 + 0.5) at ((4 - 1) / 2, 2 - 23 / 32), pivot (0.5, 23 / 32). Large at 22 (scale
// 0.05): 1 x trunc(4.35 + 0.5) at (10.5, 11 + 5), pivot (0.5, -5).
TEST(classic_gauge, a_gauge_too_small_for_a_needle_draws_everything_else) {
    struct row {
        const variant &v;
        int64_t size;
        std::string needle; // size and placement, or empty
    };
    const std::vector<row> rows = {{k_small, 3, ""},
                                   {k_small, 4, "1x2|1.5 1.28125 1x2 pivot 0.5 0.71875"},
                                   {k_large, 21, ""},
                                   {k_large, 22, "1x4|10.5 16 1x4 pivot 0.5 -5"}};
    for (const row &r : rows) {
        SCOPED_TRACE(std::string(r.v.name) + " " + std::to_string(r.size));
        dial d{r.v};
        auto g = d.make(r.size);
        ASSERT_EQ(d.draw(*g), 0);
        const std::string s = std::to_string(r.size);
        EXPECT_TRUE(d.h.has("draw_image " + d.background("white") + " 0 0 " + s + "x" + s + " pivot 0 0"));
        if (r.needle.empty()) {
            EXPECT_EQ(d.count("load_image"), 1u);
            EXPECT_EQ(d.count("draw_image"), 1u);
            EXPECT_EQ(d.count("set_attr 3"), 0u);
        } else {
            const size_t bar = r.needle.find('|');
            EXPECT_TRUE(d.h.has(d.load(d.needle(), r.needle.substr(0, bar))));
            EXPECT_TRUE(d.h.has("draw_image " + d.needle() + " " + r.needle.substr(bar + 1)));
        }
        EXPECT_EQ(d.h.trace().back(), "clear_clip");
    }
}

TEST(classic_gauge, a_clone_loads_its_own_images_and_destroy_releases_all_four) {
    dial d{k_small};
    auto g = d.make();
    d.set(*g, {{"ticks", ";0|;100"}, {"tick_pos", int64_t{1}}, {"upper_limit", int64_t{1}}, {"upper_value", 80.0},
               {"lower_limit", int64_t{1}}, {"lower_value", 10.0}, {"upper_gauge", int64_t{2}},
               {"lower_gauge", int64_t{3}}});
    for (double value : {5.0, 90.0, 50.0}) {
        d.set(*g, {{"value", value}});
        ASSERT_EQ(d.draw(*g), 0);
    }
    ASSERT_EQ(d.h.rec.live_images(), 4);
    auto copy = g->clone();
    ASSERT_EQ(d.draw(*copy), 0);
    EXPECT_EQ(d.h.lines("load_image"), 
              (strings{d.load(d.background("white"), "240x240"), d.load(d.needle(), "32x115")}));
    EXPECT_EQ(d.count("create_path 0 "), 2u) << "the clone keeps its own tick list";
    EXPECT_EQ(d.h.rec.live_images(), 6);

    d.h.rec.clear_trace();
    g.reset();
    strings released = d.h.trace();
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (strings{"release_image " + d.needle(), "release_image " + d.background("red"),
                                 "release_image " + d.background("white"),
                                 "release_image " + d.background("yellow")}));
    EXPECT_EQ(d.h.rec.live_images(), 2);
    ASSERT_EQ(d.draw(*copy), 0);
    EXPECT_EQ(d.count("load_image") + d.count("release_image"), 0u);
    copy.reset();
    EXPECT_EQ(d.h.rec.live_images(), 0);

    auto fresh = d.make();
    d.h.rec.clear_trace();
    fresh.reset();
    EXPECT_TRUE(d.h.trace().empty()) << "nothing loaded, nothing to release";
}

} // namespace
