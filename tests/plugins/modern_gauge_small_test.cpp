// Modern Gauge Small through the real library: the bands and their order, the direction-dependent
// needle, value to angle, thresholds, the attribute protocol, failures, clone and destroy,
// asserted on the recording context's trace.
#include "gauge_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace pitwall::testing;
using strings = std::vector<std::string>;

const std::string k_cw = "images/ModernGauge/needle_cw.png", k_ccw = "images/ModernGauge/needle_ccw.png";
const std::string k_load = "load_image images/ModernGauge/needle_";
const std::string k_font_tail = " font=\"fonts/CPMono_v07 Plain.otf\" size=20 colour=";

// 0..100 over 270 degrees from 7:30 (stored 135), value 50 (270, straight up).
const attr_list k_base = {
    {"text", std::string("<channel value>")}, {"font_size", int64_t{20}}, {"value_min", 0.0}, {"value_max", 100.0},
    {"angle_start", 45.0}, {"angle_span", 270.0}, {"value", 50.0},
    {"lower_gauge", int64_t{0xff0000}}, {"color_gauge", int64_t{0x00ff00}}, {"upper_gauge", int64_t{0x0000ff}},
    {"lower_text", int64_t{0x110000}}, {"color_text", int64_t{0x001100}}, {"upper_text", int64_t{0x000011}}};

struct modern_small : ::testing::Test {
    gauge_fixture f{"libgre-plugin-ArcGaugeSmall"};
    void SetUp() override { f.stage({k_cw, k_ccw}); }
    std::unique_ptr<pitwall::instance> make(const attr_list &extra = {}) {
        auto g = f.make(k_base);
        f.set(*g, extra);
        return g;
    }
    int draw(pitwall::instance &g, int16_t size = 240) { return f.draw(g, size, size); }
};

// Centre (120, 120): remainder at alpha 160 and arc at 255 (ring 230 across, band 35), the needle,
// over it the cover of the ring outside the scale at the context's alpha, the shadow at 38 (202
// across, down to the band's inner edge at radius 80), the caption in the box inset by 40: "50"
// (16 x 20) at 40 + 160 - 16, 40 + (160 - 20) / 2.
TEST_F(modern_small, draw_order_and_alphas) {
    auto g = make();
    ASSERT_EQ(draw(*g), 0);
    EXPECT_EQ(f.trace_without({"create_path", "free_path", "res_", "text_extent", "font_metrics", "draw_image"}),
              (strings{"get_clip -> none", "set_clip 0 0 239 239", "set_attr 2 160",
                       "draw_path path #121212 #121212 1", "set_attr 2 255", "draw_path path #00ff00 #00ff00 1",
                       "restore_attr 2",
                       k_load + "cw.png flags=0x7888820 size=58x103 -> ok", "set_attr 3 270", "restore_attr 3",
                       "draw_path path #121212 #121212 1", "set_attr 2 38", "draw_path path #000000 #000000 1",
                       "restore_attr 2", "set_clip 40 40 199 199",
                       "draw_text 184 110 \"50\"" + k_font_tail + "#001100", "clear_clip"}));
    EXPECT_EQ(f.h.find("restore_attr 3") - 1, f.h.find(f.h.lines("draw_image").at(0)));
    const std::vector<point> shadow = f.band("#000000");
    ASSERT_FALSE(shadow.empty());
    expect_point(shadow.front(), {221, 120});
    expect_point(shadow.back(), {200, 120});
    EXPECT_EQ(g->record()->dirty, 0);
}

