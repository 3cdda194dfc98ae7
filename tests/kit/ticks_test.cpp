// The tick-list parse through the kit: field splitting, range filter, limit, sort, zones, positions.
#include "tick_fields.h"
#include "ticks.h"

#include "pitwall/engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr kit::tick_messages k_messages = KIT_TICK_MESSAGES("Tick Test");

struct parsed {
    int32_t count;
    std::vector<kit::tick_entry> ticks; // copies; labels as strings below
    std::vector<std::string> labels;    // "<null>" for a tick without a label
};

class TickParse : public ::testing::Test {
protected:
    pitwall::engine engine_{"/nonexistent-app"};
    kit::tick_scale scale_{0.0f, 100.0f, -INFINITY, INFINITY, false, kit::tick_position_unit::percent, 0.0f};

    parsed parse(const char *text) {
        parsed out;
        out.count = kit::parse_ticks(text, scale_, engine_.app(), k_messages);
        int32_t n = out.count;
        kit::tick_entry *list = kit::take_ticks<kit::tick_entry>(n, engine_.app(), k_messages);
        for (int32_t i = 0; i < n; ++i) {
            out.ticks.push_back(list[i]);
            out.labels.push_back(list[i].label ? list[i].label : "<null>");
        }
        kit::free_tick_list(&list, &n);
        return out;
    }
    std::vector<float> values(const parsed &p) {
        std::vector<float> v;
        for (const auto &t : p.ticks) v.push_back(t.value);
        return v;
    }
};

TEST(TickFields, EmptyFieldsAreKeptAndNeverMerged) {
    char text[] = "a||b|";
    char *cursor = text;
    std::vector<std::string> fields;
    while (char *f = kit::cut_field(&cursor, '|')) fields.push_back(f);
    EXPECT_EQ(fields, (std::vector<std::string>{"a", "", "b", ""}));

    char empty[] = "";
    cursor = empty;
    EXPECT_STREQ(kit::cut_field(&cursor, '|'), "");
    EXPECT_EQ(kit::cut_field(&cursor, '|'), nullptr);

    char leading[] = ";50;half";
    cursor = leading;
    EXPECT_STREQ(kit::cut_field(&cursor, ';'), "");
    EXPECT_STREQ(kit::cut_field(&cursor, ';'), "50");
    EXPECT_STREQ(kit::cut_field(&cursor, ';'), "half");
}

TEST_F(TickParse, NullAndEmptyTextGiveNoTicks) {
    EXPECT_EQ(parse(nullptr).count, 0);
    EXPECT_EQ(parse("").count, 0);
    EXPECT_TRUE(engine_.log().empty());
}

TEST_F(TickParse, SortsByValueWithPositionsInPercent) {
    parsed p = parse("100;100|0;0|50;50");
    ASSERT_EQ(p.count, 3);
    EXPECT_EQ(values(p), (std::vector<float>{0, 50, 100}));
    EXPECT_FLOAT_EQ(p.ticks[0].pos, 0.0f);
    EXPECT_FLOAT_EQ(p.ticks[1].pos, 50.0f);
    EXPECT_FLOAT_EQ(p.ticks[2].pos, 100.0f);
    EXPECT_EQ(p.labels, (std::vector<std::string>{"<null>", "<null>", "<null>"}));
}

TEST_F(TickParse, EarlierDuplicateWinsWithItsLabel) {
    parsed p = parse("0;10;a|0;10;b");
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.labels[0], "a");
}

TEST_F(TickParse, RangeFilterKeepsTheBoundsOnly) {
    EXPECT_EQ(parse("-5;-5|105;105").count, 0);
    parsed p = parse(";0;lo|;100;hi|;100.01|;-0.01");
    EXPECT_EQ(values(p), (std::vector<float>{0, 100}));
    EXPECT_EQ(p.labels, (std::vector<std::string>{"lo", "hi"}));
}

TEST_F(TickParse, EmptyRangeKeepsTheTickWithoutPosition) {
    scale_.value_min = scale_.value_max = 50.0f;
    parsed p = parse("50;50");
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.ticks[0].pos, -1.0f);
}

TEST_F(TickParse, SixtyEntriesKeepTheFirstFiftyAndLogOnce) {
    // Values 59 down to 0: the first fifty in text order are 59..10.
    std::string text;
    for (int v = 59; v >= 0; --v) text += (text.empty() ? "" : "|") + std::string(";") + std::to_string(v);
    parsed p = parse(text.c_str());
    ASSERT_EQ(p.count, 50);
    EXPECT_EQ(p.ticks.front().value, 10.0f);
    EXPECT_EQ(p.ticks.back().value, 59.0f);
    ASSERT_EQ(engine_.log().size(), 1u);
    EXPECT_EQ(engine_.log()[0].level, 1);
    EXPECT_EQ(engine_.log()[0].text, "Tick Test: More than 50 ticks are not supported!");
}

