// The three labels through their real libraries: line splitting, the nine positions, quarter
// turns, threshold colours, scrolling, menu lines, the counting of sets, font failures and clones.
//
// Every draw uses a control at (10, 20) of 120 x 80 unless it says otherwise: the box is
// (10, 20)..(130, 100), W' = 120, H' = 80. Text model: 8 pixels per byte; font size 16 with a
// line height L = 18, so that the size and the line pitch cannot be mistaken for each other.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using pitwall::attr_value;
using pitwall::null_string;
using pitwall::testing::plugin_harness;
using ops = std::vector<std::string>;
using values = std::vector<std::pair<std::string, attr_value>>;

const std::string k_default_font = "fonts/CPMono_v07 Plain.otf";
const std::string k_style = " font=\"" + k_default_font + "\" size=16 colour=";
const std::string k_metrics = "font_metrics font=\"" + k_default_font + "\" size=16 -> 18\n";
const std::string k_lookup =
    "res_lookup font \"" + k_default_font + "\" size=16 -> ok\nres_font \"" + k_default_font + "\" -> ok\n";

struct rig {
    plugin_harness h;
    gr_control_t ctl;

    explicit rig(const std::string &deliverable) : h{deliverable}, ctl{h.control(10, 20, 120, 80)} {
        h.eng.fonts().add_font(k_default_font);
        h.rec.set_line_height(16, 18);
    }
    std::unique_ptr<pitwall::instance> make(const values &sets) {
        auto inst = h.make();
        h.set(*inst, "font_size", int64_t{16});
        for (const auto &[name, value] : sets) h.set(*inst, name, value);
        return inst;
    }
    // The drawing lines of the last draw, texts without their style: "10 20 \"Oil\"", "set_attr 3 90".
    ops drawn() const {
        ops out;
        for (const std::string &l : h.trace()) {
            if (l.rfind("draw_text ", 0) == 0) out.push_back(l.substr(10, l.find(" font=") - 10));
            else if (l.rfind("set_attr", 0) == 0 || l.rfind("restore_attr", 0) == 0) out.push_back(l);
        }
        return out;
    }
};

// ---- Label ---------------------------------------------------------------------------------

struct label : ::testing::Test {
    rig r{"libgre-plugin-TextLabel"};
    // Normal state (no limit enabled) draws in color_text.
    std::unique_ptr<pitwall::instance> text(const std::string &t, int64_t alignment = 1, int64_t orientation = 0) {
        return r.make({{"lower_text", int64_t{0x0000ff}}, {"color_text", int64_t{0x00ff00}},
                       {"upper_text", int64_t{0xff0000}}, {"alignment", alignment}, {"orientation", orientation},
                       {"render_text", t}});
    }
};

TEST_F(label, lines_at_the_top_left_stack_one_line_height_apart_with_empty_lines_measured) {
    auto l = text("Oil<br><br>Fuel");
    EXPECT_EQ(r.h.draw(*l, r.ctl), 0);
    const std::string style = k_style + "#00ff00\n";
    EXPECT_EQ(r.h.rec.trace_text(),
              "get_clip -> none\nset_clip 10 20 130 100\n" + k_lookup +
              "text_extent \"Oil\" size=16 -> 24x18\n" + k_metrics + "draw_text 10 20 \"Oil\"" + style +
              "text_extent \"\" size=16 -> 0x18\n" + k_metrics + "draw_text 10 38 \"\"" + style +
              "text_extent \"Fuel\" size=16 -> 32x18\n" + k_metrics + "draw_text 10 56 \"Fuel\"" + style +
              "clear_clip\n");
    EXPECT_EQ(l->record()->dirty, 0);
}

