// gauge_frame.h - what every round gauge does around its drawing: the attribute protocol with the
// stored `angle_start`, the size check of its layout and the square it draws in.
#ifndef PITWALL_GAUGES_GAUGE_FRAME_H
#define PITWALL_GAUGES_GAUGE_FRAME_H

#include "frame.h"
#include "convert.h"
#include "renderext.h"

#include <cstdint>
#include <cstring>

namespace gauges {

// Offset added to `angle_start` as it is stored: the attribute counts from 6 o'clock, every
// stored angle from 3 o'clock.
inline constexpr float angle_start_offset = 90.0f;

using kit::s16;

// The table-driven protocol, with `angle_start` compared and stored 90 degrees on.
template <const kit::widget_def &W, int32_t AngleStartId>
void set_gauge_attribute(int32_t id, const void *value, gr_instance_t *instance) {
    if (id == AngleStartId && value != nullptr) {
        float degrees;
        std::memcpy(&degrees, value, sizeof degrees);
        degrees += angle_start_offset;
        kit::set_attribute(W, id, &degrees, instance);
        return;
    }
    kit::set_attribute(W, id, value, instance);
}

// The cached layout size of a gauge record and the widget size of this draw.
struct gauge_size_check {
    int32_t width, height; // of the widget rectangle
    bool changed;          // differs from the cached size: lay out anew
};

inline gauge_size_check check_size(const gr_rect_t &widget, int16_t cached_width, int16_t cached_height) {
    const int32_t width = widget.x2 - widget.x1 + 1, height = widget.y2 - widget.y1 + 1;
    return {width, height, s16(width) != cached_width || s16(height) != cached_height};
}

inline int16_t smaller_side(int32_t width, int32_t height) { return s16(width < height ? width : height); }

// The top-left gauge_size x gauge_size part of the widget rectangle: everything is drawn in it.
inline gr_rect_t gauge_square(const gr_rect_t &widget, int16_t gauge_size) {
    return {widget.x1, widget.y1, s16(widget.x1 + gauge_size - 1), s16(widget.y1 + gauge_size - 1)};
}

} // namespace gauges

#endif // PITWALL_GAUGES_GAUGE_FRAME_H