TEST_F(TickParse, DuplicatesAmongTheFirstFiftyLeaveTheRestUnread) {
    // 45 distinct values, 5 repeats of earlier ones, then 10 more distinct values never read.
    std::string text;
    for (int v = 0; v < 45; ++v) text += ";" + std::to_string(v) + "|";
    for (int v = 0; v < 5; ++v) text += ";" + std::to_string(v) + "|";
    for (int v = 60; v < 70; ++v) text += ";" + std::to_string(v) + (v < 69 ? "|" : "");
    parsed p = parse(text.c_str());
    ASSERT_EQ(p.count, 45);
    EXPECT_EQ(p.ticks.back().value, 44.0f);
    EXPECT_TRUE(engine_.log().empty());
}

TEST_F(TickParse, ExactlyFiftyEntriesLogNothing) {
    std::string text;
    for (int v = 0; v < 50; ++v) text += (v ? "|;" : ";") + std::to_string(v);
    EXPECT_EQ(parse(text.c_str()).count, 50);
    EXPECT_TRUE(engine_.log().empty());
}

TEST_F(TickParse, ExplicitPositionsCountOnlyWhenEnabledAndGiven) {
    parsed linear = parse("20;5|;30");
    EXPECT_FLOAT_EQ(linear.ticks[0].pos, 5.0f);
    EXPECT_FLOAT_EQ(linear.ticks[1].pos, 30.0f);

    scale_.explicit_positions = true;
    parsed placed = parse("20;5|;30");
    EXPECT_FLOAT_EQ(placed.ticks[0].pos, 20.0f);
    EXPECT_FLOAT_EQ(placed.ticks[1].pos, 30.0f); // ";30" has no position: computed from the value
}

TEST_F(TickParse, GaugePositionsArePercentOfTheSpan) {
    scale_.explicit_positions = true;
    scale_.unit = kit::tick_position_unit::span;
    scale_.span = 270.0f;
    EXPECT_FLOAT_EQ(parse("135;50").ticks[0].pos, 50.0f);
    scale_.span = 0.0f;
    EXPECT_EQ(parse("135;50").ticks[0].pos, 0.0f);
}

TEST_F(TickParse, EntriesWithoutValueFieldAreDiscarded) {
    EXPECT_EQ(values(parse("0;0||100;100")), (std::vector<float>{0, 100}));
    EXPECT_EQ(parse("7").count, 0);
    // An empty value field is a value of 0.
    EXPECT_EQ(values(parse("7;")), (std::vector<float>{0}));
}

TEST_F(TickParse, NumbersThatAreNoNumbersAreHandled) {
    EXPECT_EQ(parse(";nan").count, 0);
    scale_.explicit_positions = true;
    parsed p = parse("inf;5");
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.ticks[0].pos, -1.0f);
    // An unbounded range keeps the finite ticks inside it at a finite position.
    scale_.explicit_positions = false;
    scale_.value_max = INFINITY;
    p = parse(";5|;inf");
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.ticks[0].pos, 0.0f);
    // A bound that is no number holds nothing.
    scale_.value_max = NAN;
    EXPECT_EQ(parse(";5").count, 0);
}

TEST_F(TickParse, ZonesFollowTheStoredThresholds) {
    scale_.lower_threshold = 20.0f;
    scale_.upper_threshold = 80.0f;
    parsed p = parse(";20|;21|;79.5|;80|;0");
    std::vector<int> zones;
    for (const auto &t : p.ticks) zones.push_back(t.zone);
    EXPECT_EQ(zones, (std::vector<int>{0, 0, 1, 1, 2}));
}

TEST_F(TickParse, LabelsAreCopiedByteForByteAndFurtherFieldsIgnored) {
    parsed p = parse(";1;one;extra|;2;|;3");
    EXPECT_EQ(p.labels, (std::vector<std::string>{"one", "", "<null>"}));
}

TEST_F(TickParse, DiscardingTheScratchFreesItsLabels) {
    int32_t n = kit::parse_ticks(";1;a|;2;b", scale_, engine_.app(), k_messages);
    ASSERT_EQ(n, 2);
    kit::discard_scratch(n);
    EXPECT_EQ(kit::tick_scratch()[0].label, nullptr);
    EXPECT_EQ(kit::tick_scratch()[1].label, nullptr);
}

} // namespace
