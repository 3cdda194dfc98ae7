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

#include <cstddef>
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
    uint32_t reserved; // unused tail: the engine's record is four bytes longer than the fields
};

// On the 32-bit target the engine allocates 340 bytes per instance and the record is read field by
// field at these offsets, by both bars.
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(bar_record, value) == 0 && offsetof(bar_record, render_title) == 4 &&
                  offsetof(bar_record, tick_pos) == 8 && offsetof(bar_record, tick_mode) == 9 &&
                  offsetof(bar_record, title_len) == 12,
              "32-bit record: value, title, scale placement");
static_assert(offsetof(bar_record, threshold_state) == 16 && offsetof(bar_record, level) == 20 &&
                  offsetof(bar_record, lower_threshold) == 24 && offsetof(bar_record, upper_threshold) == 28,
              "32-bit record: threshold state and recompute level");
static_assert(offsetof(bar_record, shine_images) == 32 && sizeof(bar_record::shine_images) == 12 &&
                  offsetof(bar_record, ninepatch_ready) == 44 && offsetof(bar_record, segment_patch) == 46 &&
                  offsetof(bar_record, segment_patch) + offsetof(kit::nine_patch, target) == 118 &&
                  sizeof(kit::nine_patch) == 144,
              "32-bit record: shine images and the segment nine-patch");
static_assert(offsetof(bar_record, layout_width) == 190 && offsetof(bar_record, layout_height) == 192 &&
                  offsetof(bar_record, layout) == 194 && sizeof(layout_block) == 16,
              "32-bit record: layout size and block");
static_assert(offsetof(vertical_layout, title_size) == 0 && offsetof(vertical_layout, tick_x) == 2 &&
                  offsetof(vertical_layout, tick_w) == 4 && offsetof(vertical_layout, bar_x) == 6 &&
                  offsetof(vertical_layout, bar_w) == 8 && offsetof(vertical_layout, bar_len) == 10 &&
                  offsetof(vertical_layout, fill_x) == 12 && offsetof(vertical_layout, fill_w) == 14,
              "32-bit record: the vertical bar's layout block");
static_assert(offsetof(horizontal_layout, title_size) == 0 && offsetof(horizontal_layout, tick_x) == 2 &&
                  offsetof(horizontal_layout, tick_w) == 4 && offsetof(horizontal_layout, bar_x) == 6 &&
                  offsetof(horizontal_layout, bar_len) == 8 && offsetof(horizontal_layout, bar_w) == 10 &&
                  offsetof(horizontal_layout, fill_x) == 12 && offsetof(horizontal_layout, fill_w) == 14,
              "32-bit record: the horizontal bar's layout block, bar_len before bar_w");
static_assert(offsetof(bar_record, tick_list) == 212 && offsetof(bar_record, tick_count) == 216 &&
                  offsetof(bar_record, value_map) == 220 && offsetof(bar_record, value_map_count) == 224 &&
                  offsetof(bar_record, mark_lines) == 228 && offsetof(bar_record, mark_zone_counts) == 232 &&
                  offsetof(bar_record, segment_zone_counts) == 244,
              "32-bit record: derived arrays and zone counts");
static_assert(offsetof(bar_record, font) == 256 && offsetof(bar_record, ticks) == 260 &&
                  offsetof(bar_record, is_modern) == 264 && offsetof(bar_record, subsections) == 265 &&
                  offsetof(bar_record, style) == 266 && offsetof(bar_record, orientation) == 267 &&
                  offsetof(bar_record, title_alignment) == 268,
              "32-bit record: font, tick text and the byte options");
static_assert(offsetof(bar_record, lower_bar) == 272 && offsetof(bar_record, color_bar) == 276 &&
                  offsetof(bar_record, upper_bar) == 280 && offsetof(bar_record, lower_tick) == 284 &&
                  offsetof(bar_record, color_tick) == 288 && offsetof(bar_record, upper_tick) == 292 &&
                  offsetof(bar_record, lower_title) == 296 && offsetof(bar_record, color_title) == 300 &&
                  offsetof(bar_record, upper_title) == 304,
              "32-bit record: colour triples");
static_assert(offsetof(bar_record, lower_limit) == 308 && offsetof(bar_record, upper_limit) == 309 &&
                  offsetof(bar_record, lower_value) == 312 && offsetof(bar_record, upper_value) == 316 &&
                  offsetof(bar_record, lower_hyst) == 320 && offsetof(bar_record, upper_hyst) == 324 &&
                  offsetof(bar_record, value_min) == 328 && offsetof(bar_record, value_max) == 332 &&
                  sizeof(bar_record) == 340,
              "32-bit record: limits, range and size");
// A wider byte field would leave every offset in place where padding follows it.
static_assert(sizeof(bar_record::tick_mode) == 1 && sizeof(bar_record::ninepatch_ready) == 1 &&
                  sizeof(bar_record::title_alignment) == 1 && sizeof(bar_record::upper_limit) == 1,
              "32-bit record: byte fields before padding");
#endif

} // namespace bars

#endif // PITWALL_BARS_BAR_RECORD_H
