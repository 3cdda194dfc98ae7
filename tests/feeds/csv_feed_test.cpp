// A telemetry log replayed into the table: each row's values at the log's pace (divided by the
// speed) and sharing their arrival, empty fields no value, columns of no channel unknown, fields
// that are no number bad; looped, the log plays again; a log that is no log refused at open with
// its file and line.
#include "feed_files.h"
#include "pitwall/csv_feed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

class csv_feed_test : public feed_files {};

TEST_F(csv_feed_test, rows_arrive_in_order_at_the_logs_pace) {
    const std::string log = write("lap.csv", "t,rpm,water,note,gear\n"
                                             "0,1000,90,,\n"
                                             "0.5,2000,,pit,3\n"
                                             "\n"
                                             "1.5,abc,\"91\",,+4\n");
    latest_values table({"rpm", "water", "gear", "oil"});
    stored_values tap;
    table.set_tap(&tap);
    csv_feed feed;
    ASSERT_EQ(feed.open(log, false, 100), "");
    EXPECT_EQ(feed.rows(), 3u);
    EXPECT_EQ(feed.duration(), 1.5);
    EXPECT_EQ(feed.describe(), "csv " + log + " at speed 100");
    const int64_t before = feed_clock_ns();
    feed.start(table);
    ASSERT_TRUE(wait_until([&] { return feed.finished(); }));
    feed.stop();

    const feed_totals t = feed.counted();
    EXPECT_EQ(t.datagrams, 3u);
    EXPECT_EQ(t.stored, 6u);
    EXPECT_EQ(t.unknown, 1u); // "pit" in note, no channel
    EXPECT_EQ(t.bad, 1u);     // "abc"
    const std::vector<stored_values::value> got = tap.taken();
    const struct {
        size_t channel;
        double number;
        size_t row;
    } expected[] = {{0, 1000, 0}, {1, 90, 0}, {0, 2000, 1}, {2, 3, 1}, {1, 91, 2}, {2, 4, 2}};
    ASSERT_EQ(got.size(), std::size(expected));
    const double row_time[] = {0, 0.5, 1.5};
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].channel, expected[i].channel);
        EXPECT_EQ(got[i].number, expected[i].number);
        // A row's values share their arrival; no row comes before its time in the log, at speed 100.
        if (i > 0) {
            if (expected[i].row == expected[i - 1].row) EXPECT_EQ(got[i].arrived, got[i - 1].arrived);
            else EXPECT_GT(got[i].arrived, got[i - 1].arrived);
        }
        EXPECT_GE(got[i].arrived - before, int64_t(row_time[expected[i].row] / 100 * 1e9));
    }
    EXPECT_EQ(table.read(3).stored, 0u); // oil: no column
}

// A recording cut off by a power loss ends in a row without its line end: short of fields or
// inside a quote, that row is left out and said once; a whole last row needs no line end.
TEST_F(csv_feed_test, a_row_cut_short_at_the_end_is_left_out) {
    const struct {
        const char *what;
        std::string text;
        size_t rows;
        bool noted;
    } cases[] = {
        {"cut after a comma", "t,rpm,gear\n0,8750,3\n0.1,87", 1, true},
        {"cut inside a quote", "t,rpm\n0,1\n0.1,\"2", 1, true},
        {"cut in the time", "t,rpm\n0,1\n0.", 1, true},
        {"whole, without a line end", "t,rpm\n0,1\n1,2", 2, false},
        {"whole, with a line end", "t,rpm\n0,1\n1,2\n", 2, false},
        {"blanks after the last line", "t,rpm\n0,1\n  ", 1, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        csv_feed feed;
        ASSERT_EQ(feed.open(write("cut.csv", c.text)), "");
        EXPECT_EQ(feed.rows(), c.rows);
        const std::vector<std::string> notes = feed.take_notes();
        EXPECT_EQ(notes, c.noted ? std::vector<std::string>{"the last row is cut short (a recording stopped "
                                                            "mid-write?) and left out"}
                                 : std::vector<std::string>{});
        EXPECT_TRUE(feed.take_notes().empty()); // said once
    }
    // A short row that does end its line is a mistake in the log, not a cut.
    const std::string log = write("short.csv", "t,rpm\n0,1\n1\n");
    EXPECT_EQ(csv_feed().open(log), log + ":3: 1 fields, the header has 2");
    // Nothing whole is left: as a log without rows.
    const std::string only = write("only.csv", "t,rpm\n0");
    EXPECT_EQ(csv_feed().open(only), only + ": no rows after the header");
}

TEST_F(csv_feed_test, a_looped_log_plays_again_until_stopped) {
    const std::string log = write("lap.csv", "rpm,t\n1,0\n2,0.5\n");
    latest_values table({"rpm"});
    stored_values tap;
    table.set_tap(&tap);
    csv_feed feed;
    ASSERT_EQ(feed.open(log, true, 1000), "");
    EXPECT_EQ(feed.describe(), "csv " + log + " looped at speed 1000");
    expect_looped_passes(feed, table, tap);
}

TEST_F(csv_feed_test, a_log_that_cannot_play_is_refused_at_open) {
    const struct {
        const char *what;
        std::string text;
        double speed;
        std::string message; // after "PATH"
    } cases[] = {
        {"no header", " \n\n", 1, ":1: no header row"},
        {"no rows", "t,rpm\n", 1, ": no rows after the header"},
        {"no time column", "T,rpm\n0,1\n", 1, ": no time column \"t\" (did you mean \"T\"?)"},
        {"a column twice", "t,rpm,rpm\n0,1,2\n", 1, ":1: column \"rpm\" appears twice (columns 2 and 3)"},
        {"a row short", "t,rpm\n0,1\n1\n", 1, ":3: 1 fields, the header has 2"},
        {"a time that is no number", "t,rpm\n0,1\nsoon,2\n", 1, ":3: \"soon\" in column t is not a number"},
        {"an empty time", "t,rpm\n,1\n", 1, ":2: \"\" in column t is not a number"},
        {"time going back", "t,rpm\n1,1\n0.5,2\n", 1, ":3: time 0.5 goes back (the row before is at 1)"},
        {"a quote not closed", "t,rpm\n0,\"1\n", 1, ":2: a quoted field is not closed"},
        {"a field too long", "t,rpm\n0," + std::string(4097, '1') + "\n", 1, ":2: field 2 is longer than 4096 bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string log = write("bad.csv", c.text);
        EXPECT_EQ(csv_feed().open(log, false, c.speed), log + c.message);
    }
    const std::string good = write("good.csv", "t,rpm\n0,1\n");
    for (double speed : {0.0, -1.0, 1001.0, std::nan("")})
        EXPECT_NE(csv_feed().open(good, false, speed).find(" is not above 0 and at most 1000"), std::string::npos)
            << speed;
    EXPECT_EQ(csv_feed().open(dir + "/none.csv"), dir + "/none.csv: No such file or directory");
    EXPECT_EQ(csv_feed().open(dir), dir + ": not a regular file");
    csv_feed twice;
    ASSERT_EQ(twice.open(good), "");
    EXPECT_EQ(twice.open(good), "the feed is open already");
}

} // namespace
} // namespace pitwall::testing
