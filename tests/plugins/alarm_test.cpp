// Modern Alarm and Classic Alarm through the real libraries: box pieces, icon, reset symbol and
// text placement, threshold colours, image sharing and release, failures, clone and destroy.
//
// Unless a test says otherwise an alarm lies on a control at (10, 20) of 300 x 80 (x1 = 310,
// y1 = 100) with icon 1 (cross, 75 x 75) in white, box colour 1, the reset symbol and "OIL" at
// 16 px in white. Text model: 8 pixels per byte, line height = font size. Staged images: Modern
// caps 40 x 40 with 10-pixel borders, middles 20 x 40 with 5-pixel columns and 10-pixel rows;
// Classic frames 30 x 30 with 8-pixel borders; icons 150 x 150, so every icon size in a trace
// comes from the widget's own icon table.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using pitwall::testing::plugin_harness;
using strings = std::vector<std::string>;

const std::string k_font_name = "fonts/CPMono_v07 Plain.otf";
const std::string k_reset = "images/ModernAlarm/white_reset.png";
const std::string k_cross = "images/Icons/cross_white.png";

struct variant {
    const char *library, *name;
    int pieces;         // nine-patches per box
    strings colours;    // box palette, by index
    int gap_reset, gap; // the text rectangle ends at x1 - gap, with and without the reset symbol
    int overhang;       // a right-aligned text ends this far beyond that edge
};
const variant k_modern{"libgre-plugin-AlertFlat", "Modern Alarm", 3,
                       {"", "white", "red", "yellow", "orange", "green", "blue", "violet", "grey"}, 36, 36, 1};
const variant k_classic{"libgre-plugin-AlertFramed", "Classic Alarm", 1,
                        {"", "white1", "white2", "red", "yellow", "orange", "green", "blue", "violet", "grey",
                         "black1", "black2"}, 37, 7, 2};
const variant *const k_variants[] = {&k_modern, &k_classic};

