// Values to needle angles.
#include "value_angle.h"

#include <cmath>

namespace gauges {
namespace {

bool inverted(const value_scale &scale) { return scale.value_min > scale.value_max; }

// A map that yields no number (an infinite bound, say) leaves the needle at the start.
float or_start(const value_scale &scale, float angle) { return std::isnan(angle) ? scale.angle_start : angle; }

} // namespace

float segment_angle(const value_scale &scale, float v) {
    if (scale.segment_count <= 0 || scale.segments == nullptr) return -1.0f;
    const scale_segment *s = &scale.segments[0];
    if (scale.piecewise) {
        s = &scale.segments[scale.segment_count - 1];
        for (int32_t i = 0; i < scale.segment_count; ++i)
            if (scale.segments[i].end_value >= v) {
                s = &scale.segments[i];
                break;
            }
    }
    return (v - s->start_value) * s->angle_diff * s->reciprocal + s->start_angle;
}

float clamped_angle(const value_scale &scale, float value) {
    if (inverted(scale)) return scale.angle_start;
    float v = std::isnan(value) ? scale.value_min : value;
    if (scale.value_min > v)
        v = scale.value_min;
    else if (v > scale.value_max)
        v = scale.value_max;
    return or_start(scale, segment_angle(scale, v));
}

float overrun_angle(const value_scale &scale, float value) {
    if (inverted(scale)) return scale.angle_start;
    const float direction = std::copysign(1.0f, scale.angle_span);
    const float v = std::isnan(value) ? scale.value_min : value;
    if (v > scale.value_max) return or_start(scale, scale.angle_start + scale.angle_span + direction);
    if (v < scale.value_min) return or_start(scale, scale.angle_start - direction);
    return or_start(scale, segment_angle(scale, v));
}

} // namespace gauges
