// A candump log replayed into the table at its own pace (divided by the speed), looped, its lines
// that are no frame refused and the first said; raw frames recorded as a candump log only into a
// new file, and a recording replayed giving the same values as the bus it heard.
#include "can_frames.h"
#include "feed_files.h"
#include "pitwall/can_feed.h"
#include "pitwall/candump_feed.h"
#include "pitwall/candump_recorder.h"

#include <linux/can/error.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <sstream>

namespace pitwall::testing {
namespace {

class candump_feed_test : public feed_files {};

TEST_F(candump_feed_test, frames_arrive_in_order_at_the_logs_pace) {
    const std::string log = write("day.log", "(1700000000.000000) can0 100#204E84\n"     // rpm 20000, water 92
                                             "(1700000000.500000) can0 01234567#1027\n"  // speed 100
                                             "\n"
                                             "(1700000000.400000) can0 7FF#00\r\n"        // earlier: at once; unknown
                                             "(1700000000.6) can0 100#\n"                 // too short for both
                                             "can0 100#2022\n"                            // no time: refused
                                             "(1700000001.000000) can0 20000040#0000000000000000\n" // bus off
                                             "(1700000001.500000) can1 400##1" + std::string(120, '0') + "E8030000\n"
                                             "(1700000001.500000) can0 100#R\n");
    const can::database db = test_database();
    latest_values table(test_channels);
    stored_values tap;
    table.set_tap(&tap);
    candump_feed feed;
    ASSERT_EQ(feed.want(db, test_signals()), "");
    ASSERT_EQ(feed.open(log, false, 100), "");
    EXPECT_EQ(feed.frames(), 7u);
    EXPECT_EQ(feed.duration(), 1.5);
    EXPECT_EQ(feed.describe(), "candump " + log + " at speed 100");
    const int64_t before = feed_clock_ns();
    feed.start(table);
    ASSERT_TRUE(wait_until([&] { return feed.finished(); }));
    feed.stop();

    const feed_totals t = feed.counted();
    EXPECT_EQ(t.datagrams, 8u); // the blank line is none
    EXPECT_EQ(t.stored, 4u);
    EXPECT_EQ(t.unknown, 1u);
    EXPECT_EQ(t.bad, 1u);
    EXPECT_EQ(t.refused, 1u);
    EXPECT_EQ(t.errors, 1u);
    EXPECT_EQ(feed.take_notes(), (std::vector<std::string>{
                                     log + ":6: column 1: expected '(' and the time (lines that are no frame are "
                                           "counted as refused)",
                                     "error frame: bus off"}));
    const std::vector<stored_values::value> got = tap.taken();
    const struct {
        size_t channel;
        double number;
        double time; // in the log, from its first frame
    } expected[] = {{0, 20000, 0}, {1, 92, 0}, {2, 100, 0.5}, {3, 100, 1.5}};
    ASSERT_EQ(got.size(), std::size(expected));
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].channel, expected[i].channel);
        EXPECT_EQ(got[i].number, expected[i].number);
        EXPECT_GE(got[i].arrived - before, int64_t(expected[i].time / 100 * 1e9));
        if (i > 0) {
            EXPECT_GE(got[i].arrived, got[i - 1].arrived);
        }
    }
}

TEST_F(candump_feed_test, a_looped_log_plays_again_until_stopped) {
    const std::string log = write("lap.log", "(10.000000) can0 100#0100\n(10.500000) can0 100#0200\n");
    const can::database db = test_database();
    latest_values table(test_channels);
    stored_values tap;
    table.set_tap(&tap);
    candump_feed feed;
    ASSERT_EQ(feed.want(db, {{"rpm", "ENGINE", "rpm"}}), "");
    ASSERT_EQ(feed.open(log, true, 1000), "");
    EXPECT_EQ(feed.describe(), "candump " + log + " looped at speed 1000");
    expect_looped_passes(feed, table, tap);
}

TEST_F(candump_feed_test, a_log_that_cannot_play_is_refused_at_open) {
    const std::string none = write("none.log", "can0 100#00\n\n(x) can0 100#00\n(1.0) can0 " + std::string(2000, '1') + "\n");
    EXPECT_EQ(candump_feed().open(none), none + ": no frame in the log (lines such as "
                                                "\"(1700000000.000000) can0 123#DEADBEEF\")");
    EXPECT_EQ(candump_feed().open(dir + "/missing.log"), dir + "/missing.log: No such file or directory");
    EXPECT_EQ(candump_feed().open(dir), dir + ": not a regular file");
    const std::string good = write("good.log", "(1.0) can0 100#00");
    for (double speed : {0.0, -1.0, 1001.0, std::nan("")})
        EXPECT_EQ(candump_feed().open(good, false, speed).find("speed "), 0u) << speed;
    candump_feed twice;
    ASSERT_EQ(twice.open(good), "");
    EXPECT_EQ(twice.frames(), 1u); // the last line needs no line end
    EXPECT_EQ(twice.open(good), "the feed is open already");
}

class candump_recorder_test : public feed_files {};