std::string box_image(const variant &v, int colour, int piece = 0) {
    if (v.pieces == 1) return "images/ClassicBox/" + v.colours[colour] + "_box.9.png";
    return "images/ModernAlarm/" + v.colours[colour] + "_box" + std::to_string(piece + 1) + ".9.png";
}
std::string loading(const variant &v, const std::string &path) {
    return "log 2 " + std::string(v.name) + ": Loading image /app/" + path;
}
std::string loaded(const std::string &path, bool ok = true) {
    return "load_image " + path + " flags=0x7888820 size=native -> " + (ok ? "ok" : "null");
}
strings concat(std::initializer_list<strings> parts) {
    strings out;
    for (const strings &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// One nine-patch drawn at (x, y): column and row bounds (x1, x2 of left, middle, right), source
// then target.
using bands = std::array<int, 6>;
strings patch(const std::string &image, int x, int y, bands src_cols, bands dst_cols, bands src_rows, bands dst_rows) {
    const std::string at = std::to_string(x) + " " + std::to_string(y);
    strings out{"image_info " + image + " 3 -> surface", "translate " + at};
    auto rect = [](const bands &c, const bands &r, int k) {
        return std::to_string(c[2 * (k % 3)]) + " " + std::to_string(r[2 * (k / 3)]) + " " +
               std::to_string(c[2 * (k % 3) + 1]) + " " + std::to_string(r[2 * (k / 3) + 1]);
    };
    for (int k = 0; k < 9; ++k)
        out.push_back("draw_image_part " + image + " " + rect(src_cols, src_rows, k) + " -> " +
                      rect(dst_cols, dst_rows, k));
    out.push_back("untranslate " + at);
    return out;
}

// The text element of a default alarm: font, its clip, measures, "OIL" at `at`.
strings text_lines(const std::string &clip, const std::string &at) {
    const std::string font = "font=\"" + k_font_name + "\" size=16";
    return {"res_lookup font \"" + k_font_name + "\" size=16 -> ok", "res_font \"" + k_font_name + "\" -> ok",
            "set_clip " + clip, "text_extent \"OIL\" size=16 -> 24x16", "font_metrics " + font + " -> 16",
            "draw_text " + at + " \"OIL\" " + font + " colour=#ffffff", "clear_clip"};
}

struct rig {
    explicit rig(const variant &which, const std::string &base_dir = pitwall::testing::k_app_dir)
        : h(which.library, base_dir) {
        h.eng.fonts().add_font(k_font_name);
        for (int c = 1; c <= 8; ++c) {
            h.rec.add_nine_patch(box_image(k_modern, c, 0), 40, 40, 10, 20, 10, 20);
            h.rec.add_nine_patch(box_image(k_modern, c, 1), 20, 40, 5, 10, 10, 20);
            h.rec.add_nine_patch(box_image(k_modern, c, 2), 40, 40, 10, 20, 10, 20);
        }
        for (int c = 1; c <= 11; ++c) h.rec.add_nine_patch(box_image(k_classic, c), 30, 30, 8, 14, 8, 14);
        h.rec.add_image(k_reset, 20, 20);
        for (const char *icon : {"cross_white", "cross_red", "cross_orange", "plus_white", "minus_white",
                                 "turn_indicator_left_white", "windshield_washer_fluid_black"})
            h.rec.add_image(std::string("images/Icons/") + icon + ".png", 150, 150);
    }

    std::unique_ptr<pitwall::instance> lamp(int64_t icon = 1, int64_t reset = 1) {
        auto a = h.make();
        set(*a, {{"icon_idx", icon}, {"icon_color", 1}, {"color_box", 1}, {"reset_mode", reset}, {"font_size", 16},
                 {"color_text", 0xffffff}});
        h.set(*a, "render_text", "OIL");
        return a;
    }
    void set(pitwall::instance &a, std::vector<std::pair<std::string, int64_t>> values) {
        for (const auto &[name, value] : values) h.set(a, name, value);
    }
    int draw(pitwall::instance &a) { return h.draw(a, ctl); }
    int count(const std::string &prefix, const std::string &fragment = "") const {
        int n = 0;
        for (const std::string &l : h.lines(prefix)) n += l.find(fragment) != std::string::npos ? 1 : 0;
        return n;
    }
    int layouts() const { return count("image_info", " 0 -> "); } // nine-patch layouts computed
    std::string clip(size_t i) const { // the i-th set_clip's rectangle, or "none"
        const strings c = h.lines("set_clip ");
        return i < c.size() ? c[i].substr(9) : "none";
    }
    std::string text_at() const { // "x y" of the draw_text line, or "none"
        const strings t = h.lines("draw_text ");
        return t.empty() ? "none" : t[0].substr(10, t[0].find(" \"") - 10);
    }

    plugin_harness h;
    gr_control_t ctl = h.control(10, 20, 300, 80);
};

TEST(alarm_lamp, modern_300_by_80_draws_caps_middle_icon_reset_and_text_as_laid_out) {
    rig r{k_modern};
    auto a = r.lamp();
    ASSERT_EQ(r.draw(*a), 0);
    // Caps 80 x 80 from 40 x 40: the middle bands grow by 40. The middle, 300 - 160 = 140 wide
    // from 20, grows its middle column by 120.
    const bands cap_src{0, 9, 10, 29, 30, 39}, cap_dst{0, 9, 10, 69, 70, 79};
    const std::string b1 = box_image(k_modern, 1, 0), b2 = box_image(k_modern, 1, 1), b3 = box_image(k_modern, 1, 2);
    // Icon: dh = min(75, 70) x 75 / 75 = 70 = dw, margin 80 x 30 / 120 = 20, at y + (80 - 70) / 2.
    // Text: 10 + trunc(20 x 1.8 + 70) = 116 .. 310 - 36 = 274, rows 21 .. 99; right-aligned
    // (alignment 0): 116 + 158 - 24 + 1 = 251; y = 21 + (78 - 16) / 2 = 52.
    EXPECT_EQ(r.h.trace(),
              concat({{loading(k_modern, b1), loaded(b1), loading(k_modern, b2), loaded(b2), loading(k_modern, b3),
                       loaded(b3), "image_info " + b1 + " 0 -> 40x40", "image_info " + b2 + " 0 -> 20x40",
                       "image_info " + b3 + " 0 -> 40x40", loading(k_modern, k_cross), loaded(k_cross),
                       loading(k_modern, k_reset), loaded(k_reset), "get_clip -> none", "set_clip 10 20 310 100"},
                      patch(b1, 10, 20, cap_src, cap_dst, cap_src, cap_dst),
                      patch(b2, 90, 20, {0, 4, 5, 14, 15, 19}, {0, 4, 5, 134, 135, 139}, cap_src, cap_dst),
                      patch(b3, 230, 20, cap_src, cap_dst, cap_src, cap_dst),
                      {"image_set " + k_cross + " 2 70x70", "draw_image " + k_cross + " 30 25 70x70 pivot -1 -1",
                       "draw_image " + k_reset + " 281 30 20x20 pivot -1 -1"},
                      text_lines("116 21 274 99", "251 52")}));
    EXPECT_EQ(a->record()->dirty, 0);
    ASSERT_EQ(r.draw(*a), 0); // steady state: handles only
    EXPECT_EQ(r.count("load_image") + r.count("log") + r.layouts(), 0);
    EXPECT_EQ(r.count("draw_image_part"), 27);
}

TEST(alarm_lamp, classic_200_by_60_stretches_one_frame_and_ends_the_text_at_x1_minus_37) {
    rig r{k_classic};
    auto a = r.lamp();
    r.set(*a, {{"color_box", 3}});
    r.ctl = r.h.control(10, 20, 200, 60);
    ASSERT_EQ(r.draw(*a), 0);
    const std::string red = "images/ClassicBox/red_box.9.png";
    // 200 x 60 from 30 x 30: middle column + 170, middle row + 30. Icon: dh = 50 = dw, margin 15,
    // at (25, 20 + 5). Text 10 + trunc(27 + 50) = 87 .. 210 - 37 = 173, rows 21 .. 79: right-
    // aligned 87 + 86 - 24 + 2 = 151; y = 21 + (58 - 16) / 2 = 42.
    EXPECT_EQ(r.h.trace(),
              concat({{loading(k_classic, red), loaded(red), "image_info " + red + " 0 -> 30x30",
                       loading(k_classic, k_cross), loaded(k_cross), loading(k_classic, k_reset), loaded(k_reset),
                       "get_clip -> none", "set_clip 10 20 210 80"},
                      patch(red, 10, 20, {0, 7, 8, 21, 22, 29}, {0, 7, 8, 191, 192, 199}, {0, 7, 8, 21, 22, 29},
                            {0, 7, 8, 51, 52, 59}),
                      {"image_set " + k_cross + " 2 50x50", "draw_image " + k_cross + " 25 25 50x50 pivot -1 -1",
                       "draw_image " + k_reset + " 180 30 20x20 pivot -1 -1"},
                      text_lines("87 21 173 79", "151 42")}));
}

TEST(alarm_lamp, attribute_table_lists_the_icon_ids_before_the_font_ids) {
    for (const variant *v : k_variants) {
        rig r{*v};
        strings own;
        for (const gr_attribute_t &at : r.h.plug()->attributes())
            if (at.id >= 12) own.push_back(std::to_string(at.id) + " " + at.name + " " + at.type);
        EXPECT_EQ(own, (strings{"12 value 4f1", "13 render_text 1s0", "14 cfg 4s1", "18 icon_idx 4s1",
                                "19 icon_color 4s1", "15 font 1s0", "16 font_size 4s1", "17 text_alignment 4s1",
                                "20 lower_text 4s1", "21 color_text 4s1", "22 upper_text 4s1", "23 lower_box 4s1",
                                "24 color_box 4s1", "25 upper_box 4s1", "26 lower_limit 1u1", "27 upper_limit 1u1",
                                "28 lower_value 4f1", "29 upper_value 4f1", "30 lower_hyst 4f1", "31 upper_hyst 4f1",
                                "32 reset_mode 1u1"}));
        EXPECT_EQ(r.h.plug()->display_name(), v->name);
    }
}

// dh = max(0, min(75, H - 10) x ih / 75), dw = iw x dh / ih, margin = max(5, H / 4); drawn at
// (x + margin, y + (H - dh) / 2), trunc(dw) x trunc(dh); the text starts at x + trunc(1.8 margin + dw).
TEST(alarm_lamp, icon_is_scaled_to_the_height_and_moves_the_text_start) {
    const struct { const variant *v; int16_t height; int64_t icon, colour; const char *file, *size, *at; int left; }
        cases[] = {
            {&k_modern, 80, 0, 0, nullptr, "", "", 14},                                // trunc(2.5 x 1.8) = 4
            {&k_modern, 80, 65536 + 1, 1, "cross_white", "70x70", "30 25", 116},       // low 16 bits: icon 1
            {&k_modern, 80, 3, 1, "minus_white", "70x21", "30 49.266666", 116},        // dh 21.47, dw 70
            {&k_modern, 80, 6, 1, "turn_indicator_left_white", "43x42", "30 39", 89},  // dh 42, dw 43.87
            {&k_classic, 80, 22, 9, "windshield_washer_fluid_black", "68x54", "30 32.933334", 114}, // 54.13, 68.13
            {&k_modern, 40, 1, 1, "cross_white", "30x30", "20 25", 58},                // margin 10: 18 + 30
            {&k_classic, 40, 1, 1, "cross_white", "30x30", "20 25", 58},
            {&k_modern, 11, 1, 1, "cross_white", "1x1", "15 25", 20},                  // margin 5: 9 + 1
            {&k_modern, 10, 1, 1, nullptr, "", "", 19},                                // dh 0: no icon, 9 + 0
            {&k_classic, 8, 1, 1, nullptr, "", "", 19},
            {&k_modern, 12, 3, 1, nullptr, "", "", 21}};                               // dh 0.61, dw 2: 9 + 2
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.v->name) + " icon " + std::to_string(c.icon) + " H " + std::to_string(c.height));
        rig r{*c.v};
        auto a = r.lamp(c.icon);
        r.set(*a, {{"icon_color", c.colour}});
        r.ctl = r.h.control(10, 20, 300, c.height);
        ASSERT_EQ(r.draw(*a), 0);
        const std::string icon = std::string("images/Icons/") + (c.file ? c.file : "") + ".png";
        EXPECT_EQ(r.h.lines("image_set"), c.file ? strings{"image_set " + icon + " 2 " + c.size} : strings{});
        EXPECT_EQ(r.h.lines("draw_image images/Icons/"),
                  c.file ? strings{"draw_image " + icon + " " + c.at + " " + c.size + " pivot -1 -1"} : strings{});
        EXPECT_EQ(r.clip(1), std::to_string(c.left) + " 21 " + std::to_string(310 - c.v->gap_reset) + " " +
                                 std::to_string(20 + c.height - 1));
    }
}

