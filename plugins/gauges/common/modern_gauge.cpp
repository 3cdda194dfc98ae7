// The shared parts of the modern gauges.
#include "modern_gauge.h"

#include "ellipse.h"
#include "gauge_draw.h"
#include "gauge_frame.h"
#include "threshold.h"
#include "value_caption.h"

#include "renderext.h"

#include <cmath>

namespace gauges {
namespace {

void set_alpha(gr_context_t *ctx, int32_t alpha) { ctx->ops->set_attr(ctx, GR_ATTR_ALPHA, &alpha, 4); }

} // namespace

float lay_out_head(modern_head &head, int32_t width, int32_t height, float base, float divisor) {
    head.level = kit::level_relayout;
    head.cached_width = s16(width);
    head.cached_height = s16(height);
    head.gauge_size = smaller_side(width, height);
    const float size = static_cast<float>(head.gauge_size);
    head.gauge_scale = (size - base) / divisor;
    return size;
}

void update_modern_value(gr_context_t *ctx, modern_head &head, float lower_hyst, float upper_hyst) {
    const kit::thresholds t{head.lower_threshold, head.upper_threshold};
    head.threshold_state = kit::next_state_stored(head.threshold_state, head.value, t, lower_hyst, upper_hyst);
    format_value_text(head.caption, head.value, ctx->app);
    head.level = kit::level_ready;
}

ring ring_of(const modern_head &head, const gr_rect_t &square, float diameter, float band) {
    const float c = static_cast<float>(head.gauge_size) * 0.5f;
    return {static_cast<float>(square.x1) + c, static_cast<float>(square.y1) + c, diameter, band};
}

float full_turn_from(float angle_start, float angle_span) { return angle_start + std::copysign(360.0f, angle_span); }

void draw_value_arc(gr_context_t *ctx, const ring &r, float needle_angle, float angle_start, float angle_span,
                    uint32_t colour) {
    set_alpha(ctx, 160);
    fill_ellipse_arc(ctx, 0x121212, r.diameter, r.diameter, needle_angle, full_turn_from(angle_start, angle_span),
                     r.band, r.cx, r.cy);
    set_alpha(ctx, 255);
    fill_ellipse_arc(ctx, colour, r.diameter, r.diameter, angle_start, needle_angle, r.band, r.cx, r.cy);
}

void draw_shadow(gr_context_t *ctx, const ring &r, float diameter) {
    set_alpha(ctx, 38);
    fill_ellipse_arc(ctx, 0x000000, diameter, diameter, 0.0f, 360.0f, (diameter - (r.diameter - 2.0f * r.band)) * 0.5f,
                     r.cx, r.cy);
    ctx->ops->restore_attr(ctx, GR_ATTR_ALPHA);
}

bool draw_modern_needle(gr_context_t *ctx, modern_head &head, const gr_rect_t &square, float needle_angle,
                        const char *dir, const char *file) {
    if (!needle_drawable(head.needle_at)) return true;
    if (head.needle == nullptr) head.needle = load_needle(ctx, dir, file, head.needle_at);
    if (head.needle == nullptr) return false;
    draw_needle(ctx, head.needle, square.x1, square.y1, head.needle_at, needle_angle);
    return true;
}

} // namespace gauges
