// The fifteen widgets' attributes: each widget's table in the plug-in's order, each attribute
// described once by name and overridden where one widget or family gives it another meaning.
#include "pitwall/attribute_catalog.h"

#include <initializer_list>
#include <utility>

namespace pitwall {
namespace {

using value_list = std::vector<named_value>;
using k = attribute_kind;

// ---- palettes and named values -------------------------------------------------------------

// The swatches are the colours the theme paints each set in; the names are those of the files.
const value_list &bar_palette() {
    static const value_list v{{"white", 1, 0xFFFFFF}, {"red", 2, 0xFF0000},   {"yellow", 3, 0xFFDE00}, {"orange", 4, 0xFF7200},
                          {"green", 5, 0x4EEC00}, {"blue", 6, 0x00B4FF}, {"violet", 7, 0xBA0065}};
    return v;
}

const value_list &alarm_box_palette() {
    static const value_list v = [] {
        value_list p = bar_palette();
        p.push_back({"grey", 8, 0x808080});
        return p;
    }();
    return v;
}

const value_list &box_palette() { // the Modern Box's and the pictograms'
    static const value_list v = [] {
        value_list p = alarm_box_palette();
        p.push_back({"black", 9, 0x000000});
        return p;
    }();
    return v;
}

const value_list &classic_palette() {
    static const value_list v{{"white1", 1, 0xFFFFFF}, {"white2", 2, 0xE6E6E6}, {"red", 3, 0xFF0000},
                          {"yellow", 4, 0xFFDE00}, {"orange", 5, 0xFF7200}, {"green", 6, 0x4EEC00},
                          {"blue", 7, 0x00B4FF},   {"violet", 8, 0xBA0065}, {"grey", 9, 0x808080},
                          {"black1", 10, 0x000000}, {"black2", 11, 0x1E1E1E}};
    return v;
}

// The pictograms in the alarms' icon order; their files are images/Icons/NAME_COLOUR.png.
const value_list &pictograms() {
    static const value_list v{{"none", 0},
                          {"cross", 1},
                          {"plus", 2},
                          {"minus", 3},
                          {"warning_filled", 4},
                          {"warning_lights", 5},
                          {"turn_indicator_left", 6},
                          {"turn_indicator_right", 7},
                          {"water_temp", 8},
                          {"oil", 9},
                          {"mil_engine", 10},
                          {"gear", 11},
                          {"gear_warning", 12},
                          {"fuelstation", 13},
                          {"high_beam_lights", 14},
                          {"low_beam_lights", 15},
                          {"sidelight", 16},
                          {"light", 17},
                          {"lap_stopwatch", 18},
                          {"speedo", 19},
                          {"signalhorn", 20},
                          {"windshield", 21},
                          {"windshield_washer_fluid", 22}};
    return v;
}

const value_list label_positions{{"top_left", 1},    {"top_center", 2},    {"top_right", 3},
                             {"middle_left", 4}, {"center", 5},        {"middle_right", 6},
                             {"bottom_left", 7}, {"bottom_center", 8}, {"bottom_right", 9}};
const value_list left_center_right{{"left", 1}, {"center", 2}, {"right", 3}};
const value_list scroll_alignments{{"left", 1}, {"right", 3}};
const value_list alarm_alignments{{"left", 4}, {"center", 5}, {"right", 6}};
const value_list vertical_title_alignments{{"bottom", 0}, {"top", 1}, {"center", 4}};
const value_list quarter_turns{{"none", 0}, {"turn_90", 1}, {"turn_180", 2}, {"turn_270", 3}};
const value_list tick_modes{{"values", 0}, {"marks_only", 1}, {"piecewise", 3}, {"positions", 4}};
const value_list bar_styles{{"segments", 0}, {"continuous", 1}};

// ---- one attribute -------------------------------------------------------------------------

struct def : attribute_info {
    def(std::string n, attribute_kind kind_, std::string what_) {
        name = std::move(n);
        kind = kind_;
        what = std::move(what_);
    }
    def &in(const char *u) { unit = u; return *this; }
    def &between(int64_t lo, int64_t hi, std::string invalid) {
        range = std::pair{lo, hi};
        when_invalid = std::move(invalid);
        return *this;
    }
    def &named(const value_list &v) { values = v; return *this; }
    def &by_default(const char *d) { default_value = d; return *this; }
    def &from_palette(const char *palette_name, const std::vector<named_value> &colours, std::string invalid,
                      std::initializer_list<const char *> files = {}) {
        kind = attribute_kind::palette;
        palette = palette_name;
        values = colours;
        range = std::pair{int64_t(1), int64_t(colours.size())};
        when_invalid = std::move(invalid);
        images.assign(files.begin(), files.end());
        default_value = "0 (no colour: outside the palette)";
        return *this;
    }
};

// The three members of a colour triple, for the lower, normal and upper state (or zone).
std::vector<def> triple(const char *suffix, attribute_kind kind, const std::string &what) {
    std::vector<def> out;
    for (const char *state : {"lower", "color", "upper"}) {
        const std::string when = std::string(state) == "lower"   ? " in the lower state"
                                 : std::string(state) == "color" ? " in the normal state"
                                                                 : " in the upper state";
        out.emplace_back(std::string(state) + "_" + suffix, kind, what + when + ".");
    }
    return out;
}

// A palette triple: `what` describes the part, `invalid` what an index outside the palette does
// in that state.
std::vector<def> palette_triple(const char *suffix, const char *palette_name, const value_list &colours,
                                const std::string &what, const std::string &invalid,
                                std::initializer_list<const char *> files) {
    std::vector<def> out = triple(suffix, k::palette, what);
    const char *states[] = {"lower", "normal", "upper"};
    for (size_t i = 0; i < 3; ++i) out[i].from_palette(palette_name, colours, invalid + " " + states[i] + " state", files);
    return out;
}

// ---- the shared descriptions -----------------------------------------------------------------

std::vector<def> common_attributes() {
    return {
        def("x", k::integer, "Horizontal offset of the widget from the control's left edge.").in("px").by_default("0"),
        def("y", k::integer, "Vertical offset of the widget from the control's top edge.").in("px").by_default("0"),
        def("width", k::integer, "Width of the widget.").in("px").by_default("the control's width"),
        def("height", k::integer, "Height of the widget.").in("px").by_default("the control's height"),
        def("color", k::rgb, "The engine's common colour; only the widgets that say so draw with it."),
        def("valign", k::integer, "The engine's common vertical alignment; kept by the engine, not read by the widget."),
        def("halign", k::integer, "The engine's common horizontal alignment; kept by the engine, not read by the widget."),
        def("rotation", k::number, "The engine's common rotation; kept by the engine, not read by the widget.").in("degrees"),
        def("linewidth", k::integer, "The engine's common line width; kept by the engine, not read by the widget.").in("px"),
        def("alpha", k::integer, "The engine's common opacity; kept by the engine, not read by the widget."),
        def("rot_center_x", k::number, "The engine's common rotation centre (x); kept by the engine, not read by the widget.").in("px"),
        def("rot_center_y", k::number, "The engine's common rotation centre (y); kept by the engine, not read by the widget.").in("px"),
    };
}

std::vector<def> limits() {
    return {
        def("lower_limit", k::flag, "Nonzero enables the lower limit."),
        def("upper_limit", k::flag, "Nonzero enables the upper limit."),
        def("lower_value", k::number, "Lower threshold, in the unit of `value`: at or below it the widget is in the lower state."),
        def("upper_value", k::number, "Upper threshold: at or above it the widget is in the upper state."),
        def("lower_hyst", k::number, "Hysteresis of the lower limit: the value must rise above `lower_value` + `lower_hyst` to leave the lower state."),
        def("upper_hyst", k::number, "Hysteresis of the upper limit: the value must fall below `upper_value` - `upper_hyst` to leave the upper state."),
    };
}

const char *const default_font = "fonts/CPMono_v07 Plain.otf";

def value_def() {
    return def("value", k::number, "The value shown; classified against the limits into the lower, normal or upper state that picks the colours.");
}
def cfg_def() { return def("cfg", k::ignored, "Accepted and ignored."); }
def font_def(const char *what = "Font resource name; empty means the default font.") {
    return def("font", k::font, what).by_default(default_font);
}
def font_size_16(const char *what) {
    return def("font_size", k::integer, what).in("px").between(0, 65535, "only the low 16 bits are kept");
}
def title_size_def() {
    return def("title_size", k::integer, "Pixel size of the title text.").in("px").between(0, 255, "only the low 8 bits are kept");
}

// ---- the widgets ---------------------------------------------------------------------------

struct builder {
    widget_info w;
    builder(const char *name, const char *what) {
        w.name = name;
        w.what = what;
        for (def &d : common_attributes()) add(d, d.name == "x" || d.name == "y" ? "4s1"
                                                  : d.name == "rotation" || d.name.starts_with("rot_center") ? "4f1"
                                                                                                            : "4u1");
    }
    builder &add(def d, const char *type) {
        d.type = type;
        if (d.default_value.empty())
            d.default_value = d.kind == k::palette ? "0" : std::string(type) == "1s0" ? "none" : "0";
        w.attributes.push_back(std::move(d));
        return *this;
    }
    builder &add(std::vector<def> ds, const char *type) {
        for (def &d : ds) add(std::move(d), type);
        return *this;
    }
    // Replaces the common attribute of that name (the labels that draw with `color`).
    builder &common(def d) {
        for (attribute_info &a : w.attributes)
            if (a.name == d.name) {
                d.type = a.type;
                d.default_value = a.default_value;
                a = std::move(d);
            }
        return *this;
    }
};

const char *const box_state_fails = "the draw fails while the widget is in the";

widget_info splash() {
    builder b("SplashImage", "One image file over the whole control.");
    b.add(def("logo_path", k::image, "Image file to show, relative to the application directory; drawn over the control's rectangle."), "1s0");
    return b.w;
}

widget_info label() {
    builder b("Label", "A text in one of nine positions, optionally turned, coloured by the value's state.");
    b.add(value_def(), "4f1")
        .add(def("render_text", k::text, "The text; `<br>` separates lines (only top-left and unturned)."), "1s0")
        .add(cfg_def(), "4s1")
        .add(font_def(), "1s0")
        .add(font_size_16("Pixel size of the text."), "4s1")
        .add(def("alignment", k::choice, "Position in the rectangle: rows top, middle, bottom; columns left, center, right. 0 gives top right; above 9 the bottom row.")
                 .named(label_positions), "4s1")
        .add(triple("text", k::rgb, "Text colour"), "4s1")
        .add(limits()[0], "1u1").add(limits()[1], "1u1")
        .add({limits()[2], limits()[3], limits()[4], limits()[5]}, "4f1")
        .add(def("orientation", k::choice, "Quarter turns of the text.").named(quarter_turns).in("quarter turns"), "4s1");
    return b.w;
}

widget_info scroll_label() {
    builder b("Scroll Label", "One line of text the application scrolls sideways with `offset`.");
    b.common(def("color", k::rgb, "Text colour."));
    b.add(def("text", k::text, "The text, drawn as one line."), "1s0")
        .add(font_def(), "1s0")
        .add(font_size_16("Pixel size of the text."), "4s1")
        .add(def("alignment", k::choice, "Right aligns the text while it fits; any other value left.").named(scroll_alignments), "4s1")
        .add(def("offset", k::integer, "Horizontal shift of the text (scrolling), added to its aligned position.").in("px")
                 .between(-32768, 32767, "only the low 16 bits are kept"), "4s1");
    return b.w;
}

widget_info menu_label() {
    builder b("Menu Label", "Lines of text stacked from the top, each aligned by itself.");
    b.common(def("color", k::rgb, "Text colour."));
    b.add(def("text", k::text, "The text; `<br>` separates lines."), "1s0")
        .add(font_def(), "1s0")
        .add(font_size_16("Pixel size of the text."), "4s1")
        .add(def("alignment", k::choice, "Horizontal alignment of each line; any value but 1 and 2 aligns right.").named(left_center_right), "4s1");
    return b.w;
}

// The value boxes share their table up to the box colours.
builder box_head(const char *name, const char *what) {
    builder b(name, what);
    b.add(value_def(), "4f1")
        .add(def("render_title", k::text, "Title text; unset or empty means no title."), "1s0")
        .add(def("render_text", k::text, "The value text, drawn as given (the box does not format `value`)."), "1s0")
        .add(font_size_16("Pixel size of the value text."), "4s1")
        .add(cfg_def(), "4s1")
        .add(font_def("Font of the title and the value text; empty means the default font."), "1s0")
        .add(def("alignment", k::choice, "Horizontal alignment of the value text; any value but 1 and 2 aligns right.").named(left_center_right), "4s1")
        .add(triple("text", k::rgb, "Value text colour"), "4s1")
        .add(triple("title", k::rgb, "Title colour"), "4s1");
    return b;
}

builder &box_tail(builder &b) {
    b.add(limits()[0], "1u1").add(limits()[1], "1u1").add({limits()[2], limits()[3], limits()[4], limits()[5]}, "4f1");
    return b.add(title_size_def(), "4s1");
}

widget_info basic_box() {
    builder b = box_head("Basic Box", "A plain value box: a filled rectangle with an outline, a title row and the value text.");
    b.add(triple("box", k::argb, "Outline and separator colour (top byte: opacity)"), "4s1")
        .add(triple("bg", k::argb, "Background colour (top byte: opacity, 0 transparent)"), "4s1");
    return box_tail(b).w;
}

widget_info modern_box() {
    builder b = box_head("Modern Box", "A value box from images: a box and a title plate in a palette colour.");
    b.add(palette_triple("box", "Modern Box", box_palette(), "Palette colour of the box and the title plate", box_state_fails,
                         {"images/ModernBox/{colour}_box.9.png", "images/ModernBox/{colour}_title.9.png"}),
          "4s1");
    return box_tail(b).w;
}

widget_info classic_box() {
    builder b = box_head("Classic Box", "A framed value box: a frame and a separator line in a palette colour.");
    b.add(palette_triple("box", "classic", classic_palette(), "Palette colour of the frame and the separator",
                         box_state_fails, {"images/ClassicBox/{colour}_box.9.png", "images/ClassicBox/{colour}_line.png"}),
          "4s1");
    return box_tail(b).w;
}

widget_info alarm(bool modern) {
    builder b(modern ? "Modern Alarm" : "Classic Alarm",
              modern ? "An alarm lamp of three images with a pictogram, a reset symbol and a text."
                     : "A framed alarm lamp with a pictogram, a reset symbol and a text.");
    b.add(value_def(), "4f1")
        .add(def("render_text", k::text, "Text drawn in the lamp, as given."), "1s0")
        .add(cfg_def(), "4s1")
        .add(def("icon_idx", k::choice, "Pictogram at the lamp's left end; none (0) draws none.").named(pictograms())
                 .between(0, 22, "the draw fails"), "4s1")
        .add(def("icon_color", k::palette, "Palette colour of the pictogram.")
                 .from_palette("pictogram", box_palette(), "the draw fails while a pictogram is selected"), "4s1")
        .add(font_def(), "1s0")
        .add(font_size_16("Pixel size of the text."), "4s1")
        .add(def("text_alignment", k::choice, "Horizontal alignment of the text; any value but 4 and 5 aligns right.").named(alarm_alignments), "4s1")
        .add(triple("text", k::rgb, "Text colour"), "4s1");
    if (modern)
        b.add(palette_triple("box", "Modern Alarm", alarm_box_palette(), "Palette colour of the lamp", box_state_fails,
                             {"images/ModernAlarm/{colour}_box1.9.png", "images/ModernAlarm/{colour}_box2.9.png",
                              "images/ModernAlarm/{colour}_box3.9.png"}),
              "4s1");
    else
        b.add(palette_triple("box", "classic", classic_palette(), "Palette colour of the frame", box_state_fails,
                             {"images/ClassicBox/{colour}_box.9.png"}),
              "4s1");
    b.add(limits()[0], "1u1").add(limits()[1], "1u1").add({limits()[2], limits()[3], limits()[4], limits()[5]}, "4f1");
    b.add(def("reset_mode", k::flag, "Nonzero draws the reset symbol in the top-right corner."), "1u1");
    return b.w;
}

def ticks_def(const char *position) {
    return def("ticks", k::ticks,
               std::string("Tick list: entries `position;value;label` separated by `|`; the position (") + position +
                   ") counts from `tick_mode` 3 on. A scene may write a range {\"from\", \"to\", \"step\", \"minor\"} "
                   "or a list of [value, position] pairs instead.");
}

def tick_mode_def() {
    return def("tick_mode", k::choice, "values (0, also 2): positions from the values, linear scale; marks_only (1): no labels; "
                                       "piecewise (3): explicit positions, the scale runs piecewise through the ticks; "
                                       "positions (4 and above): explicit positions, linear scale.")
        .named(tick_modes);
}

def subsections_def() {
    return def("subsections", k::integer, "Parts between two neighbouring ticks; each gap gets `subsections` - 1 short marks.");
}

std::vector<def> range_defs() {
    return {def("value_min", k::number, "Value at the start of the scale."),
            def("value_max", k::number, "Value at the end of the scale.")};
}

widget_info bar(bool vertical) {
    builder b(vertical ? "Common Vertical Bar" : "Common Horizontal Bar",
              vertical ? "A segmented level bar filling up or down, with a scale and a turned title."
                       : "A segmented level bar filling right or left, with a scale and a title above.");
    const value_list tick_sides = vertical ? value_list{{"none", 0}, {"left", 1}, {"right", 2}}
                                       : value_list{{"none", 0}, {"above", 1}, {"below", 2}};
    const value_list directions = vertical ? value_list{{"down", 0}, {"up", 1}} : value_list{{"right", 0}, {"left", 1}};
    b.add(value_def(), "4f1")
        .add(def("render_title", k::text, "Title text; unset or empty means no title strip."), "1s0")
        .add(def("tick_pos", k::choice, vertical ? "Where the scale is; any value above 1 puts it right of the bar."
                                                 : "Where the scale is; any value above 1 puts it below the bar.")
                 .named(tick_sides), "1u1")
        .add(tick_mode_def(), "1u1")
        .add(cfg_def(), "4s1")
        .add(font_def("Font of the title and the tick labels; empty means the default font."), "1s0")
        .add(ticks_def("percent of the bar's length"), "1s0")
        .add(def("is_modern", k::flag, "Nonzero draws shine images along the bar; 0 white rails."), "1u1")
        .add(subsections_def(), "1u1")
        .add(def("style", k::choice, "Lamp-like segments, or one continuous fill (any nonzero value).").named(bar_styles), "1u1")
        .add(def("orientation", k::choice, vertical ? "down: `value_min` at the top, the bar fills downward; up (any nonzero value): it fills upward."
                                                    : "right: `value_min` at the left, the bar fills to the right; left (any nonzero value): it fills to the left.")
                 .named(directions), "1u1")
        .add(def("title_alignment", k::choice, vertical ? "Placement of the turned title along its strip; any value but 1 and 4 starts it at the bottom."
                                                        : "Placement of the title along its strip; any value but 1 and 2 aligns it right.")
                 .named(vertical ? vertical_title_alignments : left_center_right), "1u1");
    const char *segment = vertical ? "images/CommonBar/{colour}_fill_v.9.png" : "images/CommonBar/{colour}_fill.9.png";
    const char *mark = vertical ? "images/CommonBar/{colour}_mark_v.9.png" : "images/CommonBar/{colour}_mark.9.png";
    b.add(palette_triple("bar", "bar", bar_palette(), "Palette colour of the bar",
                         "that zone's segments are left out, and with shine images or a continuous fill the draw fails, in the",
                         {segment, mark}),
          "4s1");
    b.add(palette_triple("tick", "bar", bar_palette(), "Palette colour of the marks and labels",
                         "the marks and labels of that zone are left out in the", {}),
          "4s1");
    b.add(triple("title", k::rgb, "Title colour"), "4s1");
    b.add(limits()[0], "1u1").add(limits()[1], "1u1").add({limits()[2], limits()[3], limits()[4], limits()[5]}, "4f1");
    b.add(range_defs(), "4f1");
    return b.w;
}

std::vector<def> angles(const char *span_note) {
    return {def("angle_start", k::number, "Start of the scale from 6 o'clock, clockwise.").in("degrees"),
            def("angle_span", k::number, std::string("Extent of the scale; negative runs counter-clockwise") + span_note + ".")
                .in("degrees")};
}

def caption_def() {
    return def("text", k::text, "Caption of the value text; `<channel value>` is replaced by the formatted value. Unset, the draw fails.");
}
def decimals_def() {
    return def("decimals", k::integer, "Digits after the decimal point of the value text.")
        .between(0, 9, "the value text is not a number");
}

widget_info modern_gauge(bool large) {
    builder b(large ? "Modern Gauge Large" : "Modern Gauge Small",
              large ? "A round gauge with a value arc, a tick scale, a needle and the value text."
                    : "A compact round gauge with a value arc, a needle and the value text.");
    b.add(value_def(), "4f1").add(cfg_def(), "4s1").add(caption_def(), "1s0");
    if (large)
        b.add(font_def("Font of the value text and the tick labels; empty means the default font."), "1s0")
            .add(ticks_def("degrees from `angle_start`"), "1s0")
            .add(def("font_size", k::integer, "Pixel size of the value text (tick labels are always 16).").in("px"), "1u1");
    else
        b.add(font_def("Font of the value text; empty means the default font."), "1s0")
            .add(def("font_size", k::integer, "Pixel size of the value text.").in("px"), "1u1");
    b.add(def("alignment", k::choice, "Horizontal alignment of the value text; any value but 1 and 2 aligns right.").named(left_center_right), "1u1")
        .add(decimals_def(), "1u1");
    if (large) b.add(tick_mode_def(), "1u1").add(subsections_def(), "1u1");
    b.add(triple("gauge", k::rgb, "Value arc colour"), "4s1").add(triple("text", k::rgb, "Value text colour"), "4s1");
    if (large) b.add(triple("tick", k::rgb, "Colour of the tick marks and labels (by zone)"), "4s1");
    b.add(limits()[0], "1u1").add(limits()[1], "1u1").add({limits()[2], limits()[3], limits()[4], limits()[5]}, "4f1");
    b.add(angles(large ? "" : " and selects the counter-clockwise needle"), "4f1").add(range_defs(), "4f1");
    return b.w;
}

widget_info classic_gauge(bool large) {
    builder b(large ? "Classic Gauge Large" : "Classic Gauge Small",
              "A dial gauge drawn on a themed background image, with a needle and a tick scale.");
    b.add(value_def(), "4f1")
        .add(cfg_def(), "4s1")
        .add(font_def("Font of the tick labels; empty means the default font."), "1s0")
        .add(ticks_def("degrees from `angle_start`"), "1s0")
        .add(subsections_def(), "1u1")
        .add(def("tick_pos", k::choice, "Whether the tick marks and labels are drawn; any value but 1 hides them.")
                 .named({{"hidden", 0}, {"shown", 1}}), "1u1")
        .add(tick_mode_def(), "1u1");
    b.add(palette_triple("gauge", "bar", bar_palette(), "Palette colour of the dial", box_state_fails,
                         {large ? "images/ClassicGauge/{colour}_bg_large.png" : "images/ClassicGauge/{colour}_bg_small.png"}),
          "4s1");
    b.add(triple("tick", k::rgb, "Colour of the tick marks and labels (by zone)"), "4s1");
    b.add(limits()[0], "1u1").add(limits()[1], "1u1").add({limits()[2], limits()[3], limits()[4], limits()[5]}, "4f1");
    b.add(angles(""), "4f1").add(range_defs(), "4f1");
    return b.w;
}

} // namespace

const std::vector<widget_info> &attribute_catalog() {
    static const std::vector<widget_info> widgets{
        splash(),          label(),          scroll_label(),        menu_label(),         basic_box(),
        modern_box(),      classic_box(),    alarm(true),           alarm(false),         bar(true),
        bar(false),        modern_gauge(true), modern_gauge(false), classic_gauge(false), classic_gauge(true)};
    return widgets;
}

} // namespace pitwall
