// can_frames.h - what the CAN feed tests share: a signal database worked out by hand, the scene
// channels that read it, and frames as the kernel hands them over (struct can_frame and struct
// canfd_frame as bytes).
#ifndef PITWALL_TESTS_CAN_FRAMES_H
#define PITWALL_TESTS_CAN_FRAMES_H

#include "pitwall/dbc.h"
#include "pitwall/feed_source.h"

#include <linux/can.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace pitwall::testing {

// ENGINE 0x100: rpm, bytes 0-1 little-endian; water, byte 2, offset -40.
// CHASSIS, extended 0x1234567 (2147483648 + 0x1234567 in the file): speed, bytes 0-1, 0.01 km/h.
// FD_DATA 0x400, 64 bytes: brake, bytes 60-61, 0.1 bar. OTHER 0x300: nothing the scene reads.
inline const char *test_dbc = R"(VERSION ""
BU_: ECU DASH
BO_ 256 ENGINE: 8 ECU
 SG_ rpm : 0|16@1+ (1,0) [0|16000] "rpm" DASH
 SG_ water : 16|8@1+ (1,-40) [-40|215] "degC" DASH
BO_ 2166572391 CHASSIS: 8 ECU
 SG_ speed : 0|16@1+ (0.01,0) [0|655.35] "km/h" DASH
BO_ 1024 FD_DATA: 64 ECU
 SG_ brake : 480|16@1+ (0.1,0) [0|6553.5] "bar" DASH
BO_ 768 OTHER: 8 ECU
 SG_ unused : 0|8@1+ (1,0) [0|255] "" DASH
)";

inline can::database test_database() {
    can::database db;
    std::string why;
    EXPECT_TRUE(can::parse_dbc(test_dbc, "test.dbc", db, &why)) << why;
    return db;
}

// The table's channels, in this order, and the signals they read; water names no message.
inline const std::vector<std::string> test_channels = {"rpm", "water", "speed", "brake"};
inline std::vector<signal_channel> test_signals() {
    return {{"rpm", "ENGINE", "rpm"}, {"water", "", "water"}, {"speed", "CHASSIS", "speed"}, {"brake", "FD_DATA", "brake"}};
}

// A classic frame as a raw CAN socket gives it: `len` may be set past the data to make a bad one.
inline std::string classic_frame(uint32_t can_id, const std::vector<uint8_t> &data, int len = -1) {
    can_frame f{};
    f.can_id = can_id;
    f.len = uint8_t(len < 0 ? int(data.size()) : len);
    if (!data.empty()) std::memcpy(f.data, data.data(), std::min(data.size(), sizeof f.data));
    return std::string(reinterpret_cast<const char *>(&f), sizeof f);
}

inline std::string fd_frame(uint32_t can_id, const std::vector<uint8_t> &data, uint8_t flags = CANFD_BRS) {
    canfd_frame f{};
    f.can_id = can_id;
    f.len = uint8_t(data.size());
    f.flags = flags;
    if (!data.empty()) std::memcpy(f.data, data.data(), std::min(data.size(), sizeof f.data));
    return std::string(reinterpret_cast<const char *>(&f), sizeof f);
}

} // namespace pitwall::testing

#endif // PITWALL_TESTS_CAN_FRAMES_H
