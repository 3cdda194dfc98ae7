// threshold.cpp - the two transition rules and the stored thresholds.
#include "threshold.h"

#include <limits>

namespace kit {

namespace {
constexpr float plus_infinity = std::numeric_limits<float>::infinity();
constexpr float minus_infinity = -std::numeric_limits<float>::infinity();
} // namespace

thresholds stored_thresholds(const limits &l) {
    return {l.lower_limit != 0 ? l.lower_value : minus_infinity,
            l.upper_limit != 0 ? l.upper_value : plus_infinity};
}

thresholds stored_thresholds_in_range(const limits &l, float value_min, float value_max) {
    // Written as "use the limit only if inside the range": a NaN limit or bound disables it.
    const bool lower_used = l.lower_limit != 0 && l.lower_value >= value_min;
    const bool upper_used = l.upper_limit != 0 && l.upper_value <= value_max;
    return {lower_used ? l.lower_value : minus_infinity, upper_used ? l.upper_value : plus_infinity};
}

int32_t next_state_stored(int32_t state, float value, const thresholds &t, float lower_hyst,
                          float upper_hyst) {
    if (value >= t.upper) return state_upper;
    if (value <= t.lower) return state_lower;
    if (state == state_upper) {
        const float leave_below = t.upper - upper_hyst;
        return value < leave_below ? state_normal : state_upper;
    }
    if (state == state_lower) {
        const float leave_above = t.lower + lower_hyst;
        return value > leave_above ? state_normal : state_lower;
    }
    return state_normal;
}

int32_t next_state_flagged(int32_t state, float value, const limits &l) {
    const bool upper_on = l.upper_limit != 0;
    const bool lower_on = l.lower_limit != 0;
    if (upper_on && value >= l.upper_value) return state_upper;
    if (lower_on && value <= l.lower_value) return state_lower;
    if (upper_on && state == state_upper) {
        const float leave_below = l.upper_value - l.upper_hyst;
        return value < leave_below ? state_normal : state_upper;
    }
    if (lower_on && state == state_lower) {
        const float leave_above = l.lower_value + l.lower_hyst;
        return value > leave_above ? state_normal : state_lower;
    }
    return state_normal;
}

int32_t zone_of(float position, const thresholds &t) {
    if (position >= t.upper) return state_upper;
    if (position <= t.lower) return state_lower;
    return state_normal;
}

} // namespace kit
