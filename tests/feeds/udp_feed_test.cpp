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

namespace pitwall::testing {
namespace {

// Sends datagrams to 127.0.0.1:port.
struct sender {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    explicit sender(uint16_t port) {
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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
    const udp_feed::totals t = feed.counted();
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
