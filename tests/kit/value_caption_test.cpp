// The value caption: the format built from a caption and the number formatted into its fixed buffer.
#include "value_caption.h"

#include "pitwall/engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

struct caption_case {
    const char *caption;
    uint8_t decimals;
    float value;
    const char *format; // size: 1 + length + one per '%', 11 fewer with a placeholder
    const char *text;
};

const std::vector<caption_case> k_captions = {
    {"<channel value> km/h", 1, 42.26f, "%.1f km/h", "42.3 km/h"},
    {"Load <channel value> %", 0, 87.6f, "Load %.0f %%", "Load 88 %"},
    {"RPM", 2, 1234.5f, "RPM", "RPM"},
    // Only the first placeholder is a number: "5/" and 15 literal characters, 17 in all.
    {"<channel value>/<channel value>", 0, 5.0f, "%.0f/<channel value>", "5/<channel value>"},
    {"", 3, 1.0f, "", ""},
    // Decimals beyond 9 keep the conversion a digit.
    {"<channel value>", 10, 1.5f, "%.9f", "1.500000000"},
    {"<channel value>", 255, 1.5f, "%.9f", "1.500000000"},
    // Every '%' of the caption prints as itself, whatever conversion it spells.
    {"%d%s <channel value> %n", 2, 3.14159f, "%%d%%s %.2f %%n", "%d%s 3.14 %n"},
    {"%", 0, 0.0f, "%%", "%"},
    {"a%<channel value>%", 1, 2.5f, "a%%%.1f%%", "a%2.5%"}, // size 1 + 18 + 2 - 11 = 10
    {"<channel value", 1, 2.5f, "<channel value", "<channel value"}, // no placeholder without its '>'
    // 25 characters formatted, the first 18 kept.
    {"<channel value> abcdefghijklmnopqrs", 0, 12345.0f, "%.0f abcdefghijklmnopqrs", "12345 abcdefghijkl"},
    // The largest float has 39 digits before the point: only the first 18 are kept.
    {"<channel value>", 1, std::numeric_limits<float>::max(), "%.1f", "340282346638528859"},
    {"<channel value>", 1, std::numeric_limits<float>::infinity(), "%.1f", "inf"},
    {"<channel value>", 1, -std::numeric_limits<float>::infinity(), "%.1f", "-inf"},
    {"<channel value>", 1, std::numeric_limits<float>::quiet_NaN(), "%.1f", "nan"},
};

TEST(value_caption, format_and_text_of_a_caption) {
    pitwall::engine eng{"/app"};
    constexpr int guard = 8;
    for (const caption_case &c : k_captions) {
        SCOPED_TRACE(c.caption);
        const int32_t size = gauges::value_format_size(c.caption);
        EXPECT_EQ(size, static_cast<int32_t>(std::strlen(c.format)) + 1);
        // Written into exactly `size` bytes between guards.
        std::vector<char> block(static_cast<size_t>(size + 2 * guard), '#');
        gauges::write_value_format(c.caption, c.decimals, block.data() + guard);
        EXPECT_STREQ(block.data() + guard, c.format);
        EXPECT_EQ(std::string(block.data(), guard), std::string(guard, '#'));
        EXPECT_EQ(std::string(block.data() + guard + size, guard), std::string(guard, '#'));

        gauges::value_caption caption{};
        ASSERT_TRUE(gauges::rebuild_value_format(caption, c.caption, c.decimals, eng.app()));
        EXPECT_STREQ(caption.value_format, c.format);
        gauges::format_value_text(caption, c.value, eng.app());
        ASSERT_NE(caption.value_text, nullptr);
        EXPECT_EQ(std::string(caption.value_text, static_cast<size_t>(caption.value_text_len)), c.text);
        EXPECT_EQ(caption.value_text[caption.value_text_len], '\0');
        EXPECT_EQ(caption.value_text[19], '\0');
        gauges::free_value_caption(caption);
    }
    EXPECT_TRUE(eng.log().empty());
}

TEST(value_caption, the_formatter_writes_at_most_19_bytes_into_a_kept_buffer) {
    pitwall::engine eng{"/app"};
    gauges::value_caption caption{};
    ASSERT_TRUE(gauges::rebuild_value_format(caption, "<channel value> abcdefghijklmnopqrs", 0, eng.app()));
    // A buffer of our own, longer than 20 bytes: nothing past the formatter's 19 bytes may change.
    caption.value_text = static_cast<char *>(std::malloc(32));
    ASSERT_NE(caption.value_text, nullptr);
    std::memset(caption.value_text, 'X', 32);
    char *const kept = caption.value_text;
    gauges::format_value_text(caption, 12345.0f, eng.app());
    EXPECT_EQ(caption.value_text, kept);
    EXPECT_EQ(caption.value_text_len, 18);
    EXPECT_EQ(std::string(kept, 19), std::string("12345 abcdefghijkl") + '\0');
    EXPECT_EQ(std::string(kept + 19, 13), std::string(13, 'X'));

    // A new format and value reuse the buffer; a shorter text is its own length.
    ASSERT_TRUE(gauges::rebuild_value_format(caption, "<channel value> km/h", 0, eng.app()));
    gauges::format_value_text(caption, -7.0f, eng.app());
    EXPECT_EQ(caption.value_text, kept);
    EXPECT_EQ(caption.value_text_len, 7);
    EXPECT_STREQ(kept, "-7 km/h");
    gauges::free_value_caption(caption);
}

TEST(value_caption, an_unset_text_fails_the_rebuild_and_leaves_no_format) {
    gauges::value_caption caption{};
    ASSERT_TRUE(gauges::rebuild_value_format(caption, "RPM", 0, nullptr));
    EXPECT_FALSE(gauges::rebuild_value_format(caption, nullptr, 0, nullptr));
    EXPECT_EQ(caption.value_format, nullptr); // the previous one freed (the leak checker sees it)
}

} // namespace
