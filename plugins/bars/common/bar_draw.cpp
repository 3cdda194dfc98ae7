// The draw callback: recompute by level, the common frame, title, scale, bar frame and fill.
#include "bar_draw.h"

#include "bar_layout.h"
#include "bar_palette.h"
#include "image_cache.h"
#include "text.h"
#include "threshold.h"

namespace bars {
namespace {

// The threshold state of the value against the thresholds stored at the last relayout.
void recompute_state(bar_record &r) {
    kit::thresholds t{r.lower_threshold, r.upper_threshold};
    r.threshold_state = kit::next_state_stored(r.threshold_state, r.value, t, r.lower_hyst, r.upper_hyst);
    r.level = kit::level_ready;
}

using kit::state_slot;

// Title strip across the bar's start: rotated text reading upward on the vertical bar (alignment
// 1 ends at the top, 4 centres, other starts at the bottom); plain text on the horizontal bar
// (1 left, 2 centre, other right). False when the text cannot be measured (frame to be failed).
bool draw_title(const bar_draw_state &d) {
    const bar_record &r = d.r;
    gr_text_style_t style;
    uint32_t colour = static_cast<uint32_t>(
        kit::pick_by_state(r.threshold_state, r.lower_title, r.color_title, r.upper_title));
    if (!d.w.font_ref(&style, d.ctx, kit::resources_of(d.ctx), r.font, 20, colour)) return true;
    gr_rect_t strip = axis_rect(d.axis, d.box.across0, d.box.along0 + 10, d.box.across0 + d.l.title_size - 1,
                                d.box.along1 - 10);
    gr_rect_t visible;
    if (!meets(d, strip, &visible)) return true;
    int16_t extent[2] = {0, 0};
    if (d.ctx->ops->text_extent(d.ctx, r.render_title, r.title_len, &style, extent) == -1) {
        gre_app_log(d.ctx->app, GRE_LOG_ERROR, "Failed to get text extent for %s title %s", d.w.def->name,
                    r.render_title);
        return false;
    }
    const int32_t text_w = extent[0];
    const int32_t strip_len = (d.box.along1 - 10) - (d.box.along0 + 10) + 1;
    d.ctx->ops->set_clip(d.ctx, &visible);
    if (d.axis.horizontal) {
        int32_t offset = r.title_alignment == 1   ? 0
                         : r.title_alignment == 2 ? (strip_len - text_w) / 2
                                                  : strip_len - text_w;
        d.ctx->ops->draw_text(d.ctx, d.box.along0 + 10 + offset, d.box.across0, r.render_title, r.title_len,
                              &style);
        return true;
    }
    int32_t offset = r.title_alignment == 1   ? text_w
                     : r.title_alignment == 4 ? (text_w + strip_len) / 2
                                              : strip_len;
    const float upward = 270.0f;
    d.ctx->ops->set_attr(d.ctx, GR_ATTR_ROTATION, &upward, 4);
    d.ctx->ops->draw_text(d.ctx, d.box.across0, d.box.along0 + 10 + offset, r.render_title, r.title_len, &style);
    d.ctx->ops->restore_attr(d.ctx, GR_ATTR_ROTATION);
    return true;
}

// Shine images along both long sides: the state's image, and the same turned half a turn.
bool draw_shine(const bar_draw_state &d, const axis_box &bar) {
    bar_record &r = d.r;
    gr_image_t *&slot = r.shine_images[state_slot(r.threshold_state)];
    const int32_t len = d.l.bar_len;
    const int32_t across_w = d.axis.horizontal ? len : 11, along_h = d.axis.horizontal ? 11 : len;
    if (slot == nullptr) {
        int32_t index = zone_index(r.threshold_state, r.lower_bar, r.color_bar, r.upper_bar);
        if (!valid_bar_index(index)) return false;
        const int32_t size[2] = {across_w, along_h}; // width, height
        slot = kit::load_themed_image(d.ctx, nullptr, image_dir, bar_colour_name(index), d.axis.shine_suffix, size);
        if (slot == nullptr) return false;
    }
    gr_rect_t first = axis_rect(d.axis, bar.across0, bar.along0, bar.across0, bar.along0);
    gr_rect_t second = axis_rect(d.axis, bar.across1 - 11, bar.along0, bar.across1 - 11, bar.along0);
    const float half_len = static_cast<float>(len) * 0.5f;
    const float pivot_x = d.axis.horizontal ? half_len : 5.5f, pivot_y = d.axis.horizontal ? 5.5f : half_len;
    d.ctx->ops->draw_image(d.ctx, slot, first.x1, first.y1, across_w, along_h, 0.0f, 0.0f);
    const float half_turn = 180.0f;
    d.ctx->ops->set_attr(d.ctx, GR_ATTR_ROTATION, &half_turn, 4);
    d.ctx->ops->draw_image(d.ctx, slot, second.x1, second.y1, across_w, along_h, pivot_x, pivot_y);
    d.ctx->ops->restore_attr(d.ctx, GR_ATTR_ROTATION);
    return true;
}

// The bar's frame: two white rails two pixels wide, or the shine images.
bool draw_bar_frame(const bar_draw_state &d) {
    gr_rect_t area = axis_rect(d.axis, d.box.across0 + d.l.bar_x, d.box.along0 + 10,
                               d.box.across0 + d.l.bar_x + d.l.bar_w - 1, d.box.along1 - 10);
    gr_rect_t visible;
    if (!meets(d, area, &visible)) return true;
    d.ctx->ops->set_clip(d.ctx, &visible);
    const axis_box bar = to_axis(d.axis, area);
    if (d.r.is_modern != 0) return draw_shine(d, bar);
    gr_rect_t near_rail = axis_rect(d.axis, bar.across0, bar.along0, bar.across0 + 1, bar.along1);
    gr_rect_t far_rail = axis_rect(d.axis, bar.across1 - 1, bar.along0, bar.across1, bar.along1);
    d.ctx->ops->fill_rect(d.ctx, &near_rail, 0xFFFFFF);
    d.ctx->ops->fill_rect(d.ctx, &far_rail, 0xFFFFFF);
    return true;
}

} // namespace

bool meets(const bar_draw_state &d, const gr_rect_t &area, gr_rect_t *out) {
    return gr_rect_clip(&area, &d.frame.visible, out) != 0;
}

int32_t zone_index(int32_t zone, int32_t lower, int32_t normal, int32_t upper) {
    return kit::pick_by_state(zone, lower, normal, upper);
}

int bar_draw(const bar_widget &w, gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    bar_record &r = *static_cast<bar_record *>(instance->data);
    const gr_rect_t rect = kit::widget_rect(control, instance, kit::rect_rule::inclusive);
    const int32_t width = rect.x2 - rect.x1 + 1, height = rect.y2 - rect.y1 + 1;
    if (s16(width) != r.layout_width || s16(height) != r.layout_height) r.level = kit::level_relayout;
    if (r.level == kit::level_relayout && relayout(w, ctx, r, width, height) != 0) return -1;
    if (r.level <= kit::level_state) recompute_state(r);

    kit::frame frame;
    if (!kit::frame_enter_rect(frame, ctx, control, instance, rect)) return 0;
    bar_draw_state d{w, *w.axis, ctx, frame, r, load_layout(*w.axis, r), to_axis(*w.axis, rect)};

    if (d.l.title_size > 0 && !draw_title(d)) return kit::frame_fail(frame);
    if (d.l.tick_w > 0) {
        gr_rect_t area = axis_rect(d.axis, d.box.across0 + d.l.tick_x, d.box.along0,
                                   d.box.across0 + d.l.tick_x + d.l.tick_w - 1, d.box.along1);
        gr_rect_t visible;
        if (meets(d, area, &visible)) {
            ctx->ops->set_clip(ctx, &visible);
            draw_scale(d, area);
        }
    }
    if (!draw_bar_frame(d)) return kit::frame_fail(frame);
    if (d.l.fill_w > 0 && draw_fill(d) != 0) return kit::frame_fail(frame);
    return kit::frame_end(frame);
}

} // namespace bars
