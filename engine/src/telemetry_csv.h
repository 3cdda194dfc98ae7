// telemetry_csv.h - a telemetry log written as CSV: a header row naming the columns, then one row
// a sample. Chosen columns become tracks against the log's time column.
#ifndef PITWALL_TELEMETRY_CSV_H
#define PITWALL_TELEMETRY_CSV_H

#include "pitwall/scene_tracks.h"

#include <cstddef>
#include <string>
#include <vector>

namespace pitwall {

// A log is refused above this size: ten columns at a hundred rows a second for an hour fit.
inline constexpr size_t max_telemetry_bytes = 64u << 20;

// The rows of a CSV text, fields split at commas (a field may be quoted "like, this", with ""
// for a quote); blank lines are skipped. Every row has as many fields as the header.
struct csv_table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<size_t> lines; // the line each row is on, counted from 1
};

// Errors read "NAME:LINE: cause", NAME being how the messages call the file.
bool parse_csv(const std::string &text, const std::string &name, csv_table &out, error *err);

// A column of the log mapped to one control's attribute.
struct telemetry_channel {
    std::string column;
    std::string control;
    std::string attribute;
    track_interpolation interpolation = track_interpolation::linear;
};

// One track per channel, keyed by the time column (seconds, never going back), from the CSV file
// at `path`. Every field of the time and channel columns must be a number: an integer stays an
// integer, anything else with a point or an exponent is a fraction.
bool read_telemetry(const std::string &path, const std::string &time_column,
                    const std::vector<telemetry_channel> &channels, std::vector<track> &out, error *err);

} // namespace pitwall

#endif // PITWALL_TELEMETRY_CSV_H
