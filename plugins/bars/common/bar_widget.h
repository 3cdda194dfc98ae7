// bar_widget.h - one level bar implementation for both axes.
//
// A bar runs along one axis and is laid out in strips across the other:
//
//   vertical (along = y)          horizontal (along = x)
//   +-----+------+-----+          +----------------------+  title strip (title_size)
//   |title|scale | bar |          |        scale         |  tick_x, tick_w
//   |strip|      |     |          |         bar          |  bar_x, bar_w
//   +-----+------+-----+          +----------------------+
//    across = x                    across = y
//
// Everything is computed in (across, along) terms and turned into screen x/y by the axis; only the
// title and the labels are drawn differently (rotated text on the vertical bar).
#ifndef PITWALL_BARS_BAR_WIDGET_H
#define PITWALL_BARS_BAR_WIDGET_H

#include "bar_record.h"
#include "image_cache.h"
#include "renderext.h"
#include "ticks.h"

#include <cstddef>

namespace bars {

struct bar_axis {
    bool horizontal;
    const char *shine_suffix;   // "_shine_left.png" / "_shine_top.png"
    const char *segment_suffix; // lit segment nine-patch
    const char *mark_suffix;    // last lit segment nine-patch
    const char *fill_suffix;    // continuous fill
};

inline constexpr bar_axis vertical_axis{false, "_shine_left.png", "_fill_v.9.png", "_mark_v.9.png",
                                        "_fill.9.png"};
inline constexpr bar_axis horizontal_axis{true, "_shine_top.png", "_fill.9.png", "_mark.9.png",
                                          "_fill_v.9.png"};

using font_ref_fn = bool (*)(gr_text_style_t *style, gr_context_t *ctx, gr_resources_t *resources,
                             const char *font_name, int32_t size, uint32_t colour);

// Everything that differs between the two bars.
struct bar_widget {
    const kit::widget_def *def;        // attribute protocol, display name
    const bar_axis *axis;
    const kit::tick_messages *tick_messages;
    font_ref_fn font_ref;              // kit::font_ref with the widget's font messages
};

// The plug-in-wide images: rows of seven slots (one per bar palette index).
enum bar_image_row : int32_t { row_segment = 0, row_mark = 1, row_fill = 2 };
using bar_image_cache = kit::image_cache<3, 7>;
// The plug-in's table: this library is linked into each bar plug-in, so each has its own. A
// variable rather than a function so that the plug-in record can point at it at compile time.
extern bar_image_cache bar_image_table;
inline bar_image_cache &bar_images() { return bar_image_table; }

// The widget's own attributes (ids 12..40), the same for both bars.
inline constexpr kit::attr_def bar_attributes[] = {
    kit::attr_float(12, "value", offsetof(bar_record, value), kit::level_state),
    kit::attr_string(13, "render_title", offsetof(bar_record, render_title), kit::level_relayout),
    kit::attr_u8(14, "tick_pos", offsetof(bar_record, tick_pos), kit::level_relayout),
    kit::attr_u8(15, "tick_mode", offsetof(bar_record, tick_mode), kit::level_relayout),
    kit::attr_ignored(16, "cfg", GR_TYPE_INT32),
    kit::attr_string(17, "font", offsetof(bar_record, font), kit::level_state),
    kit::attr_string(18, "ticks", offsetof(bar_record, ticks), kit::level_relayout),
    kit::attr_u8(19, "is_modern", offsetof(bar_record, is_modern), kit::level_relayout),
    kit::attr_u8(20, "subsections", offsetof(bar_record, subsections), kit::level_relayout),
    kit::attr_u8(21, "style", offsetof(bar_record, style), kit::level_relayout),
    kit::attr_u8(22, "orientation", offsetof(bar_record, orientation), kit::level_relayout),
    kit::attr_u8(23, "title_alignment", offsetof(bar_record, title_alignment), kit::level_state),
    kit::attr_int(24, "lower_bar", offsetof(bar_record, lower_bar), kit::level_relayout),
    kit::attr_int(25, "color_bar", offsetof(bar_record, color_bar), kit::level_relayout),
    kit::attr_int(26, "upper_bar", offsetof(bar_record, upper_bar), kit::level_relayout),
    kit::attr_int(27, "lower_tick", offsetof(bar_record, lower_tick), kit::level_state),
    kit::attr_int(28, "color_tick", offsetof(bar_record, color_tick), kit::level_state),
    kit::attr_int(29, "upper_tick", offsetof(bar_record, upper_tick), kit::level_state),
    kit::attr_int(30, "lower_title", offsetof(bar_record, lower_title), kit::level_state),
    kit::attr_int(31, "color_title", offsetof(bar_record, color_title), kit::level_state),
    kit::attr_int(32, "upper_title", offsetof(bar_record, upper_title), kit::level_state),
    kit::attr_u8(33, "lower_limit", offsetof(bar_record, lower_limit), kit::level_relayout),
    kit::attr_u8(34, "upper_limit", offsetof(bar_record, upper_limit), kit::level_relayout),
    kit::attr_float(35, "lower_value", offsetof(bar_record, lower_value), kit::level_relayout),
    kit::attr_float(36, "upper_value", offsetof(bar_record, upper_value), kit::level_relayout),
    kit::attr_float(37, "lower_hyst", offsetof(bar_record, lower_hyst), kit::level_relayout),
    kit::attr_float(38, "upper_hyst", offsetof(bar_record, upper_hyst), kit::level_relayout),
    kit::attr_float(39, "value_min", offsetof(bar_record, value_min), kit::level_relayout),
    kit::attr_float(40, "value_max", offsetof(bar_record, value_max), kit::level_relayout),
};

inline constexpr auto bar_attribute_table = kit::attribute_table(bar_attributes);

inline constexpr int32_t bar_level_offset = static_cast<int32_t>(offsetof(bar_record, level));

// The descriptor callbacks, with the widget description.
int bar_draw(const bar_widget &w, gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance);
int bar_clone(const bar_widget &w, gr_instance_t *target, gr_instance_t *source);
int bar_destroy(const bar_widget &w, gr_instance_t *instance);

// One bar plug-in's callbacks, descriptor and plug-in record, from its widget description.
template <const bar_widget &W>
struct bar_plugin {
    static int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
        return bar_draw(W, ctx, control, instance);
    }
    static int clone(gr_instance_t *target, gr_instance_t *source) { return bar_clone(W, target, source); }
    static int destroy(gr_instance_t *instance) { return bar_destroy(W, instance); }

    static constexpr gr_renderext_t descriptor =
        kit::make_descriptor<*W.def>(bar_attribute_table.data(), &draw, &clone, &destroy);
    static constexpr kit::plugin_def plugin{W.def->name, &descriptor, true, bar_image_table.slots,
                                            bar_image_cache::slot_count};
};

} // namespace bars

#endif // PITWALL_BARS_BAR_WIDGET_H
