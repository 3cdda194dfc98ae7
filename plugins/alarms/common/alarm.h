// alarm.h - the alarm lamps: one implementation for the Modern Alarm (a box of three nine-patch
// pieces) and the Classic Alarm (one nine-patch frame), the differences held in an alarm_variant.
//
//   x,y ┌──────┬──────────────────────────┬──────┐
//       │ ┌──┐ │                          │   ⟳  │  reset symbol 20 x 20, 10 below the top
//       │ │✕ │ │  text, aligned in its    │      │
//       │ └──┘ │  rectangle               │      │  Modern: left cap h x h, middle, right cap h x h
//       └──────┴──────────────────────────┴──────┘  Classic: one frame over the whole box
//         icon: up to 75 high, margin max(5, H / 4) from the left, centred vertically
#ifndef PITWALL_ALARMS_ALARM_H
#define PITWALL_ALARMS_ALARM_H

#include "image_cache.h"
#include "nine_patch.h"
#include "palette.h"
#include "renderext.h"
#include "text.h"

#include <cstddef>
#include <cstdint>

namespace alarms {

// The first fields of both alarm records.
struct alarm_head {
    float value;
    char *render_text;       // owned; drawn unchanged
    int32_t text_len;        // bytes of render_text
    int32_t threshold_state; // 0 lower, 1 normal, 2 upper
    int32_t level;           // recompute level
    uint8_t patch_ready[3];  // per state: the box layouts fit box_width x box_height
};

// The icon and the size the box is laid out for.
struct alarm_icon {
    gr_image_t *icon_image;          // owned, or null
    uint16_t box_width, box_height;  // the control's size as last seen by the draw
    int32_t icon_width, icon_height; // the icon's full-scale size, 0 x 0 without an icon
};

// The attributes after the layout fields.
struct alarm_tail {
    char *font;                 // owned; null or empty: the default font
    int16_t font_size;          // read as unsigned 16 bits
    uint8_t text_alignment;     // 4 left, 5 centre, other right
    uint8_t reset_mode;         // nonzero: the reset symbol is drawn
    int32_t lower_text, color_text, upper_text; // 0xRRGGBB
    int32_t lower_box, color_box, upper_box;    // box palette index
    int32_t icon_idx;           // 1..22, 0 for none (the low 16 bits of the attribute)
    int32_t icon_color;         // icon palette index 1..9 (the low 16 bits)
    uint8_t lower_limit, upper_limit;
    float lower_value, upper_value, lower_hyst, upper_hyst;
};

// The attribute table of both alarms, in its own order: ids 18 and 19 come before 15 to 17.
template <typename Record>
struct alarm_attributes {
    static constexpr size_t head = offsetof(Record, head), tail = offsetof(Record, tail);
    static constexpr int32_t relayout = kit::level_relayout, state = kit::level_state;
    static constexpr size_t at(size_t field) { return tail + field; }
    static constexpr kit::attr_def table[] = {
        kit::attr_float(12, "value", head + offsetof(alarm_head, value), state),
        kit::attr_string(13, "render_text", head + offsetof(alarm_head, render_text), state),
        kit::attr_ignored(14, "cfg"),
        kit::attr_int(18, "icon_idx", at(offsetof(alarm_tail, icon_idx)), relayout, kit::store::low16),
        kit::attr_int(19, "icon_color", at(offsetof(alarm_tail, icon_color)), relayout, kit::store::low16),
        kit::attr_string(15, "font", at(offsetof(alarm_tail, font)), state),
        kit::attr_int(16, "font_size", at(offsetof(alarm_tail, font_size)), relayout, kit::store::int16),
        kit::attr_int(17, "text_alignment", at(offsetof(alarm_tail, text_alignment)), state, kit::store::uint8),
        kit::attr_int(20, "lower_text", at(offsetof(alarm_tail, lower_text)), state),
        kit::attr_int(21, "color_text", at(offsetof(alarm_tail, color_text)), state),
        kit::attr_int(22, "upper_text", at(offsetof(alarm_tail, upper_text)), state),
        kit::attr_int(23, "lower_box", at(offsetof(alarm_tail, lower_box)), relayout),
        kit::attr_int(24, "color_box", at(offsetof(alarm_tail, color_box)), relayout),
        kit::attr_int(25, "upper_box", at(offsetof(alarm_tail, upper_box)), relayout),
        kit::attr_u8(26, "lower_limit", at(offsetof(alarm_tail, lower_limit)), state),
        kit::attr_u8(27, "upper_limit", at(offsetof(alarm_tail, upper_limit)), state),
        kit::attr_float(28, "lower_value", at(offsetof(alarm_tail, lower_value)), state),
        kit::attr_float(29, "upper_value", at(offsetof(alarm_tail, upper_value)), state),
        kit::attr_float(30, "lower_hyst", at(offsetof(alarm_tail, lower_hyst)), state),
        kit::attr_float(31, "upper_hyst", at(offsetof(alarm_tail, upper_hyst)), state),
        kit::attr_u8(32, "reset_mode", at(offsetof(alarm_tail, reset_mode)), relayout),
    };
    static constexpr int32_t level_offset = static_cast<int32_t>(head + offsetof(alarm_head, level));
};

// The parts of one instance record, wherever the variant's record keeps them.
struct alarm_view {
    alarm_head *head;
    kit::nine_patch *patches; // state s, piece p: patches[s * pieces + p]
    alarm_icon *icon;
    int32_t *reset_margin;    // Classic Alarm: set by every draw; null in the Modern Alarm
    alarm_tail *tail;
};

// Everything that differs between the two alarm lamps.
struct alarm_variant {
    const kit::widget_def *def;
    const kit::image_messages *messages; // "<name>: Loading image %s"
    bool (*font_ref)(gr_text_style_t *style, gr_context_t *ctx, gr_resources_t *resources, const char *font_name,
                     int32_t size, uint32_t colour);
    const kit::palette *box_palette;
    const char *box_dir;
    const char *const *box_suffixes; // per piece
    int32_t pieces;                  // 3: left cap, middle, right cap; 1: one frame
    gr_image_t **images;             // plug-in-wide: pieces x palette size box slots, then the reset symbol
    float reset_from_right;          // reset symbol at x1 - this
    int32_t text_gap_with_reset;     // text rectangle's right edge x1 - this, with the reset symbol
    int32_t text_gap_without_reset;  // and without it
    kit::text_alignment alignment;
    alarm_view (*view)(void *data);
};

// Slots of the plug-in-wide image table.
inline gr_image_t **box_slot(const alarm_variant &v, int32_t piece, int32_t index) {
    return &v.images[piece * v.box_palette->size + (index - 1)];
}
inline gr_image_t **reset_slot(const alarm_variant &v) { return &v.images[v.pieces * v.box_palette->size]; }
inline constexpr uint32_t image_slot_count(int32_t pieces, int32_t colours) {
    return static_cast<uint32_t>(pieces * colours + 1);
}

int alarm_draw(const alarm_variant &v, gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance);
int alarm_clone(const alarm_variant &v, gr_instance_t *target, gr_instance_t *source);
int alarm_destroy(const alarm_variant &v, gr_instance_t *instance);

// One alarm plug-in's callbacks, descriptor and plug-in record, from its variant.
template <const alarm_variant &V, const auto &Table, uint32_t ImageCount>
struct alarm_plugin {
    static int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
        return alarm_draw(V, ctx, control, instance);
    }
    static int clone(gr_instance_t *target, gr_instance_t *source) { return alarm_clone(V, target, source); }
    static int destroy(gr_instance_t *instance) { return alarm_destroy(V, instance); }

    static constexpr gr_renderext_t descriptor = kit::make_descriptor<*V.def>(Table.data(), &draw, &clone, &destroy);
    static constexpr kit::plugin_def plugin{V.def->name, &descriptor, true, V.images, ImageCount};
};

} // namespace alarms

#endif // PITWALL_ALARMS_ALARM_H