TEST_F(label, markers_split_only_unturned_text_at_the_top_left_and_turns_draw_from_the_turning_point) {
    const auto turned = [](const std::string &angle, const std::string &at) {
        return ops{"set_attr 3 " + angle, at, "restore_attr 3"};
    };
    const struct { const char *text; int64_t alignment, orientation; ops drawn; } cases[] = {
        {"Oil<br>Fuel", 1, 0, {"10 20 \"Oil\"", "10 38 \"Fuel\""}},
        {"Oil<br>", 1, 0, {"10 20 \"Oil\""}}, // no line after a final marker
        {"<br>Oil", 1, 0, {"10 20 \"\"", "10 38 \"Oil\""}},
        {"Oil<br", 1, 0, {"10 20 \"Oil<br\""}},
        // One segment of 11 bytes, 88 wide: centre (10 + 16, 20 + 31), middle left (10, 51).
        {"Oil<br>Fuel", 5, 0, {"26 51 \"Oil<br>Fuel\""}},
        {"Oil<br>Fuel", 4, 0, {"10 51 \"Oil<br>Fuel\""}},
        // Turned, at x = 10 + dx + (bw - L), y = 20 + dy (+ bh unless the turn is 1 or 2); L = 18.
        // 88 wide: 90 degrees, bw = 18, bh = 88; 180 degrees, bw = 88, bh = 18.
        {"Oil<br>Fuel", 1, 1, turned("90", "10 20 \"Oil<br>Fuel\"")},
        {"Oil<br>Fuel", 1, 2, turned("180", "80 20 \"Oil<br>Fuel\"")},
        // "AB", 16 wide. 90 and 270: bw = 18, bh = 16, centred dx = 51, dy = 32, bottom right
        // dx = 102, dy = 80 - 16 + 1 = 65; 180 and other turns: bw = 16, bh = 18, dx = 52, dy = 31.
        {"AB", 5, 1, turned("90", "61 52 \"AB\"")},   {"AB", 5, 2, turned("180", "60 51 \"AB\"")},
        {"AB", 5, 3, turned("270", "61 68 \"AB\"")},  {"AB", 5, 4, turned("360", "60 69 \"AB\"")},
        {"AB", 5, -1, turned("-90", "60 69 \"AB\"")}, {"AB", 9, 1, turned("90", "112 85 \"AB\"")},
        {"AB", 9, 3, turned("270", "112 101 \"AB\"")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " alignment " + std::to_string(c.alignment) + " orientation " +
                     std::to_string(c.orientation));
        auto l = text(c.text, c.alignment, c.orientation);
        EXPECT_EQ(r.h.draw(*l, r.ctl), 0);
        EXPECT_EQ(r.drawn(), c.drawn);
    }
}

