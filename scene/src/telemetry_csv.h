// telemetry_csv.h - a telemetry log written as CSV: a header row naming the columns, then one row
// a sample. Chosen columns become tracks against the log's time column.
#ifndef PITWALL_TELEMETRY_CSV_H
#define PITWALL_TELEMETRY_CSV_H

#include "pitwall/csv_fields.h"
#include "pitwall/scene_tracks.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pitwall {

// A log is refused above this size: ten columns at a hundred rows a second for an hour fit.
inline constexpr size_t max_telemetry_bytes = max_csv_bytes;

// Limits within the file, so that what a log costs is bounded by what it is used for: the file's
// bytes plus its keys (a track_key is 48 bytes on 64-bit targets, so 192 MiB at most).
inline constexpr size_t max_telemetry_columns = max_csv_columns;
inline constexpr size_t max_telemetry_field_bytes = max_csv_field_bytes; // a field's value, unquoted
inline constexpr size_t max_telemetry_rows = max_csv_rows;               // 2 h 46 min at a hundred rows a second
inline constexpr size_t max_telemetry_keys = 4u << 20;                   // rows times channels

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
// from the CSV file at `path`. Every field of the time column must be a number, and so must every
// field of a channel's column that is not empty: an integer stays an integer, anything else with a
// point or an exponent is a fraction. An empty field is no sample of the channel in that row, and a
// channel with no sample at all gets no track. Other columns are split but never kept.
//
// The text is split as csv_fields.h describes (commas, "quoted, like this" with "" for a quote,
// any line end, blank lines and a byte order mark skipped). Errors read
// "PATH:LINE: cause" (or "PATH: cause" for the log as a whole); `out` is left as it was. When the
// log has no column a channel names, `failed_channel` (when given) gets that channel's index and
// the error suggests the nearest column.
bool read_telemetry(const std::string &path, const std::string &time_column,
                    const std::vector<telemetry_channel> &channels, std::vector<track> &out, error *err,
                    size_t *failed_channel = nullptr);

} // namespace pitwall

#endif // PITWALL_TELEMETRY_CSV_H
