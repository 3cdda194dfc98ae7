// Basic Box through the real library: box, title band, value text placement, alpha, threshold
// colours, stored bits, failures, clone and destroy.
//
// Every test draws on a control at (10, 20) of 120 x 80 unless it says otherwise, so the box is
// (11, 21)..(128, 98). Text model: 8 pixels per byte, line height = font size.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using pitwall::testing::plugin_harness;

const std::string k_font = "font=\"fonts/CPMono_v07 Plain.otf\"";

struct basic_box : ::testing::Test {
    plugin_harness h{"libgre-plugin-ValueBoxPlain"};
    gr_control_t ctl = h.control(10, 20, 120, 80);

    void SetUp() override { h.eng.fonts().add_font("fonts/CPMono_v07 Plain.otf"); }

    // A box in the normal state with opaque colours, a title "Oil" at 20 px and "42.5" at 16 px.
    std::unique_ptr<pitwall::instance> box(bool with_title = true) {
        auto b = h.make();
        set(*b, {{"lower_text", 0xff0000a0}, {"color_text", 0xffe0e0e0}, {"upper_text", 0xffa00000},
                 {"lower_title", 0xff0000a1}, {"color_title", 0xffe0e0e1}, {"upper_title", 0xffa00001},
                 {"lower_box", 0xff0000a2}, {"color_box", 0xff808080}, {"upper_box", 0xffa00002},
                 {"lower_bg", 0xff0000a3}, {"color_bg", 0xff202020}, {"upper_bg", 0xffa00003},
                 {"title_size", 20}, {"font_size", 16}, {"alignment", 2}});
        h.set(*b, "render_text", "42.5");
        if (with_title) h.set(*b, "render_title", "Oil");
        return b;
    }
    void set(pitwall::instance &b, std::vector<std::pair<std::string, int64_t>> values) {
        for (const auto &[name, value] : values) h.set(b, name, value);
    }
    // The lines from the first one equal to `first`, count of them.
    std::vector<std::string> from(const std::string &first, size_t count) const {
        int i = h.find(first);
        if (i < 0) return {"(no line " + first + ")"};
        const auto &t = h.trace();
        return std::vector<std::string>(t.begin() + i, t.begin() + std::min(t.size(), i + count));
    }
    // x and y of the value text "42.5", or "none".
    std::string value_at() const {
        for (const std::string &l : h.lines("draw_text "))
            if (l.find("\"42.5\"") != std::string::npos) return l.substr(10, l.find(" \"") - 10);
        return "none";
    }
};

TEST_F(basic_box, draws_box_separator_centred_title_and_centred_value) {
    auto b = box();
    EXPECT_EQ(h.draw(*b, ctl), 0);
    // Title band 20 + 21 = 41; title offset 17 - trunc(20 * 0.4) = 9.
    // Title x: 12 + (127 - 12 - 24) / 2 = 57. Value row 63..97, W = 115, w = 32:
    // x = 12 + (115 - 32) / 2 = 53, y = 63 + (97 - 63 - 16) / 2 = 72.
    EXPECT_EQ(h.rec.trace_text(),
              "res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=20 -> ok\n"
              "res_font \"fonts/CPMono_v07 Plain.otf\" -> ok\n"
              "text_extent \"Oil\" size=20 -> 24x20\n"
              "get_clip -> none\n"
              "set_clip 11 21 128 98\n"
              "fill_rect 11 21 128 98 #202020\n"
              "stroke_rect 11 21 128 98 #808080\n"
              "stroke_rect 12 62 127 62 #808080\n"
              "set_clip 12 22 127 61\n"
              "draw_text 57 31 \"Oil\" " + k_font + " size=20 colour=#ffe0e0e1\n"
              "res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=16 -> ok\n"
              "res_font \"fonts/CPMono_v07 Plain.otf\" -> ok\n"
              "set_clip 12 63 127 97\n"
              "text_extent \"42.5\" size=16 -> 32x16\n"
              "font_metrics " + k_font + " size=16 -> 16\n"
              "draw_text 53 72 \"42.5\" " + k_font + " size=16 colour=#ffe0e0e0\n"
              "clear_clip\n");
    EXPECT_EQ(b->record()->dirty, 0);
}

