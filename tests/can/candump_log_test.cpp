// Lines of a candump log: each kind of frame read and written back the same, malformed lines
// refused at their column.
#include "pitwall/candump_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

using namespace pitwall::can;

TEST(candump_log, frames_read_and_write_back_the_same) {
    const struct {
        const char *line;
        double time;
        const char *iface;
        uint32_t id;
        bool extended, fd, remote, error;
        uint8_t flags;
        std::vector<uint8_t> data;
        uint8_t length; // a remote request's: the length it asks for
    } cases[] = {
        {"(1700000000.123456) can0 123#DEADBEEF", 1700000000.123456, "can0", 0x123, false, false, false, false, 0,
         {0xDE, 0xAD, 0xBE, 0xEF}, 4},
        {"(0.000000) vcan0 7FF#", 0, "vcan0", 0x7FF, false, false, false, false, 0, {}, 0},
        {"(12.345678) can1 1F334455#0011223344556677", 12.345678, "can1", 0x1F334455, true, false, false, false, 0,
         {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}, 8},
        {"(1.000000) can0 00000123#01", 1, "can0", 0x123, true, false, false, false, 0, {1}, 1},
        {"(2.500000) can0 123#R", 2.5, "can0", 0x123, false, false, true, false, 0, {}, 0},
        {"(2.500000) can0 00000123#R5", 2.5, "can0", 0x123, true, false, true, false, 0, {}, 5},
        {"(3.000000) can0 123##1DEADBEEF", 3, "can0", 0x123, false, true, false, false, 1, {0xDE, 0xAD, 0xBE, 0xEF}, 4},
        {"(3.000000) can0 12345678##3", 3, "can0", 0x12345678, true, true, false, false, 3, {}, 0},
        {"(4.000000) can0 20000004#0004000000000000", 4, "can0", 4, false, false, false, true, 0,
         {0, 4, 0, 0, 0, 0, 0, 0}, 8},
        {"(4.000000) a-very-long-ifa 123#00", 4, "a-very-long-ifa", 0x123, false, false, false, false, 0, {0}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        can_frame_record f;
        std::string why;
        ASSERT_TRUE(parse_candump_line(c.line, f, &why)) << why;
        EXPECT_EQ(f.time, c.time);
        EXPECT_EQ(f.iface, c.iface);
        EXPECT_EQ(f.id, c.id);
        EXPECT_EQ(f.extended, c.extended);
        EXPECT_EQ(f.fd, c.fd);
        EXPECT_EQ(f.remote, c.remote);
        EXPECT_EQ(f.error, c.error);
        EXPECT_EQ(f.flags, c.flags);
        EXPECT_EQ(f.length, c.length);
        EXPECT_EQ(std::vector<uint8_t>(f.data.begin(), f.data.begin() + (f.remote ? 0 : f.length)), c.data);
        EXPECT_EQ(candump_line(f), c.line);
    }

    // A CAN FD frame of 64 bytes, its line end, lower-case digits, dots between bytes, a
    // classic frame's DLC and the direction read; the line written back is candump's own.
    const struct {
        std::string line, written;
    } others[] = {
        {"(5.000000) can0 123##0" + std::string(128, 'a') + "\n", "(5.000000) can0 123##0" + std::string(128, 'A')},
        {"(5.000000) can0 1ab#de.ad.be.ef\r\n", "(5.000000) can0 1AB#DEADBEEF"},
        {"(5.000000)  can0\t123#1122334455667788_C", "(5.000000) can0 123#1122334455667788"},
        {"(5.000000) can0 123#11 T", "(5.000000) can0 123#11"},
        {"(5.000000) can0 123#11 R", "(5.000000) can0 123#11"},
        {"(1700000000.1) can0 123#11", "(1700000000.100000) can0 123#11"},
    };
    for (const auto &o : others) {
        SCOPED_TRACE(o.line);
        can_frame_record f;
        std::string why;
        ASSERT_TRUE(parse_candump_line(o.line, f, &why)) << why;
        EXPECT_EQ(candump_line(f), o.written);
    }

    // A time as long as a double gets is written whole, and reads back as the same time.
    can_frame_record far, again;
    std::string why;
    ASSERT_TRUE(parse_candump_line("(1" + std::string(308, '0') + ".5) can0 123#11", far, &why)) << why;
    const std::string written = candump_line(far);
    EXPECT_TRUE(written.ends_with(".000000) can0 123#11")) << written;
    ASSERT_TRUE(parse_candump_line(written, again, &why)) << why;
    EXPECT_EQ(again.time, far.time);
}

TEST(candump_log, malformed_lines_are_refused_at_their_column) {
    const struct {
        std::string line, error;
    } cases[] = {
        {"", "column 1: expected '(' and the time"},
        {"1700000000.1 can0 123#11", "column 1: expected '(' and the time"},
        {"(1700000000.1 can0 123#11", "column 26: expected ')' after the time"},
        {"(17x) can0 123#11", "column 2: the time \"17x\" is not seconds such as 1700000000.123456"},
        {"() can0 123#11", "column 2: the time \"\" is not seconds such as 1700000000.123456"},
        {"(-1.0) can0 123#11", "column 2: the time \"-1.0\" is not seconds such as 1700000000.123456"},
        {"(1.0)can0 123#11", "column 6: expected a space and the interface"},
        {"(1.0) can0", "column 11: expected a space and the frame"},
        {"(1.0) a-sixteen-byte-ifa 123#11", "column 7: an interface name is at most 15 bytes"},
        {"(1.0) can0 12#11", "column 12: expected an id of 3 or 8 hex digits and '#'"},
        {"(1.0) can0 1234#11", "column 12: expected an id of 3 or 8 hex digits and '#'"},
        {"(1.0) can0 123456789#11", "column 12: expected an id of 3 or 8 hex digits and '#'"},
        {"(1.0) can0 123 11", "column 12: expected an id of 3 or 8 hex digits and '#'"},
        {"(1.0) can0 800#11", "column 12: an 11-bit id is at most 7FF"},
        {"(1.0) can0 40000000#11", "column 12: a 29-bit id is at most 1FFFFFFF"},
        {"(1.0) can0 60000000#11", "column 12: an error frame's id has no bits above 0x3FFFFFFF"},
        {"(1.0) can0 123#1", "column 16: expected data bytes as pairs of hex digits"},
        {"(1.0) can0 123#1G", "column 16: expected data bytes as pairs of hex digits"},
        {"(1.0) can0 123#.11", "column 16: expected data bytes as pairs of hex digits"},
        {"(1.0) can0 123#112233445566778899", "column 32: more than 8 data bytes"},
        {"(1.0) can0 123##", "column 17: expected the CAN FD flags (one hex digit)"},
        {"(1.0) can0 123##0" + std::string(130, '0'), "column 146: more than 64 data bytes"},
        {"(1.0) can0 20000004##0", "column 21: an error frame is not a CAN FD frame"},
        {"(1.0) can0 20000004#R", "column 21: an error frame is not a remote request"},
        {"(1.0) can0 123#11_C", "column 19: a DLC after '_' is 9 to F, after 8 bytes of a classic frame"},
        {"(1.0) can0 123#1122334455667788_8", "column 33: a DLC after '_' is 9 to F, after 8 bytes of a classic frame"},
        {"(1.0) can0 123#R9", "column 17: unexpected \"9\" after the frame"},
        {"(1.0) can0 123#11 X", "column 19: unexpected \"X\" after the frame"},
        {"(1.0) can0 123#11 T more", "column 19: unexpected \"T more\" after the frame"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        can_frame_record f;
        f.id = 99; // left as it was
        std::string why;
        EXPECT_FALSE(parse_candump_line(c.line, f, &why));
        EXPECT_EQ(why, c.error);
        EXPECT_EQ(f.id, 99u);
    }
}

} // namespace
} // namespace pitwall::testing
