// Float-to-integer conversions: truncation where the value fits, defined results everywhere else.
#include "convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

TEST(Convert, TruncatesTowardZeroInsideTheRange) {
    EXPECT_EQ(kit::trunc_to_int32(2.9f), 2);
    EXPECT_EQ(kit::trunc_to_int32(-2.9f), -2);
    EXPECT_EQ(kit::trunc_to_int16(-0.5f), 0);
    EXPECT_EQ(kit::trunc_to_int16(32767.9f), 32767);
    EXPECT_EQ(kit::trunc_to_int16(-32768.9f), -32768);
}

TEST(Convert, NanGivesZeroAndEverythingBeyondTheRangeSaturates) {
    EXPECT_EQ(kit::trunc_to_int32(std::nanf("")), 0);
    EXPECT_EQ(kit::trunc_to_int16(-std::nanf("")), 0);
    EXPECT_EQ(kit::trunc_to_int32(inf), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(kit::trunc_to_int32(-inf), std::numeric_limits<int32_t>::min());
    // 2^31 is the first float above the int32 range.
    EXPECT_EQ(kit::trunc_to_int32(2147483648.0f), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(kit::trunc_to_int16(40000.0f), 32767);
    EXPECT_EQ(kit::trunc_to_int16(-1e30f), -32768);
    EXPECT_EQ(kit::trunc_to<uint8_t>(-1.0f), 0);
    EXPECT_EQ(kit::trunc_to<uint8_t>(300.0f), 255);
}

TEST(Convert, RoundHalfUpAddsOneHalfBeforeTruncating) {
    EXPECT_EQ(kit::round_half_up_to_int32(2.5f), 3);
    EXPECT_EQ(kit::round_half_up_to_int32(2.49f), 2);
    EXPECT_EQ(kit::round_half_up_to_int32(-0.4f), 0);
    EXPECT_EQ(kit::round_half_up_to_int32(inf), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(kit::round_half_up_to_int32(std::nanf("")), 0);
}

} // namespace