TEST_F(basic_box, no_title_has_no_separator_and_the_value_row_starts_below_the_top_edge) {
    auto b = box(false);
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_EQ(h.lines("stroke_rect"), (std::vector<std::string>{"stroke_rect 11 21 128 98 #808080"}));
    EXPECT_EQ(h.lines("res_lookup").size(), 1u); // the value font only
    EXPECT_TRUE(h.has("set_clip 12 22 127 97"));
    EXPECT_EQ(value_at(), "53 51"); // 22 + (97 - 22 - 16) / 2
}

TEST_F(basic_box, empty_title_draws_the_separator_on_the_top_edge_and_no_title) {
    auto b = box(false);
    h.set(*b, "render_title", "");
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_EQ(h.lines("stroke_rect"), (std::vector<std::string>{"stroke_rect 11 21 128 98 #808080",
                                                                "stroke_rect 12 21 127 21 #808080"}));
    EXPECT_EQ(h.lines("draw_text").size(), 1u);
    EXPECT_EQ(value_at(), "53 51");
}

TEST_F(basic_box, larger_titles_sit_higher_in_their_band) {
    // offset = 17 - trunc(size * 0.4): 9, 13, 17; band = size + 21.
    const struct { int64_t size; int y; int separator; } cases[] = {{20, 31, 62}, {10, 35, 52}, {0, 39, 42}};
    for (const auto &c : cases) {
        auto b = box();
        h.set(*b, "title_size", c.size);
        EXPECT_EQ(h.draw(*b, ctl), 0);
        const std::string size = " size=" + std::to_string(c.size);
        EXPECT_TRUE(h.has("draw_text 57 " + std::to_string(c.y) + " \"Oil\" " + k_font + size + " colour=#ffe0e0e1"))
            << h.rec.trace_text();
        EXPECT_TRUE(h.has("stroke_rect 12 " + std::to_string(c.separator) + " 127 " + std::to_string(c.separator) +
                          " #808080"));
    }
}

TEST_F(basic_box, background_alpha_is_set_for_the_fill_alone_and_restored_right_after) {
    const struct { int64_t colour; const char *set; } cases[] = {{0x00102030, "set_attr 2 0"},
                                                                  {0x80102030, "set_attr 2 128"}};
    for (const auto &c : cases) {
        auto b = box();
        h.set(*b, "color_bg", c.colour);
        EXPECT_EQ(h.draw(*b, ctl), 0);
        EXPECT_EQ(from(c.set, 4), (std::vector<std::string>{c.set, "fill_rect 11 21 128 98 #102030", "restore_attr 2",
                                                            "stroke_rect 11 21 128 98 #808080"}));
        EXPECT_EQ(h.lines("set_attr").size(), 1u);
    }
    auto opaque = box();
    h.set(*opaque, "color_bg", int64_t{0xff102030});
    EXPECT_EQ(h.draw(*opaque, ctl), 0);
    EXPECT_TRUE(h.has("fill_rect 11 21 128 98 #102030"));
    EXPECT_TRUE(h.lines("set_attr").empty());
    EXPECT_TRUE(h.lines("restore_attr").empty());
}

TEST_F(basic_box, outline_alpha_covers_outline_and_separator_and_text_colours_pass_all_bits) {
    auto b = box();
    set(*b, {{"color_box", 0x40808080}, {"color_text", 0x80e0e0e0}});
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_EQ(from("set_attr 2 64", 4),
              (std::vector<std::string>{"set_attr 2 64", "stroke_rect 11 21 128 98 #808080",
                                        "stroke_rect 12 62 127 62 #808080", "restore_attr 2"}));
    EXPECT_EQ(h.lines("set_attr").size(), 1u);
    EXPECT_TRUE(h.has("draw_text 53 72 \"42.5\" " + k_font + " size=16 colour=#80e0e0e0"));
}

