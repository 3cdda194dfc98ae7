// Walking "<br>"-separated lines in place: where lines end, what a final or partial marker does,
// and that the walk stays inside the given length.
#include "text_lines.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every line of text[0..length), checked to lie inside the text (the walk copies nothing).
std::vector<std::string> walk(const char *text, int32_t length, bool split = true) {
    std::vector<std::string> out;
    kit::line_walker walker(text, length);
    while (!walker.done() && out.size() < 100) {
        const kit::text_line line = walker.next(split);
        EXPECT_GE(line.start, text);
        EXPECT_GE(line.length, 0);
        EXPECT_LE(line.start + line.length, text + length);
        out.emplace_back(line.start, static_cast<size_t>(line.length));
    }
    return out;
}

using lines = std::vector<std::string>;

TEST(line_walker, lines_end_at_markers_and_a_final_marker_adds_no_line) {
    const struct { const char *text; bool split; lines expected; } cases[] = {
        {"Oil", true, {"Oil"}},
        {"Oil<br>Fuel", true, {"Oil", "Fuel"}},
        {"Oil<br><br>Fuel", true, {"Oil", "", "Fuel"}},
        {"Oil<br>", true, {"Oil"}},
        {"<br>Oil", true, {"", "Oil"}},
        {"<br>", true, {""}},
        {"<br><br>", true, {"", ""}},
        {"Oil<br", true, {"Oil<br"}},  // a partial marker is text
        {"Oil<", true, {"Oil<"}},
        {"a<b<br>c", true, {"a<b", "c"}}, // an opening bracket that is no marker
        {"<<br>>", true, {"<", ">"}},
        {"<BR>", true, {"<BR>"}},
        {"Oil<br>Fuel", false, {"Oil<br>Fuel"}},
        {"", true, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.split ? "" : " unsplit"));
        EXPECT_EQ(walk(c.text, static_cast<int32_t>(std::strlen(c.text)), c.split), c.expected);
    }
}

TEST(line_walker, an_unsplit_step_takes_the_rest) {
    const char text[] = "A<br>B<br>C";
    kit::line_walker walker(text, static_cast<int32_t>(sizeof text - 1));
    kit::text_line first = walker.next();
    EXPECT_EQ(std::string(first.start, static_cast<size_t>(first.length)), "A");
    kit::text_line rest = walker.next(false);
    EXPECT_EQ(rest.start, text + 5);
    EXPECT_EQ(std::string(rest.start, static_cast<size_t>(rest.length)), "B<br>C");
    EXPECT_TRUE(walker.done());
}

TEST(line_walker, never_reads_past_the_given_length) {
    // A marker that only completes beyond the length must not count (the text in place), and the
    // bytes after the length are not there at all (a heap block of exactly the length: ASan).
    const char source[] = "Oil<br>Fuel";
    const struct { int32_t length; lines expected; } cases[] = {
        {3, {"Oil"}}, {4, {"Oil<"}}, {5, {"Oil<b"}}, {6, {"Oil<br"}}, {7, {"Oil"}}, {8, {"Oil", "F"}},
        {0, {}}, {-1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length));
        const size_t bytes = c.length > 0 ? static_cast<size_t>(c.length) : 1;
        std::unique_ptr<char[]> text(new char[bytes]);
        std::memcpy(text.get(), source, bytes);
        EXPECT_EQ(walk(text.get(), c.length), c.expected);
        EXPECT_EQ(walk(source, c.length), c.expected); // the rest of the marker right after
    }
}

} // namespace
