// convert.h - float-to-integer conversions that are defined for every input.
//
// A plain static_cast from a float is undefined when the truncated value does not fit the target
// (and for NaN and infinities). Layout code feeds these from attribute values the application
// controls, so every conversion goes through here:
//   - truncation toward zero, as a cast does, for every value that fits;
//   - NaN gives 0;
//   - values beyond the range (infinities included) saturate at the target's minimum or maximum.
#ifndef PITWALL_KIT_CONVERT_H
#define PITWALL_KIT_CONVERT_H

#include <cstdint>
#include <limits>
#include <type_traits>

namespace kit {

// trunc(x) as an Int, defined everywhere.
template <typename Int>
constexpr Int trunc_to(double x) {
    static_assert(std::is_integral_v<Int> && sizeof(Int) <= 4, "up to 32-bit targets");
    // Both bounds are exact in double, and everything strictly between them truncates into range.
    constexpr double lowest = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double highest = static_cast<double>(std::numeric_limits<Int>::max());
    if (x != x) return 0;
    if (x <= lowest) return std::numeric_limits<Int>::min();
    if (x >= highest) return std::numeric_limits<Int>::max();
    return static_cast<Int>(x);
}

constexpr int32_t trunc_to_int32(float x) { return trunc_to<int32_t>(x); }
constexpr int16_t trunc_to_int16(float x) { return trunc_to<int16_t>(x); }

// trunc(x + 0.5), the sum in single precision: rounding half up for the non-negative values
// where layout asks for it.
constexpr int32_t round_half_up_to_int32(float x) { return trunc_to<int32_t>(x + 0.5f); }

// The low 16 bits of v as a signed value: how the engine's 16-bit rectangle fields wrap.
constexpr int16_t s16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

// v pinned to the 32-bit range (a drawing coordinate computed in 64 bits).
constexpr int32_t clamp_to_int32(int64_t v) {
    return v < std::numeric_limits<int32_t>::min()   ? std::numeric_limits<int32_t>::min()
           : v > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                     : static_cast<int32_t>(v);
}

} // namespace kit

#endif // PITWALL_KIT_CONVERT_H