TEST_F(label, nine_positions_truncating_centres_and_out_of_range_alignments) {
    // "AB": w = 16, bh = 18. Columns x = 10 + {0, (120 - 16) / 2, 120 - 16} = 10, 62, 114;
    // rows y = 20 + {0, (80 - 18) / 2, 80 - 18 + 1} = 20, 51, 83. 0 is top right, above 9 the
    // bottom row; the attribute keeps 8 bits (256 is 0, -1 is 255).
    const struct { int64_t alignment; int16_t w, h; const char *at; } cases[] = {
        {1, 120, 80, "10 20"},  {2, 120, 80, "62 20"},  {3, 120, 80, "114 20"}, {4, 120, 80, "10 51"},
        {5, 120, 80, "62 51"},  {6, 120, 80, "114 51"}, {7, 120, 80, "10 83"},  {8, 120, 80, "62 83"},
        {9, 120, 80, "114 83"}, {0, 120, 80, "114 20"}, {10, 120, 80, "10 83"}, {11, 120, 80, "62 83"},
        {12, 120, 80, "114 83"}, {255, 120, 80, "114 83"}, {256, 120, 80, "114 20"}, {-1, 120, 80, "114 83"},
        // A 13 x 13 box: (13 - 16) / 2 = -1 and (13 - 18) / 2 = -2 toward zero; bottom 13 - 18 + 1.
        {5, 13, 13, "9 18"}, {9, 13, 13, "7 16"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("alignment " + std::to_string(c.alignment));
        auto l = text("AB", c.alignment);
        EXPECT_EQ(r.h.draw(*l, r.h.control(10, 20, c.w, c.h)), 0);
        EXPECT_EQ(r.drawn(), (ops{std::string(c.at) + " \"AB\""}));
    }
}

TEST_F(label, colour_follows_the_flag_tested_threshold_state) {
    auto l = text("AB");
    for (const auto &[name, value] : values{
             {"lower_limit", int64_t{1}}, {"lower_value", 10.0}, {"lower_hyst", 2.0},
             {"upper_limit", int64_t{1}}, {"upper_value", 100.0}, {"upper_hyst", 5.0}})
        r.h.set(*l, name, value);
    const struct { const char *name; attr_value value; const char *colour; } steps[] = {
        {"value", 11.0, "#0000ff"}, // a new record starts in state 0 and 11 is inside the band
        {"value", 12.0, "#0000ff"},  {"value", 12.1, "#00ff00"},  {"value", 10.0, "#0000ff"},
        {"value", 99.0, "#00ff00"},  {"value", 100.0, "#ff0000"}, {"value", 95.0, "#ff0000"},
        {"value", 94.9, "#00ff00"},  {"value", 45.0, "#00ff00"},
        {"lower_value", 50.0, "#0000ff"}, {"upper_value", 40.0, "#ff0000"}, // crossed limits: upper wins
        {"upper_limit", int64_t{0}, "#0000ff"}, {"lower_limit", int64_t{0}, "#00ff00"},
        {"value", "inf", "#00ff00"}, // no limit enabled: normal even for infinity
        {"upper_limit", int64_t{1}, "#ff0000"},
        {"value", "nan", "#ff0000"}, {"upper_limit", int64_t{0}, "#00ff00"},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(std::string(s.name) + " step to " + s.colour);
        r.h.set(*l, s.name, s.value);
        EXPECT_EQ(r.h.draw(*l, r.ctl), 0);
        EXPECT_TRUE(r.h.has("draw_text 10 20 \"AB\"" + k_style + s.colour)) << r.h.rec.trace_text();
    }
}

TEST_F(label, font_size_lowers_the_level_to_0_other_attributes_to_1_and_cfg_to_nothing) {
    struct head { // the record's leading fields, in their order
        float value;
        char *render_text;
        int32_t text_len, threshold_state, level; // level 2: up to date
    };
    auto l = text("AB");
    ASSERT_EQ(r.h.draw(*l, r.ctl), 0);
    const struct { const char *name; int64_t value; int32_t level; } steps[] = {
        {"cfg", 7, 2}, {"alignment", 2, 1}, {"font_size", 20, 0}, {"orientation", 1, 0}}; // never back up
    for (const auto &s : steps) {
        r.h.set(*l, s.name, s.value);
        EXPECT_EQ(static_cast<const head *>(l->data())->level, s.level) << s.name;
    }
}

TEST_F(label, equal_values_and_cfg_leave_dirty_unchanged) {
    // Each row: a fresh label, the first value set and drawn, then the second value set.
    const struct { const char *name; attr_value first, second; int32_t dirty; } rows[] = {
        {"value", 1.5, 1.5, 0},         {"value", 1.5, 2.5, 1},          {"value", "nan", "nan", 1},
        {"render_text", "A", "A", 0},   {"render_text", "A", "B", 1},    {"render_text", "A", null_string{}, 1},
        {"font", "", "", 0},            {"font", null_string{}, null_string{}, 1}, // null stored: a change
        {"font_size", int64_t{16}, int64_t{65536 + 16}, 0}, {"font_size", int64_t{16}, int64_t{17}, 1},
        {"alignment", int64_t{1}, int64_t{257}, 0}, {"alignment", int64_t{1}, int64_t{2}, 1},
        {"lower_text", int64_t{5}, int64_t{5}, 0}, {"upper_text", int64_t{5}, int64_t{6}, 1},
        {"lower_limit", int64_t{1}, int64_t{1}, 0}, {"upper_limit", int64_t{1}, int64_t{0}, 1},
        {"lower_value", 3.0, 3.0, 0},   {"upper_hyst", 2.0, 3.0, 1},
        {"orientation", int64_t{1}, int64_t{1}, 0}, {"orientation", int64_t{1}, int64_t{65537}, 1},
        {"cfg", int64_t{7}, int64_t{7}, 0}, {"cfg", int64_t{7}, int64_t{8}, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.name) + " to " + std::to_string(row.dirty));
        auto l = text("AB");
        r.h.set(*l, row.name, row.first);
        ASSERT_EQ(r.h.draw(*l, r.ctl), 0);
        ASSERT_EQ(l->record()->dirty, 0);
        r.h.set(*l, row.name, row.second);
        EXPECT_EQ(l->record()->dirty, row.dirty);
    }
}

TEST_F(label, clone_keeps_the_threshold_state_through_the_hysteresis_band) {
    auto l = text("AB");
    r.h.set(*l, "font", k_default_font);
    for (const auto &[name, value] : values{
             {"upper_limit", int64_t{1}}, {"upper_value", 100.0}, {"upper_hyst", 5.0}, {"value", 100.0}})
        r.h.set(*l, name, value);
    ASSERT_EQ(r.h.draw(*l, r.ctl), 0); // upper state
    r.h.set(*l, "value", 97.0);        // inside the band, not drawn yet
    auto copy = l->clone();
    l.reset(); // the clone must not share the source's strings
    EXPECT_EQ(r.h.draw(*copy, r.ctl), 0);
    EXPECT_EQ(r.h.lines("draw_text"), (ops{"draw_text 10 20 \"AB\"" + k_style + "#ff0000"}));
}