TEST(alarm_lamp, unknown_icon_or_icon_colour_fails_every_draw_before_drawing) {
    const struct { int64_t icon, colour; } cases[] = {{23, 1}, {-1, 1}, {1, 0}, {1, 10}, {1, 65536 + 10}};
    for (const variant *v : k_variants)
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(v->name) + " icon " + std::to_string(c.icon) + " colour " +
                         std::to_string(c.colour));
            rig r{*v};
            auto a = r.lamp(c.icon);
            r.set(*a, {{"icon_color", c.colour}});
            const int32_t dirty = a->record()->dirty;
            for (int attempt = 0; attempt < 2; ++attempt) {
                EXPECT_EQ(r.draw(*a), -1);
                EXPECT_EQ(r.count("", "Icons/") + r.count("get_clip") + r.count("draw"), 0) << r.h.rec.trace_text();
            }
            EXPECT_EQ(a->record()->dirty, dirty);
        }
    rig r{k_modern}; // without an icon its colour is not looked at
    auto a = r.lamp(0);
    r.set(*a, {{"icon_color", 0}});
    EXPECT_EQ(r.draw(*a), 0);
}

TEST(alarm_lamp, modern_caps_touch_without_a_middle_when_twice_as_wide_as_high) {
    const struct { int16_t width; strings translations; } cases[] = {
        {160, {"translate 10 20", "translate 90 20"}},
        {161, {"translate 10 20", "translate 90 20", "translate 91 20"}}}; // a 1-pixel middle
    for (const auto &c : cases) {
        rig r{k_modern};
        auto a = r.lamp();
        r.ctl = r.h.control(10, 20, c.width, 80);
        ASSERT_EQ(r.draw(*a), 0);
        EXPECT_EQ(r.h.lines("translate"), c.translations);
        EXPECT_EQ(r.count("load_image", "white_box2"), 1); // loaded all the same
        EXPECT_EQ(r.count("image_info", "white_box2.9.png 0"), c.width - 160);
        EXPECT_EQ(r.count("draw_image_part", "white_box2"), 9 * (c.width - 160));
    }
}

