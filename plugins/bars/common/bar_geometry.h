// bar_geometry.h - the layout block read into one shape, and (across, along) coordinates turned
// into screen x/y for either axis.
#ifndef PITWALL_BARS_BAR_GEOMETRY_H
#define PITWALL_BARS_BAR_GEOMETRY_H

#include "bar_record.h"
#include "convert.h"
#include "bar_widget.h"

#include <cmath>
#include <cstdint>

namespace bars {

// The layout block of either bar, with the types it is stored in.
struct bar_layout {
    uint16_t title_size;
    uint16_t tick_x; // offset of the scale strip across the widget
    uint16_t tick_w; // its size across
    uint16_t bar_x;
    uint16_t bar_w;
    int16_t bar_len; // pixels along the bar
    uint16_t fill_x;
    int16_t fill_w;
};

inline bar_layout load_layout(const bar_axis &axis, const bar_record &r) {
    if (axis.horizontal) {
        const horizontal_layout &h = r.layout.horizontal;
        return {h.title_size, h.tick_x, h.tick_w, h.bar_x, h.bar_w, h.bar_len, h.fill_x, h.fill_w};
    }
    const vertical_layout &v = r.layout.vertical;
    return {v.title_size, v.tick_x, v.tick_w, v.bar_x, v.bar_w, v.bar_len, v.fill_x, v.fill_w};
}

inline void store_layout(const bar_axis &axis, bar_record &r, const bar_layout &l) {
    if (axis.horizontal)
        r.layout.horizontal = {l.title_size, l.tick_x, l.tick_w, l.bar_x, l.bar_len, l.bar_w, l.fill_x, l.fill_w};
    else
        r.layout.vertical = {l.title_size, l.tick_x, l.tick_w, l.bar_x, l.bar_w, l.bar_len, l.fill_x, l.fill_w};
}

using kit::s16;

// A rectangle from its extent across the bar and along it (both inclusive).
inline gr_rect_t axis_rect(const bar_axis &axis, int32_t across0, int32_t along0, int32_t across1,
                           int32_t along1) {
    if (axis.horizontal) return {s16(along0), s16(across0), s16(along1), s16(across1)};
    return {s16(across0), s16(along0), s16(across1), s16(along1)};
}

// The widget rectangle seen from the bar: across/along origins and far edges (inclusive).
struct axis_box {
    int32_t across0, along0, across1, along1;
};

inline axis_box to_axis(const bar_axis &axis, const gr_rect_t &r) {
    if (axis.horizontal) return {r.y1, r.x1, r.y2, r.x2};
    return {r.x1, r.y1, r.x2, r.y2};
}

inline void translate_axis(gr_context_t *ctx, const bar_axis &axis, int32_t across, int32_t along) {
    if (axis.horizontal)
        ctx->ops->translate(ctx, along, across);
    else
        ctx->ops->translate(ctx, across, along);
}

inline void untranslate_axis(gr_context_t *ctx, const bar_axis &axis, int32_t across, int32_t along) {
    if (axis.horizontal)
        ctx->ops->untranslate(ctx, along, across);
    else
        ctx->ops->untranslate(ctx, across, along);
}

// Truncation toward zero of a pixel position, defined for every float: NaN gives 0 and values
// beyond any screen saturate, so an odd range or threshold can never make the conversion undefined.
inline int32_t pixel_int(float v) {
    if (std::isnan(v)) return 0;
    constexpr float limit = 1.0e6f;
    if (v > limit) return static_cast<int32_t>(limit);
    if (v < -limit) return -static_cast<int32_t>(limit);
    return static_cast<int32_t>(v);
}

} // namespace bars

#endif // PITWALL_BARS_BAR_GEOMETRY_H