// ---- Scroll Label --------------------------------------------------------------------------

struct scroll_label : ::testing::Test {
    rig r{"libgre-plugin-TextLabelScroll"};
};

TEST_F(scroll_label, right_aligned_text_that_fits_is_shifted_by_the_offset_in_the_common_colour) {
    auto s = r.make({{"color", int64_t{0x123456}}, {"alignment", int64_t{3}}, {"offset", int64_t{-10}},
                     {"text", "Hello"}});
    EXPECT_EQ(r.h.draw(*s, r.ctl), 0);
    // x = x2 - w + offset = 130 - 40 - 10.
    EXPECT_EQ(r.h.rec.trace_text(),
              "get_clip -> none\nset_clip 10 20 130 100\n" + k_lookup +
              "text_extent \"Hello\" size=16 -> 40x18\n"
              "draw_text 80 20 \"Hello\"" + k_style + "#123456\n"
              "clear_clip\n");
    EXPECT_EQ(s->record()->dirty, 0);
}

TEST_F(scroll_label, only_alignment_3_aligns_right_and_only_while_the_text_fits) {
    const std::string wide(16, 'W'); // 128 > 120
    const struct { int64_t alignment, offset; std::string text; int16_t x, w; int32_t at; } cases[] = {
        {1, 0, "Hello", 10, 120, 10},  {2, 0, "Hello", 10, 120, 10},   {0, 0, "Hello", 10, 120, 10},
        {1, -10, "Hello", 10, 120, 0}, {3, 0, "Hello", 10, 120, 90},   {259, 0, "Hello", 10, 120, 90},
        {3, 0, std::string(15, 'W'), 10, 120, 10}, // exactly 120 wide: still fits
        {3, 0, wide, 10, 120, 10},     {3, -10, wide, 10, 120, 0},     // wide: from the left edge
        {1, 65536 - 10, "Hello", 10, 120, 0},     // 16 bits kept: -10
        {1, 32768, "Hello", 10, 120, 10 - 32768}, // and read as signed
        // Box (-20000)..20000: W' = 40000 is -25536 in 16 bits, so nothing fits.
        {3, 0, "Hello", -20000, 0, -20000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text + " alignment " + std::to_string(c.alignment) + " offset " + std::to_string(c.offset));
        auto s = r.make({{"alignment", c.alignment}, {"offset", c.offset}, {"text", c.text}});
        if (c.w == 0) r.h.set(*s, "width", int64_t{40000});
        EXPECT_EQ(r.h.draw(*s, r.h.control(c.x, 20, c.w == 0 ? 1 : c.w, 80)), 0);
        EXPECT_EQ(r.drawn(), (ops{std::to_string(c.at) + " 20 \"" + c.text + "\""}));
    }
}

TEST_F(scroll_label, text_length_follows_every_set_of_the_text) {
    auto s = r.make({{"alignment", int64_t{3}}, {"text", "Hello"}});
    const struct { attr_value text; ops drawn; } steps[] = {
        {"", {}}, {null_string{}, {}}, {"Hi", {"114 20 \"Hi\""}}, {"Hello", {"90 20 \"Hello\""}}};
    for (const auto &step : steps) {
        r.h.set(*s, "text", step.text);
        EXPECT_EQ(r.h.draw(*s, r.ctl), 0);
        EXPECT_EQ(r.drawn(), step.drawn);
        EXPECT_EQ(r.h.lines("res_lookup").size(), step.drawn.size()); // no font is looked up for no text
        EXPECT_EQ(s->record()->dirty, 0);
    }
}

// ---- Menu Label ----------------------------------------------------------------------------

struct menu_label : ::testing::Test {
    rig r{"libgre-plugin-TextLabelMenu"};
};

