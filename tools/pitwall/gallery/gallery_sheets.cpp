// The gallery's sheets: for each widget the attributes every cell shares, the values of the three
// threshold states and the main options, one row each; and the scene that lays them out.
//
//   +------------+-----------+-----------+-----------+
//   |            | lower (v) | normal(v) | upper (v) |   header: the state and its value
//   +------------+-----------+-----------+-----------+
//   | option 1   |   cell    |   cell    |   cell    |   one row per main option
//   | option 2   |   cell    |   cell    |   cell    |
//   +------------+-----------+-----------+-----------+
#include "gallery.h"

#include <cstdio>

namespace pitwall::cli {
namespace {

// Attribute values as the engine takes them: integers (colours too), floats and strings.
attr_value num(int64_t v) { return v; }
attr_value real(double v) { return v; }
attr_value text(const char *s) { return std::string(s); }

constexpr int64_t white = 0xffffff, grey = 0x9aa6b2, ink = 0x101010;
constexpr int64_t cyan = 0x00b4ff, green = 0x4eec00, red = 0xff2a1a, pale_blue = 0x9fd8ff;

// Limits at 20 and 80 on a 0 to 100 scale; the columns show 10, 50 and 90.
attribute_list limits() {
    return {{"lower_limit", num(1)}, {"lower_value", real(20)}, {"lower_hyst", real(2)},
            {"upper_limit", num(1)}, {"upper_value", real(80)}, {"upper_hyst", real(2)}};
}
constexpr std::array<double, 3> k_state_values = {10, 50, 90};

attribute_list join(attribute_list a, const attribute_list &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

sheet level_bar(const char *widget, int16_t w, int16_t h) {
    sheet s{widget, w, h, {}, k_state_values, "", "", "", {}};
    s.base = join(limits(), {{"render_title", text("TEMP")}, {"title_alignment", num(4)}, {"tick_pos", num(2)},
                             {"tick_mode", num(2)}, {"ticks", text(";0;0|;25;|;50;50|;75;|;100;")},
                             {"subsections", num(2)}, {"value_min", real(0)}, {"value_max", real(100)},
                             {"lower_bar", num(6)}, {"color_bar", num(5)}, {"upper_bar", num(2)},
                             {"lower_tick", num(6)}, {"color_tick", num(1)}, {"upper_tick", num(2)},
                             {"lower_title", num(pale_blue)}, {"color_title", num(white)}, {"upper_title", num(red)},
                             {"orientation", num(1)}});
    s.rows = {{"segments", {}},
              {"scale first, marks", {{"tick_pos", num(1)}, {"tick_mode", num(1)}}},
              {"shine (is_modern)", {{"is_modern", num(1)}}},
              {"continuous (style)", {{"style", num(1)}, {"is_modern", num(1)}}},
              {"orientation 0", {{"orientation", num(0)}}}};
    return s;
}

sheet modern_gauge_large() {
    sheet s{"Modern Gauge Large", 210, 210, {}, k_state_values, "", "", "", {}};
    s.base = join(limits(), {{"text", text("<channel value>")}, {"decimals", num(0)}, {"font_size", num(24)},
                             {"alignment", num(2)}, {"ticks", text(";0;0|;25;25|;50;50|;75;75|;100;100")},
                             {"tick_mode", num(2)}, {"subsections", num(2)}, {"lower_gauge", num(cyan)},
                             {"color_gauge", num(green)}, {"upper_gauge", num(red)}, {"lower_text", num(pale_blue)},
                             {"color_text", num(white)}, {"upper_text", num(red)}, {"lower_tick", num(pale_blue)},
                             {"color_tick", num(0xd8dde2)}, {"upper_tick", num(red)}, {"angle_start", real(45)},
                             {"angle_span", real(270)}, {"value_min", real(0)}, {"value_max", real(100)}});
    s.rows = {{"linear scale", {}},
              {"piecewise (mode 3)", {{"tick_mode", num(3)}, {"ticks", text("0;0;0|135;25;25|200;50;50|270;100;100")}}},
              {"marks only (mode 1)", {{"tick_mode", num(1)}}},
              {"counter-clockwise", {{"angle_start", real(315)}, {"angle_span", real(-270)}}}};
    return s;
}

sheet modern_gauge_small() {
    sheet s{"Modern Gauge Small", 150, 150, {}, k_state_values, "", "", "", {}};
    s.base = join(limits(), {{"text", text("<channel value>°")}, {"decimals", num(0)}, {"font_size", num(26)},
                             {"alignment", num(2)}, {"lower_gauge", num(cyan)}, {"color_gauge", num(green)},
                             {"upper_gauge", num(red)}, {"lower_text", num(pale_blue)}, {"color_text", num(white)},
                             {"upper_text", num(red)}, {"angle_start", real(45)}, {"angle_span", real(270)},
                             {"value_min", real(0)}, {"value_max", real(100)}});
    s.rows = {{"270 degrees", {}},
              {"half circle", {{"angle_start", real(90)}, {"angle_span", real(180)}}},
              {"counter-clockwise", {{"angle_start", real(315)}, {"angle_span", real(-270)}}},
              {"one decimal", {{"decimals", num(1)}, {"font_size", num(20)}}}};
    return s;
}

sheet classic_gauge(const char *widget, int16_t size) {
    sheet s{widget, size, size, {}, k_state_values, "", "", "", {}};
    s.base = join(limits(), {{"ticks", text(";0;0|;25;25|;50;50|;75;75|;100;100")}, {"subsections", num(5)},
                             {"tick_pos", num(1)}, {"tick_mode", num(2)}, {"lower_gauge", num(6)},
                             {"color_gauge", num(1)}, {"upper_gauge", num(2)}, {"lower_tick", num(ink)},
                             {"color_tick", num(ink)}, {"upper_tick", num(0xd01010)}, {"angle_start", real(45)},
                             {"angle_span", real(270)}, {"value_min", real(0)}, {"value_max", real(100)}});
    s.rows = {{"labelled scale", {}},
              {"marks only (mode 1)", {{"tick_mode", num(1)}}},
              {"no scale (tick_pos)", {{"tick_pos", num(0)}}},
              {"240 degrees", {{"angle_start", real(60)}, {"angle_span", real(240)}}}};
    return s;
}

sheet alarm(const char *widget, int64_t lower_box, int64_t color_box, int64_t upper_box) {
    sheet s{widget, 230, 64, {}, k_state_values, "", "", "", {}};
    s.base = join(limits(), {{"render_text", text("OIL TEMP")}, {"icon_idx", num(9)}, {"icon_color", num(1)},
                             {"font_size", num(18)}, {"text_alignment", num(4)}, {"lower_box", num(lower_box)},
                             {"color_box", num(color_box)}, {"upper_box", num(upper_box)}, {"lower_text", num(white)},
                             {"color_text", num(white)}, {"upper_text", num(white)}});
    s.rows = {{"icon, text left", {}},
              {"text centred", {{"text_alignment", num(5)}, {"icon_idx", num(8)}}},
              {"reset symbol", {{"reset_mode", num(1)}, {"icon_idx", num(13)}}},
              {"pictogram only", {{"render_text", text("")}, {"icon_idx", num(18)}}}};
    return s;
}

attribute_list box_texts() {
    return {{"render_title", text("OIL TEMP")}, {"title_size", num(16)}, {"font_size", num(28)},
            {"alignment", num(2)}, {"lower_text", num(white)}, {"color_text", num(white)}, {"upper_text", num(white)},
            {"lower_title", num(white)}, {"color_title", num(0xe8e8e8)}, {"upper_title", num(white)}};
}

// The boxes draw their value text as given: each column's text is its value.
sheet value_box(const char *widget, attribute_list colours) {
    sheet s{widget, 170, 96, {}, k_state_values, "render_text", "", " C", {}};
    s.base = join(join(limits(), box_texts()), colours);
    s.rows = {{"title and value", {}},
              {"no title", {{"render_title", text("")}, {"font_size", num(36)}}},
              {"value left", {{"alignment", num(1)}}},
              {"value right", {{"alignment", num(3)}}}};
    return s;
}

sheet label() {
    sheet s{"Label", 170, 64, {}, k_state_values, "render_text", "WATER ", "", {}};
    s.base = join(limits(), {{"font_size", num(18)}, {"alignment", num(5)}, {"lower_text", num(pale_blue)},
                             {"color_text", num(white)}, {"upper_text", num(red)}});
    s.rows = {{"centred (5)", {}},
              {"top left (1)", {{"alignment", num(1)}}},
              {"bottom right (9)", {{"alignment", num(9)}}},
              {"two lines", {{"render_text", text("LAP 12<br>P3")}}}};
    return s;
}

sheet scroll_label() {
    sheet s{"Scroll Label", 300, 34, {}, std::nullopt, "", "", "", {}};
    s.base = {{"text", text("BOX THIS LAP")}, {"font_size", num(20)}, {"color", num(0xffd000)}};
    s.rows = {{"left", {{"alignment", num(1)}}},
              {"right (3)", {{"alignment", num(3)}}},
              {"offset +60", {{"alignment", num(1)}, {"offset", num(60)}}},
              {"right, offset -40", {{"alignment", num(3)}, {"offset", num(-40)}}}};
    return s;
}

sheet menu_label() {
    sheet s{"Menu Label", 170, 100, {}, std::nullopt, "", "", "", {}};
    s.base = {{"text", text("SETUP<br>Lap timer<br>Logger<br>Exit")}, {"font_size", num(20)}, {"color", num(0x9fe870)}};
    s.rows = {{"left (1)", {{"alignment", num(1)}}}, {"centre (2)", {{"alignment", num(2)}}}, {"right (3)", {{"alignment", num(3)}}}};
    return s;
}

sheet splash_image() {
    sheet s{"SplashImage", 360, 120, {}, std::nullopt, "", "", "", {}};
    s.rows = {{"logo", {{"logo_path", text("images/splash/logo.png")}}}};
    return s;
}

constexpr int16_t k_margin = 12, k_gap = 12, k_caption_width = 180, k_header_height = 28;
constexpr const char *k_state_names[] = {"lower", "normal", "upper"};

scene_control caption(const std::string &words, int16_t x, int16_t y, int16_t w, int16_t h, int64_t alignment) {
    scene_control c;
    c.widget = "Label";
    c.name = "caption " + words;
    c.x = x, c.y = y, c.width = w, c.height = h;
    c.state.attributes = {{"render_text", attr_value(words)}, {"font_size", num(14)}, {"alignment", num(alignment)},
                          {"lower_text", num(grey)}, {"color_text", num(grey)}, {"upper_text", num(grey)}};
    return c;
}

} // namespace

sheet sheet_for(const std::string &widget) {
    if (widget == "Common Vertical Bar") return level_bar("Common Vertical Bar", 110, 200);
    if (widget == "Common Horizontal Bar") return level_bar("Common Horizontal Bar", 230, 90);
    if (widget == "Modern Gauge Large") return modern_gauge_large();
    if (widget == "Modern Gauge Small") return modern_gauge_small();
    if (widget == "Classic Gauge Small") return classic_gauge("Classic Gauge Small", 150);
    if (widget == "Classic Gauge Large") return classic_gauge("Classic Gauge Large", 210);
    if (widget == "Modern Alarm") return alarm("Modern Alarm", 6, 8, 2);
    if (widget == "Classic Alarm") return alarm("Classic Alarm", 7, 9, 3);
    if (widget == "Basic Box")
        return value_box("Basic Box", {{"lower_box", num(0xff5fa8ff)}, {"color_box", num(0xff4a5662)},
                                       {"upper_box", num(0xffff6b6b)}, {"lower_bg", num(0xff0b3d91)},
                                       {"color_bg", num(0xff1c232b)}, {"upper_bg", num(0xffb3121f)}});
    if (widget == "Modern Box") return value_box("Modern Box", {{"lower_box", num(6)}, {"color_box", num(8)}, {"upper_box", num(2)}});
    if (widget == "Classic Box") return value_box("Classic Box", {{"lower_box", num(7)}, {"color_box", num(9)}, {"upper_box", num(3)}});
    if (widget == "Label") return label();
    if (widget == "Scroll Label") return scroll_label();
    if (widget == "Menu Label") return menu_label();
    if (widget == "SplashImage") return splash_image();
    return sheet{widget, 200, 100, {}, std::nullopt, "", "", "", {{"defaults", {}}}};
}

scene sheet_scene(const sheet &s, bool with_captions) {
    const int columns = s.values ? 3 : 1;
    const int rows = int(s.rows.size());
    const int16_t left = k_margin + (with_captions ? k_caption_width : 0);
    const int16_t top = k_margin + (with_captions && s.values ? k_header_height : 0);

    scene out;
    out.background = 0xff101418;
    out.width = int16_t(left + columns * s.cell_width + (columns - 1) * k_gap + k_margin);
    out.height = int16_t(top + rows * s.cell_height + (rows - 1) * k_gap + k_margin);
    // The examples' stand-in for the default font.
    out.fonts = {{"fonts/CPMono_v07 Plain.otf", "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"}};

    for (int col = 0; col < columns && with_captions && s.values; ++col) {
        char words[48];
        std::snprintf(words, sizeof words, "%s (%g)", k_state_names[col], (*s.values)[col]);
        out.controls.push_back(
            caption(words, int16_t(left + col * (s.cell_width + k_gap)), k_margin, s.cell_width, k_header_height, 5));
    }
    for (int row = 0; row < rows; ++row) {
        const int16_t y = int16_t(top + row * (s.cell_height + k_gap));
        if (with_captions)
            out.controls.push_back(caption(s.rows[row].caption, k_margin, y, k_caption_width - k_gap, s.cell_height, 4));
        for (int col = 0; col < columns; ++col) {
            scene_control c;
            c.widget = s.widget;
            c.name = s.rows[row].caption + (s.values ? std::string(" ") + k_state_names[col] : "");
            c.x = int16_t(left + col * (s.cell_width + k_gap));
            c.y = y;
            c.width = s.cell_width;
            c.height = s.cell_height;
            attribute_list attrs = s.base;
            if (s.values && !s.value_text_attribute.empty()) {
                char number[32];
                std::snprintf(number, sizeof number, "%.0f", (*s.values)[col]);
                attrs.emplace_back(s.value_text_attribute, s.value_prefix + number + s.value_suffix);
            }
            attrs.insert(attrs.end(), s.rows[row].attributes.begin(), s.rows[row].attributes.end());
            // The value last: the limits and the scale are in place when it is classified.
            if (s.values) attrs.emplace_back("value", real((*s.values)[col]));
            c.state.attributes = std::move(attrs);
            out.controls.push_back(std::move(c));
        }
    }
    return out;
}

std::string picture_name(const plugin &p) {
    std::string file = p.path().substr(p.path().find_last_of('/') + 1);
    const std::string prefix = "libgre-plugin-", suffix = ".so";
    if (file.rfind(prefix, 0) == 0) file.erase(0, prefix.size());
    if (file.size() > suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
        file.erase(file.size() - suffix.size());
    return file + ".png";
}

} // namespace pitwall::cli
