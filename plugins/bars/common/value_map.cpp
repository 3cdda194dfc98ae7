// The value map (linear or piecewise through the ticks) and the zone counts built from it.
#include "value_map.h"

#include "bar_geometry.h"

#include <cmath>

namespace bars {

value_range effective_range(float value_min, float value_max) {
    bool usable = std::isfinite(value_min) && std::isfinite(value_max) && value_max >= value_min &&
                  std::isfinite(value_max - value_min);
    if (usable) return {value_min, value_max};
    float start = std::isfinite(value_min) ? value_min : 0.0f;
    return {start, start};
}

value_map_segment make_segment(float start_px, float v_lo, float v_hi, float px_span) {
    float v_span = v_hi - v_lo;
    return {start_px, v_lo, v_hi, v_span, px_span, v_span != 0.0f ? 1.0f / v_span : 0.0f};
}

int32_t build_value_map(value_map_segment *out, const value_range &range, const kit::tick_entry *ticks,
                        int32_t tick_count, bool piecewise, int16_t bar_len, bool reversed) {
    const float first_px = reversed ? static_cast<float>(bar_len - 1) : 0.0f;
    if (!piecewise || tick_count <= 0) {
        out[0] = make_segment(first_px, range.lo, range.hi, reversed ? -bar_len : bar_len);
        return 1;
    }
    int32_t n = 0;
    if (ticks[0].value > range.lo)
        out[n++] = make_segment(first_px, range.lo, ticks[0].value, ticks[0].pos - first_px);
    for (int32_t k = 1; k < tick_count; ++k)
        out[n++] = make_segment(ticks[k - 1].pos, ticks[k - 1].value, ticks[k].value,
                                ticks[k].pos - ticks[k - 1].pos);
    const kit::tick_entry &last = ticks[tick_count - 1];
    if (range.hi > last.value) {
        float end_px = reversed ? 0.0f : static_cast<float>(bar_len - 1);
        out[n++] = make_segment(last.pos, last.value, range.hi, end_px - last.pos);
    }
    // One tick with value_min == value_max leaves no piece. The linear map then puts every value on
    // the value_min end's first pixel, so nothing lights in either orientation.
    if (n == 0) out[n++] = make_segment(first_px, range.lo, range.hi, reversed ? -bar_len : bar_len);
    return n;
}

float map_value(const value_map_segment *map, int32_t count, float v) {
    if (count <= 0) return -1.0f;
    int32_t i = 0;
    while (i < count - 1 && !(map[i].v_hi >= v)) ++i;
    const value_map_segment &s = map[i];
    float px = (v - s.v_lo) * s.px_span * s.inv_span + s.start_px;
    // Spans beyond float range give inf * 0; such a value stays at the segment start.
    return std::isfinite(px) ? px : s.start_px;
}

float value_pixel(const value_map_segment *map, int32_t count, const value_range &range, float v) {
    if (std::isnan(v) || v < range.lo) v = range.lo;
    if (v > range.hi) v = range.hi;
    return map_value(map, count, v);
}

float threshold_pixel(const value_map_segment *map, int32_t count, const value_range &range, float t,
                      bool reversed) {
    // A threshold that is no number is reached by no value: its pixel stays NaN, which every zone
    // comparison treats as false, so it bounds no zone (as the state and the ticks see it).
    if (std::isnan(t)) return t;
    if (t < range.lo) return reversed ? INFINITY : -INFINITY;
    if (t > range.hi) return reversed ? -INFINITY : INFINITY;
    return map_value(map, count, t);
}

void count_mark_zones(const mark_line *lines, int32_t count, bool along_x, float lower_px, float upper_px,
                      bool reversed, int32_t out[3]) {
    out[0] = out[1] = out[2] = 0;
    for (int32_t i = 0; i < count; ++i) {
        float p = along_x ? lines[i].x1 : lines[i].y1;
        bool upper = reversed ? p <= upper_px : p >= upper_px;
        bool lower = reversed ? p >= lower_px : p <= lower_px;
        ++out[upper ? 2 : lower ? 0 : 1];
    }
}

void count_segment_zones(int16_t bar_len, float lower_px, float upper_px, bool reversed, int32_t out[3]) {
    out[0] = out[1] = out[2] = 0;
    if (bar_len < 14) return;
    // Segment k (from the value_min end) covers pixels 20k .. 20k + 13; a threshold at pixel p
    // leaves (p + 6) / 20 segments before it.
    const float h = static_cast<float>(bar_len - 1);
    if (reversed) {
        lower_px = h - lower_px;
        upper_px = h - upper_px;
    }
    const int32_t total = (bar_len + 6) / 20;
    // Explicit tick positions can put a threshold before the bar: no segment lies before it.
    auto segments_before = [](float p) {
        int32_t m = (pixel_int(p) + 6) / 20;
        return m > 0 ? m : 0;
    };
    if (upper_px == -INFINITY) {
        out[2] = total;
        return;
    }
    int32_t rest = total;
    if (upper_px < h) {
        int32_t m = segments_before(upper_px);
        out[2] = total - m;
        rest = m;
    }
    if (lower_px >= 14.0f) {
        int32_t m = lower_px == INFINITY ? rest : segments_before(lower_px);
        out[0] = m < rest ? m : rest;
        rest -= out[0];
    }
    out[1] = rest;
}

} // namespace bars