TEST_F(menu_label, three_lines_one_line_height_apart_each_centred_by_itself) {
    auto m = r.make({{"color", int64_t{0x80112233}}, {"alignment", int64_t{2}}, {"text", "Oil<br>Water<br>Fuel"}});
    EXPECT_EQ(r.h.draw(*m, r.ctl), 0);
    // x = 10 + (120 - w) / 2 for w = 24, 40, 32; y = 20 + 0, 18, 36. The colour passes unchanged.
    const std::string style = k_style + "#80112233\n";
    EXPECT_EQ(r.h.rec.trace_text(),
              "get_clip -> none\nset_clip 10 20 130 100\n" + k_lookup +
              "text_extent \"Oil\" size=16 -> 24x18\n" + k_metrics + "draw_text 58 20 \"Oil\"" + style +
              "text_extent \"Water\" size=16 -> 40x18\n" + k_metrics + "draw_text 50 38 \"Water\"" + style +
              "text_extent \"Fuel\" size=16 -> 32x18\n" + k_metrics + "draw_text 54 56 \"Fuel\"" + style +
              "clear_clip\n");
    EXPECT_EQ(m->record()->dirty, 0);
}

TEST_F(menu_label, alignments_empty_lines_and_a_final_marker) {
    const struct { int64_t alignment; int16_t w; const char *text; ops drawn; } cases[] = {
        {1, 120, "Oil<br>Water", {"10 20 \"Oil\"", "10 38 \"Water\""}},
        {3, 120, "Oil<br>Water", {"106 20 \"Oil\"", "90 38 \"Water\""}},
        {0, 120, "Oil<br>Water", {"106 20 \"Oil\"", "90 38 \"Water\""}},
        {255, 120, "Oil<br>Water", {"106 20 \"Oil\"", "90 38 \"Water\""}},
        {257, 120, "Oil<br>Water", {"10 20 \"Oil\"", "10 38 \"Water\""}}, // 8 bits kept: 1
        {3, 120, "Oil<br><br>Fuel<br>", {"106 20 \"Oil\"", "130 38 \"\"", "98 56 \"Fuel\""}},
        {1, 120, "<br>Oil<br", {"10 20 \"\"", "10 38 \"Oil<br\""}},
        // Width 121: (121 - 24) / 2 = 48; 17 bytes, 136 wide: (121 - 136) / 2 = -7 toward zero.
        {2, 121, "Oil<br>ABCDEFGHIJKLMNOPQ", {"58 20 \"Oil\"", "3 38 \"ABCDEFGHIJKLMNOPQ\""}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " alignment " + std::to_string(c.alignment));
        auto m = r.make({{"alignment", c.alignment}, {"text", c.text}});
        EXPECT_EQ(r.h.draw(*m, r.h.control(10, 20, c.w, 80)), 0);
        EXPECT_EQ(r.drawn(), c.drawn);
    }
}

TEST_F(menu_label, lines_below_the_rectangle_are_drawn_for_the_clip_to_cut) {
    r.h.rec.set_clip_state(gr_rect_t{0, 0, 400, 300});
    auto m = r.make({{"alignment", int64_t{1}}, {"text", "A<br>B<br>C"}});
    EXPECT_EQ(r.h.draw(*m, r.h.control(10, 20, 120, 30)), 0);
    EXPECT_EQ(r.drawn(), (ops{"10 20 \"A\"", "10 38 \"B\"", "10 56 \"C\""}));
    EXPECT_EQ(r.h.lines("set_clip"), (ops{"set_clip 10 20 130 50", "set_clip 0 0 400 300"}));
}

// ---- what the three share ------------------------------------------------------------------

struct kind {
    const char *deliverable, *name, *text_attr;
};
const kind k_kinds[] = {{"libgre-plugin-TextLabel", "Label", "render_text"},
                        {"libgre-plugin-TextLabelScroll", "Scroll Label", "text"},
                        {"libgre-plugin-TextLabelMenu", "Menu Label", "text"}};

