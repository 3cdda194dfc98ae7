// Modern Box and Classic Box through the real libraries: layout, palettes, image loading, sharing
// and per-state caching, failures, the attribute protocol, clone, destroy and fini.
//
// Boxes are drawn on a control at (10, 20) of 200 x 100 unless a case says otherwise. Staged images:
// every box image a 30 x 30 nine-patch with 10-pixel borders, every Modern title plate a 20 x 20 one
// with 6-pixel borders, every Classic separator a plain 50 x 1 image. Text model: 8 pixels per byte,
// line height = font size but 24 for the 20-pixel titles.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

using pitwall::testing::plugin_harness;
using strings = std::vector<std::string>;

enum class kind { modern, classic, basic };
struct box_type {
    kind k;
    const char *deliverable, *name, *dir;
    int64_t green; // palette index of green
};
const box_type k_modern{kind::modern, "libgre-plugin-ValueBoxFlat", "Modern Box", "images/ModernBox/", 5};
const box_type k_classic{kind::classic, "libgre-plugin-ValueBoxFramed", "Classic Box", "images/ClassicBox/", 6};
const box_type k_basic{kind::basic, "libgre-plugin-ValueBoxPlain", "Basic Box", "", 0};
const box_type *const k_image_boxes[] = {&k_modern, &k_classic};
const std::string k_font = "font=\"fonts/CPMono_v07 Plain.otf\"";

