// bar_record.h - the instance record of both level bars and its derived data.
//
// The vertical and the horizontal bar keep the same fields in the same order; only their layout
// block lists bar_len and bar_w the other way round, so the block is a union of the two orders and
// each bar reads and writes only its own member (through bar_layout, bar_geometry.h).
#ifndef PITWALL_BARS_BAR_RECORD_H
#define PITWALL_BARS_BAR_RECORD_H

#include "gre_host.h"
#include "nine_patch.h"
#include "ticks.h"

#include <cstdint>

namespace bars {

// One piece of the value-to-pixel map: pixel = (v - v_lo) * px_span * inv_span + start_px.
struct value_map_segment {
    float start_px;
    float v_lo;
    float v_hi;
    float v_span;   // v_hi - v_lo
    float px_span;
    float inv_span; // 1 / v_span, or 0 when v_span is 0
};

// A tick mark: two points, relative to the scale area (see bar_layout.cpp for the axes).
struct mark_line {
    float x1, y1, x2, y2;
};

// Layout block of the vertical bar: offsets along x, sizes across it.
struct vertical_layout {
    uint16_t title_size; // 25 with a title, else 0
    uint16_t tick_x;
    uint16_t tick_w;
    uint16_t bar_x;
    uint16_t bar_w;
    int16_t bar_len;     // pixels along the bar: height - 20
    uint16_t fill_x;
    int16_t fill_w;
};

// Layout block of the horizontal bar: offsets along y, heights; bar_len before bar_w.
struct horizontal_layout {
    uint16_t title_size;
    uint16_t tick_x;
    uint16_t tick_w;
    uint16_t bar_x;
    int16_t bar_len;     // width - 20
    uint16_t bar_w;
    uint16_t fill_x;
    int16_t fill_w;
};

union layout_block {
    vertical_layout vertical;
    horizontal_layout horizontal;
};

// Zones and threshold states index the colour triples: 0 lower, 1 normal, 2 upper.
struct bar_record {
    float value;
    char *render_title;
    uint8_t tick_pos;  // 0 none, 1 scale before the bar (left / above), other after it
    uint8_t tick_mode; // 1 marks only, 3 explicit positions + piecewise map, >3 explicit + linear
    int32_t title_len;
    int32_t threshold_state;
    int32_t level; // recompute level
    float lower_threshold;
    float upper_threshold;
    gr_image_t *shine_images[3]; // per threshold state, sized for the current layout
    uint8_t ninepatch_ready;     // segment_patch is valid
    kit::nine_patch segment_patch; // one segment: fill_w across, 14 along
    int16_t layout_width;
    int16_t layout_height;
    layout_block layout;
    kit::tick_entry *tick_list; // pos in pixels along the bar after relayout
    int32_t tick_count;
    value_map_segment *value_map;
    int32_t value_map_count;
    mark_line *mark_lines;      // 1 + (tick_count - 1) * max(subsections, 1) lines
    int32_t mark_zone_counts[3];
    int32_t segment_zone_counts[3];
    char *font;
    char *ticks;
    uint8_t is_modern;
    uint8_t subsections;
    uint8_t style;       // 0 segments, other one continuous fill
    uint8_t orientation; // 0 value_min at the top / left, other at the bottom / right
    uint8_t title_alignment;
    int32_t lower_bar, color_bar, upper_bar;       // bar palette indices 1..7
    int32_t lower_tick, color_tick, upper_tick;    // bar palette indices 1..7
    int32_t lower_title, color_title, upper_title; // 0xRRGGBB
    uint8_t lower_limit;
    uint8_t upper_limit;
    float lower_value;
    float upper_value;
    float lower_hyst;
    float upper_hyst;
    float value_min;
    float value_max;
};

} // namespace bars

#endif // PITWALL_BARS_BAR_RECORD_H
