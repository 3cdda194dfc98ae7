// Live values: datagrams of JSON or name=value pairs read into the table of latest values, what is
// not a value counted and never fatal; a burst keeps the last value of each channel; writers on
// other threads never leave a reader with a value nobody sent.
#include "pitwall/feed_datagram.h"
#include "pitwall/latest_values.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace pitwall::testing {
namespace {

TEST(feed_values, datagrams_store_what_they_can_and_count_the_rest) {
    const struct {
        const char *what;
        std::string bytes;
        size_t stored, unknown, bad;
        bool refused;
        double rpm, water; // after the datagram; NAN: never stored
    } cases[] = {
        {"a JSON object", R"({"rpm": 8720, "water": 92.4})", 2, 0, 0, false, 8720, 92.4},
        {"JSON after white space", "\r\n {\"rpm\": -1.5e3}", 1, 0, 0, false, -1500, NAN},
        {"pairs", "rpm=8720,water=92.4\n", 2, 0, 0, false, 8720, 92.4},
        {"pairs on lines and semicolons", " rpm = 8720 ;\r\nwater=7", 2, 0, 0, false, 8720, 7},
        {"an unknown channel", R"({"rpm": 1, "boost": 2})", 1, 1, 0, false, 1, NAN},
        {"a text where a number goes", R"({"rpm": "fast", "water": null})", 0, 0, 2, false, NAN, NAN},
        {"a number too large for a double", R"({"rpm": 1e999, "water": 1})", 0, 0, 0, true, NAN, NAN},
        {"pairs that are not numbers", "rpm=nan,water=12x,boost=3,oil", 0, 1, 3, false, NAN, NAN},
        {"not JSON", R"({"rpm": 8720)", 0, 0, 0, true, NAN, NAN},
        {"a JSON array", "[1, 2]", 0, 0, 0, true, NAN, NAN},
        {"an empty object", "{}", 0, 0, 0, true, NAN, NAN},
        {"nothing", " \n", 0, 0, 0, true, NAN, NAN},
        {"too long", "rpm=1," + std::string(max_datagram_bytes, ' '), 0, 0, 0, true, NAN, NAN},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        latest_values table({"rpm", "water", "oil"});
        const datagram_counts counts = read_datagram(c.bytes, table, 42);
        EXPECT_EQ(counts.stored, c.stored);
        EXPECT_EQ(counts.unknown, c.unknown);
        EXPECT_EQ(counts.bad, c.bad);
        EXPECT_EQ(counts.refused, c.refused);
        for (const auto &[channel, expected] : {std::pair{"rpm", c.rpm}, std::pair{"water", c.water}}) {
            const latest_values::reading r = table.read(size_t(table.index_of(channel)));
            if (std::isnan(expected)) {
                EXPECT_EQ(r.stored, 0u) << channel;
            } else {
                EXPECT_EQ(r.value, expected) << channel;
                EXPECT_EQ(r.arrived_ns, 42) << channel;
            }
        }
    }
}

TEST(feed_values, a_burst_keeps_the_last_value_and_counts_them_all) {
    latest_values table({"rpm", "rpm", "water"}); // a repeated name is one channel
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.index_of("water"), 1);
    EXPECT_EQ(table.index_of("boost"), -1);
    for (int i = 0; i < 1000; ++i) read_datagram("rpm=" + std::to_string(i), table, i);
    const latest_values::reading r = table.read(0);
    EXPECT_EQ(r.value, 999);
    EXPECT_EQ(r.arrived_ns, 999);
    EXPECT_EQ(r.stored, 1000u);
    EXPECT_EQ(table.read(1).stored, 0u);
    EXPECT_EQ(table.read(7).stored, 0u); // past the table: nothing
}

TEST(feed_values, readers_see_only_values_that_were_sent) {
    // Two writers store whole numbers on one channel while a reader reads; every value read was
    // stored, and the count only grows.
    latest_values table({"rpm"});
    std::atomic<bool> done{false};
    auto writer = [&](int from) {
        for (int i = 0; i < 20000; ++i) table.store(0, double(from + i), i);
    };
    std::thread a(writer, 0), b(writer, 1000000);
    uint64_t last = 0;
    bool torn = false, backwards = false;
    std::thread reader([&] {
        while (!done.load()) {
            const latest_values::reading r = table.read(0);
            if (r.stored != 0 && (r.value != std::floor(r.value) || r.value < 0 || r.value >= 1020000)) torn = true;
            if (r.stored < last) backwards = true;
            last = r.stored;
        }
    });
    a.join();
    b.join();
    done = true;
    reader.join();
    EXPECT_FALSE(torn);
    EXPECT_FALSE(backwards);
    EXPECT_EQ(table.read(0).stored, 40000u);
}

} // namespace
} // namespace pitwall::testing
