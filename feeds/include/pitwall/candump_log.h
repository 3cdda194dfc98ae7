// candump_log.h - CAN frames as can-utils' `candump -l` logs them, one a line:
//
//     (1700000000.123456) can0 123#DEADBEEF          a classic frame, 11-bit id (3 hex digits)
//     (1700000000.123500) can0 1F334455#00112233     29-bit id (8 hex digits)
//     (1700000000.123600) can0 123#R                 remote request (123#R5: of 5 bytes)
//     (1700000000.123700) can0 123##1DEADBEEF        CAN FD: the flags nibble (1 BRS, 2 ESI), then data
//     (1700000000.123800) can0 20000004#0004000000000000   an error frame: CAN_ERR_FLAG in the id
//
// Data bytes may be separated by dots (DE.AD.BE.EF). A classic frame's "_D" suffix (its DLC
// above 8) and a trailing direction ("R" or "T") are read and dropped.
#ifndef PITWALL_CANDUMP_LOG_H
#define PITWALL_CANDUMP_LOG_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pitwall::can {

constexpr uint32_t can_err_flag = 0x20000000; // in an error frame's id, as the kernel gives it

struct can_frame_record {
    double time = 0;        // seconds, as logged (usually since the epoch)
    std::string iface;      // can0, vcan0 (at most 15 bytes: no allocation)
    uint32_t id = 0;        // without flags; an error frame's: its error class bits
    bool extended = false, fd = false, remote = false, error = false;
    uint8_t flags = 0;      // CAN FD: the nibble after "##"
    uint8_t length = 0;     // data bytes (a remote frame's: the length it asks for)
    std::array<uint8_t, 64> data{};
};

// One line (without or with its line end). False with why: "column N: cause" naming the column
// (from 1) where the line stops making sense.
bool parse_candump_line(std::string_view line, can_frame_record &out, std::string *why);
// The same format back, without a line end: "(1700000000.123456) can0 123#DEADBEEF".
std::string candump_line(const can_frame_record &f);

} // namespace pitwall::can

#endif // PITWALL_CANDUMP_LOG_H
