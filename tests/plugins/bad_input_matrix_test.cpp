// Every plug-in, every attribute of its table, every bad value of the attribute's type: set on a
// sensibly configured instance, drawn, cloned, the clone drawn, both destroyed. Then the missing
// resources: no image loads, no font, an application directory of 4 KiB. Nothing may crash, leak
// or leave the frame half undone; where a widget must refuse a value its draw returns -1; and once
// the good value is back the widget draws exactly as a fresh one does.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using pitwall::attr_value;
using pitwall::null_string;
using pitwall::testing::plugin_harness;
using strings = std::vector<std::string>;

const std::string k_font = "fonts/CPMono_v07 Plain.otf";
const std::string k_format_a = "%n%s%x%%";
const std::string k_format_b = "%s%s%s%s%n";
const std::string k_huge_text(64 * 1024, 'W');

// The good value of every attribute name the widgets share; an attribute not named here keeps the
// zero or null a fresh record starts with. Palette indices are 1, which every palette has, and an
// RGB colour of 1 is as good as any. The value 42 lies well clear of both hysteresis bands, so the
// threshold state after a recovery is the one a fresh instance reaches.
const std::map<std::string, attr_value> k_good = {
    {"width", int64_t{200}},       {"height", int64_t{120}},       {"value", 42.0},
    {"render_text", "42.5"},       {"render_title", "Oil"},        {"text", "<channel value> km/h"},
    {"logo_path", "images/logo.png"}, {"font_size", int64_t{16}},  {"title_size", int64_t{20}},
    {"alignment", int64_t{2}},     {"text_alignment", int64_t{5}}, {"ticks", "0;0;0|;50;50|;100;100"},
    {"tick_pos", int64_t{1}},      {"tick_mode", int64_t{2}},      {"subsections", int64_t{2}},
    {"is_modern", int64_t{1}},     {"decimals", int64_t{1}},       {"icon_idx", int64_t{1}},
    {"icon_color", int64_t{1}},    {"reset_mode", int64_t{1}},     {"title_alignment", int64_t{1}},
    {"lower_box", int64_t{1}},     {"color_box", int64_t{1}},      {"upper_box", int64_t{1}},
    {"lower_bar", int64_t{1}},     {"color_bar", int64_t{1}},      {"upper_bar", int64_t{1}},
    {"lower_tick", int64_t{1}},    {"color_tick", int64_t{1}},     {"upper_tick", int64_t{1}},
    {"lower_gauge", int64_t{1}},   {"color_gauge", int64_t{1}},    {"upper_gauge", int64_t{1}},
    {"lower_text", int64_t{0x0000ff}}, {"color_text", int64_t{0x00ff00}}, {"upper_text", int64_t{0xff0000}},
    {"lower_title", int64_t{0x112233}}, {"color_title", int64_t{0x445566}}, {"upper_title", int64_t{0x778899}},
    {"lower_bg", int64_t{0xff203040}}, {"color_bg", int64_t{0xff506070}}, {"upper_bg", int64_t{0xff8090a0}},
    {"lower_limit", int64_t{1}},   {"upper_limit", int64_t{1}},    {"lower_value", 10.0},
    {"upper_value", 90.0},         {"lower_hyst", 2.0},            {"upper_hyst", 5.0},
    {"value_min", 0.0},            {"value_max", 100.0},           {"angle_start", 45.0},
    {"angle_span", 270.0},
};

// Texts a widget draws unchanged, with what goes before them in the attribute (a tick label is the
// third field of an entry).
const std::map<std::string, std::string> k_literal_texts = {
    {"render_text", ""}, {"render_title", ""}, {"text", ""}, {"ticks", ";50;"}};

// The value boxes give up their draw when the title font is missing.
const std::set<std::string> k_title_font_first = {"Basic Box", "Modern Box", "Classic Box"};