// Icon 0 and no reset symbol: the text rectangle is 14 .. x1 - gap (274 or 303), rows 21 .. 99.
TEST(alarm_lamp, text_alignment_and_vertical_centring) {
    const struct { const variant *v; int64_t alignment; int advance, bytes, line_height; const char *at; } cases[] = {
        {&k_modern, 4, 8, 3, 16, "14 52"},   {&k_modern, 260, 8, 3, 16, "14 52"}, // low 8 bits: 4
        {&k_modern, 5, 8, 3, 16, "132 52"},  // 14 + (260 - 24) / 2
        {&k_modern, 0, 8, 3, 16, "251 52"},  {&k_modern, 6, 8, 3, 16, "251 52"}, // 14 + 260 - 24 + 1
        {&k_modern, 5, 7, 39, 16, "8 52"},   // (260 - 273) / 2 = -6, toward zero
        {&k_modern, 4, 8, 3, 20, "14 50"},   // 21 + (78 - 20) / 2
        {&k_modern, 4, 8, 3, 101, "14 10"},  // 21 + (78 - 101) / 2 = 21 - 11
        {&k_classic, 4, 8, 3, 16, "14 52"},  {&k_classic, 5, 8, 3, 16, "146 52"}, // 14 + 265 / 2
        {&k_classic, 0, 8, 3, 16, "281 52"}, {&k_classic, 6, 8, 3, 16, "281 52"}, // 14 + 289 - 24 + 2
        {&k_classic, 4, 8, 3, 17, "14 51"}}; // 21 + 61 / 2
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.v->name) + " alignment " + std::to_string(c.alignment));
        rig r{*c.v};
        auto a = r.lamp(0, 0);
        r.set(*a, {{"text_alignment", c.alignment}});
        r.h.set(*a, "render_text", std::string(static_cast<size_t>(c.bytes), 'W'));
        r.h.rec.set_text_advance(c.advance);
        r.h.rec.set_line_height(16, c.line_height);
        ASSERT_EQ(r.draw(*a), 0);
        EXPECT_EQ(r.clip(1), "14 21 " + std::to_string(310 - c.v->gap) + " 99");
        EXPECT_EQ(r.text_at(), c.at);
        EXPECT_EQ(r.count("", "white_reset"), 0); // never needed, never loaded
    }
}