strings concat(std::initializer_list<strings> parts) {
    strings out;
    for (const strings &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
// The log and load lines of one load of `file` from the box's directory.
strings load(const box_type &t, const std::string &file, bool ok = true) {
    const std::string path = t.dir + file;
    return {"log 2 " + std::string(t.name) + ": Loading image /app/" + path,
            "load_image " + path + " flags=0x7888820 size=native -> " + (ok ? "ok" : "null")};
}
std::string layout(const box_type &t, const std::string &file, const char *size = "30x30") {
    return "image_info " + std::string(t.dir) + file + " 0 -> " + size;
}
std::string release(const box_type &t, const std::string &file) { return "release_image " + std::string(t.dir) + file; }

// The nine part copies of a nine-patch: piece k takes row k / 3 and column k % 3 of the bands,
// each an inclusive pixel range {first, last}.
using bands = std::array<std::array<int, 2>, 3>;
strings parts(const std::string &image, const bands &src_cols, const bands &dst_cols, const bands &src_rows,
              const bands &dst_rows) {
    auto rect = [](const std::array<int, 2> &c, const std::array<int, 2> &r) {
        return std::to_string(c[0]) + " " + std::to_string(r[0]) + " " + std::to_string(c[1]) + " " +
               std::to_string(r[1]);
    };
    strings out;
    for (int k = 0; k < 9; ++k)
        out.push_back("draw_image_part " + image + " " + rect(src_cols[k % 3], src_rows[k / 3]) + " -> " +
                      rect(dst_cols[k % 3], dst_rows[k / 3]));
    return out;
}
const bands k_box_bands = {{{0, 9}, {10, 19}, {20, 29}}};

// The title measure and the text drawing of the worked examples: title at (97, 30), value at (93, 84).
const strings k_title_measure = {"res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=20 -> ok",
                                 "res_font \"fonts/CPMono_v07 Plain.otf\" -> ok",
                                 "text_extent \"Oil\" size=20 -> 24x24"};
strings texts(const std::string &title_clip, const std::string &value_clip) {
    return {"set_clip " + title_clip, "draw_text 97 30 \"Oil\" " + k_font + " size=20 colour=#112233",
            "res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=16 -> ok",
            "res_font \"fonts/CPMono_v07 Plain.otf\" -> ok", "set_clip " + value_clip,
            "text_extent \"42.5\" size=16 -> 32x16", "font_metrics " + k_font + " size=16 -> 16",
            "draw_text 93 84 \"42.5\" " + k_font + " size=16 colour=#445566", "clear_clip"};
}

struct bench {
    explicit bench(const box_type &t, const std::string &base_dir = pitwall::testing::k_app_dir)
        : type(t), h(t.deliverable, base_dir) {
        h.eng.fonts().add_font("fonts/CPMono_v07 Plain.otf");
        h.rec.set_line_height(20, 24);
        const strings modern = {"white", "red", "yellow", "orange", "green", "blue", "violet", "grey", "black"};
        const strings classic = {"white1", "white2", "red", "yellow", "orange", "green", "blue", "violet", "grey",
                                 "black1", "black2"};
        for (const std::string &c : t.k == kind::modern ? modern : t.k == kind::classic ? classic : strings{}) {
            h.rec.add_nine_patch(t.dir + c + "_box.9.png", 30, 30, 10, 10, 10, 10);
            if (t.k == kind::modern) h.rec.add_nine_patch(t.dir + c + "_title.9.png", 20, 20, 6, 8, 6, 8);
            if (t.k == kind::classic) h.rec.add_image(t.dir + c + "_line.png", 50, 1);
        }
    }
    // A green box, title "Oil" at 20 px in #112233 over "42.5" at 16 px in #445566, centred.
    std::unique_ptr<pitwall::instance> box(bool titled = true) {
        auto b = h.make();
        set(*b, {{"color_box", type.green}, {"color_title", 0x112233}, {"color_text", 0x445566},
                 {"title_size", 20}, {"font_size", 16}, {"alignment", 2}});
        h.set(*b, "render_text", "42.5");
        if (titled) h.set(*b, "render_title", "Oil");
        return b;
    }
    void set(pitwall::instance &b, std::vector<std::pair<std::string, int64_t>> values) {
        for (const auto &[name, value] : values) h.set(b, name, value);
    }
    int draw(pitwall::instance &b, int16_t width = 200, int16_t height = 100) {
        return h.draw(b, h.control(10, 20, width, height));
    }
    long count(const std::string &prefix, const std::string &fragment = "") const {
        const strings l = h.lines(prefix);
        return std::count_if(l.begin(), l.end(), [&](const std::string &x) { return x.find(fragment) != x.npos; });
    }
    // Loading, layout and release lines: what a steady draw must not do.
    strings image_work() const {
        strings out;
        for (const std::string &l : h.trace())
            if (l.rfind("log ", 0) == 0 || l.rfind("load_image", 0) == 0 || l.rfind("release_image", 0) == 0 ||
                (l.rfind("image_info", 0) == 0 && l.find(" 0 -> ") != std::string::npos))
                out.push_back(l);
        return out;
    }
    // "x y" of a drawn text, or "none".
    std::string text_at(const std::string &text = "42.5") const {
        for (const std::string &l : h.lines("draw_text "))
            if (l.find(" \"" + text + "\" ") != std::string::npos) return l.substr(10, l.find(" \"") - 10);
        return "none";
    }
    strings released_sorted() const {
        strings r = h.lines("release_image");
        std::sort(r.begin(), r.end());
        return r;
    }

    const box_type &type;
    plugin_harness h;
};

TEST(image_box, attribute_tables_after_the_common_entries) {
    for (const box_type *t : k_image_boxes) {
        bench b{*t};
        std::string own;
        for (const gr_attribute_t &a : b.h.plug()->attributes())
            if (a.id >= 12) own += std::to_string(a.id) + " " + a.name + " " + a.type + ", ";
        EXPECT_EQ(own, "12 value 4f1, 13 render_title 1s0, 14 render_text 1s0, 15 font_size 4s1, 16 cfg 4s1, "
                       "17 font 1s0, 18 alignment 4s1, 19 lower_text 4s1, 20 color_text 4s1, 21 upper_text 4s1, "
                       "22 lower_title 4s1, 23 color_title 4s1, 24 upper_title 4s1, 25 lower_box 4s1, "
                       "26 color_box 4s1, 27 upper_box 4s1, 28 lower_limit 1u1, 29 upper_limit 1u1, "
                       "30 lower_value 4f1, 31 upper_value 4f1, 32 lower_hyst 4f1, 33 upper_hyst 4f1, "
                       "34 title_size 4s1, ");
        EXPECT_EQ(b.h.plug()->display_name(), t->name);
    }
}

// th = 24, title_offset = 16 - trunc(20 * 0.4) = 8; value_top 46; plate 184 x 39 at (17, 28).
// Title rectangle (18, 22)..(199, 66): x = 18 + (181 - 24 + 1) / 2 = 97, y = 22 + 8.
// Value rectangle (12, 67)..(207, 116): x = 12 + (195 - 32) / 2 = 93, y = 67 + (49 - 16 + 1) / 2 = 84.
TEST(modern_box, worked_example_lays_out_box_plate_title_and_value) {
    bench b{k_modern};
    auto box = b.box();
    ASSERT_EQ(b.draw(*box), 0);
    const std::string box_image = "images/ModernBox/green_box.9.png", plate = "images/ModernBox/green_title.9.png";
    EXPECT_EQ(b.h.trace(),
              concat({k_title_measure, load(k_modern, "green_title.9.png"),
                      {layout(k_modern, "green_title.9.png", "20x20")}, load(k_modern, "green_box.9.png"),
                      {layout(k_modern, "green_box.9.png"), "get_clip -> none", "set_clip 10 20 210 120",
                       "image_info " + box_image + " 3 -> surface", "translate 10 20"},
                      // 200 x 100: the middle bands take 170 and 70 more pixels.
                      parts(box_image, k_box_bands, {{{0, 9}, {10, 189}, {190, 199}}}, k_box_bands,
                            {{{0, 9}, {10, 89}, {90, 99}}}),
                      {"untranslate 10 20", "image_info " + plate + " 3 -> surface", "translate 17 28"},
                      // 184 x 39 from 20 x 20: 164 and 19 more.
                      parts(plate, {{{0, 5}, {6, 13}, {14, 19}}}, {{{0, 5}, {6, 177}, {178, 183}}},
                            {{{0, 5}, {6, 13}, {14, 19}}}, {{{0, 5}, {6, 32}, {33, 38}}}),
                      {"untranslate 17 28"}, texts("18 22 199 66", "12 67 207 116")}));
    EXPECT_EQ(box->record()->dirty, 0);
}

// box 198 x 98, rectangle (11, 21)..(209, 119); title_band 24 + 21 = 45, title_offset 8;
// lw = trunc(198 * 0.865) = 171 at x 11 + (198 - 171) * 0.5 = 24.5, y 21 + 45 = 66.
// Title rectangle (12, 22)..(207, 65): x = 12 + (195 - 24) / 2 = 97, y = 22 + 8.
// Value rectangle (12, 67)..(207, 117): x = 12 + (195 - 32) / 2 = 93, y = 67 + (50 - 16) / 2 = 84.
TEST(classic_box, worked_example_lays_out_frame_separator_title_and_value) {
    bench b{k_classic};
    auto box = b.box();
    ASSERT_EQ(b.draw(*box), 0);
    const std::string frame = "images/ClassicBox/green_box.9.png", line = "images/ClassicBox/green_line.png";
    EXPECT_EQ(b.h.trace(),
              concat({k_title_measure, load(k_classic, "green_line.png"), load(k_classic, "green_box.9.png"),
                      {layout(k_classic, "green_box.9.png"), "get_clip -> none", "set_clip 11 21 209 119",
                       "image_info " + frame + " 3 -> surface", "translate 11 21"},
                      // 198 x 98: the middle bands take 168 and 68 more pixels.
                      parts(frame, k_box_bands, {{{0, 9}, {10, 187}, {188, 197}}}, k_box_bands,
                            {{{0, 9}, {10, 87}, {88, 97}}}),
                      {"untranslate 11 21", "image_set " + line + " 2 171x1",
                       "draw_image " + line + " 24.5 66 171x1 pivot -1 -1"},
                      texts("12 22 207 65", "12 67 207 117")}));
    EXPECT_EQ(box->record()->dirty, 0);
}

// Without a title the value rectangle starts at y + 5 (Modern: (12, 25)..(207, 116), y = 25 +
// (91 - 16 + 1) / 2 = 63) or at top + 5 (Classic: (12, 26)..(207, 117), y = 26 + (91 - 16) / 2 = 63).
TEST(image_box, no_title_means_no_plate_or_separator_and_a_higher_value_rectangle) {
    for (const box_type *t : k_image_boxes)
        for (const pitwall::attr_value &title : {pitwall::attr_value{pitwall::null_string{}}, {std::string()}}) {
            SCOPED_TRACE(std::string(t->name) + (title.index() == 0 ? " null title" : " empty title"));
            bench b{*t};
            auto box = b.box(false);
            b.h.set(*box, "render_title", title);
            ASSERT_EQ(b.draw(*box), 0);
            EXPECT_EQ(b.count("load_image"), 1); // the box image alone
            EXPECT_EQ(b.count("draw_image_part"), 9);
            EXPECT_EQ(b.count("draw_image ") + b.count("image_set") + b.count("res_lookup"), 1); // the value font
            EXPECT_TRUE(b.h.has(t->k == kind::modern ? "set_clip 12 25 207 116" : "set_clip 12 26 207 117"));
            EXPECT_EQ(b.text_at(), "93 63");
        }
}

TEST(modern_box, boxes_16_pixels_wide_or_narrower_have_no_title_plate) {
    // plate_width = width - 16.
    const struct { int16_t width; int plate_loads, plate_parts; } cases[] = {{10, 0, 0}, {16, 0, 0}, {17, 1, 9}};
    for (const auto &c : cases) {
        bench b{k_modern};
        auto box = b.box();
        ASSERT_EQ(b.draw(*box, c.width, 100), 0);
        EXPECT_EQ(b.count("load_image", "green_title"), c.plate_loads) << c.width;
        EXPECT_EQ(b.count("draw_image_part", "green_title"), c.plate_parts) << c.width;
        EXPECT_EQ(b.count("draw_image_part", "green_box"), 9) << c.width;
    }
}

// The value text of an untitled box. Rows: Modern y + 5 .. y + H - 4 and Classic y + 6 .. y + H - 3
// (H - 9 high), Basic y + 2 .. y + H - 3 (H - 5); columns 12..207 (W 195), "42.5" 32 wide.
// Horizontal: left 12 + 3, centre 12 + (195 - 32) / 2, right 12 + 195 - 32 - 2 (Modern) or - 3
// (Classic); only the low 8 bits count, so 257 is 1. Vertical: only the Modern Box adds 1 before
// halving, and halving truncates toward zero: at H 100 and line height 16, 25 + (91 - 16 + 1) / 2
// and 26 + (91 - 16) / 2 are both 63; line height 15 tells them apart.
TEST(image_box, value_text_alignment_margins_and_vertical_centring) {
    const box_type &m = k_modern, &c = k_classic;
    const struct { const box_type *type; int64_t alignment, font_size; int16_t height; const char *at; } cases[] = {
        {&m, 1, 16, 100, "15 63"},  {&m, 2, 16, 100, "93 63"},    {&m, 0, 16, 100, "173 63"},
        {&m, 3, 16, 100, "173 63"}, {&m, 255, 16, 100, "173 63"}, {&m, 257, 16, 100, "15 63"},
        {&c, 1, 16, 100, "15 63"},  {&c, 2, 16, 100, "93 63"},    {&c, 0, 16, 100, "172 63"},
        {&c, 3, 16, 100, "172 63"}, {&c, 255, 16, 100, "172 63"}, {&c, 257, 16, 100, "15 63"},
        {&m, 2, 15, 29, "93 28"},       // 25 + (20 - 15 + 1) / 2
        {&c, 2, 15, 29, "93 28"},       // 26 + (20 - 15) / 2
        {&k_basic, 2, 15, 25, "93 24"}, // 22 + (20 - 15) / 2
        {&m, 2, 15, 9, "93 18"},        // 25 + (0 - 15 + 1) / 2
        {&c, 2, 15, 9, "93 19"},        // 26 + (0 - 15) / 2
        {&k_basic, 2, 15, 5, "93 15"}}; // 22 + (0 - 15) / 2
    for (const auto &k : cases) {
        bench b{*k.type};
        auto box = b.box(false);
        b.set(*box, {{"alignment", k.alignment}, {"font_size", k.font_size}});
        ASSERT_EQ(b.draw(*box, 200, k.height), 0);
        EXPECT_EQ(b.text_at(), k.at) << k.type->name << " alignment " << k.alignment << " height " << k.height;
    }
}

TEST(image_box, box_colour_picks_the_palette_set_and_invalid_indices_fail_before_anything) {
    const struct { const box_type *type; int64_t colour; const char *set; } cases[] = {
        {&k_modern, 1, "white"},   {&k_modern, 9, "black"},    {&k_modern, 10, nullptr}, {&k_modern, 0, nullptr},
        {&k_modern, -1, nullptr},  {&k_classic, 1, "white1"},  {&k_classic, 2, "white2"},
        {&k_classic, 11, "black2"}, {&k_classic, 12, nullptr}, {&k_classic, 0, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.type->name) + " colour " + std::to_string(c.colour));
        bench b{*c.type};
        auto box = b.box();
        b.h.set(*box, "color_box", c.colour);
        const int32_t dirty = box->record()->dirty;
        EXPECT_EQ(b.draw(*box), c.set == nullptr ? -1 : 0);
        if (c.set == nullptr) {
            EXPECT_EQ(b.h.trace(), strings{}); // not even the title font is looked up
            EXPECT_EQ(box->record()->dirty, dirty);
            continue;
        }
        const std::string set = std::string(c.type->dir) + c.set;
        EXPECT_EQ(b.count("draw_image_part", set + "_box.9.png "), 9);
        const bool modern = c.type->k == kind::modern;
        EXPECT_EQ(b.count("draw_image_part", set + "_title.9.png "), modern ? 9 : 0);
        EXPECT_EQ(b.h.has("draw_image " + set + "_line.png 24.5 66 171x1 pivot -1 -1"), !modern);
    }
}

// A new box colour: the Modern Box draws the other set with its existing layouts (level 1), the
// Classic Box releases the old separator, loads the new one and lays its frame out again (level 0).
// A new text colour loads and lays out nothing in either.
TEST(image_box, a_box_colour_reloads_what_depends_on_it_and_a_text_colour_nothing) {
    for (const box_type *t : k_image_boxes) {
        SCOPED_TRACE(t->name);
        bench b{*t};
        const bool modern = t->k == kind::modern;
        auto box = b.box();
        ASSERT_EQ(b.draw(*box), 0);
        strings blue_parts; // the same layouts: the sets share their stretch bands
        for (std::string l : b.h.lines("draw_image_part")) blue_parts.push_back(l.replace(l.find("green"), 5, "blue"));
        b.h.set(*box, "color_box", int64_t{modern ? 6 : 7}); // blue
        EXPECT_EQ(box->record()->dirty, 1);
        ASSERT_EQ(b.draw(*box), 0);
        EXPECT_EQ(b.image_work(), modern ? concat({load(*t, "blue_title.9.png"), load(*t, "blue_box.9.png")})
                                         : concat({{release(*t, "green_line.png")}, load(*t, "blue_line.png"),
                                                   load(*t, "blue_box.9.png"), {layout(*t, "blue_box.9.png")}}));
        EXPECT_EQ(b.h.lines("draw_image_part"), blue_parts);
        b.h.set(*box, "color_text", int64_t{0x778899});
        ASSERT_EQ(b.draw(*box), 0);
        EXPECT_TRUE(b.image_work().empty());
        EXPECT_TRUE(b.h.has("draw_text 93 84 \"42.5\" " + k_font + " size=16 colour=#778899"));
    }
}

TEST(image_box, boxes_of_one_colour_share_images_and_a_resize_lays_out_only_that_box) {
    for (const box_type *t : k_image_boxes) {
        SCOPED_TRACE(t->name);
        bench b{*t};
        const bool modern = t->k == kind::modern;
        auto first = b.box(), second = b.box();
        ASSERT_EQ(b.draw(*first), 0);
        // The second box loads no shared image but lays out its own; a Classic Box loads its own separator.
        const strings own = modern ? strings{layout(*t, "green_title.9.png", "20x20"), layout(*t, "green_box.9.png")}
                                   : concat({load(*t, "green_line.png"), {layout(*t, "green_box.9.png")}});
        ASSERT_EQ(b.draw(*second), 0);
        EXPECT_EQ(b.image_work(), own);
        ASSERT_EQ(b.draw(*second, 200, 101), 0);
        EXPECT_EQ(b.image_work(), modern ? own : concat({{release(*t, "green_line.png")}, own}));
        ASSERT_EQ(b.draw(*first), 0);
        EXPECT_TRUE(b.image_work().empty());
    }
}

TEST(classic_box, each_state_keeps_its_separator_and_layout_until_a_one_pixel_resize) {
    bench b{k_classic};
    const box_type &c = k_classic;
    auto box = b.box();
    b.set(*box, {{"upper_box", 3}, {"upper_limit", 1}}); // red from 100 up
    b.h.set(*box, "upper_value", 100.0);
    const strings forget = {release(c, "green_line.png"), release(c, "red_line.png")};
    const strings green_again = concat({load(c, "green_line.png"), {layout(c, "green_box.9.png")}});
    const struct { double value; int16_t width, height; strings work; const char *line; } steps[] = {
        {50, 200, 100, concat({load(c, "green_line.png"), load(c, "green_box.9.png"), {layout(c, "green_box.9.png")}}),
         "green"},
        {150, 200, 100, concat({load(c, "red_line.png"), load(c, "red_box.9.png"), {layout(c, "red_box.9.png")}}),
         "red"},
        {50, 200, 100, {}, "green"},
        {150, 200, 100, {}, "red"},
        {150, 200, 101, concat({forget, load(c, "red_line.png"), {layout(c, "red_box.9.png")}}), "red"},
        {50, 200, 101, green_again, "green"},
        {50, 201, 101, concat({forget, green_again}), "green"}};
    for (const auto &s : steps) {
        SCOPED_TRACE(std::to_string(s.value) + " at " + std::to_string(s.width) + "x" + std::to_string(s.height));
        b.h.set(*box, "value", s.value);
        ASSERT_EQ(b.draw(*box, s.width, s.height), 0);
        EXPECT_EQ(b.image_work(), s.work);
        EXPECT_EQ(b.count("draw_image ", std::string("/") + s.line + "_line.png"), 1);
    }
}

TEST(image_box, missing_images_and_failed_size_queries_fail_every_draw_with_the_loading_line) {
    const box_type &m = k_modern, &c = k_classic;
    const std::string plate = layout(m, "orange_title.9.png", "20x20");
    const std::string m_fail = "image_info images/ModernBox/orange_box.9.png 0 -> fail";
    const std::string c_fail = "image_info images/ClassicBox/orange_box.9.png 0 -> fail";
    const struct { const box_type *type; int64_t colour; std::string file; bool size_fails; strings first, retry; }
        cases[] = {
            {&m, 4, "orange_box.9.png", false,
             concat({load(m, "orange_title.9.png"), {plate}, load(m, "orange_box.9.png", false)}),
             concat({{plate}, load(m, "orange_box.9.png", false)})},
            {&m, 4, "orange_title.9.png", false, load(m, "orange_title.9.png", false),
             load(m, "orange_title.9.png", false)},
            {&m, 4, "orange_box.9.png", true,
             concat({load(m, "orange_title.9.png"), {plate}, load(m, "orange_box.9.png"), {m_fail}}), {plate, m_fail}},
            {&c, 5, "orange_line.png", false, load(c, "orange_line.png", false), load(c, "orange_line.png", false)},
            {&c, 5, "orange_box.9.png", false, concat({load(c, "orange_line.png"), load(c, "orange_box.9.png", false)}),
             load(c, "orange_box.9.png", false)},
            {&c, 5, "orange_box.9.png", true,
             concat({load(c, "orange_line.png"), load(c, "orange_box.9.png"), {c_fail}}), {c_fail}}};
    for (const auto &k : cases) {
        SCOPED_TRACE(std::string(k.type->name) + " " + k.file + (k.size_fails ? " size query fails" : " missing"));
        bench b{*k.type};
        if (k.size_fails) b.h.rec.fail_size_query(k.type->dir + k.file);
        if (!k.size_fails) b.h.rec.remove_image(k.type->dir + k.file);
        auto box = b.box();
        b.h.set(*box, "color_box", k.colour);
        const int32_t dirty = box->record()->dirty;
        EXPECT_EQ(b.draw(*box), -1);
        EXPECT_EQ(b.image_work(), k.first);
        EXPECT_EQ(b.count("get_clip"), 0); // nothing drawn
        EXPECT_EQ(b.draw(*box), -1);
        EXPECT_EQ(b.image_work(), k.retry);
        EXPECT_EQ(box->record()->dirty, dirty);
        auto green = b.box(); // other colours are unaffected
        EXPECT_EQ(b.draw(*green), 0);
    }
}

// "<base>/images/ModernBox/green_box.9.png" is base + 33 bytes, the Classic frame base + 34; the
// path buffer holds 203 bytes and the terminator.
TEST(image_box, image_paths_longer_than_their_buffer_fail_without_loading) {
    const struct { const box_type *type; size_t base; bool fits; } cases[] = {
        {&k_modern, 170, true}, {&k_modern, 171, false}, {&k_classic, 169, true}, {&k_classic, 170, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.type->name) + " base of " + std::to_string(c.base));
        const std::string base = "/" + std::string(c.base - 1, 'd');
        const std::string file = std::string(c.type->dir) + "green_box.9.png";
        bench b{*c.type, base};
        auto box = b.box(false);
        EXPECT_EQ(b.draw(*box), c.fits ? 0 : -1);
        const strings loaded = {"log 2 " + std::string(c.type->name) + ": Loading image " + base + "/" + file,
                                "load_image " + file + " flags=0x7888820 size=native -> ok",
                                "image_info " + file + " 0 -> 30x30"};
        EXPECT_EQ(b.image_work(), c.fits ? loaded : strings{});
    }
}

