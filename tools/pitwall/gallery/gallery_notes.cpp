// The attribute notes of the gallery's reference page: what each attribute does and its default.
// A note is keyed by attribute name and shared by every widget whose table has that name; a note
// with a widget's display name overrides the shared one for that widget only. The default column
// is "0" for numbers and "none" for strings unless a note gives one.
#include "gallery.h"

#include <array>

namespace pitwall::cli {
namespace {

// Shared notes first, then the widget-specific overrides.
constexpr std::array k_notes = {
    // The engine's common attributes.
    attribute_note{"x", nullptr, "Horizontal offset of the widget from the control's left edge, in pixels.", nullptr},
    attribute_note{"y", nullptr, "Vertical offset of the widget from the control's top edge, in pixels.", nullptr},
    attribute_note{"width", nullptr, "Width of the widget in pixels.", "the control's width"},
    attribute_note{"height", nullptr, "Height of the widget in pixels.", "the control's height"},
    attribute_note{"color", nullptr, "The engine's common colour (0xRRGGBB); only the widgets that say so draw with it.", nullptr},
    attribute_note{"valign", nullptr, "The engine's common vertical alignment; kept by the engine, not read by the widget.", nullptr},
    attribute_note{"halign", nullptr, "The engine's common horizontal alignment; kept by the engine, not read by the widget.", nullptr},
    attribute_note{"rotation", nullptr, "The engine's common rotation; kept by the engine, not read by the widget.", nullptr},
    attribute_note{"linewidth", nullptr, "The engine's common line width; kept by the engine, not read by the widget.", nullptr},
    attribute_note{"alpha", nullptr, "The engine's common opacity; kept by the engine, not read by the widget.", nullptr},
    attribute_note{"rot_center_x", nullptr, "The engine's common rotation centre (x); kept by the engine, not read by the widget.", nullptr},
    attribute_note{"rot_center_y", nullptr, "The engine's common rotation centre (y); kept by the engine, not read by the widget.", nullptr},

    // Value and threshold state.
    attribute_note{"value", nullptr, "The value shown; classified against the limits into the lower, normal or upper state that picks the colours.", nullptr},
    attribute_note{"lower_limit", nullptr, "Nonzero enables the lower limit.", nullptr},
    attribute_note{"upper_limit", nullptr, "Nonzero enables the upper limit.", nullptr},
    attribute_note{"lower_value", nullptr, "Lower threshold, in the unit of `value`: at or below it the widget is in the lower state.", nullptr},
    attribute_note{"upper_value", nullptr, "Upper threshold: at or above it the widget is in the upper state.", nullptr},
    attribute_note{"lower_hyst", nullptr, "Hysteresis of the lower limit: the value must rise above `lower_value` + `lower_hyst` to leave the lower state.", nullptr},
    attribute_note{"upper_hyst", nullptr, "Hysteresis of the upper limit: the value must fall below `upper_value` - `upper_hyst` to leave the upper state.", nullptr},
    attribute_note{"cfg", nullptr, "Accepted and ignored.", nullptr},

    // Texts and fonts.
    attribute_note{"render_text", nullptr, "The text, drawn as given (the widget does not format `value`).", nullptr},
    attribute_note{"render_title", nullptr, "Title text; empty means no title.", nullptr},
    attribute_note{"text", nullptr, "The text.", nullptr},
    attribute_note{"font", nullptr, "Font resource name; empty means the default font.", "fonts/CPMono_v07 Plain.otf"},
    attribute_note{"font_size", nullptr, "Pixel size of the text.", nullptr},
    attribute_note{"title_size", nullptr, "Pixel size of the title text (0 to 255).", nullptr},
    attribute_note{"alignment", nullptr, "Horizontal alignment of the value text: 1 left, 2 centre, other values right.", nullptr},
    attribute_note{"text_alignment", nullptr, "Horizontal alignment of the text: 4 left, 5 centre, other values right.", nullptr},
    attribute_note{"lower_text", nullptr, "Text colour (0xRRGGBB) in the lower state.", nullptr},
    attribute_note{"color_text", nullptr, "Text colour (0xRRGGBB) in the normal state.", nullptr},
    attribute_note{"upper_text", nullptr, "Text colour (0xRRGGBB) in the upper state.", nullptr},
    attribute_note{"lower_title", nullptr, "Title colour (0xRRGGBB) in the lower state.", nullptr},
    attribute_note{"color_title", nullptr, "Title colour (0xRRGGBB) in the normal state.", nullptr},
    attribute_note{"upper_title", nullptr, "Title colour (0xRRGGBB) in the upper state.", nullptr},
    attribute_note{"orientation", nullptr, "Quarter turns of the text: 0 none, 1 = 90, 2 = 180, 3 = 270 degrees.", nullptr},
    attribute_note{"offset", nullptr, "Horizontal shift of the text in pixels (scrolling), added to its aligned position.", nullptr},

    // Boxes and lamps.
    attribute_note{"lower_box", nullptr, "Palette index of the box in the lower state.", nullptr},
    attribute_note{"color_box", nullptr, "Palette index of the box in the normal state.", nullptr},
    attribute_note{"upper_box", nullptr, "Palette index of the box in the upper state.", nullptr},
    attribute_note{"lower_bg", nullptr, "Background colour (0xAARRGGBB) in the lower state.", nullptr},
    attribute_note{"color_bg", nullptr, "Background colour (0xAARRGGBB) in the normal state.", nullptr},
    attribute_note{"upper_bg", nullptr, "Background colour (0xAARRGGBB) in the upper state.", nullptr},
    attribute_note{"icon_idx", nullptr, "Pictogram 1 to 22 (cross, plus, minus, warnings, indicators, water_temp, oil, engine, gear, fuel station, beams, lights, lap stopwatch, speedo, horn, windshield); 0 none.", nullptr},
    attribute_note{"icon_color", nullptr, "Palette index 1 to 9 of the pictogram's colour.", nullptr},
    attribute_note{"reset_mode", nullptr, "Nonzero draws the reset symbol in the top-right corner.", nullptr},
    attribute_note{"logo_path", nullptr, "Image file to show, relative to the application directory; drawn at its own size at the control's position.", nullptr},

    // Scales, bars and gauges.
    attribute_note{"ticks", nullptr, "Tick list: entries `position;value;label` separated by `|` (position used from `tick_mode` 3 on).", nullptr},
    attribute_note{"tick_mode", nullptr, "1 marks only, no labels; 3 explicit tick positions and a piecewise scale through the ticks; above 3 explicit positions, linear scale; 0 and 2 positions from the values.", nullptr},
    attribute_note{"subsections", nullptr, "Parts between two neighbouring ticks; each gap gets `subsections` - 1 short marks.", nullptr},
    attribute_note{"value_min", nullptr, "Value at the start of the scale.", nullptr},
    attribute_note{"value_max", nullptr, "Value at the end of the scale.", nullptr},
    attribute_note{"angle_start", nullptr, "Start of the scale in degrees from 6 o'clock, clockwise.", nullptr},
    attribute_note{"angle_span", nullptr, "Extent of the scale in degrees; negative runs counter-clockwise.", nullptr},
    attribute_note{"decimals", nullptr, "Digits after the decimal point of the value text.", nullptr},
    attribute_note{"lower_gauge", nullptr, "Value arc colour (0xRRGGBB) in the lower state.", nullptr},
    attribute_note{"color_gauge", nullptr, "Value arc colour (0xRRGGBB) in the normal state.", nullptr},
    attribute_note{"upper_gauge", nullptr, "Value arc colour (0xRRGGBB) in the upper state.", nullptr},
    attribute_note{"lower_tick", nullptr, "Colour of the tick marks and labels in the lower zone (0xRRGGBB).", nullptr},
    attribute_note{"color_tick", nullptr, "Colour of the tick marks and labels in the normal zone (0xRRGGBB).", nullptr},
    attribute_note{"upper_tick", nullptr, "Colour of the tick marks and labels in the upper zone (0xRRGGBB).", nullptr},
    attribute_note{"tick_pos", nullptr, "0 no scale; 1 scale left (or above) of the bar; other values right (or below).", nullptr},
    attribute_note{"is_modern", nullptr, "Nonzero draws shine images along the bar; 0 white rails.", nullptr},
    attribute_note{"style", nullptr, "0 lamp-like segments; nonzero one continuous fill.", nullptr},
    attribute_note{"title_alignment", nullptr, "Placement of the title along its strip.", nullptr},
    attribute_note{"lower_bar", nullptr, "Palette index 1 to 7 (white, red, yellow, orange, green, blue, violet) of the bar in the lower zone.", nullptr},
    attribute_note{"color_bar", nullptr, "Palette index 1 to 7 of the bar in the normal zone.", nullptr},
    attribute_note{"upper_bar", nullptr, "Palette index 1 to 7 of the bar in the upper zone.", nullptr},

    // Widget-specific meanings.
    attribute_note{"color", "Scroll Label", "Text colour (0xRRGGBB).", nullptr},
    attribute_note{"color", "Menu Label", "Text colour (0xRRGGBB).", nullptr},
    attribute_note{"text", "Scroll Label", "The text, drawn as one line.", nullptr},
    attribute_note{"text", "Menu Label", "The text; `<br>` separates lines.", nullptr},
    attribute_note{"text", "Modern Gauge Large", "Caption of the value text; `<channel value>` is replaced by the formatted value.", nullptr},
    attribute_note{"text", "Modern Gauge Small", "Caption of the value text; `<channel value>` is replaced by the formatted value.", nullptr},
    attribute_note{"render_text", "Label", "The text; `<br>` separates lines.", nullptr},
    attribute_note{"alignment", "Label", "Position 1 to 9 in the rectangle: rows top, middle, bottom; columns left, centre, right.", nullptr},
    attribute_note{"alignment", "Scroll Label", "3 right (while the text fits); other values left.", nullptr},
    attribute_note{"font_size", "Modern Gauge Large", "Pixel size of the value text (tick labels are always 16).", nullptr},
    attribute_note{"font", "Classic Gauge Small", "Font of the tick labels; empty means the default font.", "fonts/CPMono_v07 Plain.otf"},
    attribute_note{"font", "Classic Gauge Large", "Font of the tick labels; empty means the default font.", "fonts/CPMono_v07 Plain.otf"},
    attribute_note{"orientation", "Common Vertical Bar", "0 `value_min` at the top, the bar fills downward; nonzero `value_min` at the bottom, it fills upward.", nullptr},
    attribute_note{"orientation", "Common Horizontal Bar", "0 `value_min` at the left, the bar fills to the right; nonzero `value_min` at the right, it fills to the left.", nullptr},
    attribute_note{"lower_tick", "Common Vertical Bar", "Palette index 1 to 7 of the marks and labels in the lower zone.", nullptr},
    attribute_note{"color_tick", "Common Vertical Bar", "Palette index 1 to 7 of the marks and labels in the normal zone.", nullptr},
    attribute_note{"upper_tick", "Common Vertical Bar", "Palette index 1 to 7 of the marks and labels in the upper zone.", nullptr},
    attribute_note{"lower_tick", "Common Horizontal Bar", "Palette index 1 to 7 of the marks and labels in the lower zone.", nullptr},
    attribute_note{"color_tick", "Common Horizontal Bar", "Palette index 1 to 7 of the marks and labels in the normal zone.", nullptr},
    attribute_note{"upper_tick", "Common Horizontal Bar", "Palette index 1 to 7 of the marks and labels in the upper zone.", nullptr},
    attribute_note{"title_alignment", "Common Vertical Bar", "1 ends the title at the top of its strip, 4 centres it, other values start it at the bottom.", nullptr},
    attribute_note{"title_alignment", "Common Horizontal Bar", "1 left, 2 centred, other values right.", nullptr},
    attribute_note{"tick_pos", "Classic Gauge Small", "1 draws the tick marks and labels; other values none.", nullptr},
    attribute_note{"tick_pos", "Classic Gauge Large", "1 draws the tick marks and labels; other values none.", nullptr},
    attribute_note{"lower_gauge", "Classic Gauge Small", "Dial colour index 1 to 7 (white, red, yellow, orange, green, blue, violet) in the lower state.", nullptr},
    attribute_note{"color_gauge", "Classic Gauge Small", "Dial colour index 1 to 7 in the normal state.", nullptr},
    attribute_note{"upper_gauge", "Classic Gauge Small", "Dial colour index 1 to 7 in the upper state.", nullptr},
    attribute_note{"lower_gauge", "Classic Gauge Large", "Dial colour index 1 to 7 (white, red, yellow, orange, green, blue, violet) in the lower state.", nullptr},
    attribute_note{"color_gauge", "Classic Gauge Large", "Dial colour index 1 to 7 in the normal state.", nullptr},
    attribute_note{"upper_gauge", "Classic Gauge Large", "Dial colour index 1 to 7 in the upper state.", nullptr},
    attribute_note{"lower_box", "Basic Box", "Outline and separator colour (0xAARRGGBB) in the lower state.", nullptr},
    attribute_note{"color_box", "Basic Box", "Outline and separator colour (0xAARRGGBB) in the normal state.", nullptr},
    attribute_note{"upper_box", "Basic Box", "Outline and separator colour (0xAARRGGBB) in the upper state.", nullptr},
    attribute_note{"lower_box", "Modern Box", "Palette index 1 to 9 of the box and title plate in the lower state.", nullptr},
    attribute_note{"lower_box", "Classic Box", "Palette index 1 to 11 of the frame in the lower state.", nullptr},
    attribute_note{"lower_box", "Modern Alarm", "Palette index 1 to 8 of the lamp in the lower state.", nullptr},
    attribute_note{"lower_box", "Classic Alarm", "Palette index 1 to 11 of the frame in the lower state.", nullptr},
};

} // namespace

const attribute_note *find_attribute_note(std::string_view widget, std::string_view name) {
    const attribute_note *shared = nullptr;
    for (const attribute_note &n : k_notes) {
        if (name != n.name) continue;
        if (n.widget == nullptr)
            shared = &n;
        else if (widget == n.widget)
            return &n;
    }
    return shared;
}

std::string attribute_default(const attribute_note &note, std::string_view type_code) {
    if (note.default_value != nullptr) return note.default_value;
    return type_code == "1s0" ? "none" : "0";
}

} // namespace pitwall::cli