TEST(alarm_lamp, box_colour_must_lie_in_the_widgets_palette) {
    const struct { const variant *v; int64_t colour; const char *file; } cases[] = {
        {&k_modern, 1, "ModernAlarm/white_box1.9.png"}, {&k_modern, 8, "ModernAlarm/grey_box3.9.png"},
        {&k_modern, 9, nullptr}, {&k_modern, 0, nullptr}, {&k_modern, -1, nullptr},
        {&k_classic, 9, "ClassicBox/grey_box.9.png"}, {&k_classic, 10, "ClassicBox/black1_box.9.png"},
        {&k_classic, 11, "ClassicBox/black2_box.9.png"}, {&k_classic, 12, nullptr}, {&k_classic, 0, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.v->name) + " colour " + std::to_string(c.colour));
        rig r{*c.v};
        auto a = r.lamp();
        r.set(*a, {{"color_box", c.colour}});
        const int32_t dirty = a->record()->dirty;
        EXPECT_EQ(r.draw(*a), c.file ? 0 : -1);
        if (c.file == nullptr) {
            EXPECT_EQ(r.h.trace(), strings{}); // before any load
            EXPECT_EQ(a->record()->dirty, dirty);
        } else {
            EXPECT_TRUE(r.h.has(loaded(std::string("images/") + c.file)));
            EXPECT_EQ(r.count("draw_image_part", c.file), 9);
        }
    }
}

