// frame.h - the common draw frame every widget's draw runs in.
//
//     int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
//         if (!kit::frame_should_draw(instance)) return 0;       // visible, inhibit
//         ... recompute by level (may return -1 before any clip is touched)
//         kit::frame frame;
//         if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::inset_one))
//             return 0;                                          // wholly outside the clip
//         ... draw; on a failure: return kit::frame_fail(frame);
//         return kit::frame_end(frame);                          // restore clip, dirty = 0
//     }
#ifndef PITWALL_KIT_FRAME_H
#define PITWALL_KIT_FRAME_H

#include "gre_host.h"

namespace kit {

// How a widget turns its position and size into its rectangle (X, Y: control position plus
// instance offset; W, H: instance size, or the control's where the instance says -1).
enum class rect_rule {
    inclusive = 1,   // X, Y .. X+W-1, Y+H-1
    exclusive = 2,   // X, Y .. X+W,   Y+H
    inset_one = 3,   // X+1, Y+1 .. X+W-1, Y+H-1
    inset_two = 4,   // X+1, Y+1 .. X+W-2, Y+H-2
    control = 5      // the control's own x, y .. x+width, y+height; instance offsets unused
};

struct frame {
    gr_context_t *ctx;
    gr_instance_t *instance;
    gr_rect_t widget;   // the widget rectangle (possibly reduced by the widget before entering)
    gr_rect_t saved;    // the clip in force before the draw, or the canvas when none was set
    gr_rect_t visible;  // widget rectangle intersected with the saved clip: the clip while drawing
    bool had_clip;      // a clip was set before the draw: restore it rather than clear it
};

// Steps before any work: an invisible or inhibited instance draws nothing and keeps `dirty`.
bool frame_should_draw(const gr_instance_t *instance);

// The widget size (instance size, or the control's for -1) and rectangle by rule.
int32_t frame_width(const gr_control_t *control, const gr_instance_t *instance);
int32_t frame_height(const gr_control_t *control, const gr_instance_t *instance);
gr_rect_t widget_rect(const gr_control_t *control, const gr_instance_t *instance, rect_rule rule);

// Save the clip, intersect, set the clip to the visible part. False when the widget lies wholly
// outside the clip: nothing was touched and the draw returns 0 with `dirty` kept.
bool frame_enter(frame &f, gr_context_t *ctx, const gr_control_t *control, gr_instance_t *instance,
                 rect_rule rule);
bool frame_enter_rect(frame &f, gr_context_t *ctx, const gr_control_t *control,
                      gr_instance_t *instance, const gr_rect_t &widget);

// Set the clip to area ∩ the visible rectangle; false (clip untouched) when they do not meet.
bool frame_clip_to(const frame &f, const gr_rect_t &area, gr_rect_t *clipped = nullptr);

// Put back the clip that was in force before the draw.
void frame_restore_clip(const frame &f);

// Restore the clip, set `dirty` to 0, return 0.
int frame_end(frame &f);
// Restore the clip and return -1; `dirty` keeps its value.
int frame_fail(frame &f);

} // namespace kit

#endif // PITWALL_KIT_FRAME_H