// Instance offsets and sizes of its own, a transparent outline, a half-transparent fill, a right-
// aligned value text taller than its row. Control (5, 7) 60 x 50, instance offset (3, -2), size
// 50 x 40: X = 8, Y = 5, box (9, 6)..(56, 43). Title "T" at 12 px: 8 x 12, band 33, offset
// 17 - trunc(4.8) = 13, x = 10 + (55 - 10 - 8) / 2 = 28. Value row (10, 40)..(55, 42): W = 45,
// "AB" 16 wide at 10 px, x = 10 + 45 - 16 - 5 = 34, y = 40 + (42 - 40 - 10) / 2 = 36.
TEST_F(basic_box, own_offsets_and_sizes_alphas_and_a_value_text_taller_than_its_row) {
    auto b = h.make();
    set(*b, {{"x", 3}, {"y", 0xfffffffe}, {"width", 50}, {"height", 40}, {"title_size", 12}, {"font_size", 10},
             {"alignment", 3}, {"color_bg", 0x80102030}, {"color_box", 0x00ffffff}, {"color_title", 0xff112233},
             {"color_text", 0xff445566}});
    h.set(*b, "render_title", "T");
    h.set(*b, "render_text", "AB");
    EXPECT_EQ(h.draw(*b, h.control(5, 7, 60, 50)), 0);
    EXPECT_EQ(h.rec.trace_text(),
              "res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=12 -> ok\n"
              "res_font \"fonts/CPMono_v07 Plain.otf\" -> ok\n"
              "text_extent \"T\" size=12 -> 8x12\n"
              "get_clip -> none\n"
              "set_clip 9 6 56 43\n"
              "set_attr 2 128\n"
              "fill_rect 9 6 56 43 #102030\n"
              "restore_attr 2\n"
              "set_attr 2 0\n"
              "stroke_rect 9 6 56 43 #ffffff\n"
              "stroke_rect 10 39 55 39 #ffffff\n"
              "restore_attr 2\n"
              "set_clip 10 7 55 38\n"
              "draw_text 28 20 \"T\" " + k_font + " size=12 colour=#ff112233\n"
              "res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=10 -> ok\n"
              "res_font \"fonts/CPMono_v07 Plain.otf\" -> ok\n"
              "set_clip 10 40 55 42\n"
              "text_extent \"AB\" size=10 -> 16x10\n"
              "font_metrics " + k_font + " size=10 -> 10\n"
              "draw_text 34 36 \"AB\" " + k_font + " size=10 colour=#ff445566\n"
              "clear_clip\n");
}

TEST_F(basic_box, alignment_left_centre_and_everything_else_right_with_five_pixel_margins) {
    // W = 115, w = 32: left 12 + 5, centre 12 + 41, right 12 + 115 - 32 - 5.
    const struct { int64_t alignment; const char *at; } cases[] = {
        {0, "90 72"}, {1, "17 72"}, {2, "53 72"}, {3, "90 72"}, {255, "90 72"}, {257, "17 72"}};
    for (const auto &c : cases) {
        auto b = box();
        h.set(*b, "alignment", c.alignment);
        EXPECT_EQ(h.draw(*b, ctl), 0);
        EXPECT_EQ(value_at(), c.at) << "alignment " << c.alignment;
    }
}

TEST_F(basic_box, box_too_low_for_the_value_text_draws_everything_else) {
    auto b = box();
    // Height 44: box 21..62, value row 63..61 is empty.
    EXPECT_EQ(h.draw(*b, h.control(10, 20, 120, 44)), 0);
    EXPECT_TRUE(h.has("fill_rect 11 21 128 62 #202020"));
    EXPECT_TRUE(h.has("stroke_rect 12 62 127 62 #808080"));
    EXPECT_EQ(h.lines("draw_text").size(), 1u);
    EXPECT_TRUE(h.lines("text_extent \"42.5\"").empty());
    EXPECT_EQ(h.trace().back(), "clear_clip");
    EXPECT_EQ(b->record()->dirty, 0);

    // Height 46: a one-pixel value row 63..63 still takes the text, centred on it.
    EXPECT_EQ(h.draw(*b, h.control(10, 20, 120, 46)), 0);
    EXPECT_TRUE(h.has("set_clip 12 63 127 63"));
    EXPECT_EQ(value_at(), "53 55"); // 63 + (63 - 63 - 16) / 2

    // Height 32: box 21..50, lower than the title band; the title row keeps its full height
    // within the clip in force before the draw, so the title may reach below the box.
    EXPECT_EQ(h.draw(*b, h.control(10, 20, 120, 32)), 0);
    EXPECT_TRUE(h.has("set_clip 12 22 127 61"));
    EXPECT_EQ(h.lines("draw_text").size(), 1u);
}