// Box colours 3 / 1 / 2 and text colours blue / white / red by state; upper limit 100 with
// hysteresis 5, lower limit 10 with hysteresis 2, then crossed limits (the upper one wins). Each
// state is laid out the first time it is drawn after a relayout, and only then.
TEST(alarm_lamp, box_and_text_follow_the_threshold_state_laying_out_each_state_once) {
    const struct { double value, lower, upper; int state, layouts; } steps[] = {
        {50, 10, 100, 1, 1}, {100, 10, 100, 2, 1}, {97, 10, 100, 2, 0}, {95, 10, 100, 2, 0}, {94.9, 10, 100, 1, 0},
        {10, 10, 100, 0, 1}, {12, 10, 100, 0, 0},  {12.1, 10, 100, 1, 0}, {45, 50, 40, 2, 0}};
    const int box_of[] = {3, 1, 2};
    const char *text_of[] = {"#0000ff", "#ffffff", "#ff0000"};
    for (const variant *v : k_variants) {
        rig r{*v};
        auto a = r.lamp();
        r.set(*a, {{"lower_box", 3}, {"upper_box", 2}, {"lower_text", 0x0000ff}, {"upper_text", 0xff0000},
                   {"lower_limit", 1}, {"upper_limit", 1}});
        r.h.set(*a, "lower_hyst", 2.0);
        r.h.set(*a, "upper_hyst", 5.0);
        auto draw_at = [&](double value, double lower, double upper) {
            r.h.set(*a, "lower_value", lower);
            r.h.set(*a, "upper_value", upper);
            r.h.set(*a, "value", value);
            EXPECT_EQ(r.draw(*a), 0);
            return r.layouts() / v->pieces;
        };
        for (const auto &s : steps) {
            SCOPED_TRACE(std::string(v->name) + " value " + std::to_string(s.value));
            EXPECT_EQ(draw_at(s.value, s.lower, s.upper), s.layouts);
            EXPECT_EQ(r.count("draw_image_part", "/" + v->colours[box_of[s.state]] + "_box"), 9 * v->pieces);
            EXPECT_EQ(r.count("draw_image_part"), 9 * v->pieces);
            EXPECT_EQ(r.count("draw_text", std::string("colour=") + text_of[s.state]), 1);
        }
        r.set(*a, {{"font_size", 20}}); // a relayout forgets every state's layout
        EXPECT_EQ((std::vector<int>{draw_at(5, 10, 100), draw_at(100, 10, 100), draw_at(50, 10, 100),
                                    draw_at(5, 10, 100)}),
                  (std::vector<int>{1, 1, 1, 0}));
    }
}

// From a drawn alarm in state 1: how a set counts in `dirty` (the same value again counts
// nothing) and whether the next draw lays out anew: icon released and reloaded, box laid out.
TEST(alarm_lamp, changed_values_count_and_relayout_attributes_reload_the_icon) {
    using I = int64_t;
    const struct { const char *name; pitwall::attr_value value; int dirty; bool relayout; } cases[] = {
        {"font_size", I{20}, 1, true}, {"icon_idx", I{2}, 1, true}, {"icon_color", I{2}, 1, true},
        {"lower_box", I{2}, 1, true}, {"color_box", I{2}, 1, true}, {"upper_box", I{2}, 1, true},
        {"reset_mode", I{0}, 1, true}, {"value", 5.0, 1, false}, {"font", k_font_name, 1, false},
        {"render_text", std::string("WATER"), 1, false}, {"text_alignment", I{4}, 1, false},
        {"lower_text", I{1}, 1, false}, {"color_text", I{1}, 1, false}, {"upper_text", I{1}, 1, false},
        {"lower_limit", I{1}, 1, false}, {"upper_limit", I{1}, 1, false}, {"lower_value", 1.0, 1, false},
        {"upper_value", 999.0, 1, false}, {"lower_hyst", 1.0, 1, false}, {"upper_hyst", 1.0, 1, false},
        {"cfg", I{7}, 0, false}, {"icon_idx", I{65537}, 0, false}, {"font_size", I{65536 + 16}, 0, false},
        {"text_alignment", I{256}, 0, false}, {"render_text", std::string("OIL"), 0, false},
        {"color_text", I{0xffffff}, 0, false}};
    for (const variant *v : k_variants)
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(v->name) + " " + c.name);
            rig r{*v};
            auto a = r.lamp();
            r.h.set(*a, "value", 50.0); // inside both limits once they are enabled
            r.h.set(*a, "upper_value", 1000.0);
            ASSERT_EQ(r.draw(*a), 0);
            r.h.set(*a, c.name, c.value);
            r.h.set(*a, c.name, c.value);
            EXPECT_EQ(a->record()->dirty, c.dirty);
            ASSERT_EQ(r.draw(*a), 0);
            EXPECT_EQ(r.count("release_image"), c.relayout ? 1 : 0);
            EXPECT_EQ(r.count("load_image", "Icons/"), c.relayout ? 1 : 0);
            EXPECT_EQ(r.layouts(), c.relayout ? v->pieces : 0);
        }
}

