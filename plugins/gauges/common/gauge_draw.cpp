// The tick scale and the needle of a round gauge.
#include "gauge_draw.h"

#include "convert.h"
#include "gauge_scale.h"
#include "image_cache.h"
#include "text.h"

namespace gauges {
namespace {

void draw_marks(gr_context_t *ctx, const gauge_ticks &t, uint8_t subsections, const scale_style &style) {
    const int32_t total = mark_count(t.tick_count, subsections);
    int32_t line = 0;
    for (int32_t zone = 0; zone < 3; ++zone) {
        const uint32_t colour = static_cast<uint32_t>(style.colours[zone]);
        for (int32_t i = 0; i < t.zone_counts[zone] && line < total && t.marks != nullptr; ++i, ++line) {
            const tick_mark &m = t.marks[line];
            const float points[4] = {m.inner_x, m.inner_y, m.outer_x, m.outer_y};
            gr_path_t *path = ctx->ops->create_path(ctx, GR_PATH_LINE, points, 2, GR_PATH_FLAGS_LINE);
            if (path == nullptr) continue; // that mark is missing from the frame
            ctx->ops->draw_path(ctx, path, colour, colour, 1);
            ctx->ops->free_path(ctx, path);
        }
    }
}

// One pass per zone, each in the zone's colour. A pass whose font cannot be had leaves its ticks
// to the next pass that gets one, in that pass's colour.
void draw_labels(gr_context_t *ctx, const gauge_ticks &t, float c, const scale_style &style) {
    const float radius = c - style.label_inset;
    int32_t i = 0;
    for (int32_t zone = 0; zone < 3; ++zone) {
        gr_text_style_t text_style;
        if (!style.font_ref(&text_style, ctx, kit::resources_of(ctx), style.font, 16,
                            static_cast<uint32_t>(style.colours[zone])))
            continue;
        for (; i < t.tick_count && t.ticks[i].zone <= zone; ++i) {
            const tick_entry &tick = t.ticks[i];
            const int32_t length = kit::text_len(tick.label);
            if (length == 0) continue;
            int16_t extent[2] = {0, 0};
            if (ctx->ops->text_extent(ctx, tick.label, length, &text_style, extent) == -1) extent[0] = extent[1] = 0;
            const float w = static_cast<float>(extent[0]), h = static_cast<float>(extent[1]);
            const int32_t x = kit::trunc_to_int32(radius * tick.cosine + c - w * 0.5f + 0.5f);
            const int32_t y = kit::trunc_to_int32(radius * tick.sine + c - h + 0.5f);
            ctx->ops->draw_text(ctx, x, y, tick.label, length, &text_style);
        }
    }
}

} // namespace

void draw_scale(gr_context_t *ctx, const gauge_ticks &t, uint8_t subsections, int16_t left, int16_t top,
                float c, const scale_style &style) {
    ctx->ops->translate(ctx, left, top);
    const int32_t line_width = 2;
    ctx->ops->set_attr(ctx, GR_ATTR_LINE_WIDTH, &line_width, 4);
    draw_marks(ctx, t, subsections, style);
    ctx->ops->restore_attr(ctx, GR_ATTR_LINE_WIDTH);
    if (style.labels) draw_labels(ctx, t, c, style);
    ctx->ops->untranslate(ctx, left, top);
}

gr_image_t *load_needle(gr_context_t *ctx, const char *dir, const char *file, const needle_geometry &n) {
    const int32_t size[2] = {n.width, n.height};
    return kit::load_fixed_image(ctx, nullptr, dir, file, size);
}

void draw_needle(gr_context_t *ctx, gr_image_t *image, int16_t left, int16_t top, const needle_geometry &n,
                 float degrees) {
    ctx->ops->set_attr(ctx, GR_ATTR_ROTATION, &degrees, 4);
    ctx->ops->draw_image(ctx, image, static_cast<float>(left) + n.x, static_cast<float>(top) + n.y, n.width,
                         n.height, n.pivot_x, n.pivot_y);
    ctx->ops->restore_attr(ctx, GR_ATTR_ROTATION);
}

} // namespace gauges