// The last index of each palette a widget draws with in its normal state (and the icons' last number).
const std::map<std::pair<std::string, std::string>, int64_t> k_palettes = {
    {{"Modern Box", "color_box"}, 9},            {{"Classic Box", "color_box"}, 11},
    {{"Modern Alarm", "color_box"}, 8},          {{"Classic Alarm", "color_box"}, 11},
    {{"Modern Alarm", "icon_color"}, 9},         {{"Classic Alarm", "icon_color"}, 9},
    {{"Modern Alarm", "icon_idx"}, 22},          {{"Classic Alarm", "icon_idx"}, 22},
    {{"Classic Gauge Small", "color_gauge"}, 7}, {{"Classic Gauge Large", "color_gauge"}, 7},
    {{"Common Vertical Bar", "color_bar"}, 7},   {{"Common Horizontal Bar", "color_bar"}, 7},
};

// The boxes and alarms fetch their images and palette entries before the frame: a draw they refuse
// touches neither the clip nor the screen.
const std::set<std::string> k_refuse_before_frame = {"Modern Box", "Classic Box", "Modern Alarm", "Classic Alarm"};

attr_value good_value(const gr_attribute_t &a) {
    if (auto it = k_good.find(a.name); it != k_good.end()) return it->second;
    if (std::string(a.type) == "1s0") return null_string{};
    if (std::string(a.type) == "4f1") return 0.0;
    return int64_t{0};
}

struct bad_value {
    std::string label;
    attr_value value;
};

std::vector<bad_value> bad_values(const std::string &widget, const gr_attribute_t &a) {
    const std::string type = a.type;
    if (type == "4f1") {
        const float big = 3.4e38f;
        return {{"NaN", double(std::numeric_limits<float>::quiet_NaN())},
                {"+inf", double(INFINITY)},
                {"-inf", double(-INFINITY)},
                {"3.4e38", double(big)},
                {"-3.4e38", double(-big)},
                {"0", 0.0},
                {"-1", -1.0}};
    }
    if (type == "1u1") {
        std::vector<bad_value> out;
        for (int64_t v : {0, 1, 3, 10, 128, 255}) out.push_back({std::to_string(v), v});
        return out;
    }
    if (type == "1s0") {
        const std::string &prefix = k_literal_texts.count(a.name) ? k_literal_texts.at(a.name) : "";
        return {{"64 KiB", k_huge_text},        {"null", null_string{}},          {"empty", std::string()},
                {k_format_a, prefix + k_format_a}, {k_format_b, prefix + k_format_b}};
    }
    // "4s1" and "4u1" reach the widget as the same 32 bits: UINT_MAX is the -1 of a "4u1". 65535 is
    // -1 to a widget that keeps 16 bits; the large ones are huge palette indices and sizes.
    std::vector<bad_value> out;
    for (int64_t v : {int64_t{0}, int64_t{1}, int64_t{INT_MIN}, int64_t{INT_MAX}, int64_t{32767}, int64_t{-32768},
                      int64_t{65535}})
        out.push_back({std::to_string(v), v});
    if (type == "4u1")
        out.push_back({"UINT_MAX", int64_t{UINT_MAX}});
    else
        out.push_back({"-1", int64_t{-1}});
    if (auto it = k_palettes.find({widget, a.name}); it != k_palettes.end())
        out.push_back({"one past the palette", it->second + 1});
    return out;
}