TEST_F(basic_box, sizes_are_stored_by_their_low_bits) {
    auto b = box();
    ASSERT_EQ(h.draw(*b, ctl), 0);
    set(*b, {{"font_size", 65536 + 16}, {"title_size", 256 + 20}});
    EXPECT_EQ(b->record()->dirty, 0) << "same low bits: no change";

    set(*b, {{"font_size", 65536 + 24}, {"title_size", 256 + 10}});
    EXPECT_EQ(b->record()->dirty, 2);
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_EQ(h.lines("res_lookup"),
              (std::vector<std::string>{"res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=10 -> ok",
                                        "res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=24 -> ok"}));

    h.set(*b, "font_size", int64_t{-1}); // 0xffff, a pixel size read as unsigned
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_TRUE(h.has("res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=65535 -> ok"));
}

TEST_F(basic_box, cfg_and_equal_values_change_nothing) {
    auto b = box();
    ASSERT_EQ(h.draw(*b, ctl), 0);
    const std::string first = h.rec.trace_text();
    h.set(*b, "cfg", int64_t{7});
    set(*b, {{"color_bg", 0xff202020}, {"alignment", 2}});
    h.set(*b, "render_text", "42.5");
    EXPECT_EQ(b->record()->dirty, 0);
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_EQ(h.rec.trace_text(), first);
}

TEST_F(basic_box, hysteresis_keeps_the_alarm_colours_inside_the_band) {
    auto b = box();
    h.set(*b, "upper_limit", int64_t{1});
    h.set(*b, "upper_value", 100.0);
    h.set(*b, "upper_hyst", 5.0);
    const struct { double value; const char *bg, *box, *title, *text; } steps[] = {
        {99, "#202020", "#808080", "#ffe0e0e1", "#ffe0e0e0"},
        {100, "#a00003", "#a00002", "#ffa00001", "#ffa00000"},
        {97, "#a00003", "#a00002", "#ffa00001", "#ffa00000"},
        {94, "#202020", "#808080", "#ffe0e0e1", "#ffe0e0e0"},
    };
    for (const auto &s : steps) {
        h.set(*b, "value", s.value);
        EXPECT_EQ(h.draw(*b, ctl), 0);
        EXPECT_TRUE(h.has(std::string("fill_rect 11 21 128 98 ") + s.bg)) << s.value;
        EXPECT_TRUE(h.has(std::string("stroke_rect 12 62 127 62 ") + s.box)) << s.value;
        EXPECT_TRUE(h.has("draw_text 57 31 \"Oil\" " + k_font + " size=20 colour=" + s.title)) << s.value;
        EXPECT_TRUE(h.has("draw_text 53 72 \"42.5\" " + k_font + " size=16 colour=" + s.text)) << s.value;
    }
    h.set(*b, "lower_limit", int64_t{1});
    h.set(*b, "lower_value", 10.0);
    h.set(*b, "value", 10.0);
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_TRUE(h.has("fill_rect 11 21 128 98 #0000a3"));
}

TEST_F(basic_box, infinite_and_nan_values_follow_the_enabled_limits_only) {
    auto b = box();
    h.set(*b, "value", "inf"); // no limit enabled: normal
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_TRUE(h.has("fill_rect 11 21 128 98 #202020"));
    h.set(*b, "upper_limit", int64_t{1});
    h.set(*b, "upper_value", 100.0);
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_TRUE(h.has("fill_rect 11 21 128 98 #a00003"));
    h.set(*b, "value", "nan"); // keeps the upper state while the limit is enabled
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_TRUE(h.has("fill_rect 11 21 128 98 #a00003"));
    h.set(*b, "upper_limit", int64_t{0}); // and returns to normal once it is not
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_TRUE(h.has("fill_rect 11 21 128 98 #202020"));
}

TEST_F(basic_box, title_font_failure_returns_minus_one_before_drawing_and_keeps_dirty) {
    auto b = box();
    h.set(*b, "font", "fonts/Missing.otf");
    const int32_t dirty = b->record()->dirty;
    ASSERT_GT(dirty, 0);
    EXPECT_EQ(h.draw(*b, ctl), -1);
    EXPECT_EQ(h.rec.trace_text(),
              "res_lookup font \"fonts/Missing.otf\" size=20 -> null\n"
              "log 0 Basic Box: Couldn't get font reference fonts/Missing.otf\n");
    EXPECT_EQ(b->record()->dirty, dirty);

    h.eng.fonts().stage_font_failure("fonts/Broken.otf");
    h.set(*b, "font", "fonts/Broken.otf");
    EXPECT_EQ(h.draw(*b, ctl), -1);
    EXPECT_EQ(h.rec.trace_text(),
              "res_lookup font \"fonts/Broken.otf\" size=20 -> ok\n"
              "res_font \"fonts/Broken.otf\" -> null\n"
              "res_release \"fonts/Broken.otf\"\n"
              "log 0 Basic Box: Invalid argument, unable to find font\n");
    EXPECT_EQ(b->record()->dirty, dirty + 1);
}

