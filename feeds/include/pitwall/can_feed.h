// can_feed.h - a CAN bus read through SocketCAN (a raw socket bound to an interface such as can0),
// its frames decoded through a signal database into a table of latest values on a thread of the
// feed's own.
//
//     pitwall run dash.json --feed can:can0 --feed-dbc car.dbc
//
// Classic and CAN FD frames are both taken. The kernel filters the frames: only the identifiers
// the wanted signals live in come through, unless raw frames are recorded, when the whole bus is
// taken so that the recording holds it. Error frames are asked for, counted and said once per kind
// (take_notes: "error frame: bus off"), never fatal.
//
// Values are stamped with the feed clock (feed_clock_ns) as the frame is read, like every feed's,
// so that staleness and latency are measured on one clock; the socket's own stamp (SO_TIMESTAMP,
// the real-time clock) goes only into the raw recording, where it orders the frames as the kernel
// received them. A flood is bounded: a frame is read into a buffer of one frame's size and its
// values go straight into the table, which keeps the latest of each channel.
#ifndef PITWALL_CAN_FEED_H
#define PITWALL_CAN_FEED_H

#include "pitwall/can_signals.h"
#include "pitwall/candump_log.h"
#include "pitwall/live_feed.h"

#include <linux/can.h>
#include <sys/time.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace pitwall {

class candump_recorder;

class can_feed final : public live_feed {
public:
    // The most identifiers a kernel filter is given; more, and every frame is taken.
    static constexpr size_t max_filters = 512;

    can_feed() = default;
    ~can_feed() override; // stops the thread and closes the socket
    can_feed(const can_feed &) = delete;
    can_feed &operator=(const can_feed &) = delete;

    // The signals read (see can_signal_reader::build) and where raw frames are recorded (nullptr:
    // nowhere; else it outlives the feed's thread). Before open(). Empty on success, else why not.
    std::string want(const can::database &db, const std::vector<signal_channel> &signals,
                     candump_recorder *raw = nullptr);
    // A raw CAN socket bound to the interface, CAN FD frames, the filters and error frames asked
    // for. Empty on success, otherwise why not.
    std::string open(const std::string &iface);
    // Frames from `fd`, which the feed now owns: a connected socket that carries each frame as one
    // record, a struct can_frame or struct canfd_frame, as a raw CAN socket does (the tests give one
    // end of a socketpair(AF_UNIX, SOCK_SEQPACKET)). `iface` names it in the recording.
    std::string open_fd(int fd, const std::string &iface);

    // What the kernel filter takes when filtered(); unfiltered, every frame.
    bool filtered() const { return filtered_; }
    const std::vector<can_filter> &filters() const { return filters_; }

    void start(latest_values &table) override;
    void stop() override;
    feed_totals counted() const override { return counts_.totals(); }
    std::string describe() const override { return "can " + iface_; } // "can can0"
    std::vector<std::string> take_notes() override { return errors_.take_notes(); }

private:
    std::string adopt(int fd, const std::string &iface); // the socket options both opens set
    void run(latest_values &table);
    void take(size_t size, bool truncated, const timeval *stamp, latest_values &table);

    int socket_ = -1;
    std::string iface_;
    can_signal_reader signals_;
    candump_recorder *raw_ = nullptr;
    bool filtered_ = true;
    std::vector<can_filter> filters_;
    // One frame, and a byte more so that anything longer shows as longer.
    alignas(canfd_frame) unsigned char buffer_[sizeof(canfd_frame) + 1] = {};
    can::can_frame_record record_; // the frame being recorded; its iface set once
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    feed_counters counts_;
    can_error_notes errors_;
};

} // namespace pitwall

#endif // PITWALL_CAN_FEED_H
