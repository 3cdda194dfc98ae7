// telemetry_csv.h - a telemetry log written as CSV: a header row naming the columns, then one row
// a sample. Chosen columns become tracks against the log's time column.
#ifndef PITWALL_TELEMETRY_CSV_H
#define PITWALL_TELEMETRY_CSV_H

#include "pitwall/scene_tracks.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pitwall {

// A log is refused above this size: ten columns at a hundred rows a second for an hour fit.
inline constexpr size_t max_telemetry_bytes = 64u << 20;

// Limits within the file, so that what a log costs is bounded by what it is used for: the file's
// bytes plus its keys (a track_key is 48 bytes on 64-bit targets, so 192 MiB at most).
inline constexpr size_t max_telemetry_columns = 4096;
inline constexpr size_t max_telemetry_field_bytes = 4096; // a field's value, unquoted
inline constexpr size_t max_telemetry_rows = 1000000;     // 2 h 46 min at a hundred rows a second
inline constexpr size_t max_telemetry_keys = 4u << 20;    // rows times channels

// A column of the log mapped to one control's attribute; with a format, the column's numbers
// are written as text for a text attribute.
struct telemetry_channel {
    std::string column;
    std::string control;
    std::string attribute;
    track_interpolation interpolation = track_interpolation::linear;
    std::optional<value_format> format{};
    std::string origin{}; // how errors name the channel, kept with its track
    std::string where{};  // "LINE:COLUMN" of its mapping in the scene
};

// One track per channel, keyed by the time column (seconds, never going back), appended to `out`
// from the CSV file at `path`. Every field of the time and channel columns must be a number: an
// integer stays an integer, anything else with a point or an exponent is a fraction; other columns
// are split but never kept.
//
// Fields are separated by commas; a field may be quoted "like, this", with "" for a quote. Lines
// end in LF, CRLF or CR; blank ones are skipped; a UTF-8 byte order mark is skipped. Errors read
// "PATH:LINE: cause" (or "PATH: cause" for the log as a whole); `out` is left as it was. When the
// log has no column a channel names, `failed_channel` (when given) gets that channel's index and
// the error suggests the nearest column.
bool read_telemetry(const std::string &path, const std::string &time_column,
                    const std::vector<telemetry_channel> &channels, std::vector<track> &out, error *err,
                    size_t *failed_channel = nullptr);

} // namespace pitwall

#endif // PITWALL_TELEMETRY_CSV_H
