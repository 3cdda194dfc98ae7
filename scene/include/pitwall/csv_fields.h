// csv_fields.h - telemetry logs as CSV text: lines split into fields, the header's names, numbers,
// and fields quoted for writing. The scene's telemetry reader, the CSV replay feed and the recorder
// share it, so that what one writes the others read alike.
//
// Fields are separated by commas. A field is unquoted (spaces around it dropped, a quote inside it
// kept) or starts with a quote after optional spaces: then "" is a quote, and after the closing
// quote spaces are dropped, anything else kept, and a quote opens the field again while all it
// holds is blank. Lines end in LF, CRLF or CR (even inside quotes: a field never holds a line end);
// blank lines are skipped; a UTF-8 byte order mark before the first line is skipped.
#ifndef PITWALL_CSV_FIELDS_H
#define PITWALL_CSV_FIELDS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pitwall {

// Limits within a log, so that what it costs is bounded by its own bytes.
inline constexpr size_t max_csv_bytes = 64u << 20; // ten columns at a hundred rows a second for an hour fit
inline constexpr size_t max_csv_columns = 4096;
inline constexpr size_t max_csv_field_bytes = 4096; // a field's value, unquoted
inline constexpr size_t max_csv_rows = 1000000;     // 2 h 46 min at a hundred rows a second

// The non-blank lines of a log's text, split into fields. Errors read "NAME:LINE: cause".
class csv_reader {
public:
    csv_reader(std::string_view text, const std::string &name, std::string *err) : text_(text), name_(name), err_(err) {
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

    static bool is_blank(char c) { return c == ' ' || c == '\t'; }

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
                if (value.size() > max_csv_field_bytes) return too_long(fields_ + 1);
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
            if (field_.size() + part.size() > max_csv_field_bytes) return quoted_field::too_long;
            field_ += part;
            if (blank && !std::all_of(part.begin(), part.end(), is_blank)) blank = false;
            if (quote + 1 < line.size() && line[quote + 1] == '"') {
                if (field_.size() == max_csv_field_bytes) return quoted_field::too_long;
                field_ += '"';
                blank = false;
                i = quote + 2;
                continue;
            }
            for (i = quote + 1; i < line.size() && line[i] != ','; ++i) {
                if (line[i] == '"' && blank) break;
                if (is_blank(line[i])) continue;
                if (field_.size() == max_csv_field_bytes) return quoted_field::too_long;
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
                               std::to_string(max_csv_field_bytes) + " bytes");
    }

    std::string_view text_;
    const std::string &name_;
    std::string *err_;
    size_t pos_ = 0, line_ = 0, fields_ = 0;
    bool failed_ = false;
    std::string field_; // a quoted field's value, unescaped; its capacity serves the next one
};

// The first non-blank line's names into `header`: at most max_csv_columns, each once. False with
// the reader's error otherwise ("no header row" for a log without lines).
bool read_csv_header(csv_reader &reader, std::vector<std::string> &header);

// A recording cut off by a power loss may end in a row cut short: no line end, and fewer fields
// than the header's `columns` (or a quote left open). The text without that row, so that the rest
// still reads; `cut` says whether one was dropped. A last row that is whole needs no line end.
std::string_view without_cut_row(std::string_view text, size_t columns, bool &cut);

// The rows after the header, counted into `rows`: each with `columns` fields, at most `row_limit`
// of them (`too_many` is the error past it). False with the reader's error otherwise.
bool count_csv_rows(csv_reader &reader, size_t columns, size_t row_limit, const std::string &too_many, size_t &rows);

// A log's time column, row after row: numbers of seconds that may stand still but never go back.
class csv_time {
public:
    // The time field of the row the reader split last into `seconds`; false with the reader's
    // error when it is no number or goes back. `column` names the time column in the error.
    bool take(csv_reader &reader, std::string_view field, const std::string &column, double &seconds);

private:
    bool started_ = false;
    double previous_ = 0;
    std::string previous_text_;
};

// A number as a log writes it: the whole field, an optional plus sign, finite.
bool parse_csv_number(std::string_view text, double &out);

// `text` as one field: as it is when the reader gives it back unchanged, else quoted with "" for a
// quote. False for what no field can hold: a line end, or more than max_csv_field_bytes.
bool csv_field(std::string_view text, std::string &out);

} // namespace pitwall

#endif // PITWALL_CSV_FIELDS_H
