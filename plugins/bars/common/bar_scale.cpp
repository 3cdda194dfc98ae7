// The scale: tick marks coloured by zone, then the labels.
//
// Marks and ticks are in value order, so each zone's marks follow the previous zone's. A zone
// whose tick colour is not a palette index draws nothing: its marks are skipped without moving on
// (the next zone starts at the same line), and its labels fall to the next zone's walk.
#include "bar_draw.h"
#include "bar_palette.h"
#include "text.h"

#include <cstring>

namespace bars {
namespace {

void draw_marks(const bar_draw_state &d) {
    const bar_record &r = d.r;
    int32_t line = 0;
    for (int32_t zone = 0; zone < 3; ++zone) {
        int32_t count = r.mark_zone_counts[zone];
        int32_t index = zone_index(zone, r.lower_tick, r.color_tick, r.upper_tick);
        if (count <= 0 || !valid_bar_index(index)) continue;
        const uint32_t colour = bar_colour_of(index).bright;
        for (int32_t i = 0; i < count && r.mark_lines != nullptr; ++i, ++line) {
            const mark_line &m = r.mark_lines[line];
            const float points[4] = {m.x1, m.y1, m.x2, m.y2};
            gr_path_t *path = d.ctx->ops->create_path(d.ctx, GR_PATH_LINE, points, 2, GR_PATH_FLAGS_LINE);
            if (path == nullptr) continue;
            d.ctx->ops->draw_path(d.ctx, path, colour, colour, 1);
            d.ctx->ops->free_path(d.ctx, path);
        }
    }
}

// Labels centred on their ticks: rotated to read upward beside a vertical bar, level above or
// below a horizontal one. `across` is 0 for a scale before the bar, else 11.
void draw_labels(const bar_draw_state &d) {
    const bar_record &r = d.r;
    const int32_t across = r.tick_pos == 1 ? 0 : 11;
    const float upward = 270.0f;
    if (!d.axis.horizontal) d.ctx->ops->set_attr(d.ctx, GR_ATTR_ROTATION, &upward, 4);
    int32_t i = 0;
    for (int32_t zone = 0; zone < 3; ++zone) {
        int32_t index = zone_index(zone, r.lower_tick, r.color_tick, r.upper_tick);
        if (!valid_bar_index(index)) continue;
        gr_text_style_t style;
        if (!d.w.font_ref(&style, d.ctx, kit::resources_of(d.ctx), r.font, 16, bar_colour_of(index).bright))
            continue;
        for (; i < r.tick_count && r.tick_list[i].zone <= zone; ++i) {
            const char *label = r.tick_list[i].label;
            if (label == nullptr || label[0] == '\0') continue;
            const int32_t length = static_cast<int32_t>(std::strlen(label));
            int16_t extent[2] = {0, 0};
            d.ctx->ops->text_extent(d.ctx, label, length, &style, extent); // a failure leaves width 0
            const int32_t along = pixel_int(r.tick_list[i].pos);
            if (d.axis.horizontal)
                d.ctx->ops->draw_text(d.ctx, along - extent[0] / 2, across, label, length, &style);
            else
                d.ctx->ops->draw_text(d.ctx, across, along + extent[0] / 2, label, length, &style);
        }
    }
    if (!d.axis.horizontal) d.ctx->ops->restore_attr(d.ctx, GR_ATTR_ROTATION);
}

} // namespace

void draw_scale(const bar_draw_state &d, const gr_rect_t &area) {
    const axis_box a = to_axis(d.axis, area);
    translate_axis(d.ctx, d.axis, a.across0, a.along0 + 10); // marks are relative to the bar's start
    const int32_t line_width = 2;
    d.ctx->ops->set_attr(d.ctx, GR_ATTR_LINE_WIDTH, &line_width, 4);
    draw_marks(d);
    d.ctx->ops->restore_attr(d.ctx, GR_ATTR_LINE_WIDTH);
    if (d.r.tick_mode != 1) draw_labels(d);
    untranslate_axis(d.ctx, d.axis, a.across0, a.along0 + 10);
}

} // namespace bars
