// feed_files.h - a scratch folder of the test's own under the build tree, emptied first, and the
// helpers the feed tests share: waiting for a feed's count, files written and read whole.
#ifndef PITWALL_TESTS_FEED_FILES_H
#define PITWALL_TESTS_FEED_FILES_H

#include "scratch_test.h"

#include "pitwall/latest_values.h"
#include "pitwall/live_feed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace pitwall::testing {

class feed_files : public scratch_test {
protected:
    static std::string read(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// Every value the table stores, in order.
struct stored_values : value_tap {
    struct value {
        size_t channel;
        double number;
        int64_t arrived;
    };
    std::mutex mutex;
    std::vector<value> values;
    void on_value(size_t channel, double number, int64_t arrived) override {
        const std::lock_guard<std::mutex> lock(mutex);
        values.push_back({channel, number, arrived});
    }
    std::vector<value> taken() {
        const std::lock_guard<std::mutex> lock(mutex);
        return values;
    }
};

// Until `done()` holds, or ten seconds have passed: a feed's thread is never timed, only awaited.
template <typename Done> bool wait_until(Done done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A looped replay of a one-second log of two values, 1 at its start and 2 half a second in, played
// at speed 1000 into `table` (tapped by `tap`): it plays again until stopped, each pass in order and
// no value before its time. A pass lasts the log and one interval after its last value: 1 ms.
inline void expect_looped_passes(live_feed &feed, latest_values &table, stored_values &tap) {
    const int64_t before = feed_clock_ns();
    feed.start(table);
    ASSERT_TRUE(wait_until([&] { return feed.counted().datagrams >= 7; }));
    feed.stop();
    EXPECT_FALSE(feed.finished());
    const std::vector<stored_values::value> got = tap.taken();
    ASSERT_GE(got.size(), 7u);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].number, double(i % 2 + 1)) << i;
        EXPECT_GE(got[i].arrived - before, int64_t(i / 2) * 1000000 + int64_t(i % 2) * 500000) << i;
    }
}

// What a row of a table adds to a feed's counts.
inline void expect_added(const feed_totals &before, const feed_totals &after, const feed_totals &added) {
    EXPECT_EQ(after.datagrams - before.datagrams, added.datagrams);
    EXPECT_EQ(after.stored - before.stored, added.stored);
    EXPECT_EQ(after.unknown - before.unknown, added.unknown);
    EXPECT_EQ(after.bad - before.bad, added.bad);
    EXPECT_EQ(after.refused - before.refused, added.refused);
    EXPECT_EQ(after.foreign - before.foreign, added.foreign);
}

} // namespace pitwall::testing

#endif // PITWALL_TESTS_FEED_FILES_H
