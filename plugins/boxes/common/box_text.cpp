// Title and value text of the value boxes.
#include "box_text.h"

#include "convert.h"
#include "threshold.h"

namespace boxes {
namespace {

// Narrow the clip to area within the clip in force before the draw; false when nothing is left.
bool clip_to_saved(const kit::frame &frame, const gr_rect_t &area) {
    gr_rect_t clipped;
    if (gr_rect_clip(&area, &frame.saved, &clipped) == 0) return false;
    frame.ctx->ops->set_clip(frame.ctx, &clipped);
    return true;
}

// Width and height of a text; a failed measure counts as an empty extent.
void measure(gr_context_t *ctx, const char *text, int32_t length, const gr_text_style_t *style, int16_t extent[2]) {
    extent[0] = 0;
    extent[1] = 0;
    if (ctx->ops->text_extent(ctx, text, length, style, extent) == -1) extent[0] = extent[1] = 0;
}

} // namespace

void recompute_box(box_head &head, const box_tail &tail) {
    if (head.level == kit::level_relayout) head.title_len = kit::text_len(head.render_title);
    if (head.level <= kit::level_state) {
        head.level = kit::level_ready;
        const kit::limits limits{tail.lower_limit, tail.upper_limit, tail.lower_value,
                                 tail.upper_value, tail.lower_hyst,  tail.upper_hyst};
        head.threshold_state = kit::next_state_flagged(head.threshold_state, head.value, limits);
        head.text_len = kit::text_len(head.render_text);
    }
}

uint32_t state_colour(const box_head &head, int32_t lower, int32_t normal, int32_t upper) {
    return static_cast<uint32_t>(kit::pick_by_state(head.threshold_state, lower, normal, upper));
}

bool measure_title(gr_context_t *ctx, const box_head &head, const box_texts &texts, const box_tail &tail,
                   const box_text_style &style, title_measure *out) {
    *out = title_measure{};
    if (head.title_len == 0) return true;
    const uint32_t colour = state_colour(head, texts.lower_title, texts.color_title, texts.upper_title);
    if (!style.font_ref(&out->style, ctx, kit::resources_of(ctx), texts.font, tail.title_size, colour)) return false;
    int16_t extent[2];
    measure(ctx, head.render_title, head.title_len, &out->style, extent);
    out->width = extent[0];
    out->height = extent[1];
    // Larger titles sit higher in their row.
    out->offset = style.title_offset_base - kit::trunc_to_int32(static_cast<float>(tail.title_size) * 0.4f);
    return true;
}

void draw_title_text(const kit::frame &frame, const box_head &head, const title_measure &title, const gr_rect_t &area,
                     const box_text_style &style) {
    if (!clip_to_saved(frame, area)) return;
    const int32_t x = area.x1 + (area.x2 - area.x1 - title.width + style.title_centring_bias) / 2;
    frame.ctx->ops->draw_text(frame.ctx, x, area.y1 + title.offset, head.render_title, head.title_len, &title.style);
}

void draw_value_text(const kit::frame &frame, const box_head &head, const box_texts &texts, const gr_rect_t &area,
                     const box_text_style &style) {
    gr_context_t *ctx = frame.ctx;
    gr_text_style_t text_style;
    const uint32_t colour = state_colour(head, texts.lower_text, texts.color_text, texts.upper_text);
    if (!style.font_ref(&text_style, ctx, kit::resources_of(ctx), texts.font, static_cast<uint16_t>(head.font_size),
                        colour))
        return;
    if (area.y2 < area.y1) return; // the title leaves no room
    if (!clip_to_saved(frame, area)) return;
    int16_t extent[2];
    measure(ctx, head.render_text, head.text_len, &text_style, extent);
    gr_font_metrics_t metrics{};
    ctx->ops->font_metrics(ctx, text_style.font, &metrics);
    const int32_t x = area.x1 + kit::align_offset(style.value_alignment, texts.alignment, area.x2 - area.x1, extent[0]);
    const int32_t y = area.y1 + (area.y2 - area.y1 - metrics.line_height + style.value_centring_bias) / 2;
    ctx->ops->draw_text(ctx, x, y, head.render_text, head.text_len, &text_style);
}

} // namespace boxes
