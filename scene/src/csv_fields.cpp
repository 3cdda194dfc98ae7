// Telemetry logs as CSV text: the header, numbers, and fields written back.
#include "pitwall/csv_fields.h"

#include <charconv>
#include <cmath>
#include <unordered_map>

namespace pitwall {

bool read_csv_header(csv_reader &reader, std::vector<std::string> &header) {
    header.clear();
    auto name = [&](size_t, std::string_view field) { header.emplace_back(field); };
    if (!reader.next(name, max_csv_columns)) return reader.failed() ? false : reader.fail(1, "no header row");
    std::unordered_map<std::string_view, size_t> column_named;
    for (size_t i = 0; i < header.size(); ++i)
        if (auto [first, added] = column_named.emplace(header[i], i); !added)
            return reader.fail(reader.line(), "column \"" + header[i] + "\" appears twice (columns " +
                                                  std::to_string(first->second + 1) + " and " + std::to_string(i + 1) +
                                                  ")");
    return true;
}

std::string_view without_cut_row(std::string_view text, size_t columns, bool &cut) {
    cut = false;
    if (text.empty() || text.back() == '\n' || text.back() == '\r') return text;
    const size_t end_of_previous = text.find_last_of("\r\n");
    const size_t start = end_of_previous == std::string_view::npos ? 0 : end_of_previous + 1;
    if (start == 0) return text; // the header alone: its own errors say what is wrong
    const std::string name;
    csv_reader last(text.substr(start), name, nullptr);
    const bool read = last.next([](size_t, std::string_view) {});
    if (!read && !last.failed()) return text; // blanks only
    if (read && last.fields() >= columns) return text; // whole, or too long: the rows' check says so
    cut = true;
    return text.substr(0, start);
}

bool count_csv_rows(csv_reader &reader, size_t columns, size_t row_limit, const std::string &too_many, size_t &rows) {
    const auto skip = [](size_t, std::string_view) {};
    rows = 0;
    while (reader.next(skip)) {
        if (reader.fields() != columns)
            return reader.fail(reader.line(), std::to_string(reader.fields()) + " fields, the header has " +
                                                  std::to_string(columns));
        if (++rows > row_limit) return reader.fail(reader.line(), too_many);
    }
    return !reader.failed();
}

bool csv_time::take(csv_reader &reader, std::string_view field, const std::string &column, double &seconds) {
    if (!parse_csv_number(field, seconds))
        return reader.fail(reader.line(), "\"" + std::string(field) + "\" in column " + column + " is not a number");
    if (started_ && seconds < previous_)
        return reader.fail(reader.line(), "time " + std::string(field) + " goes back (the row before is at " +
                                              previous_text_ + ")");
    started_ = true;
    previous_ = seconds;
    previous_text_.assign(field);
    return true;
}

bool parse_csv_number(std::string_view text, double &out) {
    const char *first = text.data(), *last = text.data() + text.size();
    if (first != last && *first == '+') ++first; // from_chars takes no plus sign
    double value = 0;
    const auto r = std::from_chars(first, last, value);
    if (first == last || r.ec != std::errc() || r.ptr != last || !std::isfinite(value)) return false;
    out = value;
    return true;
}

bool csv_field(std::string_view text, std::string &out) {
    if (text.size() > max_csv_field_bytes || text.find_first_of("\r\n") != std::string_view::npos) return false;
    // Unquoted, the reader drops blanks at either end and splits at commas.
    const bool plain = text.find_first_of(",\"") == std::string_view::npos &&
                       (text.empty() || (!csv_reader::is_blank(text.front()) && !csv_reader::is_blank(text.back())));
    if (plain) {
        out.append(text);
        return true;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return true;
}

} // namespace pitwall
