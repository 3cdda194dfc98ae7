// value_angle.h - where the needle stands for a value.
//
// A scale maps values to angles through one or more segments (gauge_types.h). The modern gauges
// pin a value outside the range to the nearer end; the classic gauges let the needle overrun by
// one degree, so that a driver sees the value is off the scale:
//
//     angle_start 45 (stored 135), angle_span 270, value above value_max
//        modern:  135 + 270      = 405 (the end of the scale)
//        classic: 135 + 270 + 1  = 406 (one degree beyond it)
//
// Both treat a value that is no number as value_min, and an inverted range (value_min above
// value_max), which has no direction to map in, as angle_start.
#ifndef PITWALL_GAUGES_VALUE_ANGLE_H
#define PITWALL_GAUGES_VALUE_ANGLE_H

#include "gauge_types.h"

#include <cstdint>

namespace gauges {

struct value_scale {
    const scale_segment *segments;
    int32_t segment_count;
    bool piecewise;    // tick_mode 3: the first segment whose end reaches the value
    float angle_start; // stored, drawing convention
    float angle_span;
    float value_min, value_max;
};

// The angle of a value on the segments, unclamped; -1 with no segment at all.
float segment_angle(const value_scale &scale, float v);

// Modern gauges: the value clamped to [value_min, value_max].
float clamped_angle(const value_scale &scale, float value);

// Classic gauges: one degree beyond either end of the scale for a value outside the range.
float overrun_angle(const value_scale &scale, float value);

} // namespace gauges

#endif // PITWALL_GAUGES_VALUE_ANGLE_H
