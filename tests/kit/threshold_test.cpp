// The colour state of a value: both transition rules, stored thresholds, zones and the colour pick.
#include "threshold.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();
const float nan = std::nanf("");

kit::limits upper_only(float value, float hyst) { return {0, 1, 0.0f, value, 0.0f, hyst}; }
kit::limits lower_only(float value, float hyst) { return {1, 0, value, 0.0f, hyst, 0.0f}; }
kit::limits none() { return {0, 0, 0.0f, 0.0f, 0.0f, 0.0f}; }

int32_t stored(int32_t state, float value, const kit::limits &l) {
    return kit::next_state_stored(state, value, kit::stored_thresholds(l), l.lower_hyst, l.upper_hyst);
}
int32_t flagged(int32_t state, float value, const kit::limits &l) {
    return kit::next_state_flagged(state, value, l);
}

// Feeds a value sequence through one rule, carrying the state, and returns the states seen.
template <typename Rule>
std::vector<int32_t> run(Rule rule, int32_t state, const kit::limits &l, std::vector<float> values) {
    std::vector<int32_t> states;
    for (float v : values) states.push_back(state = rule(state, v, l));
    return states;
}

using rule_fn = int32_t (*)(int32_t, float, const kit::limits &);
const rule_fn both_rules[] = {stored, flagged};

TEST(Threshold, UpperHysteresisBandKeepsTheAlarmUntilTheValueFallsBelowIt) {
    for (rule_fn rule : both_rules)
        EXPECT_EQ(run(rule, 1, upper_only(100, 5), {99, 100, 97, 95, 94.9f}),
                  (std::vector<int32_t>{1, 2, 2, 2, 1}));
}

TEST(Threshold, LowerHysteresisBandKeepsTheAlarmUntilTheValueRisesAboveIt) {
    for (rule_fn rule : both_rules)
        EXPECT_EQ(run(rule, 1, lower_only(10, 2), {11, 10, 12, 12.1f}), (std::vector<int32_t>{1, 0, 0, 1}));
}

TEST(Threshold, FiniteValuesWithBothLimitsDisabledAreNormalFromAnyState) {
    for (rule_fn rule : both_rules)
        for (int32_t previous : {0, 1, 2})
            for (float v : {-1e30f, -1.0f, 0.0f, 1.0f, 1e30f}) EXPECT_EQ(rule(previous, v, none()), 1);
}

TEST(Threshold, CrossedLimitsLetTheUpperStateWin) {
    const kit::limits crossed{1, 1, 50, 40, 0, 0};
    for (rule_fn rule : both_rules) {
        EXPECT_EQ(rule(1, 45, crossed), 2);
        EXPECT_EQ(rule(0, 45, crossed), 2);
    }
    const kit::limits equal{1, 1, 40, 40, 0, 0};
    for (rule_fn rule : both_rules) EXPECT_EQ(rule(1, 40, equal), 2);
}

TEST(Threshold, SwitchingTheLowerLimitOffLeavesTheLowerState) {
    kit::limits l = lower_only(10, 2);
    for (rule_fn rule : both_rules) {
        ASSERT_EQ(rule(1, 10, l), 0);
        l.lower_limit = 0;
        EXPECT_EQ(rule(0, 10, l), 1);
        l.lower_limit = 1;
    }
}

TEST(Threshold, ZeroHysteresisFollowsTheEntryTestsExactly) {
    for (rule_fn rule : both_rules) {
        EXPECT_EQ(rule(1, 100, upper_only(100, 0)), 2);
        EXPECT_EQ(rule(2, 99.99f, upper_only(100, 0)), 1);
        EXPECT_EQ(rule(1, 10, lower_only(10, 0)), 0);
        EXPECT_EQ(rule(0, 10.01f, lower_only(10, 0)), 1);
    }
}

TEST(Threshold, AnyEnableFlagValueEnablesTheLimit) {
    kit::limits l = upper_only(100, 0);
    l.upper_limit = 0x80;
    for (rule_fn rule : both_rules) EXPECT_EQ(rule(1, 100, l), 2);
}

TEST(Threshold, NegativeHysteresisLeavesNoBand) {
    // Leaving needs value < 100 - (-5): every value below the entry test already leaves.
    for (rule_fn rule : both_rules) {
        EXPECT_EQ(run(rule, 1, upper_only(100, -5), {100, 99.9f}), (std::vector<int32_t>{2, 1}));
        EXPECT_EQ(run(rule, 1, lower_only(10, -2), {10, 10.1f}), (std::vector<int32_t>{0, 1}));
    }
}

