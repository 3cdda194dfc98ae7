// Telemetry logs: CSV text split into rows, and the chosen columns turned into tracks.
#include "telemetry_csv.h"

#include "pitwall/file_read.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace pitwall {
namespace {

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

// Spaces around a field are a writer's layout, not part of the value.
std::string trimmed(const std::string &text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One line's fields. False when a quoted field is not closed.
bool split_fields(const std::string &line, std::vector<std::string> &fields) {
    fields.clear();
    std::string field;
    bool in_quotes = false, was_quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (in_quotes) {
            if (c != '"') field += c;
            else if (i + 1 < line.size() && line[i + 1] == '"') field += line[++i];
            else in_quotes = false;
        } else if (c == '"' && trimmed(field).empty()) {
            in_quotes = was_quoted = true;
            field.clear();
        } else if (c == ',') {
            fields.push_back(was_quoted ? field : trimmed(field));
            field.clear();
            was_quoted = false;
        } else if (!was_quoted || (c != ' ' && c != '\t')) {
            field += c;
        }
    }
    fields.push_back(was_quoted ? field : trimmed(field));
    return !in_quotes;
}

// A number as the log writes it: an integer when it is one, else a finite fraction.
bool parse_number(const std::string &text, attr_value &out) {
    const char *first = text.data(), *last = text.data() + text.size();
    if (first != last && *first == '+') ++first; // from_chars takes no plus sign
    int64_t whole = 0;
    if (auto r = std::from_chars(first, last, whole); r.ec == std::errc() && r.ptr == last) {
        out = whole;
        return true;
    }
    double fraction = 0;
    auto r = std::from_chars(first, last, fraction);
    if (r.ec != std::errc() || r.ptr != last || first == last || !std::isfinite(fraction)) return false;
    out = fraction;
    return true;
}

double seconds_of(const attr_value &v) {
    return std::holds_alternative<int64_t>(v) ? double(std::get<int64_t>(v)) : std::get<double>(v);
}

} // namespace

bool parse_csv(const std::string &text, const std::string &name, csv_table &out, error *err) {
    out = csv_table{};
    auto fail = [&](size_t line, const std::string &why) {
        if (err != nullptr) *err = name + ":" + std::to_string(line) + ": " + why;
        return false;
    };
    std::vector<std::string> fields;
    size_t line_number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trimmed(line).empty()) continue;
        if (!split_fields(line, fields)) return fail(line_number, "a quoted field is not closed");
        if (out.header.empty()) {
            out.header = fields;
            continue;
        }
        if (fields.size() != out.header.size())
            return fail(line_number, std::to_string(fields.size()) + " fields, the header has " +
                                         std::to_string(out.header.size()));
        out.rows.push_back(fields);
        out.lines.push_back(line_number);
    }
    if (out.header.empty()) return fail(1, "no header row");
    return true;
}

bool read_telemetry(const std::string &path, const std::string &time_column,
                    const std::vector<telemetry_channel> &channels, std::vector<track> &out, error *err) {
    std::string text, why;
    if (!read_regular_file(path, max_telemetry_bytes, text, &why)) {
        if (err != nullptr) *err = path + ": " + why;
        return false;
    }
    csv_table table;
    if (!parse_csv(text, path, table, err)) return false;
    auto column_of = [&](const std::string &name, size_t &index) {
        auto it = std::find(table.header.begin(), table.header.end(), name);
        if (it == table.header.end()) {
            if (err != nullptr) *err = path + ": no column " + quoted(name);
            return false;
        }
        index = size_t(it - table.header.begin());
        return true;
    };
    if (table.rows.empty()) {
        if (err != nullptr) *err = path + ": no rows after the header";
        return false;
    }
    size_t time_index = 0;
    if (!column_of(time_column, time_index)) return false;
    std::vector<size_t> indexes(channels.size());
    for (size_t c = 0; c < channels.size(); ++c)
        if (!column_of(channels[c].column, indexes[c])) return false;

    // Read field by field: the first bad one is reported by its line and column name.
    auto number_at = [&](size_t row, size_t column, attr_value &value) {
        if (parse_number(table.rows[row][column], value)) return true;
        if (err != nullptr)
            *err = path + ":" + std::to_string(table.lines[row]) + ": " + quoted(table.rows[row][column]) +
                   " in column " + table.header[column] + " is not a number";
        return false;
    };
    const size_t first_track = out.size();
    for (const telemetry_channel &ch : channels)
        out.push_back(track{ch.control, ch.attribute, ch.interpolation, {}});
    double previous = 0;
    for (size_t row = 0; row < table.rows.size(); ++row) {
        attr_value time;
        if (!number_at(row, time_index, time)) return false;
        const double seconds = seconds_of(time);
        if (row > 0 && seconds < previous) {
            if (err != nullptr)
                *err = path + ":" + std::to_string(table.lines[row]) + ": time " + table.rows[row][time_index] +
                       " goes back (the row before is at " + table.rows[row - 1][time_index] + ")";
            return false;
        }
        previous = seconds;
        for (size_t c = 0; c < channels.size(); ++c) {
            attr_value value;
            if (!number_at(row, indexes[c], value)) return false;
            out[first_track + c].keys.push_back(track_key{seconds, value});
        }
    }
    return true;
}

} // namespace pitwall