TEST(labels, font_failures_log_once_draw_nothing_and_complete_the_frame) {
    for (const kind &k : k_kinds) {
        SCOPED_TRACE(k.name);
        plugin_harness h{k.deliverable}; // no font registered at all
        h.eng.fonts().stage_font_failure("fonts/Broken.otf");
        auto inst = h.make();
        h.set(*inst, k.text_attr, "AB");
        h.set(*inst, "font_size", int64_t{-1}); // 16 bits, zero-extended
        const std::string head = "get_clip -> none\nset_clip 10 20 130 100\n";
        EXPECT_EQ(h.draw(*inst, h.control(10, 20, 120, 80)), 0);
        EXPECT_EQ(h.rec.trace_text(), head + "res_lookup font \"" + k_default_font + "\" size=65535 -> null\n"
                                      "log 0 " + k.name + ": Couldn't get font reference " + k_default_font + "\n"
                                      "clear_clip\n");
        EXPECT_EQ(inst->record()->dirty, 0);
        h.set(*inst, "font", "fonts/Broken.otf");
        EXPECT_EQ(h.draw(*inst, h.control(10, 20, 120, 80)), 0);
        EXPECT_EQ(h.rec.trace_text(), head + "res_lookup font \"fonts/Broken.otf\" size=65535 -> ok\n"
                                      "res_font \"fonts/Broken.otf\" -> null\n"
                                      "res_release \"fonts/Broken.otf\"\n"
                                      "log 0 " + k.name + ": Invalid argument, unable to find font\n"
                                      "clear_clip\n");
        EXPECT_EQ(inst->record()->dirty, 0);
    }
}

TEST(labels, empty_or_missing_text_draws_nothing_and_clears_dirty) {
    for (const kind &k : k_kinds) {
        SCOPED_TRACE(k.name);
        rig r{k.deliverable};
        for (const attr_value &text : {attr_value{""}, attr_value{null_string{}}}) {
            auto inst = r.make({{k.text_attr, text}});
            EXPECT_EQ(r.h.draw(*inst, r.ctl), 0);
            EXPECT_EQ(r.h.rec.trace_text(), "get_clip -> none\nset_clip 10 20 130 100\nclear_clip\n");
            EXPECT_EQ(inst->record()->dirty, 0);
        }
    }
}

TEST(labels, scroll_and_menu_labels_count_every_set_the_label_only_changes) {
    const struct { const char *deliverable; values sets; int32_t dirty; } cases[] = {
        {"libgre-plugin-TextLabelScroll",
         {{"text", "AB"}, {"font", k_default_font}, {"font_size", int64_t{16}}, {"alignment", int64_t{3}},
          {"offset", int64_t{-10}}}, 5},
        {"libgre-plugin-TextLabelMenu",
         {{"text", "AB"}, {"font", k_default_font}, {"font_size", int64_t{16}}, {"alignment", int64_t{3}}}, 4},
        {"libgre-plugin-TextLabel",
         {{"render_text", "AB"}, {"font", k_default_font}, {"font_size", int64_t{16}}, {"alignment", int64_t{3}}}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.deliverable);
        rig r{c.deliverable};
        auto inst = r.make(c.sets);
        ASSERT_EQ(r.h.draw(*inst, r.ctl), 0);
        ASSERT_EQ(inst->record()->dirty, 0);
        for (const auto &[name, value] : c.sets) r.h.set(*inst, name, value); // the same values again
        EXPECT_EQ(inst->record()->dirty, c.dirty);
    }
}

TEST(labels, lines_beyond_the_32_bit_range_are_pinned_to_its_end) {
    // L = 2^30: the third line's y = 20 + 2^31 does not fit in 32 bits.
    for (const kind &k : {k_kinds[0], k_kinds[2]}) {
        SCOPED_TRACE(k.name);
        rig r{k.deliverable};
        r.h.rec.set_line_height(16, 1 << 30);
        auto inst = r.make({{"alignment", int64_t{1}}, {k.text_attr, "A<br>B<br>C"}});
        EXPECT_EQ(r.h.draw(*inst, r.ctl), 0);
        EXPECT_EQ(r.drawn(), (ops{"10 20 \"A\"", "10 1073741844 \"B\"", "10 2147483647 \"C\""}));
    }
}

TEST(labels, clones_own_their_strings) {
    for (const kind &k : k_kinds) {
        SCOPED_TRACE(k.name);
        rig r{k.deliverable};
        auto inst = r.make({{"alignment", int64_t{3}}, {"font", k_default_font}, {k.text_attr, "Hello"}});
        ASSERT_EQ(r.h.draw(*inst, r.ctl), 0);
        const ops first = r.h.trace();
        auto copy = inst->clone();
        inst.reset(); // frees the source's strings: the clone must still have its own
        EXPECT_EQ(r.h.draw(*copy, r.ctl), 0);
        EXPECT_EQ(r.h.trace(), first);
        EXPECT_EQ(r.drawn(), (ops{"90 20 \"Hello\""})); // 130 - 40
        r.h.set(*copy, k.text_attr, "Hi");                  // frees the clone's own copy
    }
}

} // namespace
