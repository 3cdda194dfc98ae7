// value_map.h - values to pixels along the bar, and the zone counts of marks and segments.
#ifndef PITWALL_BARS_VALUE_MAP_H
#define PITWALL_BARS_VALUE_MAP_H

#include "bar_record.h"

#include <cstdint>

namespace bars {

// The range a bar maps. An inverted range (value_max below value_min), a bound that is not a
// finite number, or a span that overflows is refused: it maps like an empty range at value_min
// (or 0), so every value lands on the first pixel and nothing lights.
struct value_range {
    float lo, hi;
};
value_range effective_range(float value_min, float value_max);

value_map_segment make_segment(float start_px, float v_lo, float v_hi, float px_span);

// Fill `out` (room for tick_count + 1 segments, or 1 without a piecewise map) and return the count.
// Piecewise (through the ticks) when `piecewise` and there are ticks, else one linear segment (also
// when the ticks leave no piece: a single tick at value_min == value_max).
int32_t build_value_map(value_map_segment *out, const value_range &range, const kit::tick_entry *ticks,
                        int32_t tick_count, bool piecewise, int16_t bar_len, bool reversed);

// Pixel of a value: the first segment whose v_hi reaches it (the last one past the end); -1.0 for
// an empty map. Always finite.
float map_value(const value_map_segment *map, int32_t count, float v);

// Pixel of the value a bar shows: limited to the range, NaN shown as the range's start.
float value_pixel(const value_map_segment *map, int32_t count, const value_range &range, float v);

// Pixel of a threshold: the mapped pixel inside the range, an infinity beyond either end (toward
// the side the threshold lies on, so "beyond value_max" compares past every pixel), NaN for a
// threshold that is no number (it compares false: no zone boundary).
float threshold_pixel(const value_map_segment *map, int32_t count, const value_range &range, float t,
                      bool reversed);

// Marks by their pixel along the bar: upper at or past the upper pixel, lower at or before the
// lower one (directions follow the orientation), else normal.
void count_mark_zones(const mark_line *lines, int32_t count, bool along_x, float lower_px, float upper_px,
                      bool reversed, int32_t out[3]);

// Segments per zone, counted from the value_min end.
void count_segment_zones(int16_t bar_len, float lower_px, float upper_px, bool reversed, int32_t out[3]);

} // namespace bars

#endif // PITWALL_BARS_VALUE_MAP_H
