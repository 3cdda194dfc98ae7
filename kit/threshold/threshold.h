// threshold.h - the colour state of a widget's `value` against an optional lower and upper limit,
// each with its own hysteresis.
//
// States (and zones) index every colour triple lower_X / color_X / upper_X:
//     0 lower alarm, 1 normal, 2 upper alarm.
//
// Two transition rules exist. Widgets with stored thresholds (bars, gauges) compare against
// thresholds built at relayout, where a disabled limit is an infinity; widgets without them (boxes,
// alarm lamps, the basic label) test the enable flags at every evaluation. Both enter a limit state
// inclusively (>=, <=), leave it strictly (<, >), and let the upper state win when both entry
// tests hold. They agree on finite values and differ only for infinite values and for NaN with a
// disabled limit:
//
//     value, limits              stored thresholds        flag-tested
//     +inf, both disabled        2                        1
//     -inf, both disabled        0                        1
//     NaN, state 2, upper off    stays 2                  1
//     NaN, state 2, upper on     stays 2                  stays 2
//
// All arithmetic is in single precision, as the thresholds are stored.
#ifndef PITWALL_KIT_THRESHOLD_H
#define PITWALL_KIT_THRESHOLD_H

#include <cstdint>

namespace kit {

enum : int32_t {
    state_lower = 0,  // lower alarm
    state_normal = 1,
    state_upper = 2   // upper alarm
};

// The six limit attributes as a widget stores them (the fields lie in the widget's own record).
struct limits {
    uint8_t lower_limit; // enable flag: any nonzero value enables the lower limit
    uint8_t upper_limit;
    float lower_value;   // thresholds, in the unit of `value`
    float upper_value;
    float lower_hyst;    // the value must rise above lower_value + lower_hyst to leave state 0
    float upper_hyst;    // the value must fall below upper_value - upper_hyst to leave state 2
};

// Thresholds a stored-threshold widget writes at every full relayout.
struct thresholds {
    float lower; // -inf when the lower limit is disabled
    float upper; // +inf when the upper limit is disabled
};

// The limit values of the enabled limits, infinities for the disabled ones; values outside the
// widget's range are kept as they are.
thresholds stored_thresholds(const limits &l);

// The classic dial gauges' variant: a limit that lies outside [value_min, value_max] is treated
// as disabled, so a scale never shows an alarm it cannot reach.
thresholds stored_thresholds_in_range(const limits &l, float value_min, float value_max);

// The next state by the stored-threshold rule, from the previous one.
int32_t next_state_stored(int32_t state, float value, const thresholds &t, float lower_hyst,
                          float upper_hyst);

// The next state by the flag-tested rule, from the previous one.
int32_t next_state_flagged(int32_t state, float value, const limits &l);

// The zone of a fixed position (a tick value, a mark line): the entry tests alone, no hysteresis.
int32_t zone_of(float position, const thresholds &t);

// The slot 0..2 of a state in per-state tables (images, layouts); anything but 0 or 2 is normal.
constexpr int32_t state_slot(int32_t state) { return state == state_lower ? 0 : state == state_upper ? 2 : 1; }

// The member of a colour triple that a state or zone selects; anything but 0 or 2 is normal.
template <typename T>
constexpr T pick_by_state(int32_t state, T lower, T normal, T upper) {
    return state == state_lower ? lower : state == state_upper ? upper : normal;
}

} // namespace kit

#endif // PITWALL_KIT_THRESHOLD_H