TEST(alarm_lamp, an_image_that_cannot_be_had_fails_every_draw_before_drawing) {
    const struct { const variant *v; int64_t colour; std::string path; bool size_query; } cases[] = {
        {&k_modern, 4, "images/ModernAlarm/orange_box2.9.png", false},
        {&k_modern, 4, "images/ModernAlarm/orange_box3.9.png", true},
        {&k_modern, 4, "images/Icons/cross_orange.png", false}, {&k_modern, 4, k_reset, false},
        {&k_classic, 5, "images/ClassicBox/orange_box.9.png", false},
        {&k_classic, 5, "images/ClassicBox/orange_box.9.png", true},
        {&k_classic, 5, "images/Icons/cross_orange.png", false}, {&k_classic, 5, k_reset, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.v->name) + " " + c.path + (c.size_query ? " size query" : ""));
        rig r{*c.v};
        if (c.size_query)
            r.h.rec.fail_size_query(c.path);
        else
            r.h.rec.remove_image(c.path);
        auto orange = r.lamp();
        r.set(*orange, {{"color_box", c.colour}, {"icon_color", 4}});
        const int32_t dirty = orange->record()->dirty;
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_EQ(r.draw(*orange), -1);
            if (c.size_query) {
                EXPECT_TRUE(r.h.has("image_info " + c.path + " 0 -> fail"));
            } else {
                EXPECT_EQ(r.h.find(loaded(c.path, false)), r.h.find(loading(*c.v, c.path)) + 1);
                EXPECT_EQ(r.h.eng.log().back().level, 2);
            }
            EXPECT_EQ(r.count("get_clip") + r.count("draw"), 0);
            EXPECT_EQ(orange->record()->dirty, dirty);
        }
        if (c.path == k_reset) continue; // every alarm with the symbol needs that one
        auto white = r.lamp();
        EXPECT_EQ(r.draw(*white), 0);
    }
}

// Paths are composed in 204 bytes. "images/Icons/windshield_washer_fluid_black.png" is 46 bytes:
// with the directory, a slash and the terminating zero it fits up to a 156-byte directory.
TEST(alarm_lamp, a_path_longer_than_its_buffer_is_a_failed_load_without_a_loading_line) {
    for (const variant *v : k_variants) {
        const struct { size_t base_length; int result; int icon_lines; } cases[] = {{156, 0, 2}, {157, -1, 0},
                                                                                    {300, -1, 0}};
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(v->name) + " base " + std::to_string(c.base_length));
            rig r{*v, "/" + std::string(c.base_length - 1, 'a')};
            auto a = r.lamp(22);
            r.set(*a, {{"icon_color", 9}});
            EXPECT_EQ(r.draw(*a), c.result);
            const std::string icon = "windshield_washer_fluid_black.png";
            EXPECT_EQ(r.count("log", icon) + r.count("load_image", icon), c.icon_lines);
            EXPECT_EQ(r.count("get_clip"), c.result + 1);
            if (c.base_length == 300) {
                EXPECT_EQ(r.h.trace(), strings{});
            }
        }
    }
}

TEST(alarm_lamp, font_failures_leave_out_only_the_text) {
    for (const variant *v : k_variants) {
        SCOPED_TRACE(v->name);
        rig r{*v};
        r.h.eng.fonts().clear();
        r.h.eng.fonts().stage_font_failure("fonts/Broken.otf");
        auto a = r.lamp();
        r.h.set(*a, "font", ""); // empty: the default font
        ASSERT_EQ(r.draw(*a), 0);
        EXPECT_EQ(r.h.lines("log 0"), strings{"log 0 " + std::string(v->name) + ": Couldn't get font reference " +
                                              k_font_name});
        EXPECT_EQ(r.count("set_clip") + r.count("draw_text") + r.count("text_extent"), 1);
        EXPECT_EQ(r.count("draw_image", "white_reset"), 1); // the rest is drawn
        EXPECT_EQ(r.h.trace().back(), "clear_clip");
        EXPECT_EQ(a->record()->dirty, 0);
        r.h.set(*a, "font", "fonts/Broken.otf");
        ASSERT_EQ(r.draw(*a), 0);
        EXPECT_TRUE(r.h.has("res_release \"fonts/Broken.otf\""));
        EXPECT_EQ(r.h.lines("log 0"), strings{"log 0 " + std::string(v->name) + ": Invalid argument, unable to find "
                                                                                  "font"});
        EXPECT_EQ(r.count("draw_text"), 0);
    }
}