TEST(image_box, title_font_failure_fails_before_drawing_and_value_font_failure_skips_the_value) {
    for (const box_type *t : k_image_boxes) {
        SCOPED_TRACE(t->name);
        bench b{*t};
        const std::string name = t->name;
        auto box = b.box();
        b.h.set(*box, "font", "fonts/Missing.otf");
        const int32_t dirty = box->record()->dirty;
        EXPECT_EQ(b.draw(*box), -1);
        EXPECT_EQ(b.h.trace(), (strings{"res_lookup font \"fonts/Missing.otf\" size=20 -> null",
                                        "log 0 " + name + ": Couldn't get font reference fonts/Missing.otf"}));
        EXPECT_EQ(box->record()->dirty, dirty);
        b.h.eng.fonts().stage_font_failure("fonts/Broken.otf");
        b.h.set(*box, "font", "fonts/Broken.otf");
        EXPECT_EQ(b.draw(*box), -1);
        EXPECT_EQ(b.h.trace(), (strings{"res_lookup font \"fonts/Broken.otf\" size=20 -> ok",
                                        "res_font \"fonts/Broken.otf\" -> null", "res_release \"fonts/Broken.otf\"",
                                        "log 0 " + name + ": Invalid argument, unable to find font"}));

        b.h.eng.fonts().clear(); // not even the default font: an untitled box draws all but its value
        auto plain = b.box(false);
        EXPECT_EQ(b.draw(*plain), 0);
        const strings &trace = b.h.trace();
        ASSERT_GE(trace.size(), 3u);
        EXPECT_EQ(strings(trace.end() - 3, trace.end()),
                  (strings{"res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=16 -> null",
                           "log 0 " + name + ": Couldn't get font reference fonts/CPMono_v07 Plain.otf",
                           "clear_clip"}));
        EXPECT_EQ(b.count("draw_image_part"), 9);
        EXPECT_EQ(b.count("draw_text"), 0);
        EXPECT_EQ(plain->record()->dirty, 0);
    }
}

