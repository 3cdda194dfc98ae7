// classic_gauge.h - the classic dial gauges: one implementation for both sizes, the differences
// held in a table of constants (classic_variant).
//
// A painted dial background in the palette colour of the threshold state, a thin grey arc from the
// start of the scale to the needle, optional tick marks and labels, and a needle image whose
// artwork points down (6 o'clock) at rotation 0, so it is turned by the needle angle - 90.
//
//     small (240 design):  needle 32 x 115, hub inside the artwork 23/32 of its width from the top
//     large (440 design):  needle 10 x 87, starting 100 design pixels from the centre: the pivot
//                          lies above the image
#ifndef PITWALL_GAUGES_CLASSIC_GAUGE_H
#define PITWALL_GAUGES_CLASSIC_GAUGE_H

#include "gauge_draw.h"
#include "gauge_frame.h"
#include "gauge_types.h"
#include "renderext.h"
#include "ticks.h"

#include <cstddef>
#include <cstdint>

namespace gauges {

// The instance record of both classic gauges, in the engine's field order: 180 bytes on the
// 32-bit target.
struct classic_record {
    float value;
    int32_t threshold_state;
    int32_t level; // recompute level
    float lower_threshold, upper_threshold;
    int16_t cached_width, cached_height, gauge_size;
    float gauge_scale;              // gauge_size / design size
    gr_image_t *backgrounds[3];     // per threshold state, at the gauge size; null until shown
    gr_image_t *needle;
    needle_geometry needle_at;
    gauge_ticks scale;
    char *font, *ticks;             // owned
    uint8_t subsections;
    uint8_t tick_pos;               // 1: marks and labels drawn; other: none
    uint8_t tick_mode;
    int32_t lower_gauge, color_gauge, upper_gauge; // background palette index 1..7 per state
    int32_t lower_tick, color_tick, upper_tick;    // marks and labels, 0xRRGGBB per zone
    uint8_t lower_limit, upper_limit;
    float lower_value, upper_value, lower_hyst, upper_hyst;
    float angle_start; // stored plus 90: drawing convention
    float angle_span, value_min, value_max;
    uint32_t reserved; // unused tail: the engine's record is four bytes longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(classic_record, backgrounds) == 32 && offsetof(classic_record, scale) == 72 &&
                  offsetof(classic_record, font) == 104 && offsetof(classic_record, lower_gauge) == 116 &&
                  offsetof(classic_record, lower_value) == 144 && sizeof(classic_record) == 180,
              "record layout of the 32-bit target");
#endif

inline constexpr int32_t classic_angle_start_id = 31;

inline constexpr kit::attr_def classic_attributes[] = {
    kit::attr_float(12, "value", offsetof(classic_record, value), kit::level_state),
    kit::attr_ignored(13, "cfg"),
    kit::attr_string(14, "font", offsetof(classic_record, font), kit::level_state),
    kit::attr_string(15, "ticks", offsetof(classic_record, ticks), kit::level_relayout),
    kit::attr_u8(16, "subsections", offsetof(classic_record, subsections), kit::level_relayout),
    kit::attr_u8(17, "tick_pos", offsetof(classic_record, tick_pos), kit::level_relayout),
    kit::attr_u8(18, "tick_mode", offsetof(classic_record, tick_mode), kit::level_relayout),
    kit::attr_int(19, "lower_gauge", offsetof(classic_record, lower_gauge), kit::level_relayout),
    kit::attr_int(20, "color_gauge", offsetof(classic_record, color_gauge), kit::level_relayout),
    kit::attr_int(21, "upper_gauge", offsetof(classic_record, upper_gauge), kit::level_relayout),
    kit::attr_int(22, "lower_tick", offsetof(classic_record, lower_tick), kit::level_state),
    kit::attr_int(23, "color_tick", offsetof(classic_record, color_tick), kit::level_state),
    kit::attr_int(24, "upper_tick", offsetof(classic_record, upper_tick), kit::level_state),
    kit::attr_u8(25, "lower_limit", offsetof(classic_record, lower_limit), kit::level_relayout),
    kit::attr_u8(26, "upper_limit", offsetof(classic_record, upper_limit), kit::level_relayout),
    kit::attr_float(27, "lower_value", offsetof(classic_record, lower_value), kit::level_relayout),
    kit::attr_float(28, "upper_value", offsetof(classic_record, upper_value), kit::level_relayout),
    kit::attr_float(29, "lower_hyst", offsetof(classic_record, lower_hyst), kit::level_relayout),
    kit::attr_float(30, "upper_hyst", offsetof(classic_record, upper_hyst), kit::level_relayout),
    kit::attr_float(classic_angle_start_id, "angle_start", offsetof(classic_record, angle_start), kit::level_relayout),
    kit::attr_float(32, "angle_span", offsetof(classic_record, angle_span), kit::level_relayout),
    kit::attr_float(33, "value_min", offsetof(classic_record, value_min), kit::level_relayout),
    kit::attr_float(34, "value_max", offsetof(classic_record, value_max), kit::level_relayout),
};
inline constexpr auto classic_attribute_table = kit::attribute_table(classic_attributes);
inline constexpr int32_t classic_level_offset = static_cast<int32_t>(offsetof(classic_record, level));

// Everything that differs between the two classic gauges.
struct classic_variant {
    const kit::widget_def *def;            // display name, attribute protocol
    const kit::tick_messages *tick_messages;
    font_ref_fn font_ref;                  // with the variant's font messages
    float design_size;                     // gauge_scale = gauge_size / design_size
    float needle_width, needle_height;     // per unit of gauge_scale
    // Distance of the pivot below the image's top edge: width * per_width + scale * per_scale
    // (negative: the pivot lies above the image).
    float hub_per_width, hub_per_scale;
    float arc_diameter;                    // per unit of gauge_scale
    uint32_t arc_colour;                   // fixed grey of the value arc
    const char *background_suffix;         // "_bg_small.png" / "_bg_large.png"
    const char *needle_file;               // "needle_small.png" / "needle_large.png"
};

int classic_draw(const classic_variant &v, gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance);
int classic_clone(const classic_variant &v, gr_instance_t *target, gr_instance_t *source);
int classic_destroy(const classic_variant &v, gr_instance_t *instance);

// One classic plug-in's callbacks, descriptor and plug-in record, from its variant.
template <const classic_variant &V>
struct classic_plugin {
    static int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
        return classic_draw(V, ctx, control, instance);
    }
    static int clone(gr_instance_t *target, gr_instance_t *source) { return classic_clone(V, target, source); }
    static int destroy(gr_instance_t *instance) { return classic_destroy(V, instance); }

    static constexpr gr_renderext_t descriptor = kit::make_descriptor<*V.def>(
        classic_attribute_table.data(), &draw, &clone, &destroy,
        &set_gauge_attribute<*V.def, classic_angle_start_id>);
    static constexpr kit::plugin_def plugin{V.def->name, &descriptor, true, nullptr, 0};
};

} // namespace gauges

#endif // PITWALL_GAUGES_CLASSIC_GAUGE_H