// The text rectangle ends at x1 - 36 (modern) or x1 - 37 (classic); without the reset symbol the
// classic one ends at x1 - 7 from the next draw on. It is clipped to the clip in force before the
// draw, and the text is placed in the whole rectangle.
TEST(alarm_lamp, text_rectangle_follows_the_reset_symbol_and_the_clip_before_the_draw) {
    for (const variant *v : k_variants) {
        SCOPED_TRACE(v->name);
        rig r{*v};
        auto a = r.lamp();
        r.h.rec.set_clip_state(gr_rect_t{0, 0, 200, 479});
        ASSERT_EQ(r.draw(*a), 0);
        EXPECT_EQ(r.h.lines("set_clip"),
                  (strings{"set_clip 10 20 200 100", "set_clip 116 21 200 99", "set_clip 0 0 200 479"}));
        EXPECT_EQ(r.text_at(), std::to_string(310 - v->gap_reset - 24 + v->overhang) + " 52"); // 251 in both
        r.h.rec.set_clip_state(gr_rect_t{0, 0, 100, 479}); // ends left of the text: no text
        ASSERT_EQ(r.draw(*a), 0);
        EXPECT_EQ(r.h.lines("set_clip"), (strings{"set_clip 10 20 100 100", "set_clip 0 0 100 479"}));
        EXPECT_EQ(r.count("draw_text") + a->record()->dirty, 0);
        r.h.rec.set_clip_state(std::nullopt);
        r.set(*a, {{"reset_mode", 0}});
        ASSERT_EQ(r.draw(*a), 0);
        EXPECT_EQ(r.clip(1), "116 21 " + std::to_string(310 - v->gap) + " 99");
        EXPECT_EQ(r.count("draw_image", "white_reset"), 0);
    }
}

// Box pieces and the reset symbol are the plug-in's: loaded once for all alarms (a colour by the
// first alarm that shows it) and released at fini. The icon is each instance's own: released and
// reloaded at every box colour change, loaded anew by a clone, released by destroy.
TEST(alarm_lamp, shared_images_load_once_per_plugin_and_icons_belong_to_each_instance) {
    for (const variant *v : k_variants) {
        SCOPED_TRACE(v->name);
        rig r{*v};
        auto a = r.lamp(), b = r.lamp();
        ASSERT_EQ(r.draw(*a), 0);
        ASSERT_EQ(r.draw(*b), 0);
        EXPECT_EQ(r.h.lines("log"), strings{loading(*v, k_cross)});
        EXPECT_EQ(r.h.lines("load_image"), strings{loaded(k_cross)});
        EXPECT_EQ(r.layouts(), v->pieces);
        for (pitwall::instance *alarm : {b.get(), a.get()}) {
            r.set(*alarm, {{"color_box", 2}});
            ASSERT_EQ(r.draw(*alarm), 0);
            EXPECT_EQ(r.h.find("release_image " + k_cross), 0);
            EXPECT_EQ(r.count("load_image", "_box"), alarm == b.get() ? v->pieces : 0);
            EXPECT_EQ(r.count("log"), r.count("load_image"));
            EXPECT_EQ(r.h.lines("load_image ").back(), loaded(k_cross));
            EXPECT_EQ(r.layouts(), v->pieces);
            EXPECT_EQ(r.count("draw_image_part", box_image(*v, 2)), 9);
        }
        auto copy = a->clone();
        r.h.rec.clear_trace();
        a.reset(); // the clone shares neither strings nor icon with its source
        b.reset();
        EXPECT_EQ(r.h.trace(), (strings{"release_image " + k_cross, "release_image " + k_cross}));
        ASSERT_EQ(r.draw(*copy), 0);
        EXPECT_EQ(r.h.lines("load_image"), strings{loaded(k_cross)});
        EXPECT_EQ(r.layouts(), v->pieces);
        EXPECT_EQ(r.text_at(), std::to_string(310 - v->gap_reset - 24 + v->overhang) + " 52");
        r.h.rec.clear_trace();
        copy.reset();
        EXPECT_EQ(r.h.trace(), strings{"release_image " + k_cross});
        r.h.rec.clear_trace();
        r.h.eng.unload_all();
        strings released = r.h.trace(), expected{"release_image " + k_reset};
        for (int colour : {1, 2})
            for (int p = 0; p < v->pieces; ++p) expected.push_back("release_image " + box_image(*v, colour, p));
        std::sort(released.begin(), released.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(released, expected);
        EXPECT_EQ(r.h.rec.live_images(), 0);
    }
}

} // namespace