TEST(image_box, changed_values_count_once_and_layout_attributes_lay_out_anew) {
    using v = pitwall::attr_value;
    // name, value, counted, Modern lays out, Classic lays out. Box colours unused in the state
    // shown still lay the Classic Box out; equal low bits of sizes and alignment are no change.
    const struct { const char *name; v value; bool counted, modern, classic; } changes[] = {
        {"value", 60.0, true, false, false},           {"render_title", std::string("Fuel"), true, true, true},
        {"render_text", std::string("7"), true, false, false}, {"font_size", int64_t{18}, true, true, true},
        {"font_size", int64_t{65536 + 18}, false, false, false}, {"font", std::string(), true, false, false},
        {"alignment", int64_t{1}, true, false, false}, {"alignment", int64_t{256 + 1}, false, false, false},
        {"lower_text", int64_t{1}, true, false, false}, {"color_text", int64_t{2}, true, false, false},
        {"upper_text", int64_t{3}, true, false, false}, {"lower_title", int64_t{4}, true, false, false},
        {"color_title", int64_t{5}, true, false, false}, {"upper_title", int64_t{6}, true, false, false},
        {"lower_box", int64_t{4}, true, false, true},   {"color_box", int64_t{7}, true, false, true},
        {"upper_box", int64_t{4}, true, false, true},   {"lower_limit", int64_t{1}, true, false, false},
        {"upper_limit", int64_t{1}, true, false, false}, {"lower_value", -999.0, true, false, false},
        {"upper_value", 999.0, true, false, false},     {"lower_hyst", 1.5, true, false, false},
        {"upper_hyst", 1.5, true, false, false},        {"title_size", int64_t{22}, true, true, true},
        {"title_size", int64_t{256 + 22}, false, false, false}, {"cfg", int64_t{7}, false, false, false}};
    for (const box_type *t : k_image_boxes) {
        bench b{*t};
        const bool modern = t->k == kind::modern;
        auto box = b.box();
        b.set(*box, {{"lower_box", 2}, {"upper_box", 3}});
        b.h.set(*box, "lower_value", -1000.0); // limits far off: the state stays normal
        b.h.set(*box, "upper_value", 1000.0);
        b.h.set(*box, "value", 50.0);
        ASSERT_EQ(b.draw(*box), 0);
        for (const auto &c : changes) {
            SCOPED_TRACE(std::string(t->name) + " " + c.name);
            b.h.set(*box, c.name, c.value);
            b.h.set(*box, c.name, c.value); // the same value again counts nothing
            EXPECT_EQ(box->record()->dirty, c.counted ? 1 : 0);
            ASSERT_EQ(b.draw(*box), 0);
            const bool relayout = modern ? c.modern : c.classic;
            EXPECT_EQ(b.count("image_info", " 0 -> "), relayout ? (modern ? 2 : 1) : 0);
            EXPECT_EQ(b.count("release_image"), !modern && relayout ? 1 : 0);
            EXPECT_EQ(box->record()->dirty, 0);
        }
    }
}

