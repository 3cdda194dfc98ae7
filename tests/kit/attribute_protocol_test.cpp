// The attribute-set protocol, driven by a test widget table covering every kind of stored value.
#include "renderext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

struct test_record {
    float value;
    char *title;
    int16_t font_size;
    uint8_t alignment;
    int32_t colour;
    uint8_t flag;
    int32_t level;
};

constexpr kit::attr_def k_attrs[] = {
    kit::attr_float(12, "value", offsetof(test_record, value), kit::level_state),
    kit::attr_string(13, "title", offsetof(test_record, title), kit::level_relayout),
    kit::attr_int(14, "font_size", offsetof(test_record, font_size), kit::level_relayout, kit::store::int16),
    kit::attr_ignored(15, "cfg"),
    kit::attr_int(16, "alignment", offsetof(test_record, alignment), kit::level_state, kit::store::uint8),
    kit::attr_int(17, "colour", offsetof(test_record, colour), kit::level_state),
    kit::attr_u8(18, "flag", offsetof(test_record, flag), kit::level_state),
};
constexpr kit::widget_def k_widget =
    kit::make_widget<test_record>("Test", k_attrs, offsetof(test_record, level));
constexpr kit::widget_def k_counting =
    kit::make_widget<test_record>("Test", k_attrs, offsetof(test_record, level), true);

struct instance_fixture : ::testing::Test {
    test_record record{};
    gr_instance_t inst{};
    void SetUp() override {
        inst.data = &record;
        record.level = kit::level_ready;
    }
    void TearDown() override { kit::free_strings(k_widget, &record); }
    void set_float(float v, const kit::widget_def &w = k_widget) { kit::set_attribute(w, 12, &v, &inst); }
    void set_int(int32_t id, int32_t v, const kit::widget_def &w = k_widget) { kit::set_attribute(w, id, &v, &inst); }
    void set_text(const char *t, const kit::widget_def &w = k_widget) { kit::set_attribute(w, 13, t, &inst); }
};

TEST_F(instance_fixture, strings_count_changes_by_content_and_null_rules) {
    set_text(nullptr); // never set, set to null: counts
    EXPECT_EQ(inst.dirty, 1);
    EXPECT_EQ(record.title, nullptr);
    set_text("Oil");
    EXPECT_EQ(inst.dirty, 2);
    char same[] = "Oil";
    set_text(same); // same text from another buffer: no change
    EXPECT_EQ(inst.dirty, 2);
    EXPECT_NE(record.title, same) << "the widget keeps its own copy";
    set_text(nullptr); // stored text, new null: counts
    EXPECT_EQ(inst.dirty, 3);
    EXPECT_EQ(record.title, nullptr);
    set_text("");
    EXPECT_EQ(inst.dirty, 4);
    EXPECT_STREQ(record.title, "");
}

TEST_F(instance_fixture, nan_counts_every_time_and_equal_floats_do_not) {
    set_float(1.5f);
    set_float(1.5f);
    EXPECT_EQ(inst.dirty, 1);
    set_float(std::numeric_limits<float>::quiet_NaN());
    set_float(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(inst.dirty, 3);
    EXPECT_TRUE(std::isnan(record.value));
}

TEST_F(instance_fixture, integers_compare_only_the_bits_kept) {
    set_int(14, 20);
    EXPECT_EQ(record.font_size, 20);
    set_int(14, 20 + 65536); // same low 16 bits
    EXPECT_EQ(inst.dirty, 1);
    set_int(14, 70000);
    EXPECT_EQ(record.font_size, 70000 - 65536);
    set_int(16, 2);
    set_int(16, 2 + 256);
    EXPECT_EQ(record.alignment, 2);
    EXPECT_EQ(inst.dirty, 3);
    set_int(17, -1);
    EXPECT_EQ(record.colour, -1);
    uint8_t flag = 7;
    kit::set_attribute(k_widget, 18, &flag, &inst);
    kit::set_attribute(k_widget, 18, &flag, &inst);
    EXPECT_EQ(record.flag, 7);
    EXPECT_EQ(inst.dirty, 5);
}

TEST_F(instance_fixture, levels_only_go_down) {
    set_float(3.0f);
    EXPECT_EQ(record.level, kit::level_state);
    set_int(14, 12);
    EXPECT_EQ(record.level, kit::level_relayout);
    set_float(4.0f); // a level-1 attribute leaves level 0 alone
    EXPECT_EQ(record.level, kit::level_relayout);
    record.level = kit::level_ready;
    set_float(4.0f); // unchanged: no level
    EXPECT_EQ(record.level, kit::level_ready);
}

TEST_F(instance_fixture, ignored_attributes_store_and_count_nothing) {
    test_record before = record;
    set_int(15, 99);
    EXPECT_EQ(inst.dirty, 0);
    EXPECT_EQ(std::memcmp(&before, &record, sizeof record), 0);
}

TEST_F(instance_fixture, counting_variant_counts_unchanged_sets_without_lowering_levels) {
    set_float(2.0f, k_counting);
    record.level = kit::level_ready;
    set_float(2.0f, k_counting);
    EXPECT_EQ(inst.dirty, 2);
    EXPECT_EQ(record.level, kit::level_ready) << "an unchanged value lowers no level";
    set_int(15, 1, k_counting); // even the ignored attribute counts
    EXPECT_EQ(inst.dirty, 3);
}

TEST_F(instance_fixture, ids_the_widget_does_not_own_go_to_the_engine) {
    int32_t width = 120, height = -1, x = 0x12345;
    kit::set_attribute(k_widget, 2, &width, &inst);
    kit::set_attribute(k_widget, 3, &height, &inst);
    kit::set_attribute(k_widget, 0, &x, &inst);
    int32_t unknown = 5;
    kit::set_attribute(k_widget, 99, &unknown, &inst);
    EXPECT_EQ(inst.width, 120);
    EXPECT_EQ(inst.height, -1);
    EXPECT_EQ(inst.x, 0x12345u);
    EXPECT_EQ(inst.dirty, 0);
}

TEST_F(instance_fixture, clone_duplicates_strings_and_restarts_layout) {
    set_text("Boost");
    set_float(1.0f);
    record.level = kit::level_ready;
    test_record copy_record{};
    gr_instance_t copy{};
    copy.data = &copy_record;
    kit::clone_record(k_widget, &copy, &inst);
    ASSERT_NE(copy_record.title, nullptr);
    EXPECT_NE(copy_record.title, record.title);
    EXPECT_STREQ(copy_record.title, "Boost");
    EXPECT_EQ(copy_record.value, 1.0f);
    EXPECT_EQ(copy_record.level, kit::level_relayout);
    kit::free_strings(k_widget, &record); // the clone outlives its source
    EXPECT_STREQ(copy_record.title, "Boost");
    kit::free_strings(k_widget, &copy_record);
    EXPECT_EQ(copy_record.title, nullptr);
}

TEST(attribute_table, begins_with_the_common_entries_and_ends_with_zeros) {
    constexpr auto table = kit::attribute_table(k_attrs);
    static_assert(table.size() == 12 + 7 + 1);
    EXPECT_STREQ(table[0].name, "x");
    EXPECT_STREQ(table[7].type, "4f1");
    EXPECT_STREQ(table[11].name, "rot_center_y");
    EXPECT_EQ(table[12].id, 12);
    EXPECT_STREQ(table[13].type, "1s0");
    EXPECT_STREQ(table[15].name, "cfg");
    EXPECT_EQ(table[19].id, 0);
    EXPECT_EQ(table[19].name, nullptr);
    EXPECT_EQ(table[19].type, nullptr);
}

} // namespace
