// A CAN bus read into the table: frames handed over as a raw CAN socket hands them (one end of a
// socketpair standing in for the socket, so that the whole path runs anywhere), classic and FD,
// standard and extended ids, decoded into the scene's channels; what is no value counted, error
// frames counted and said once per kind; a flood read through; the kernel filters asked for; a
// real virtual CAN interface when the kernel has one; and the sources opening their feeds.
#include "can_frames.h"
#include "feed_files.h"
#include "pitwall/can_feed.h"
#include "pitwall/candump_recorder.h"

#include <linux/can/error.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace pitwall::testing {
namespace {

// A feed reading one end of a socketpair; the test writes frames into the other.
struct paired_feed {
    can_feed feed;
    int bus = -1; // the test's end

    explicit paired_feed(const can::database &db, candump_recorder *raw = nullptr) {
        int ends[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        EXPECT_EQ(feed.want(db, test_signals(), raw), "");
        EXPECT_EQ(feed.open_fd(ends[0], "test0"), "");
        bus = ends[1];
    }
    ~paired_feed() {
        feed.stop();
        ::close(bus);
    }
    void send(const std::string &record) const {
        ASSERT_EQ(::send(bus, record.data(), record.size(), 0), ssize_t(record.size()));
    }
};

TEST(can_feed, frames_are_decoded_into_the_channels_and_the_rest_counted) {
    const can::database db = test_database();
    latest_values table(test_channels);
    paired_feed bus(db);
    EXPECT_EQ(bus.feed.describe(), "can test0");
    bus.feed.start(table);

    std::vector<uint8_t> fd64(64, 0);
    fd64[60] = 0xE8; // 1000 raw: 100 bar
    fd64[61] = 0x03;
    const struct {
        const char *what;
        std::string record;
        feed_totals added;                              // datagrams, stored, unknown, bad, refused, foreign, errors
        std::vector<std::pair<size_t, double>> values;  // the channels' values after it
        std::vector<std::string> notes;
    } cases[] = {
        {"classic, standard id", classic_frame(0x100, {0x20, 0x22, 0x84, 0, 0, 0, 0, 0}), {1, 2, 0, 0, 0, 0, 0},
         {{0, 8736}, {1, 92}}, {}},
        {"too short for water: rpm taken, the frame bad", classic_frame(0x100, {0x10, 0x27}), {1, 1, 0, 1, 0, 0, 0},
         {{0, 10000}, {1, 92}}, {}},
        {"extended id", classic_frame(CAN_EFF_FLAG | 0x1234567, {0x10, 0x27}), {1, 1, 0, 0, 0, 0, 0}, {{2, 100}}, {}},
        {"extended 0x100 is not ENGINE", classic_frame(CAN_EFF_FLAG | 0x100, {1, 2, 3}), {1, 0, 1, 0, 0, 0, 0},
         {{0, 10000}}, {}},
        {"CAN FD, 64 bytes", fd_frame(0x400, fd64), {1, 1, 0, 0, 0, 0, 0}, {{3, 100}}, {}},
        {"CAN FD carrying ENGINE", fd_frame(0x100, {0x01, 0x00, 0x28}), {1, 2, 0, 0, 0, 0, 0}, {{0, 1}, {1, 0}}, {}},
        {"a known message no channel reads", classic_frame(0x300, {7}), {1, 0, 0, 0, 0, 0, 0}, {}, {}},
        {"an id the database does not know", classic_frame(0x7FF, {7}), {1, 0, 1, 0, 0, 0, 0}, {}, {}},
        {"a remote request", classic_frame(CAN_RTR_FLAG | 0x100, {}, 8), {1, 0, 0, 0, 0, 0, 0}, {{0, 1}}, {}},
        {"a classic frame of 9 bytes", classic_frame(0x100, {1, 2, 3, 4, 5, 6, 7, 8}, 9), {1, 0, 0, 0, 1, 0, 0},
         {{0, 1}}, {}},
        {"a record of no frame's size", std::string(10, '\1'), {1, 0, 0, 0, 1, 0, 0}, {}, {}},
        {"a record longer than a CAN FD frame", std::string(sizeof(canfd_frame) + 8, '\1'), {1, 0, 0, 0, 1, 0, 0},
         {}, {}},
        {"bus off", classic_frame(CAN_ERR_FLAG | CAN_ERR_BUSOFF, {0, 0, 0, 0, 0, 0, 0, 0}), {1, 0, 0, 0, 0, 0, 1}, {},
         {"error frame: bus off"}},
        {"bus off again: counted only", classic_frame(CAN_ERR_FLAG | CAN_ERR_BUSOFF, {0, 0, 0, 0, 0, 0, 0, 0}),
         {1, 0, 0, 0, 0, 0, 1}, {}, {}},
        {"a controller gone error passive",
         classic_frame(CAN_ERR_FLAG | CAN_ERR_CRTL, {0, CAN_ERR_CRTL_RX_PASSIVE, 0, 0, 0, 0, 0, 0}), {1, 0, 0, 0, 0, 0, 1},
         {}, {"error frame: controller problem (receive error passive)"}},
        {"bus off with no acknowledgement: the new kind said",
         classic_frame(CAN_ERR_FLAG | CAN_ERR_BUSOFF | CAN_ERR_ACK, {0, 0, 0, 0, 0, 0, 0, 0}), {1, 0, 0, 0, 0, 0, 1},
         {}, {"error frame: no acknowledgement"}},
        {"values still come after errors", classic_frame(0x100, {0x30, 0x75, 0x28}), {1, 2, 0, 0, 0, 0, 0},
         {{0, 30000}, {1, 0}}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const feed_totals before = bus.feed.counted();
        const int64_t sent = feed_clock_ns();
        bus.send(c.record);
        ASSERT_TRUE(wait_until([&] { return bus.feed.counted().datagrams == before.datagrams + 1; }));
        const feed_totals after = bus.feed.counted();
        expect_added(before, after, c.added);
        EXPECT_EQ(after.errors - before.errors, c.added.errors);
        for (const auto &[channel, value] : c.values) EXPECT_EQ(table.read(channel).value, value) << test_channels[channel];
        // Stamped with the feed clock as read (the first channel listed is one the frame carries).
        if (c.added.stored != 0) {
            EXPECT_GE(table.read(c.values.front().first).arrived_ns, sent);
        }
        EXPECT_EQ(bus.feed.take_notes(), c.notes);
    }
}

TEST(can_feed, a_flood_is_read_through_keeping_the_latest_values) {
    const can::database db = test_database();
    latest_values table(test_channels);
    paired_feed bus(db);
    bus.feed.start(table);
    constexpr int frames = 100000;
    // The socket's buffer holds a few hundred frames: the sender waits on the reader, as a bus
    // that floods the kernel's queue does, and the feed holds one frame at a time whatever comes.
    std::thread sender([&] {
        for (int i = 0; i < frames; ++i)
            bus.send(classic_frame(0x100, {uint8_t(i & 0xFF), uint8_t(i >> 8 & 0x3F), uint8_t(i % 200)}));
    });
    sender.join();
    ASSERT_TRUE(wait_until([&] { return bus.feed.counted().datagrams == frames; }));
    const feed_totals t = bus.feed.counted();
    EXPECT_EQ(t.stored, 2u * frames);
    EXPECT_EQ(t.unknown + t.bad + t.refused + t.errors, 0u);
    const int last = frames - 1;
    EXPECT_EQ(table.read(0).value, double(last & 0x3FFF));
    EXPECT_EQ(table.read(0).stored, uint64_t(frames));
    EXPECT_EQ(table.read(1).value, double(last % 200 - 40));
}

TEST(can_feed, the_kernel_filter_takes_the_wanted_identifiers_only) {
    const can::database db = test_database();
    // Many messages, one signal each: past the kernel's bound, every frame is taken.
    std::string many = "VERSION \"\"\nBU_: ECU\n";
    std::vector<signal_channel> every;
    for (size_t i = 0; i <= can_feed::max_filters; ++i) {
        many += "BO_ " + std::to_string(i) + " M" + std::to_string(i) + ": 1 ECU\n SG_ s" + std::to_string(i) +
                " : 0|8@1+ (1,0) [0|255] \"\" ECU\n";
        every.push_back({"c" + std::to_string(i), "M" + std::to_string(i), "s" + std::to_string(i)});
    }
    can::database big;
    std::string why;
    ASSERT_TRUE(can::parse_dbc(many, "many.dbc", big, &why)) << why;
    candump_recorder recorder; // only its address matters: frames are recorded
    constexpr uint32_t standard = CAN_SFF_MASK | CAN_EFF_FLAG | CAN_RTR_FLAG;
    constexpr uint32_t extended = CAN_EFF_MASK | CAN_EFF_FLAG | CAN_RTR_FLAG;
    const struct {
        const char *what;
        const can::database &db;
        std::vector<signal_channel> signals;
        candump_recorder *raw;
        bool filtered;
        std::vector<std::pair<uint32_t, uint32_t>> filters; // id, mask
    } cases[] = {
        {"the scene's signals", db, test_signals(), nullptr, true,
         {{0x100, standard}, {0x400, standard}, {CAN_EFF_FLAG | 0x1234567, extended}}},
        {"one message read twice, once", db, {{"rpm", "ENGINE", "rpm"}, {"water", "ENGINE", "water"}}, nullptr, true,
         {{0x100, standard}}},
        {"no signal: no frame, errors still", db, {}, nullptr, true, {}},
        {"recorded: the whole bus", db, test_signals(), &recorder, false, {}},
        {"more identifiers than the kernel takes", big, every, nullptr, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        can_feed feed;
        ASSERT_EQ(feed.want(c.db, c.signals, c.raw), "");
        EXPECT_EQ(feed.filtered(), c.filtered);
        std::vector<std::pair<uint32_t, uint32_t>> got;
        for (const can_filter &f : feed.filters()) got.emplace_back(f.can_id, f.can_mask);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.filters);
    }
}

TEST(can_feed, signals_the_database_lacks_are_named) {
    const can::database db = test_database();
    const struct {
        signal_channel signal;
        std::string message;
    } cases[] = {
        {{"rpm", "ENGIN", "rpm"}, "channel \"rpm\": no message \"ENGIN\" (did you mean \"ENGINE\"?)"},
        {{"rpm", "ENGINE", "rmp"}, "channel \"rpm\": message \"ENGINE\" has no signal \"rmp\" (did you mean \"rpm\"?)"},
        {{"rpm", "", "rmp"}, "channel \"rpm\": no message has a signal \"rmp\" (did you mean \"rpm\"?)"},
    };
    for (const auto &c : cases) {
        can_feed feed;
        EXPECT_EQ(feed.want(db, {c.signal}), c.message);
    }
    // A signal in two messages needs its message.
    can::database twice;
    std::string why;
    ASSERT_TRUE(can::parse_dbc("BO_ 1 A: 1 E\n SG_ x : 0|8@1+ (1,0) [0|0] \"\" E\nBO_ 2 B: 1 E\n"
                               " SG_ x : 0|8@1+ (1,0) [0|0] \"\" E\n",
                               "twice.dbc", twice, &why))
        << why;
    EXPECT_EQ(can_feed().want(twice, {{"x", "", "x"}}),
              "channel \"x\": signal \"x\" is in more than one message (\"A\", \"B\"): name its message");
    EXPECT_EQ(can_feed().want(twice, {{"x", "B", "x"}}), "");
}

// A virtual CAN interface of the test's own, when the kernel has the vcan driver and the test may
// make one (root): the kernel's own filter, FD and error frames on the way.
class vcan_test : public ::testing::Test {
protected:
    std::string iface = "pwtest" + std::to_string(::getpid() % 100000);
    void SetUp() override {
        const int probe = ::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW);
        if (probe < 0) GTEST_SKIP() << "the kernel has no CAN sockets: " << std::strerror(errno);
        ::close(probe);
        // CAN FD frames need the FD frame's size as the interface's MTU, set while it is down.
        const std::string add = "ip link add dev " + iface + " type vcan 2>/dev/null && ip link set " + iface +
                                " mtu 72 2>/dev/null && ip link set " + iface + " up 2>/dev/null";
        if (std::system(add.c_str()) != 0 || ::if_nametoindex(iface.c_str()) == 0)
            GTEST_SKIP() << "no virtual CAN interface: the kernel has no vcan driver, or the test may not add links "
                            "(not root)";
    }
    void TearDown() override {
        if (::if_nametoindex(iface.c_str()) != 0) {
            EXPECT_EQ(std::system(("ip link del dev " + iface + " 2>/dev/null").c_str()), 0);
        }
    }
};

TEST_F(vcan_test, a_virtual_bus_is_read_through_the_kernels_filter) {
    const can::database db = test_database();
    latest_values table(test_channels);
    can_feed feed;
    ASSERT_EQ(feed.want(db, test_signals()), "");
    ASSERT_EQ(feed.open(iface), "");
    EXPECT_EQ(feed.describe(), "can " + iface);
    feed.start(table);
    const int sender = ::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW);
    ASSERT_GE(sender, 0);
    const int on = 1;
    ::setsockopt(sender, SOL_CAN_RAW, CAN_RAW_FD_FRAMES, &on, sizeof on);
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = int(::if_nametoindex(iface.c_str()));
    ASSERT_EQ(::bind(sender, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    std::vector<uint8_t> fd64(64, 0);
    fd64[60] = 0xE8;
    fd64[61] = 0x03;
    // The unwanted ones first: the kernel drops them, so that the feed takes only the two after.
    for (const std::string &frame :
         {classic_frame(0x300, {7}), classic_frame(0x7FF, {7}), classic_frame(CAN_EFF_FLAG | 0x100, {1, 2}),
          classic_frame(0x100, {0x20, 0x22, 0x84}), fd_frame(0x400, fd64)})
        ASSERT_EQ(::write(sender, frame.data(), frame.size()), ssize_t(frame.size()));
    ::close(sender);
    ASSERT_TRUE(wait_until([&] { return feed.counted().datagrams >= 2; }));
    feed.stop();
    const feed_totals t = feed.counted();
    EXPECT_EQ(t.datagrams, 2u);
    EXPECT_EQ(t.stored, 3u);
    EXPECT_EQ(table.read(0).value, 8736);
    EXPECT_EQ(table.read(1).value, 92);
    EXPECT_EQ(table.read(3).value, 100);
}

class open_can_feed : public feed_files {};

TEST_F(open_can_feed, can_specs_need_a_database_and_an_interface_that_is_there) {
    const can::database db = test_database();
    feed_context context;
    std::string why;
    for (const std::string kind : {"can", "candump"}) {
        const std::string text = kind + (kind == "can" ? ":can0" : ":" + dir + "/day.log");
        EXPECT_FALSE(open_feed(*parse_feed_source(text, nullptr), context, &why));
        EXPECT_EQ(why, "feed \"" + text + "\": a " + kind +
                           ": feed needs a signal database: --feed-dbc FILE or \"dbc\" in the scene's feeds");
        EXPECT_FALSE(open_feed(*parse_feed_source(text, nullptr), &why)); // the form without a context
    }
    context.dbc = &db;
    context.signals = test_signals();
    EXPECT_FALSE(open_feed(*parse_feed_source("can:pwnosuch0", nullptr), context, &why));
    EXPECT_EQ(why, "feed \"can:pwnosuch0\": no interface \"pwnosuch0\": No such device");
    const std::string log = write("day.log", "(1.000000) can0 100#2022\n");
    const std::unique_ptr<live_feed> replay =
        open_feed(*parse_feed_source("candump:" + log + "?loop&speed=2", nullptr), context, &why);
    ASSERT_TRUE(replay) << why;
    EXPECT_EQ(replay->describe(), "candump " + log + " looped at speed 2");
    context.signals.push_back({"oil", "ENGINE", "oil"});
    EXPECT_FALSE(open_feed(*parse_feed_source("candump:" + log, nullptr), context, &why));
    EXPECT_EQ(why, "feed \"candump:" + log + "\": channel \"oil\": message \"ENGINE\" has no signal \"oil\"");
}

} // namespace
} // namespace pitwall::testing