TEST(modern_box, clone_lays_out_anew_and_destroy_releases_nothing_until_fini) {
    bench b{k_modern};
    auto box = b.box();
    ASSERT_EQ(b.draw(*box), 0);
    auto copy = box->clone();
    b.h.rec.clear_trace();
    box.reset(); // the copy owns its strings
    EXPECT_EQ(b.h.trace(), strings{});
    ASSERT_EQ(b.draw(*copy), 0);
    EXPECT_EQ(b.image_work(),
              (strings{layout(k_modern, "green_title.9.png", "20x20"), layout(k_modern, "green_box.9.png")}));
    EXPECT_EQ(b.text_at("Oil"), "97 30");
    b.h.rec.clear_trace();
    copy.reset();
    EXPECT_EQ(b.h.trace(), strings{});
    b.h.eng.unload_all(); // fini releases the plug-in's images
    EXPECT_EQ(b.released_sorted(),
              (strings{release(k_modern, "green_box.9.png"), release(k_modern, "green_title.9.png")}));
}

TEST(classic_box, clone_loads_its_own_separators_and_destroy_releases_only_separators) {
    bench b{k_classic};
    auto box = b.box();
    b.set(*box, {{"upper_box", 3}, {"upper_limit", 1}});
    b.h.set(*box, "upper_value", 100.0);
    b.h.set(*box, "value", 50.0);
    ASSERT_EQ(b.draw(*box), 0);
    b.h.set(*box, "value", 150.0);
    ASSERT_EQ(b.draw(*box), 0); // separators of the normal (green) and upper (red) states
    auto copy = box->clone();
    ASSERT_EQ(b.draw(*copy), 0);
    EXPECT_EQ(b.image_work(), concat({load(k_classic, "red_line.png"), {layout(k_classic, "red_box.9.png")}}));
    b.h.rec.clear_trace();
    box.reset();
    EXPECT_EQ(b.h.trace(), (strings{release(k_classic, "green_line.png"), release(k_classic, "red_line.png")}));
    b.h.rec.clear_trace();
    copy.reset(); // its own handle, not one the source released
    EXPECT_EQ(b.h.trace(), (strings{release(k_classic, "red_line.png")}));
    b.h.rec.clear_trace();
    b.h.eng.unload_all(); // fini releases the shared frames
    EXPECT_EQ(b.released_sorted(),
              (strings{release(k_classic, "green_box.9.png"), release(k_classic, "red_box.9.png")}));
}

} // namespace