// At 240 the needle is 58 x 103 at x 176, pivot x 120 - 176 - 0.5; its pivot row lies b = 103 * 3
// / 161 = 1.91925 from the pointer's edge: the bottom of the clockwise artwork (y = 120 - (103 - b),
// pivot y = 103 - b - 0.5), the top of the counter-clockwise one (y = 120 - b, pivot y = b).
// Turning the scale round is a full recompute: the other artwork is loaded and placed.
TEST_F(modern_small, the_scale_direction_picks_and_places_the_needle_artwork) {
    struct row {
        double span;
        std::string file, previous;
        double y, pivot_y, needle, arc_from, cover_from; // cover: the ring outside the scale
    };
    const double b = 309.0 / 161.0;
    const std::vector<row> rows = {
        {270, k_cw, "", 120 - (103 - b), 103 - b - 0.5, 270, 135, 405}, // arc 135..270, cover 405..495
        {-270, k_ccw, k_cw, 120 - b, b, 0, 0, -225},                    // arc 0..135, cover -225..-135
        {270, k_cw, k_ccw, 120 - (103 - b), 103 - b - 0.5, 270, 135, 405},
    };
    auto g = make();
    for (const row &r : rows) {
        SCOPED_TRACE(r.span);
        f.set(*g, {{"angle_span", r.span}});
        ASSERT_EQ(draw(*g), 0);
        EXPECT_EQ(f.h.lines("release_image"), r.previous.empty() ? strings{} : strings{"release_image " + r.previous});
        EXPECT_EQ(f.h.lines("load_image"), strings{"load_image " + r.file + " flags=0x7888820 size=58x103 -> ok"});
        expect_image_draw(f.h.lines("draw_image").at(0), r.file, 176, r.y, 58, 103, -56.5, r.pivot_y);
        EXPECT_NEAR(f.rotation(), r.needle, 1e-3);
        const std::vector<point> arc = f.band("#00ff00"), cover = f.band("#121212", 1);
        ASSERT_FALSE(arc.empty() || cover.empty());
        expect_point(arc.front(), polar(120, 120, 115, r.arc_from));
        expect_point(cover.front(), polar(120, 120, 115, r.cover_from));
        expect_point(cover.back(), polar(120, 120, 80, r.cover_from));
    }
}

// The map is linear and clamped; the cover (the second dark band) vanishes on a whole turn.
TEST_F(modern_small, value_to_angle_clamps_and_a_full_turn_has_no_cover) {
    struct row {
        double start, span, min, max, value, needle;
        int dark_bands;
    };
    const std::vector<row> rows = {{45, 270, 0, 100, -5, 135, 2},  {45, 270, 0, 100, 150, 405, 2},
                                   {45, 270, 50, 50, 70, 135, 2},  {45, 270, 100, 0, 50, 135, 2},
                                   {45, -270, 0, 100, 25, 67.5, 2}, {45, 360, 0, 100, 50, 315, 1}};
    for (const row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.start << " " << r.span << " " << r.min << ".." << r.max << " "
                                        << r.value);
        auto g = make({{"angle_start", r.start}, {"angle_span", r.span}, {"value_min", r.min}, {"value_max", r.max},
                       {"value", r.value}});
        ASSERT_EQ(draw(*g), 0);
        EXPECT_NEAR(f.rotation(), r.needle, 1e-3);
        EXPECT_EQ(f.count("draw_path", "#121212"), r.dark_bands);
        EXPECT_EQ(f.band("#00ff00").empty(), r.needle == 135);
    }
}

// The needle needs (size - 10) / 230 * 102.86 and * 57.5 to round to 1 or more: not at 10 or 11;
// 1 x 1 at 13.
TEST_F(modern_small, a_gauge_too_small_for_a_needle_draws_the_rest_without_one) {
    for (const auto &[size, load] : std::vector<std::pair<int16_t, std::string>>{{10, ""}, {11, ""}, {13, "1x1"}}) {
        SCOPED_TRACE(size);
        auto g = make();
        ASSERT_EQ(draw(*g, size), 0);
        EXPECT_EQ(f.h.lines("load_image"), load.empty() ? strings{} : strings{k_load + "cw.png flags=0x7888820 size=" +
                                                                              load + " -> ok"});
        EXPECT_EQ(f.count("draw_image"), load.empty() ? 0 : 1);
        EXPECT_EQ(f.count("set_attr 2 38"), 1);
    }
}

TEST_F(modern_small, threshold_state_colours_arc_and_caption) {
    auto g = make({{"lower_limit", int64_t{1}}, {"lower_value", 20.0}, {"upper_limit", int64_t{1}},
                   {"upper_value", 80.0}});
    for (const auto &[value, arc, text] : std::vector<std::tuple<double, std::string, std::string>>{
             {10, "#ff0000", "#110000"}, {50, "#00ff00", "#001100"}, {90, "#0000ff", "#000011"}}) {
        SCOPED_TRACE(value);
        f.set(*g, {{"value", value}});
        ASSERT_EQ(draw(*g), 0);
        EXPECT_FALSE(f.band(arc).empty());
        EXPECT_EQ(f.count("draw_text", k_font_tail + text), 1);
    }
}