// What a draw with the bad value returns. A draw fails only for a resource it cannot have: a palette
// index or icon outside its table (the value 42 keeps every widget in its normal state, so the
// color_ member of each triple is the one in use), an image the good configuration never asked for
// (the bars' continuous fill, the counter-clockwise needle of the small modern gauge, any bad splash
// path), an unknown title font of a box, or a modern gauge caption that was never set. Everything
// else, however odd, draws.
std::optional<int> expected_result(const std::string &widget, const std::string &attr, const attr_value &v) {
    const bool unknown_font = std::holds_alternative<std::string>(v) && !std::get<std::string>(v).empty();
    if (attr == "font") return unknown_font && k_title_font_first.count(widget) ? -1 : 0;
    if (attr == "logo_path") return -1;
    if (attr == "text") return std::holds_alternative<null_string>(v) && widget.starts_with("Modern Gauge") ? -1 : 0;
    if (attr == "angle_span" && widget == "Modern Gauge Small") return std::get<double>(v) < 0 ? -1 : 0;
    if (!std::holds_alternative<int64_t>(v)) return 0;
    const int64_t i = std::get<int64_t>(v);
    const auto low16 = static_cast<int16_t>(static_cast<uint16_t>(i));
    if (attr == "icon_idx") {
        if (low16 < 0) return std::nullopt; // a negative icon number is nowhere described
        return low16 > 22 ? -1 : 0;         // 0 draws no icon; 1 is the staged one
    }
    if (auto it = k_palettes.find({widget, attr}); it != k_palettes.end()) {
        const int64_t index = attr == "icon_color" ? low16 : i;
        return index < 1 || index > it->second ? -1 : 0;
    }
    if (attr == "style" && widget.starts_with("Common")) return i != 0 ? -1 : 0;
    return 0;
}

strings built_plugins() {
    strings out;
    if (DIR *d = opendir(PITWALL_PLUGIN_DIR)) {
        while (dirent *e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.rfind("libgre-plugin-", 0) == 0 && n.ends_with(".so")) out.push_back(n.substr(0, n.size() - 3));
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// One plug-in in the harness with the default font, every image its good configuration asks for, and
// the checks that hold after any draw.
struct rig {
    explicit rig(const std::string &deliverable, const std::string &base_dir = pitwall::testing::k_app_dir)
        : h(deliverable, base_dir), name(h.plug() ? h.plug()->display_name() : "") {
        h.eng.fonts().add_font(k_font);
    }

    plugin_harness h;
    std::string name;
    gr_control_t ctl = h.control(10, 20, 200, 120);

    std::unique_ptr<pitwall::instance> configured() {
        auto inst = h.make();
        for (const gr_attribute_t &a : h.plug()->attributes())
            if (k_good.count(a.name)) h.set(*inst, a.name, k_good.at(a.name));
        return inst;
    }

    // Stage every image a configured instance asks for, as the theme would supply it.
    void stage_images() {
        for (int round = 0; round < 16; ++round) {
            auto inst = configured();
            draw(*inst);
            strings missing;
            for (const std::string &l : h.lines("load_image "))
                if (l.ends_with("-> null")) missing.push_back(l.substr(11, l.find(" flags=") - 11));
            if (missing.empty()) return;
            for (const std::string &path : missing) {
                if (path.ends_with(".9.png"))
                    h.rec.add_nine_patch(path, 30, 30, 10, 10, 10, 10);
                else
                    h.rec.add_image(path, 20, 20);
            }
        }
        ADD_FAILURE() << "images keep missing";
    }

    // Draw, and check what every draw owes the engine whatever its inputs: a result of 0 or -1, the
    // clip and origin as they were, no path left, balanced render attributes, prefixed log lines.
    int draw(pitwall::instance &inst) {
        const int32_t dirty_before = inst.record()->dirty;
        const int result = h.draw(inst, ctl);
        EXPECT_TRUE(result == 0 || result == -1) << result;
        // A completed frame clears the change count; a refused one keeps it (the splash image alone
        // clears it on a failed load).
        const bool framed = !h.lines("set_clip").empty();
        const bool cleared = (result == 0 && framed) || (result == -1 && name == "SplashImage");
        EXPECT_EQ(inst.record()->dirty, cleared ? 0 : dirty_before);
        EXPECT_FALSE(h.rec.clip_state().has_value()) << "clip left set";
        EXPECT_EQ(h.rec.translation_x(), 0);
        EXPECT_EQ(h.rec.translation_y(), 0);
        EXPECT_EQ(h.rec.live_paths(), 0);
        bool pending[8] = {}; // render attributes set and not yet restored, by id
        const std::string prefix = name + ": ";
        for (const std::string &l : h.trace()) {
            if (l.starts_with("set_attr ")) pending[std::atoi(l.c_str() + 9) & 7] = true;
            if (l.starts_with("restore_attr ")) pending[std::atoi(l.c_str() + 13) & 7] = false;
            if (l.starts_with("log ")) {
                EXPECT_EQ(l.compare(6, prefix.size(), prefix), 0) << l.substr(0, 200);
            }
        }
        for (int id = 0; id < 8; ++id) EXPECT_FALSE(pending[id]) << "render attribute " << id << " left set";
        return result;
    }
    // What a configured instance draws once it has settled.
    strings steady_trace() {
        auto fresh = configured();
        EXPECT_EQ(draw(*fresh), 0) << "the good configuration draws";
        draw(*fresh);
        return h.trace();
    }
    // Every image the instances loaded is released by destroy or fini.
    void unload_and_check_images() {
        h.eng.unload_all();
        EXPECT_EQ(h.rec.live_images(), 0);
    }
};

// Path handles are numbered across the whole run; what a draw did does not depend on them.
std::string without_path_numbers(std::string line) {
    for (size_t at = line.find("path"); at != std::string::npos; at = line.find("path", at + 4)) {
        size_t end = at + 4;
        while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) ++end;
        line.erase(at + 4, end - at - 4);
    }
    return line;
}
bool same_draw(const strings &a, const strings &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && without_path_numbers(a[i]) != without_path_numbers(b[i])) return false;
    return true;
}