TEST_F(candump_recorder_test, only_a_new_file_is_written) {
    const std::string precious = write("day.log", "(1.0) can0 100#00\n");
    std::filesystem::create_symlink(precious, dir + "/link.log");
    const struct {
        std::string name, message; // after the path
    } cases[] = {
        {"day.log", " exists already: a recording goes to a new file only"},
        {"link.log", " is a symbolic link: a recording goes to a new file only"},
        {"no/such/folder.log", ": No such file or directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        candump_recorder recorder;
        EXPECT_EQ(recorder.open(dir + "/" + c.name), dir + "/" + c.name + c.message);
        can::can_frame_record frame;
        frame.iface = "can0";
        recorder.record(frame);
        EXPECT_EQ(recorder.dropped(), 1u);
        EXPECT_EQ(recorder.close(), "");
    }
    EXPECT_EQ(read(precious), "(1.0) can0 100#00\n");
    candump_recorder twice;
    ASSERT_EQ(twice.open(dir + "/new.log"), "");
    EXPECT_EQ(twice.open(dir + "/other.log"), "the recording is open already");
}

TEST_F(candump_recorder_test, frames_heard_replay_as_the_same_values) {
    const can::database db = test_database();
    const std::string path = dir + "/heard.log";
    candump_recorder recorder;
    ASSERT_EQ(recorder.open(path), "");

    // Heard: frames through the socket stand-in, every one recorded as the kernel stamped it.
    latest_values live(test_channels);
    stored_values heard;
    live.set_tap(&heard);
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    can_feed bus;
    ASSERT_EQ(bus.want(db, test_signals(), &recorder), "");
    ASSERT_EQ(bus.open_fd(ends[0], "can0"), "");
    EXPECT_FALSE(bus.filtered());
    bus.start(live);
    std::vector<uint8_t> fd64(64, 0xAA);
    fd64[60] = 0x34;
    fd64[61] = 0x12;
    const std::string frames[] = {
        classic_frame(0x100, {0x20, 0x22, 0x84, 1, 2, 3, 4, 5}),
        classic_frame(CAN_EFF_FLAG | 0x1234567, {0x10, 0x27}),
        fd_frame(0x400, fd64, CANFD_BRS | CANFD_ESI),
        classic_frame(0x7FF, {}),
        classic_frame(CAN_RTR_FLAG | 0x100, {}, 2),
        classic_frame(CAN_ERR_FLAG | CAN_ERR_CRTL, {0, CAN_ERR_CRTL_TX_PASSIVE, 0, 0, 0, 0, 0, 0}),
        classic_frame(0x100, {0xFF, 0x3F, 0x00}),
    };
    for (const std::string &f : frames) ASSERT_EQ(::send(ends[1], f.data(), f.size(), 0), ssize_t(f.size()));
    ASSERT_TRUE(wait_until([&] { return bus.counted().datagrams == std::size(frames); }));
    bus.stop();
    ::close(ends[1]);
    EXPECT_EQ(recorder.frames(), std::size(frames));
    ASSERT_EQ(recorder.close(), "");

    // Each frame a line, in the order heard, at the time the socket stamped it.
    const std::string text = read(path);
    const std::regex line(R"(\(\d+\.\d{6}\) can0 (.*))");
    const std::string bodies[] = {"100#2022840102030405", "01234567#1027", "400##3" + std::string(120, 'A') + "3412AAAA",
                                  "7FF#", "100#R2", "20000004#0020000000000000", "100#FF3F00"};
    std::istringstream lines(text);
    std::string one;
    for (const std::string &body : bodies) {
        ASSERT_TRUE(std::getline(lines, one));
        std::smatch m;
        ASSERT_TRUE(std::regex_match(one, m, line)) << one;
        EXPECT_EQ(m[1], body);
    }
    EXPECT_FALSE(std::getline(lines, one));

    // Replayed: the same values, in the same order.
    latest_values replayed(test_channels);
    stored_values played;
    replayed.set_tap(&played);
    candump_feed replay;
    ASSERT_EQ(replay.want(db, test_signals()), "");
    ASSERT_EQ(replay.open(path, false, 1000), "");
    replay.start(replayed);
    ASSERT_TRUE(wait_until([&] { return replay.finished(); }));
    replay.stop();
    const auto a = heard.taken(), b = played.taken();
    ASSERT_EQ(a.size(), 6u); // rpm and water twice, speed, brake
    ASSERT_EQ(b.size(), a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(b[i].channel, a[i].channel) << i;
        EXPECT_EQ(b[i].number, a[i].number) << i;
    }
    EXPECT_EQ(replayed.read(3).value, 466); // 0x1234 tenths of a bar
    const feed_totals live_counts = bus.counted(), replay_counts = replay.counted();
    EXPECT_EQ(replay_counts.datagrams, live_counts.datagrams);
    EXPECT_EQ(replay_counts.unknown, live_counts.unknown);
    EXPECT_EQ(replay_counts.errors, live_counts.errors);
    EXPECT_EQ(replay.take_notes(), bus.take_notes());
}

} // namespace
} // namespace pitwall::testing
