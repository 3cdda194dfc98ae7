// The common draw frame: visibility, the widget rectangle, the clip saved, narrowed and restored.
#include "frame.h"

namespace kit {

bool frame_should_draw(const gr_instance_t *instance) {
    return instance->visible != 0 && instance->inhibit == 0.0f;
}

int32_t frame_width(const gr_control_t *control, const gr_instance_t *instance) {
    return instance->width == -1 ? control->width : instance->width;
}

int32_t frame_height(const gr_control_t *control, const gr_instance_t *instance) {
    return instance->height == -1 ? control->height : instance->height;
}

gr_rect_t widget_rect(const gr_control_t *control, const gr_instance_t *instance, rect_rule rule) {
    // Positions and sizes are 16-bit on screen: sums wrap as the engine's 16-bit fields do.
    auto s16 = [](int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); };
    if (rule == rect_rule::control) {
        int16_t x = control->x, y = control->y;
        return {x, y, s16(x + control->width), s16(y + control->height)};
    }
    int16_t x = s16(control->x + static_cast<int16_t>(instance->x & 0xffff));
    int16_t y = s16(control->y + static_cast<int16_t>(instance->y & 0xffff));
    // Only the low 16 bits of a size reach the sums, so no size (INT32_MIN included) overflows them.
    int16_t w = s16(frame_width(control, instance)), h = s16(frame_height(control, instance));
    switch (rule) {
    case rect_rule::inclusive: return {x, y, s16(x + w - 1), s16(y + h - 1)};
    case rect_rule::exclusive: return {x, y, s16(x + w), s16(y + h)};
    case rect_rule::inset_one: return {s16(x + 1), s16(y + 1), s16(x + w - 1), s16(y + h - 1)};
    case rect_rule::inset_two: return {s16(x + 1), s16(y + 1), s16(x + w - 2), s16(y + h - 2)};
    case rect_rule::control: break;
    }
    return {x, y, x, y};
}

bool frame_enter_rect(frame &f, gr_context_t *ctx, const gr_control_t *control, gr_instance_t *instance,
                      const gr_rect_t &widget) {
    f.ctx = ctx;
    f.instance = instance;
    f.widget = widget;
    f.had_clip = ctx->ops->get_clip(ctx, &f.saved) == 0;
    if (!f.had_clip) gr_size_to_rect(&f.saved, &control->canvas->size);
    if (gr_rect_clip(&f.widget, &f.saved, &f.visible) == 0) return false;
    ctx->ops->set_clip(ctx, &f.visible);
    return true;
}

bool frame_enter(frame &f, gr_context_t *ctx, const gr_control_t *control, gr_instance_t *instance,
                 rect_rule rule) {
    return frame_enter_rect(f, ctx, control, instance, widget_rect(control, instance, rule));
}

bool frame_clip_to(const frame &f, const gr_rect_t &area, gr_rect_t *clipped) {
    gr_rect_t out;
    if (gr_rect_clip(&area, &f.visible, &out) == 0) return false;
    f.ctx->ops->set_clip(f.ctx, &out);
    if (clipped != nullptr) *clipped = out;
    return true;
}

void frame_restore_clip(const frame &f) {
    if (f.had_clip)
        f.ctx->ops->set_clip(f.ctx, &f.saved);
    else
        f.ctx->ops->clear_clip(f.ctx);
}

int frame_end(frame &f) {
    frame_restore_clip(f);
    f.instance->dirty = 0;
    return 0;
}

int frame_fail(frame &f) {
    frame_restore_clip(f);
    return -1;
}

} // namespace kit