bool draws_literally(const plugin_harness &h, const std::string &text) {
    for (const std::string &l : h.lines("draw_text "))
        if (l.find(" \"" + text + "\" ") != std::string::npos) return true;
    return false;
}

class bad_input : public ::testing::TestWithParam<std::string> {};

TEST(bad_input_matrix, loads_all_fifteen_plugins) {
    pitwall::engine eng{pitwall::testing::k_app_dir};
    std::vector<pitwall::error> errors;
    EXPECT_GE(eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors).size(), 15u);
    EXPECT_EQ(errors, std::vector<pitwall::error>{});
    EXPECT_GE(built_plugins().size(), 15u);
}

TEST_P(bad_input, every_attribute_takes_every_bad_value_of_its_type) {
    rig r{GetParam()};
    ASSERT_NE(r.h.plug(), nullptr);
    r.stage_images();
    const strings reference = r.steady_trace();
    for (const gr_attribute_t &a : r.h.plug()->attributes()) {
        // One instance per attribute: each value ends with the good one restored and drawn, so the
        // next value again meets a configured instance in its drawn state.
        auto inst = r.configured();
        r.draw(*inst);
        for (const bad_value &bad : bad_values(r.name, a)) {
            SCOPED_TRACE(std::string(a.name) + " = " + bad.label);
            ASSERT_EQ(inst->set(a.id, bad.value), "");
            const int result = r.draw(*inst);
            const std::optional<int> expected = expected_result(r.name, a.name, bad.value);
            if (expected) {
                EXPECT_EQ(result, *expected);
            }
            if (result == -1 && k_refuse_before_frame.count(r.name)) {
                EXPECT_EQ(r.h.lines("get_clip"), strings{}) << "refused before the frame";
                EXPECT_EQ(r.h.lines("draw_"), strings{});
            }
            const bool format = bad.label == k_format_a || bad.label == k_format_b;
            if (format && result == 0 && k_literal_texts.count(a.name)) {
                EXPECT_TRUE(draws_literally(r.h, bad.label)) << "the text is drawn as it stands";
            }
            if (format && std::string(a.name) == "font") {
                EXPECT_TRUE(r.h.has("log 0 " + r.name + ": Couldn't get font reference " + bad.label));
            }
            if (format && std::string(a.name) == "logo_path") {
                EXPECT_TRUE(r.h.has("log 2 SplashImage: Loading image /app/" + bad.label));
            }
            { // the clone goes first: anything it shares with its source is then used after its free
                auto copy = inst->clone();
                const int copy_result = r.draw(*copy);
                if (expected) {
                    EXPECT_EQ(copy_result, *expected) << "clone";
                }
            }
            ASSERT_EQ(inst->set(a.id, good_value(a)), "");
            r.draw(*inst);
            r.draw(*inst);
            EXPECT_TRUE(same_draw(r.h.trace(), reference)) << "after recovering:\n" << r.h.rec.trace_text();
        }
    }
    r.unload_and_check_images();
}

