// fuzz_dbc - arbitrary bytes as a CAN signal database (DBC), and each of their lines as a line of a
// candump log.
//
// Checked for every input:
//   - a refused database's error reads "in.dbc:LINE:COLUMN: cause" with a line the input has;
//   - an accepted one holds messages of at most 64 bytes whose signals fit them (1 to 64 bits,
//     floats of 32 and doubles of 64), and a frame decoder built with every signal decodes the
//     input's bytes as frames of every message at every length without reading past them;
//   - a line read as a candump frame is written back as a line that reads as the same frame;
//   - nothing leaks, overflows or reads uninitialised memory (the sanitizers see that).
#include "fuzz_input.h"

#include "pitwall/can_decode.h"
#include "pitwall/candump_log.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace pitwall::can;

void check_refusal(std::string_view text, const std::string &why) {
    if (why.rfind("in.dbc:", 0) != 0) fuzz::fail("a DBC error that does not name the file");
    const char *at = why.c_str() + std::strlen("in.dbc:");
    char *end = nullptr;
    const unsigned long line = std::strtoul(at, &end, 10);
    if (end == at || *end != ':') fuzz::fail("a DBC error without its line");
    const char *column = end + 1;
    std::strtoul(column, &end, 10);
    if (end == column || std::strncmp(end, ": ", 2) != 0 || end[2] == 0) fuzz::fail("a DBC error without its column and cause");
    if (line == 0 || line > size_t(std::count(text.begin(), text.end(), '\n')) + 1) fuzz::fail("a DBC error past the last line");
}

void check_database(const database &db, const uint8_t *data, size_t size) {
    std::vector<wanted_signal> wanted;
    for (const message &m : db.messages) {
        if (m.length > 64) fuzz::fail("a message of more than 64 bytes");
        for (const signal &s : m.signals) {
            if (s.length < 1 || s.length > 64) fuzz::fail("a signal of 0 or more than 64 bits");
            if (s.type == value_type::ieee_float && s.length != 32) fuzz::fail("a float not of 32 bits");
            if (s.type == value_type::ieee_double && s.length != 64) fuzz::fail("a double not of 64 bits");
            if (plan_bits(s).needed > m.length) fuzz::fail("a signal past its message");
            wanted.push_back({m.name, s.name, wanted.size()});
        }
    }
    frame_decoder decoder;
    if (!decoder.build(db, wanted).empty()) fuzz::fail("a database's own signals not found");
    // Each frame in a buffer of its own length, so that a read past it is the sanitizer's.
    for (const message &m : db.messages) {
        for (size_t length = 0; length <= m.length; ++length) {
            std::unique_ptr<uint8_t[]> frame(new uint8_t[length + 1]);
            for (size_t i = 0; i < length; ++i) frame[i] = size ? data[(i * 7 + length) % size] : uint8_t(i);
            decoder.decode(m.id, m.extended, frame.get(), length, [&](size_t channel, double value) {
                if (channel >= wanted.size()) fuzz::fail("a value for a channel nobody wanted");
                const signal *s = db.find(wanted[channel].message)->find(wanted[channel].signal);
                if (plan_bits(*s).needed > length) fuzz::fail("a value from a frame too short for it");
                if (s->type != value_type::ieee_float && s->type != value_type::ieee_double && std::isnan(value) &&
                    !std::isnan(s->factor) && !std::isnan(s->offset) && !std::isinf(s->factor) && !std::isinf(s->offset))
                    fuzz::fail("an integer signal decoded as NaN");
            });
        }
    }
}

void check_candump_lines(std::string_view text) {
    can_frame_record f, again;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::string why;
        if (!parse_candump_line(line, f, &why)) {
            if (why.rfind("column ", 0) != 0) fuzz::fail("a candump error without its column");
            continue;
        }
        const std::string written = candump_line(f);
        if (!parse_candump_line(written, again, &why)) fuzz::fail("a written candump line that does not read");
        // The time goes through six decimals; the rest must come back as it was.
        if (again.id != f.id || again.extended != f.extended || again.fd != f.fd || again.remote != f.remote ||
            again.error != f.error || again.flags != f.flags || again.length != f.length || again.iface != f.iface ||
            (!f.remote && !std::equal(f.data.begin(), f.data.begin() + f.length, again.data.begin())))
            fuzz::fail("a candump line written back as another frame");
        if (candump_line(again) != written) fuzz::fail("a candump line not written the same twice");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    database db;
    std::string why;
    if (parse_dbc(text, "in.dbc", db, &why)) check_database(db, data, size);
    else check_refusal(text, why);
    check_candump_lines(text);
    return 0;
}
