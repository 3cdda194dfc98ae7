// csv_feed.h - a telemetry log (CSV, as the scene's telemetry reads it and the recorder writes it)
// replayed into a table of latest values at the log's own pace, on a thread of the feed's own.
//
// The header names the channels; the time column (`t` by default) says when each row's values
// come, in seconds from the first row, divided by the speed. An empty field is no value of that
// channel in the row; a field whose column is no channel of the table counts as unknown, one that
// is not a finite number as bad. Every row is one datagram: its values share their arrival time.
// Played once the feed is finished(); looped, the log starts again one row interval after its
// last row.
#ifndef PITWALL_CSV_FEED_H
#define PITWALL_CSV_FEED_H

#include "pitwall/live_feed.h"
#include "pitwall/replay_pacing.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace pitwall {

class csv_feed final : public live_feed {
public:
    static constexpr double max_speed = max_replay_speed;

    csv_feed() = default;
    ~csv_feed() override { stop(); }
    csv_feed(const csv_feed &) = delete;
    csv_feed &operator=(const csv_feed &) = delete;

    // The whole log read and checked: a header, the time column, rows of as many fields with times
    // that are numbers never going back. Empty on success, else "PATH:LINE: cause" or "PATH: cause".
    // `speed` is above 0 and at most max_speed.
    std::string open(const std::string &path, bool loop = false, double speed = 1,
                     const std::string &time_column = "t");
    size_t rows() const { return rows_; }
    double duration() const { return last_time_ - first_time_; } // seconds of log, first row to last

    void start(latest_values &table) override;
    void stop() override;
    feed_totals counted() const override { return counts_.totals(); }
    std::string describe() const override; // "csv lap.csv", "csv lap.csv looped at speed 2"
    bool finished() const override { return finished_.load(); }
    // Once: that the log's last row was cut short and left out.
    std::vector<std::string> take_notes() override;

private:
    void run(latest_values &table);
    void play_row(const std::vector<int> &channel_of, int64_t arrived, latest_values &table);

    std::string path_, text_;
    std::vector<std::string> header_;
    size_t time_column_ = 0, rows_ = 0;
    double first_time_ = 0, last_time_ = 0;
    bool loop_ = false;
    double speed_ = 1;
    std::vector<std::string> fields_; // the row being played, by column; capacities reused
    std::string cut_note_;            // set by open, taken once

    std::thread thread_;
    replay_wait wait_;
    std::atomic<bool> finished_{false};
    feed_counters counts_;
};

} // namespace pitwall

#endif // PITWALL_CSV_FEED_H
