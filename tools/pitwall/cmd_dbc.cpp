// pitwall dbc FILE [--decode LOG]: a CAN database's messages and signals, or a candump log decoded
// with it, one line a frame:
//
//     1700000000.123456 can0 ENGINE_1 EngineSpeed=8720 rpm Gear=3 (3rd)
//
// Exit code 0, or 2 for a database or log that cannot be read (its place named).
#include "commands.h"

#include "pitwall/can_decode.h"
#include "pitwall/candump_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace pitwall::cli {
namespace {

using namespace pitwall::can;

std::string number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", v); // 0.1 * 3 reads 0.3, as the database means it
    return text;
}

std::string id_text(uint32_t id, bool extended) {
    char text[16];
    std::snprintf(text, sizeof text, extended ? "0x%08X" : "0x%03X", unsigned(id));
    return text;
}

const char *type_text(value_type t) {
    switch (t) {
    case value_type::signed_int: return "signed";
    case value_type::ieee_float: return "float";
    case value_type::ieee_double: return "double";
    case value_type::unsigned_int: break;
    }
    return "unsigned";
}

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

void list(const database &db, const std::string &path) {
    size_t signals = 0;
    for (const message &m : db.messages) signals += m.signals.size();
    std::printf("%s: %zu message%s, %zu signal%s\n", path.c_str(), db.messages.size(), db.messages.size() == 1 ? "" : "s",
                signals, signals == 1 ? "" : "s");
    for (const message &m : db.messages) {
        std::string line = id_text(m.id, m.extended) + (m.extended ? " extended " : " ") + m.name + ", " +
                           std::to_string(m.length) + " byte" + (m.length == 1 ? "" : "s");
        if (!m.sender.empty()) line += ", from " + m.sender;
        if (m.cycle_ms) line += ", every " + number(*m.cycle_ms) + " ms";
        std::printf("\n%s\n", line.c_str());
        const signal *mux = m.multiplexor();
        for (const signal &s : m.signals) {
            line = "  " + s.name + "  " + std::to_string(s.start_bit) + "|" + std::to_string(s.length) +
                   (s.order == byte_order::little_endian ? " little-endian " : " big-endian ") + type_text(s.type);
            if (s.factor != 1 || s.offset != 0) line += ", x" + number(s.factor);
            if (s.offset != 0) line += (s.offset < 0 ? " " : " +") + number(s.offset);
            if (!s.unit.empty()) line += ", " + s.unit;
            if (s.minimum != 0 || s.maximum != 0) line += ", " + number(s.minimum) + " to " + number(s.maximum);
            if (s.mux == multiplex::multiplexor) line += ", multiplexor";
            if (s.mux == multiplex::multiplexed && mux) line += ", when " + mux->name + " = " + std::to_string(s.mux_value);
            for (size_t i = 0; i < s.values.size(); ++i)
                line += (i == 0 ? ", values " : ", ") + std::to_string(s.values[i].value) + " " + quoted(s.values[i].name);
            std::printf("%s\n", line.c_str());
        }
    }
}

// Every signal of every message, its channel the index into `where`.
struct decoding {
    frame_decoder decoder;
    std::vector<std::pair<const message *, const signal *>> where;
    std::vector<std::pair<uint32_t, const message *>> by_key; // sorted, for the unknown ids

    explicit decoding(const database &db) {
        std::vector<wanted_signal> wanted;
        for (const message &m : db.messages) {
            by_key.emplace_back(m.id | (m.extended ? 0x80000000u : 0), &m);
            for (const signal &s : m.signals) {
                wanted.push_back({m.name, s.name, where.size()});
                where.emplace_back(&m, &s);
            }
        }
        std::sort(by_key.begin(), by_key.end());
        decoder.build(db, wanted); // every name is the database's own
    }

    const message *find(uint32_t id, bool extended) const {
        const uint32_t key = id | (extended ? 0x80000000u : 0);
        const auto at = std::lower_bound(by_key.begin(), by_key.end(), std::make_pair(key, (const message *)nullptr));
        return at != by_key.end() && at->first == key ? at->second : nullptr;
    }
};

// "1700000000.123456 can0 ENGINE_1 EngineSpeed=8720 rpm Gear=3 (3rd)"
std::string decoded_line(const decoding &d, const can_frame_record &f) {
    char head[400]; // room for the largest double in fixed notation
    std::snprintf(head, sizeof head, "%.6f ", f.time);
    std::string line = head + f.iface + " ";
    if (f.error) return line + "error frame, class " + id_text(f.id, true);
    const message *m = d.find(f.id, f.extended);
    if (!m) return line + id_text(f.id, f.extended) + (f.extended ? " extended" : "") + ": unknown id";
    line += m->name;
    if (f.remote) return line + " remote request";
    d.decoder.decode(f.id, f.extended, f.data.data(), f.length, [&](size_t channel, double value) {
        const signal &s = *d.where[channel].second;
        line += " " + s.name + "=" + number(value);
        if (!s.unit.empty()) line += " " + s.unit;
        uint64_t raw = 0;
        if (!s.values.empty() && extract_raw(s, f.data.data(), f.length, raw)) {
            const int64_t key = s.type == value_type::signed_int ? sign_extended(raw, uint8_t(s.length)) : int64_t(raw);
            if (const value_name *v = s.find_value(key)) line += " (" + v->name + ")";
        }
    });
    if (f.length < m->length) line += " [" + std::to_string(f.length) + " of " + std::to_string(m->length) + " bytes]";
    return line;
}

constexpr size_t max_log_line = 4096; // a CAN FD frame's line is under 200 bytes

int decode_log(const database &db, const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "pitwall dbc: %s: not a file\n", path.c_str());
        return exit_usage;
    }
    FILE *in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "pitwall dbc: %s: %s\n", path.c_str(), std::strerror(errno));
        return exit_usage;
    }
    const decoding d(db);
    std::string text, why;
    can_frame_record frame;
    int code = exit_ok;
    for (size_t line_number = 1;; ++line_number) {
        text.clear();
        int c = 0;
        while ((c = std::fgetc(in)) != EOF && c != '\n')
            if (text.size() <= max_log_line) text += char(c);
        if (c == EOF && text.empty()) break;
        if (text.size() > max_log_line) {
            std::fprintf(stderr, "pitwall dbc: %s:%zu:%zu: a line longer than %zu bytes\n", path.c_str(), line_number,
                         max_log_line + 1, max_log_line);
            code = exit_usage;
            break;
        }
        if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
        if (!parse_candump_line(text, frame, &why)) {
            // why: "column N: cause"
            std::fprintf(stderr, "pitwall dbc: %s:%zu:%s\n", path.c_str(), line_number, why.c_str() + std::strlen("column "));
            code = exit_usage;
            break;
        }
        std::printf("%s\n", decoded_line(d, frame).c_str());
    }
    if (in != stdin) std::fclose(in);
    return code;
}

} // namespace

int cmd_dbc(const options &opts) {
    database db;
    std::string why;
    if (!read_dbc(opts.dbc, db, &why)) {
        std::fprintf(stderr, "pitwall dbc: %s\n", why.c_str());
        return exit_usage;
    }
    if (opts.decode_log.empty()) {
        list(db, opts.dbc);
        return exit_ok;
    }
    return decode_log(db, opts.decode_log);
}

} // namespace pitwall::cli
