// bar_draw.h - the pieces of one bar draw, shared by the files that draw them.
#ifndef PITWALL_BARS_BAR_DRAW_H
#define PITWALL_BARS_BAR_DRAW_H

#include "bar_geometry.h"
#include "bar_widget.h"
#include "frame.h"

namespace bars {

inline constexpr const char *image_dir = "images/CommonBar/";

// What every drawing step needs: the widget, its record and layout, the frame, the rectangle.
struct bar_draw_state {
    const bar_widget &w;
    const bar_axis &axis;
    gr_context_t *ctx;
    kit::frame &frame;
    bar_record &r;
    bar_layout l;
    axis_box box; // the widget rectangle across / along
};

// area ∩ the widget's visible rectangle; false when they do not meet (nothing set).
bool meets(const bar_draw_state &d, const gr_rect_t &area, gr_rect_t *out);

// The scale: marks per zone, then labels (scale area as given, unclipped).
void draw_scale(const bar_draw_state &d, const gr_rect_t &area);

// The fill area: unlit segments, then lit segments or the continuous fill. 0, or -1 with the
// clip still narrowed (the caller ends the frame).
int draw_fill(const bar_draw_state &d);

// The palette index of a zone or state from a lower / normal / upper triple.
int32_t zone_index(int32_t zone, int32_t lower, int32_t normal, int32_t upper);

} // namespace bars

#endif // PITWALL_BARS_BAR_DRAW_H
