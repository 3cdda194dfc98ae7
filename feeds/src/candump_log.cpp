// Lines of a candump log, read and written.
#include "pitwall/candump_log.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace pitwall::can {
namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool fail(std::string *why, size_t column, const std::string &cause) {
    if (why) *why = "column " + std::to_string(column) + ": " + cause;
    return false;
}

constexpr char hex_digits[] = "0123456789ABCDEF";

} // namespace

bool parse_candump_line(std::string_view line, can_frame_record &out, std::string *why) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    size_t at = 0;
    const auto column = [&] { return at + 1; };
    const auto skip_blanks = [&] {
        const size_t from = at;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        return at > from;
    };
    can_frame_record f;

    // (SECONDS.MICROSECONDS)
    if (line.empty() || line[0] != '(') return fail(why, 1, "expected '(' and the time");
    const size_t close = line.find(')');
    if (close == std::string_view::npos) return fail(why, line.size() + 1, "expected ')' after the time");
    at = 1;
    const std::string_view time = line.substr(1, close - 1);
    const auto [time_end, time_error] = std::from_chars(time.data(), time.data() + time.size(), f.time, std::chars_format::fixed);
    if (time.empty() || time_error != std::errc() || time_end != time.data() + time.size() || !std::isfinite(f.time) ||
        time.front() == '-')
        return fail(why, 2, "the time \"" + std::string(time) + "\" is not seconds such as 1700000000.123456");
    at = close + 1;

    // the interface
    if (!skip_blanks()) return fail(why, column(), "expected a space and the interface");
    const size_t iface_begin = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
    if (at == iface_begin) return fail(why, column(), "expected the interface");
    if (at - iface_begin > 15) return fail(why, iface_begin + 1, "an interface name is at most 15 bytes");
    f.iface.assign(line.substr(iface_begin, at - iface_begin));
    if (!skip_blanks()) return fail(why, column(), "expected a space and the frame");

    // ID#
    const size_t id_begin = at;
    uint32_t id = 0;
    while (at < line.size() && hex_value(line[at]) >= 0 && at - id_begin < 9) id = id << 4 | uint32_t(hex_value(line[at++]));
    const size_t digits = at - id_begin;
    if (at >= line.size() || line[at] != '#' || (digits != 3 && digits != 8))
        return fail(why, id_begin + 1, "expected an id of 3 or 8 hex digits and '#'");
    if (digits == 3) {
        if (id > 0x7FF) return fail(why, id_begin + 1, "an 11-bit id is at most 7FF");
    } else if (id & can_err_flag) {
        if (id & ~(can_err_flag | 0x1FFFFFFFu)) return fail(why, id_begin + 1, "an error frame's id has no bits above 0x3FFFFFFF");
        f.error = true;
        id &= 0x1FFFFFFFu;
    } else if (id > 0x1FFFFFFFu) {
        return fail(why, id_begin + 1, "a 29-bit id is at most 1FFFFFFF");
    } else {
        f.extended = true;
    }
    f.id = id;
    ++at;

    size_t max_length = 8;
    if (at < line.size() && line[at] == '#') { // CAN FD: ##FLAGS then the data
        if (f.error) return fail(why, column(), "an error frame is not a CAN FD frame");
        ++at;
        if (at >= line.size() || hex_value(line[at]) < 0) return fail(why, column(), "expected the CAN FD flags (one hex digit)");
        f.fd = true;
        f.flags = uint8_t(hex_value(line[at++]));
        max_length = 64;
    } else if (at < line.size() && (line[at] == 'R' || line[at] == 'r')) { // a remote request, R or R<length>
        if (f.error) return fail(why, column(), "an error frame is not a remote request");
        ++at;
        f.remote = true;
        if (at < line.size() && line[at] >= '0' && line[at] <= '8') f.length = uint8_t(line[at++] - '0');
    }
    if (!f.remote) {
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '_') {
            if (line[at] == '.' && f.length > 0) { // DE.AD.BE.EF
                ++at;
                continue;
            }
            if (at + 1 >= line.size() || hex_value(line[at]) < 0 || hex_value(line[at + 1]) < 0)
                return fail(why, column(), "expected data bytes as pairs of hex digits");
            if (f.length >= max_length)
                return fail(why, column(), "more than " + std::to_string(max_length) + " data bytes");
            f.data[f.length++] = uint8_t(hex_value(line[at]) << 4 | hex_value(line[at + 1]));
            at += 2;
        }
    }
    if (at < line.size() && line[at] == '_') { // a classic frame's DLC above 8 (len8_dlc): dropped
        ++at;
        if (f.fd || f.error || f.length != 8 || at >= line.size() || hex_value(line[at]) < 9)
            return fail(why, column(), "a DLC after '_' is 9 to F, after 8 bytes of a classic frame");
        ++at;
    }
    skip_blanks();
    if (at < line.size() && (line[at] == 'R' || line[at] == 'T') && at + 1 == line.size()) ++at; // received or sent
    if (at < line.size()) return fail(why, column(), "unexpected \"" + std::string(line.substr(at)) + "\" after the frame");
    out = std::move(f);
    return true;
}

std::string candump_line(const can_frame_record &f) {
    std::string line;
    line.reserve(48 + 2 * size_t(f.length));
    char time[400]; // room for the largest double in fixed notation
    std::snprintf(time, sizeof time, "(%.6f) ", f.time);
    line += time;
    line += f.iface;
    line += ' ';
    const uint32_t id = f.error ? (f.id & 0x1FFFFFFFu) | can_err_flag : f.id;
    const int digits = f.error || f.extended ? 8 : 3;
    for (int d = digits - 1; d >= 0; --d) line += hex_digits[(id >> (4 * d)) & 0xF];
    line += '#';
    if (f.fd) {
        line += '#';
        line += hex_digits[f.flags & 0xF];
    } else if (f.remote) {
        line += 'R';
        if (f.length > 0 && f.length <= 8) line += char('0' + f.length);
        return line;
    }
    const size_t length = f.length <= f.data.size() ? f.length : f.data.size();
    for (size_t i = 0; i < length; ++i) {
        line += hex_digits[f.data[i] >> 4];
        line += hex_digits[f.data[i] & 0xF];
    }
    return line;
}

} // namespace pitwall::can