TEST_F(modern_small, every_set_counts_but_only_layout_attributes_reload_the_needle) {
    auto g = make();
    ASSERT_EQ(draw(*g), 0);
    // Equal values and cfg count without recomputing; angle_start 45 compares as the stored 135.
    f.set(*g, {{"value", 50.0}, {"cfg", int64_t{1}}, {"text", std::string("<channel value>")}, {"angle_start", 45.0}});
    EXPECT_EQ(g->record()->dirty, 4);
    ASSERT_EQ(draw(*g), 0);
    EXPECT_EQ(f.count("release_image") + f.count("load_image"), 0);

    attr_list relayout = all_set_to({"lower_value", "upper_value", "lower_hyst", "upper_hyst", "angle_start",
                                     "angle_span", "value_min", "value_max"},
                                    7.0);
    for (const auto &entry : all_set_to({"decimals", "lower_limit", "upper_limit"}, int64_t{3}))
        relayout.push_back(entry);
    relayout.emplace_back("text", std::string("v <channel value>"));
    attr_list value_only = all_set_to(
        {"lower_gauge", "color_gauge", "upper_gauge", "lower_text", "color_text", "upper_text"}, int64_t{7});
    value_only.insert(value_only.end(), {{"value", 30.0}, {"font", std::string(k_default_font)},
                                         {"font_size", int64_t{18}}, {"alignment", int64_t{1}}});
    for (const attr_list *list : {&relayout, &value_only})
        for (const auto &entry : *list) {
            SCOPED_TRACE(entry.first);
            f.set(*g, {entry});
            ASSERT_EQ(draw(*g), 0);
            const int release = f.h.find("release_image " + k_cw);
            const int load = f.h.find(k_load + "cw.png flags=0x7888820 size=58x103 -> ok");
            EXPECT_EQ(release >= 0 && load > release, list == &relayout);
            EXPECT_EQ(release < 0 && load < 0, list == &value_only);
        }
}

TEST_F(modern_small, failures) {
    // A missing needle: the remainder and the arc are drawn, then the clip is restored; retried.
    f.h.rec.remove_image(k_cw);
    auto g = make();
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(draw(*g), -1);
        EXPECT_EQ(f.count("draw_path"), 2);
        EXPECT_EQ(f.h.trace().back(), "clear_clip");
    }
    f.stage({k_cw});

    // A caption that cannot be measured ends the frame with the clip restored.
    f.h.rec.fail_text_extent(true);
    EXPECT_EQ(draw(*g), -1);
    const strings &t = f.h.trace();
    EXPECT_EQ(strings(t.end() - 2, t.end()),
              (strings{"log 0 Failed to get text extent for Modern Gauge Small title 50", "clear_clip"}));
    f.h.rec.fail_text_extent(false);

    // No font: the caption alone is left out.
    f.h.eng.fonts().clear();
    EXPECT_EQ(draw(*g), 0);
    EXPECT_EQ(f.h.lines("log "), strings{std::string("log 0 Modern Gauge Small: Couldn't get font reference ") +
                                         k_default_font});
    EXPECT_EQ(f.count("draw_text"), 0);
    EXPECT_EQ(f.count("draw_path"), 4);

    // No text ever set: nothing at all, at every attempt.
    auto untitled = f.make({{"value", 1.0}});
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(draw(*untitled), -1);
        EXPECT_TRUE(f.h.trace().empty());
    }
}

TEST_F(modern_small, a_clone_loads_its_own_needle_and_outlives_its_source) {
    auto g = make({{"angle_span", -270.0}});
    ASSERT_EQ(draw(*g), 0);
    auto copy = g->clone();
    ASSERT_EQ(draw(*copy), 0);
    EXPECT_EQ(f.h.lines("load_image"), strings{k_load + "ccw.png flags=0x7888820 size=58x103 -> ok"});
    EXPECT_EQ(f.count("draw_text", "\"50\""), 1);
    f.h.rec.clear_trace();
    g.reset();
    EXPECT_EQ(f.h.trace(), strings{"release_image " + k_ccw});
    ASSERT_EQ(draw(*copy), 0);
    EXPECT_EQ(f.count("draw_image " + k_ccw), 1);
    EXPECT_EQ(f.count("load_image") + f.count("release"), 0);
    copy.reset();
    EXPECT_EQ(f.h.rec.live_images(), 0);
}

TEST_F(modern_small, an_unchanged_gauge_redraws_the_same_without_loading) {
    auto g = make();
    ASSERT_EQ(draw(*g), 0);
    const strings first = f.trace_without({"load_image"});
    ASSERT_EQ(draw(*g), 0);
    EXPECT_EQ(f.trace_without({}), first);
}

} // namespace
