// candump_feed.h - a `candump -l` log replayed at its own pace into a table of latest values, its
// frames decoded through a signal database, on a thread of the feed's own.
//
//     pitwall run dash.json --feed 'candump:session.log?loop&speed=2' --feed-dbc car.dbc
//
// Each frame comes at its time in the log, in seconds from the first frame, divided by the speed;
// looped, the log starts again one frame interval after its last frame (as a csv: feed does). A
// frame stamped before the one above it comes at once. The log is read as it plays, never held
// whole: its length is bounded by the disk only. Every line is one datagram; a line that is no
// frame is refused (the first said once through take_notes), a frame whose id the database does
// not know is unknown, a frame too short for a wanted signal bad; error frames are counted and
// said once per kind, as on a bus. Played once, the feed is finished().
#ifndef PITWALL_CANDUMP_FEED_H
#define PITWALL_CANDUMP_FEED_H

#include "pitwall/can_signals.h"
#include "pitwall/candump_log.h"
#include "pitwall/live_feed.h"
#include "pitwall/replay_pacing.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace pitwall {

class candump_recorder;

class candump_feed final : public live_feed {
public:
    // A line longer than this is no frame: the longest, a CAN FD frame of 64 bytes on an
    // interface of 15 characters, takes under 200.
    static constexpr size_t max_line_bytes = 1024;

    candump_feed() = default;
    ~candump_feed() override { stop(); }
    candump_feed(const candump_feed &) = delete;
    candump_feed &operator=(const candump_feed &) = delete;

    // As can_feed::want: the signals read, and where the frames played are recorded (at the time
    // they are played). Before start().
    std::string want(const can::database &db, const std::vector<signal_channel> &signals,
                     candump_recorder *raw = nullptr);
    // The log read through once: a regular file with at least one frame. `speed` is above 0 and at
    // most max_replay_speed. Empty on success, else "PATH: cause".
    std::string open(const std::string &path, bool loop = false, double speed = 1);
    size_t frames() const { return frames_; }                  // lines that are frames
    double duration() const { return last_time_ - first_time_; } // seconds, first frame to last

    void start(latest_values &table) override;
    void stop() override;
    feed_totals counted() const override { return counts_.totals(); }
    std::string describe() const override; // "candump day.log", "candump day.log looped at speed 2"
    bool finished() const override { return finished_.load(); }
    std::vector<std::string> take_notes() override { return errors_.take_notes(); }

private:
    void run(latest_values &table);
    void play(const can::can_frame_record &frame, latest_values &table);

    std::string path_;
    size_t frames_ = 0;
    double first_time_ = 0, last_time_ = 0;
    bool loop_ = false;
    double speed_ = 1;
    can_signal_reader signals_;
    candump_recorder *raw_ = nullptr;

    std::thread thread_;
    replay_wait wait_;
    std::atomic<bool> finished_{false};
    bool said_refusal_ = false; // the first line refused is noted; the feed's thread only
    feed_counters counts_;
    can_error_notes errors_;
};

} // namespace pitwall

#endif // PITWALL_CANDUMP_FEED_H