// The resources a draw needs, taken away: the widgets that need them fail, the others draw; each
// failure is told in the log in the widget's words.
TEST_P(bad_input, missing_images_fonts_and_an_overlong_application_directory) {
    static const std::set<std::string> without_images = {"Label", "Scroll Label", "Menu Label", "Basic Box"};
    static const std::set<std::string> logs_loading = {"Modern Box", "Classic Box", "Modern Alarm", "Classic Alarm",
                                                       "SplashImage"};
    // A configured instance and its clone, each drawn once and checked.
    const auto draw_pair = [](rig &r, const std::function<void(int)> &check) {
        auto inst = r.configured();
        check(r.draw(*inst));
        auto copy = inst->clone();
        check(r.draw(*copy));
    };
    {
        SCOPED_TRACE("every image missing");
        rig r{GetParam()};
        const bool needs_images = !without_images.count(r.name);
        draw_pair(r, [&](int result) {
            EXPECT_EQ(result, needs_images ? -1 : 0);
            for (const std::string &l : r.h.lines("load_image ")) {
                EXPECT_TRUE(l.ends_with("-> null")) << l;
            }
            // Each attempt is told by the widgets that log their loads, and by no other.
            EXPECT_EQ(r.h.lines("log 2 " + r.name + ": Loading image ").size(),
                      logs_loading.count(r.name) ? r.h.lines("load_image ").size() : 0u);
            if (logs_loading.count(r.name)) {
                EXPECT_FALSE(r.h.lines("log 2 " + r.name + ": Loading image /app/images/").empty());
            }
            if (r.name == "SplashImage") {
                EXPECT_TRUE(r.h.has("log 0 SplashImage: Failed loading image /app/images/logo.png"));
            }
        });
        r.unload_and_check_images();
    }
    for (const bool lookup_fails : {true, false}) {
        SCOPED_TRACE(lookup_fails ? "no font of that name" : "a font resource without a font");
        rig r{GetParam()};
        r.stage_images();
        if (lookup_fails)
            r.h.eng.fonts().clear();
        else
            r.h.eng.fonts().stage_font_failure(k_font);
        const std::string message = "log 0 " + r.name + ": " +
                                    (lookup_fails ? "Couldn't get font reference " + k_font
                                                  : std::string("Invalid argument, unable to find font"));
        draw_pair(r, [&](int result) {
            EXPECT_EQ(result, k_title_font_first.count(r.name) ? -1 : 0);
            const strings errors = r.h.lines("log 0");
            if (r.name != "SplashImage") {
                EXPECT_FALSE(errors.empty());
            }
            for (const std::string &l : errors) {
                EXPECT_EQ(l, message);
            }
            // One line for each failed lookup, not more, not fewer.
            size_t failed = 0;
            for (const std::string &l : r.h.trace())
                failed += (l.starts_with("res_lookup ") || l.starts_with("res_font ")) && l.ends_with("-> null");
            EXPECT_EQ(errors.size(), failed);
        });
        r.unload_and_check_images();
    }
    {
        SCOPED_TRACE("a 4 KiB application directory");
        rig r{GetParam(), "/" + std::string(4095, 'd')};
        const bool needs_images = !without_images.count(r.name);
        draw_pair(r, [&](int result) {
            EXPECT_EQ(result, needs_images ? -1 : 0);
            EXPECT_EQ(r.h.lines("load_image"), strings{}) << "no path that long reaches the engine";
        });
        r.unload_and_check_images();
    }
}

INSTANTIATE_TEST_SUITE_P(bad_input, bad_input, ::testing::ValuesIn(built_plugins()),
                         [](const ::testing::TestParamInfo<std::string> &param) {
                             return param.param.substr(std::string("libgre-plugin-").size());
                         });

} // namespace
