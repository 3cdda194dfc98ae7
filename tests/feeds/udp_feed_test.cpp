// Live values over UDP on the loopback: datagrams read on the feed's thread into the table, bad
// ones counted; addresses that are no numeric address, and a port already taken, refused with why.
#include "pitwall/udp_feed.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace pitwall::testing {
namespace {

// Sends datagrams to 127.0.0.1:port, from 127.0.0.1 or another loopback address.
struct sender {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    explicit sender(uint16_t port, uint32_t from = INADDR_LOOPBACK) {
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(from);
        EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&source), sizeof source), 0);
    }
    ~sender() { ::close(fd); }
    void send(const std::string &bytes) {
        ASSERT_EQ(::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to),
                  ssize_t(bytes.size()));
    }
};

TEST(udp_feed, reads_datagrams_into_the_table_and_counts_the_bad_ones) {
    latest_values table({"rpm", "water"});
    udp_feed feed;
    ASSERT_EQ(feed.open("127.0.0.1", 0), "");
    ASSERT_NE(feed.port(), 0);
    feed.start(table);
    sender out(feed.port());
    out.send(R"({"rpm": 8720, "water": 92.4})");
    out.send("rpm=8740,boost=1");
    out.send("this is not a value");
    out.send(R"({"rpm": 8)");
    // Loopback datagrams arrive in order; wait for the feed to have read all four.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (feed.counted().datagrams < 4 && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    feed.stop();
    const feed_totals t = feed.counted();
    EXPECT_EQ(t.datagrams, 4u);
    EXPECT_EQ(t.stored, 3u);
    EXPECT_EQ(t.unknown, 1u);
    EXPECT_EQ(t.bad, 1u);     // "this is not a value": a pair without '='
    EXPECT_EQ(t.refused, 1u); // the JSON cut short
    EXPECT_EQ(table.read(0).value, 8740);
    EXPECT_EQ(table.read(0).stored, 2u);
    EXPECT_EQ(table.read(1).value, 92.4);
    EXPECT_GT(table.read(1).arrived_ns, 0);
}

// Wait until the feed has read `count` datagrams in all (or ten seconds have passed).
void wait_for(const udp_feed &feed, uint64_t count) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (feed.counted().datagrams < count && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(udp_feed, hostile_datagrams_are_counted_and_change_nothing) {
    // Each row is sent, then a good datagram; the row changes no value, and the feed goes on.
    std::string nested = R"({"rpm": )";
    for (int i = 0; i < 30000; ++i) nested += '[';
    std::string many_names = "{";
    for (int i = 0; i < 4000; ++i) many_names += "\"n" + std::to_string(i) + "\": 1,";
    many_names.back() = '}';
    const struct {
        const char *what;
        std::string bytes;
        bool from_elsewhere;
        feed_totals counted; // what the row adds
    } rows[] = {
        {"another sender", "rpm=1", true, {1, 0, 0, 0, 0, 1}},
        {"the largest datagram, all junk", std::string(65507, 'x'), false, {1, 0, 0, 1, 0, 0}},
        {"bytes that are no text", std::string("rpm\0=\xff\xfe,\x01", 10), false, {1, 0, 1, 1, 0, 0}},
        {"arrays nested 30 000 deep", nested, false, {1, 0, 0, 0, 1, 0}},
        {"4 000 names of no channel", many_names, false, {1, 0, 4000, 0, 0, 0}},
        {"infinity and not a number", "rpm=inf,rpm=nan,rpm=1e999", false, {1, 0, 0, 3, 0, 0}},
    };
    latest_values table({"rpm"});
    udp_feed feed;
    ASSERT_EQ(feed.open("127.0.0.1", 0), "");
    ASSERT_EQ(feed.allow_only("127.0.0.1"), "");
    EXPECT_NE(feed.allow_only("my-laptop").find("is not a numeric address"), std::string::npos);
    feed.start(table);
    sender good(feed.port()), elsewhere(feed.port(), INADDR_LOOPBACK + 1);
    double sent = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const feed_totals before = feed.counted();
        (row.from_elsewhere ? elsewhere : good).send(row.bytes);
        wait_for(feed, before.datagrams + 1);
        const feed_totals after = feed.counted();
        EXPECT_EQ(after.datagrams - before.datagrams, row.counted.datagrams);
        EXPECT_EQ(after.stored - before.stored, row.counted.stored);
        EXPECT_EQ(after.unknown - before.unknown, row.counted.unknown);
        EXPECT_EQ(after.bad - before.bad, row.counted.bad);
        EXPECT_EQ(after.refused - before.refused, row.counted.refused);
        EXPECT_EQ(after.foreign - before.foreign, row.counted.foreign);
        EXPECT_EQ(table.read(0).value, sent);
        good.send("rpm=" + std::to_string(int(++sent)));
        wait_for(feed, after.datagrams + 1);
        EXPECT_EQ(table.read(0).value, sent) << "the feed goes on";
    }
    // A flood: the feed reads on and keeps the last value; whatever the kernel dropped is gone,
    // and the value sent after it arrives.
    for (int i = 0; i < 20000; ++i) good.send("rpm=" + std::to_string(100000 + i));
    const auto quiet = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (uint64_t seen = 0; std::chrono::steady_clock::now() < quiet;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const uint64_t now = feed.counted().datagrams;
        if (now == seen) break;
        seen = now;
    }
    const uint64_t read = feed.counted().datagrams;
    good.send("rpm=7");
    wait_for(feed, read + 1);
    feed.stop();
    EXPECT_EQ(table.read(0).value, 7);
}