TEST(Threshold, InfiniteValuesEnterAlarmsOnlyUnderTheStoredRule) {
    // Disabled limits are infinite thresholds, which an infinite value reaches (inclusive test).
    EXPECT_EQ(stored(1, inf, none()), 2);
    EXPECT_EQ(stored(1, -inf, none()), 0);
    EXPECT_EQ(flagged(1, inf, none()), 1);
    EXPECT_EQ(flagged(1, -inf, none()), 1);
    EXPECT_EQ(flagged(2, inf, none()), 1);
    // With the limit enabled both rules agree.
    for (rule_fn rule : both_rules) {
        EXPECT_EQ(rule(1, inf, upper_only(100, 5)), 2);
        EXPECT_EQ(rule(1, -inf, lower_only(10, 2)), 0);
    }
}

TEST(Threshold, NanKeepsAlarmsUnderTheStoredRuleEvenWithTheLimitDisabled) {
    EXPECT_EQ(stored(0, nan, none()), 0);
    EXPECT_EQ(stored(2, nan, none()), 2);
    EXPECT_EQ(flagged(0, nan, none()), 1);
    EXPECT_EQ(flagged(2, nan, none()), 1);
}

TEST(Threshold, NanWithTheLimitEnabledKeepsEveryStateUnderBothRules) {
    const kit::limits both{1, 1, 10, 100, 2, 5};
    for (rule_fn rule : both_rules)
        for (int32_t previous : {0, 1, 2}) EXPECT_EQ(rule(previous, nan, both), previous);
}

TEST(StoredThresholds, DisabledLimitsAreInfiniteAndEnabledOnesKeptEvenOutsideTheRange) {
    const kit::thresholds off = kit::stored_thresholds(none());
    EXPECT_EQ(off.lower, -inf);
    EXPECT_EQ(off.upper, inf);
    const kit::thresholds on = kit::stored_thresholds({1, 1, -500, 1e6f, 0, 0});
    EXPECT_EQ(on.lower, -500.0f);
    EXPECT_EQ(on.upper, 1e6f);
}

TEST(StoredThresholds, ClassicRangeConditionDropsLimitsOutsideTheScale) {
    // Scale 0..100: an upper limit above the maximum can never be reached.
    const kit::limits beyond{1, 1, -5, 150, 0, 0};
    const kit::thresholds t = kit::stored_thresholds_in_range(beyond, 0, 100);
    EXPECT_EQ(t.upper, inf);
    EXPECT_EQ(t.lower, -inf);
    for (float v : {99.0f, 100.0f, 150.0f, 1e9f}) {
        EXPECT_EQ(kit::next_state_stored(1, v, t, 0, 0), 1) << v;
        EXPECT_EQ(kit::zone_of(v, t), 1) << v;
    }
    // Limits on the range ends are still inside it.
    const kit::thresholds edge = kit::stored_thresholds_in_range({1, 1, 0, 100, 0, 0}, 0, 100);
    EXPECT_EQ(edge.lower, 0.0f);
    EXPECT_EQ(edge.upper, 100.0f);
    // A disabled limit stays disabled whatever its value.
    const kit::thresholds off = kit::stored_thresholds_in_range({0, 0, 50, 60, 0, 0}, 0, 100);
    EXPECT_EQ(off.lower, -inf);
    EXPECT_EQ(off.upper, inf);
    // A NaN limit fails the range test and is treated as disabled.
    const kit::thresholds unset = kit::stored_thresholds_in_range({1, 1, nan, nan, 0, 0}, 0, 100);
    EXPECT_EQ(unset.lower, -inf);
    EXPECT_EQ(unset.upper, inf);
}

TEST(Zone, FixedPositionsUseTheEntryTestsWithoutHysteresis) {
    const kit::thresholds t{20, 80};
    EXPECT_EQ(kit::zone_of(80, t), 2);
    EXPECT_EQ(kit::zone_of(79.9f, t), 1);
    EXPECT_EQ(kit::zone_of(20, t), 0);
    EXPECT_EQ(kit::zone_of(20.1f, t), 1);
    EXPECT_EQ(kit::zone_of(nan, t), 1);
    // Crossed thresholds: upper first.
    EXPECT_EQ(kit::zone_of(50, kit::thresholds{60, 40}), 2);
}

TEST(ColourPick, StateIndexesTheTripleAndUnknownStatesAreNormal) {
    EXPECT_EQ(kit::pick_by_state<int32_t>(0, 0x111111, 0x222222, 0x333333), 0x111111);
    EXPECT_EQ(kit::pick_by_state<int32_t>(1, 0x111111, 0x222222, 0x333333), 0x222222);
    EXPECT_EQ(kit::pick_by_state<int32_t>(2, 0x111111, 0x222222, 0x333333), 0x333333);
    EXPECT_EQ(kit::pick_by_state<int32_t>(7, 0x111111, 0x222222, 0x333333), 0x222222);
    EXPECT_EQ(kit::pick_by_state<int32_t>(-1, 0x111111, 0x222222, 0x333333), 0x222222);
}

} // namespace