TEST_F(basic_box, value_font_failure_leaves_out_only_the_value_text) {
    h.eng.fonts().clear(); // not even the default font
    auto b = box(false);
    h.set(*b, "render_title", "");
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_EQ(h.rec.trace_text(),
              "get_clip -> none\n"
              "set_clip 11 21 128 98\n"
              "fill_rect 11 21 128 98 #202020\n"
              "stroke_rect 11 21 128 98 #808080\n"
              "stroke_rect 12 21 127 21 #808080\n"
              "res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=16 -> null\n"
              "log 0 Basic Box: Couldn't get font reference fonts/CPMono_v07 Plain.otf\n"
              "clear_clip\n");
    EXPECT_EQ(b->record()->dirty, 0);
}

TEST_F(basic_box, title_and_value_are_clipped_to_the_clip_in_force_before_the_draw) {
    auto b = box();
    h.rec.set_clip_state(gr_rect_t{0, 0, 60, 479});
    EXPECT_EQ(h.draw(*b, ctl), 0);
    EXPECT_EQ(h.lines("set_clip"), (std::vector<std::string>{"set_clip 11 21 60 98", "set_clip 12 22 60 61",
                                                             "set_clip 12 63 60 97", "set_clip 0 0 60 479"}));
    EXPECT_EQ(value_at(), "53 72"); // placed in the whole value row, clipped by the host
}

TEST_F(basic_box, clone_owns_its_strings_copies_the_state_and_lays_out_anew) {
    auto b = box();
    h.set(*b, "upper_limit", int64_t{1});
    h.set(*b, "upper_value", 100.0);
    h.set(*b, "upper_hyst", 5.0);
    h.set(*b, "value", 100.0);
    ASSERT_EQ(h.draw(*b, ctl), 0); // upper state
    h.set(*b, "value", 97.0);      // inside the band, not drawn yet
    auto copy = b->clone();
    b.reset(); // the clone must not share the source's strings
    EXPECT_EQ(h.draw(*copy, ctl), 0);
    EXPECT_TRUE(h.has("draw_text 57 31 \"Oil\" " + k_font + " size=20 colour=#ffa00001"));
    EXPECT_TRUE(h.has("draw_text 53 72 \"42.5\" " + k_font + " size=16 colour=#ffa00000"));
    h.set(*copy, "render_title", "Water");
    EXPECT_EQ(h.draw(*copy, ctl), 0);
    EXPECT_TRUE(h.has("text_extent \"Water\" size=20 -> 40x20"));
}

TEST_F(basic_box, attribute_table_after_the_common_entries) {
    std::vector<std::string> own;
    for (const gr_attribute_t &a : h.plug()->attributes())
        if (a.id >= 12) own.push_back(std::to_string(a.id) + " " + a.name + " " + a.type);
    EXPECT_EQ(own, (std::vector<std::string>{
                       "12 value 4f1",       "13 render_title 1s0", "14 render_text 1s0", "15 font_size 4s1",
                       "16 cfg 4s1",         "17 font 1s0",         "18 alignment 4s1",   "19 lower_text 4s1",
                       "20 color_text 4s1",  "21 upper_text 4s1",   "22 lower_title 4s1", "23 color_title 4s1",
                       "24 upper_title 4s1", "25 lower_box 4s1",    "26 color_box 4s1",   "27 upper_box 4s1",
                       "28 lower_bg 4s1",    "29 color_bg 4s1",     "30 upper_bg 4s1",    "31 lower_limit 1u1",
                       "32 upper_limit 1u1", "33 lower_value 4f1",  "34 upper_value 4f1", "35 lower_hyst 4f1",
                       "36 upper_hyst 4f1",  "37 title_size 4s1"}));
    EXPECT_EQ(h.plug()->display_name(), "Basic Box");
}

} // namespace
