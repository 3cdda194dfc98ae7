// Telemetry logs: two passes over the CSV text, each splitting a line at a time and holding no more
// than the field being read. The first checks the shape (header, field counts, limits) and counts
// the rows; the second turns the mapped columns into keys, reserved to that count.
#include "telemetry_csv.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/file_read.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <unordered_map>

namespace pitwall {
namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The non-blank lines of a log, split into fields at commas. A field is unquoted (spaces around it
// dropped, a quote inside it kept) or starts with a quote after optional spaces: then "" is a
// quote, and after the closing quote spaces are dropped, anything else kept, and a quote opens the
// field again while all it holds is blank.
class csv_reader {
public:
    csv_reader(std::string_view text, const std::string &name, error *err) : text_(text), name_(name), err_(err) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3; // a byte order mark, not part of the first name
    }

    // Splits the next non-blank line, handing take(index, value) each field in turn (the value lasts
    // for the call). False after the last line, or on a malformed one (failed() then), which
    // includes a line of more than `columns` fields.
    template <typename Take> bool next(Take &&take, size_t columns = SIZE_MAX) {
        std::string_view line;
        do {
            if (pos_ >= text_.size()) return false;
            line = next_line();
        } while (std::all_of(line.begin(), line.end(), is_blank));
        return split(line, take, columns);
    }

    size_t line() const { return line_; }     // the number of the line last read, from 1
    size_t fields() const { return fields_; } // how many fields it had
    bool failed() const { return failed_; }

    bool fail(size_t line, const std::string &why) {
        failed_ = true;
        if (err_ != nullptr) *err_ = name_ + ":" + std::to_string(line) + ": " + why;
        return false;
    }

private:
    enum class quoted_field { closed, open, too_long };

    // LF, CRLF and CR each end a line.
    std::string_view next_line() {
        size_t end = pos_; // find_first_of would call memchr once a character
        while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') ++end;
        const std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = end + (text_.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        ++line_;
        return line;
    }

    template <typename Take> bool split(std::string_view line, Take &take, size_t columns) {
        fields_ = 0;
        size_t i = 0;
        for (;;) {
            while (i < line.size() && is_blank(line[i])) ++i;
            std::string_view value;
            if (i < line.size() && line[i] == '"') {
                const quoted_field read = read_quoted(line, i);
                if (read == quoted_field::open) return fail(line_, "a quoted field is not closed");
                if (read == quoted_field::too_long) return too_long(fields_ + 1);
                value = field_;
            } else {
                const size_t end = std::min(line.find(',', i), line.size());
                size_t last = end;
                while (last > i && is_blank(line[last - 1])) --last;
                value = line.substr(i, last - i);
                if (value.size() > max_telemetry_field_bytes) return too_long(fields_ + 1);
                i = end;
            }
            if (fields_ == columns) return fail(line_, "more than " + std::to_string(columns) + " columns");
            take(fields_++, value);
            if (i == line.size()) return true;
            ++i; // the comma
        }
    }

    // The quoted field from the quote at line[i] into field_, leaving i at the comma that ends it or
    // at the line's end. Stops as soon as the value passes the limit.
    quoted_field read_quoted(std::string_view line, size_t &i) {
        field_.clear();
        bool blank = true; // field_ holds only spaces: a quote after the closing one opens it again
        for (++i;;) {
            const size_t quote = line.find('"', i);
            if (quote == std::string_view::npos) return quoted_field::open;
            const std::string_view part = line.substr(i, quote - i);
            if (field_.size() + part.size() > max_telemetry_field_bytes) return quoted_field::too_long;
            field_ += part;
            if (blank && !std::all_of(part.begin(), part.end(), is_blank)) blank = false;
            if (quote + 1 < line.size() && line[quote + 1] == '"') {
                if (field_.size() == max_telemetry_field_bytes) return quoted_field::too_long;
                field_ += '"';
                blank = false;
                i = quote + 2;
                continue;
            }
            for (i = quote + 1; i < line.size() && line[i] != ','; ++i) {
                if (line[i] == '"' && blank) break;
                if (is_blank(line[i])) continue;
                if (field_.size() == max_telemetry_field_bytes) return quoted_field::too_long;
                field_ += line[i];
                blank = false;
            }
            if (i == line.size() || line[i] == ',') return quoted_field::closed;
            field_.clear(); // opened again
            ++i;
        }
    }

    bool too_long(size_t field) {
        return fail(line_, "field " + std::to_string(field) + " is longer than " +
                               std::to_string(max_telemetry_field_bytes) + " bytes");
    }

    std::string_view text_;
    const std::string &name_;
    error *err_;
    size_t pos_ = 0, line_ = 0, fields_ = 0;
    bool failed_ = false;
    std::string field_; // a quoted field's value, unescaped; its capacity serves the next one
};

// A number as the log writes it: an integer when it is one, else a finite fraction.
bool parse_number(std::string_view text, attr_value &out) {
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

bool read_telemetry(const std::string &path, const std::string &time_column,
                    const std::vector<telemetry_channel> &channels, std::vector<track> &out, error *err,
                    size_t *failed_channel) {
    std::string text, why;
    if (!read_regular_file(path, max_telemetry_bytes, text, &why)) {
        if (err != nullptr) *err = path + ": " + why;
        return false;
    }
    auto fail = [&](const std::string &cause) {
        if (err != nullptr) *err = path + ": " + cause;
        return false;
    };

    // First pass: the header, then only how many fields each row has and how many rows there are.
    csv_reader shape(text, path, err);
    std::vector<std::string> header;
    auto name = [&](size_t, std::string_view field) { header.emplace_back(field); };
    if (!shape.next(name, max_telemetry_columns)) return shape.failed() ? false : shape.fail(1, "no header row");
    std::unordered_map<std::string_view, size_t> column_named;
    for (size_t i = 0; i < header.size(); ++i)
        if (auto [first, added] = column_named.emplace(header[i], i); !added)
            return shape.fail(shape.line(), "column " + quoted(header[i]) + " appears twice (columns " +
                                                std::to_string(first->second + 1) + " and " + std::to_string(i + 1) +
                                                ")");
    // Every channel takes a key a row: with many channels the keys run out before the rows do.
    const size_t row_limit = std::min(max_telemetry_rows, max_telemetry_keys / std::max<size_t>(channels.size(), 1));
    const std::string too_many_rows =
        "more than " + std::to_string(row_limit) + " rows" +
        (row_limit < max_telemetry_rows ? " of " + std::to_string(channels.size()) + " channels (" +
                                              std::to_string(max_telemetry_keys) + " values at most)"
                                        : "");
    const auto skip = [](size_t, std::string_view) {};
    size_t rows = 0;
    while (shape.next(skip)) {
        if (shape.fields() != header.size())
            return shape.fail(shape.line(), std::to_string(shape.fields()) + " fields, the header has " +
                                                std::to_string(header.size()));
        if (++rows > row_limit) return shape.fail(shape.line(), too_many_rows);
    }
    if (shape.failed()) return false;
    if (rows == 0) return fail("no rows after the header");

    // Each mapped column gets a slot holding its field while a row is split (a column may feed
    // several channels); the row is read once it is split, the time first, as the errors expect.
    constexpr size_t unmapped = SIZE_MAX;
    std::vector<size_t> slot_of(header.size(), unmapped), column_of_slot;
    auto slot_for = [&](const std::string &column, size_t &slot) {
        auto it = column_named.find(column);
        if (it == column_named.end()) return fail("no column " + quoted(column) + did_you_mean(column, header));
        if (slot_of[it->second] == unmapped) {
            slot_of[it->second] = column_of_slot.size();
            column_of_slot.push_back(it->second);
        }
        slot = slot_of[it->second];
        return true;
    };
    size_t time_slot = 0;
    if (!slot_for(time_column, time_slot)) return false;
    std::vector<size_t> channel_slot(channels.size());
    for (size_t c = 0; c < channels.size(); ++c)
        if (!slot_for(channels[c].column, channel_slot[c])) {
            if (failed_channel != nullptr) *failed_channel = c;
            return false;
        }
    std::vector<std::string> slot_text(column_of_slot.size());

    // Second pass: the rows again, now known to be well formed.
    csv_reader values(text, path, err);
    values.next(skip); // the header
    auto keep = [&](size_t column, std::string_view field) {
        if (column < slot_of.size() && slot_of[column] != unmapped) slot_text[slot_of[column]].assign(field);
    };
    auto number_at = [&](size_t slot, attr_value &value) {
        if (parse_number(slot_text[slot], value)) return true;
        return values.fail(values.line(), quoted(slot_text[slot]) + " in column " + header[column_of_slot[slot]] +
                                              " is not a number");
    };
    std::vector<track> tracks;
    tracks.reserve(channels.size());
    for (const telemetry_channel &ch : channels) {
        tracks.push_back(track{ch.control, ch.attribute, ch.interpolation, {}, ch.format, ch.origin, ch.where});
        tracks.back().keys.reserve(rows);
    }
    double previous = 0;
    std::string previous_text;
    for (size_t row = 0; values.next(keep); ++row) {
        attr_value time;
        if (!number_at(time_slot, time)) return false;
        const double seconds = seconds_of(time);
        if (row > 0 && seconds < previous)
            return values.fail(values.line(), "time " + slot_text[time_slot] + " goes back (the row before is at " +
                                                  previous_text + ")");
        previous = seconds;
        previous_text = slot_text[time_slot];
        for (size_t c = 0; c < channels.size(); ++c) {
            attr_value value;
            if (!number_at(channel_slot[c], value)) return false;
            tracks[c].keys.push_back(track_key{seconds, std::move(value)});
        }
    }
    out.insert(out.end(), std::make_move_iterator(tracks.begin()), std::make_move_iterator(tracks.end()));
    return true;
}

} // namespace pitwall
