// gauge_types.h - the records the round gauges share: parsed ticks, the value-to-angle map, tick
// marks, the value caption and the needle's placement.
//
// Angles are degrees, 0 along the positive x axis (3 o'clock), growing clockwise on screen: a point
// at angle a lies at (cx + cos(a) * rx, cy + sin(a) * ry) because screen y grows downwards. The
// attribute `angle_start` counts from 6 o'clock and is stored with 90 added, so every stored angle
// is in this drawing convention.
//
// All blocks are plain fields in the order the engine's records list them; on the 32-bit target a
// pointer is one word, so the blocks keep that layout inside each gauge's record.
#ifndef PITWALL_GAUGES_GAUGE_TYPES_H
#define PITWALL_GAUGES_GAUGE_TYPES_H

#include "gre_host.h"

#include <cstdint>

namespace gauges {

// One parsed tick. `pos` holds the percentage along the scale while parsing and the angle in
// degrees afterwards.
struct tick_entry {
    float pos;
    float angle;  // radians
    float sine;
    float cosine;
    float value;
    char *label;  // owned, or null
    uint8_t zone; // 0 lower, 1 normal, 2 upper
};

// One piece of the value-to-angle map: angle = (v - start_value) * angle_diff * reciprocal + start_angle.
struct scale_segment {
    float start_angle; // degrees
    float start_value;
    float end_value;
    float value_diff;  // end_value - start_value
    float angle_diff;  // degrees
    float reciprocal;  // 1 / value_diff, 0 when value_diff is 0
};

// A tick mark from its inner to its outer point, relative to the top-left corner of the gauge square.
struct tick_mark {
    float inner_x, inner_y;
    float outer_x, outer_y;
};

// Everything a tick list turns into. The marks are ordered by value, so the counts split the mark
// array into three runs: zone 0 first, then 1, then 2.
struct gauge_ticks {
    tick_entry *ticks;
    int32_t tick_count;
    scale_segment *segments;
    int32_t segment_count;
    tick_mark *marks;          // 1 + (tick_count - 1) * max(subsections, 1) marks
    int32_t zone_counts[3];
};

// The formatted value of the modern gauges (see value_caption.h).
struct value_caption {
    char *value_format;     // owned printf format built from `text`, or null
    char *value_text;       // owned 20-byte buffer, or null until the first value update
    int32_t value_text_len; // characters of value_text to draw; 0 draws nothing
};

// Where the needle image lies, relative to the top-left corner of the gauge square, and the point
// it turns about, relative to the image's top-left corner (it may lie outside the image).
struct needle_geometry {
    int32_t width, height; // pixels; the image is loaded at this size
    float x, y;
    float pivot_x, pivot_y;
};

} // namespace gauges

#endif // PITWALL_GAUGES_GAUGE_TYPES_H