// The table's tap hears each value the feed stores, from the feed's thread, a datagram's values
// with one arrival time.
TEST(udp_feed, the_tap_hears_every_value_stored) {
    struct heard : value_tap {
        std::vector<std::tuple<size_t, double, int64_t>> values; // written by the feed's thread only
        void on_value(size_t channel, double value, int64_t arrived) override {
            values.emplace_back(channel, value, arrived);
        }
    } tap;
    latest_values table({"rpm", "water"});
    table.set_tap(&tap);
    udp_feed feed;
    ASSERT_EQ(feed.open("127.0.0.1", 0), "");
    EXPECT_EQ(feed.describe(), "udp 127.0.0.1:" + std::to_string(feed.port()));
    feed.start(table);
    sender out(feed.port());
    out.send("rpm=8720,water=92.4,boost=1");
    out.send(R"({"water": 93})");
    wait_for(feed, 2);
    feed.stop(); // joined: its writes are seen
    ASSERT_EQ(tap.values.size(), 3u);
    EXPECT_EQ(tap.values[0], std::make_tuple(size_t(0), 8720.0, std::get<2>(tap.values[1])));
    EXPECT_EQ(std::get<0>(tap.values[1]), 1u);
    EXPECT_EQ(std::get<1>(tap.values[1]), 92.4);
    EXPECT_EQ(tap.values[2], std::make_tuple(size_t(1), 93.0, table.read(1).arrived_ns));
    EXPECT_GE(std::get<2>(tap.values[2]), std::get<2>(tap.values[0]));
}

TEST(udp_feed, refuses_what_it_cannot_listen_on) {
    udp_feed first, second, named;
    ASSERT_EQ(first.open("127.0.0.1", 0), "");
    EXPECT_NE(second.open("127.0.0.1", first.port()).find("cannot listen on 127.0.0.1 port"), std::string::npos);
    EXPECT_NE(named.open("localhost", 0).find("\"localhost\" is not a numeric address"), std::string::npos);
    EXPECT_EQ(first.open("127.0.0.1", 0), "the feed is open already");
    first.stop(); // never started: nothing to join
}

} // namespace
} // namespace pitwall::testing
