// Telemetry logs: two passes over the CSV text, each splitting a line at a time and holding no more
// than the field being read. The first checks the shape (header, field counts, limits) and counts
// the rows; the second turns the mapped columns into keys, reserved to that count.
#include "telemetry_csv.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/csv_fields.h"
#include "pitwall/file_read.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <unordered_map>

namespace pitwall {
namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

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
    if (!parse_csv_number(text, fraction)) return false;
    out = fraction;
    return true;
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
    // A recording cut off mid-row plays up to its last whole row.
    std::vector<std::string> header;
    csv_reader head(text, path, err);
    if (!read_csv_header(head, header)) return false;
    bool cut = false;
    const std::string_view rows_text = without_cut_row(text, header.size(), cut);
    csv_reader shape(rows_text, path, err);
    read_csv_header(shape, header);
    std::unordered_map<std::string_view, size_t> column_named;
    for (size_t i = 0; i < header.size(); ++i) column_named.emplace(header[i], i);
    // Every channel takes a key a row: with many channels the keys run out before the rows do.
    const size_t row_limit = std::min(max_telemetry_rows, max_telemetry_keys / std::max<size_t>(channels.size(), 1));
    const std::string too_many_rows =
        "more than " + std::to_string(row_limit) + " rows" +
        (row_limit < max_telemetry_rows ? " of " + std::to_string(channels.size()) + " channels (" +
                                              std::to_string(max_telemetry_keys) + " values at most)"
                                        : "");
    size_t rows = 0;
    if (!count_csv_rows(shape, header.size(), row_limit, too_many_rows, rows)) return false;
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
    csv_reader values(rows_text, path, err);
    values.next([](size_t, std::string_view) {}); // the header
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
    csv_time clock;
    while (values.next(keep)) {
        double seconds = 0;
        if (!clock.take(values, slot_text[time_slot], time_column, seconds)) return false;
        for (size_t c = 0; c < channels.size(); ++c) {
            if (slot_text[channel_slot[c]].empty()) continue; // no sample of this channel in the row
            attr_value value;
            if (!number_at(channel_slot[c], value)) return false;
            tracks[c].keys.push_back(track_key{seconds, std::move(value)});
        }
    }
    // A channel with no sample at all (a recording where it never came) has no track.
    tracks.erase(std::remove_if(tracks.begin(), tracks.end(), [](const track &t) { return t.keys.empty(); }),
                 tracks.end());
    out.insert(out.end(), std::make_move_iterator(tracks.begin()), std::make_move_iterator(tracks.end()));
    return true;
}

} // namespace pitwall
