// telemetry_recorder.h - the live values a table stores, recorded as a telemetry log (CSV) that a
// scene's "telemetry" plays back and a csv: feed replays.
//
//     t,rpm,water,gear
//     0.000000,8720,92.4,
//     0.016702,8750,,3
//
// Values that arrived together (one datagram, one row of a replayed log) share a row; a channel
// that had no value in it leaves its field empty. `t` is seconds since the recording's first value,
// to the microsecond, never going back. Values are written in the fewest digits that read back as
// the same double.
//
// The file is new and written as log_file_writer.h says: an existing file or a link at the path
// is refused; the feeds' threads only append to a buffer (under a lock the frame loop never takes),
// written every 100 ms and synced at most once a second, so that a power cut loses at most the last
// second or so and leaves a log that reads.
#ifndef PITWALL_TELEMETRY_RECORDER_H
#define PITWALL_TELEMETRY_RECORDER_H

#include "pitwall/latest_values.h"
#include "pitwall/log_file_writer.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace pitwall {

class telemetry_recorder final : public value_tap {
public:
    // What waits to be written is bounded: past this, values are dropped (and counted) until the
    // writer catches up with a disk that stalls.
    static constexpr size_t max_buffered_bytes = log_file_writer::max_buffered_bytes;

    telemetry_recorder() = default;
    ~telemetry_recorder(); // close()
    telemetry_recorder(const telemetry_recorder &) = delete;
    telemetry_recorder &operator=(const telemetry_recorder &) = delete;

    // Creates the file at `path` and writes the header: the time column, then the table's channels.
    // Empty on success, otherwise why not. Then set it as the table's tap, before any feed starts,
    // and keep it until the feeds have stopped.
    std::string open(const std::string &path, const latest_values &channels);
    // "t", or another name when a channel is called t.
    const std::string &time_column() const { return time_column_; }
    size_t channels() const { return channels_; } // the columns after the time

    void on_value(size_t channel, double value, int64_t arrived_ns) override;

    // Writes what is left, syncs and closes the file, and stops the writer; values that come after
    // are dropped. Empty, or the first write error (after which nothing more was written).
    std::string close();

    uint64_t rows() const;    // rows written or waiting to be
    uint64_t dropped() const; // values dropped for a full buffer, a write error or a closed file

private:
    void end_row(); // the row being gathered, to the file; under mutex_

    log_file_writer file_;
    std::string time_column_;
    size_t channels_ = 0;

    mutable std::mutex mutex_; // everything below; taken before the file's own
    bool open_ = false;
    std::string row_;              // the row being written out; its capacity reused
    std::vector<double> values_;   // the row being gathered, by channel
    std::vector<char> present_;    // whether values_[channel] is in it
    bool gathering_ = false;
    bool timed_ = false;           // first_ns_ is set
    int64_t row_ns_ = 0;           // its arrival time
    int64_t first_ns_ = 0;         // the recording's first value's
    int64_t last_us_ = 0;          // the last row's t, microseconds
    uint64_t rows_ = 0, dropped_ = 0;
};

} // namespace pitwall

#endif // PITWALL_TELEMETRY_RECORDER_H
