// candump_recorder.h - the raw frames the CAN feeds hear, recorded as a `candump -l` log that a
// candump: feed replays and can-utils' canplayer plays back onto a bus:
//
//     (1733740000.123456) can0 123#DEADBEEF
//     (1733740000.124010) can0 12345678##1001122
//
// Every frame the feeds take is recorded, error frames too, at the time the socket stamped it.
// The file is new and written as log_file_writer.h says: an existing file or a link at the path is
// refused; frames are appended to a buffer, written every 100 ms and synced at most once a second.
#ifndef PITWALL_CANDUMP_RECORDER_H
#define PITWALL_CANDUMP_RECORDER_H

#include "pitwall/candump_log.h"
#include "pitwall/log_file_writer.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace pitwall {

class candump_recorder {
public:
    candump_recorder() = default;
    ~candump_recorder() { close(); }
    candump_recorder(const candump_recorder &) = delete;
    candump_recorder &operator=(const candump_recorder &) = delete;

    // Creates the file at `path`. Empty on success, otherwise why not.
    std::string open(const std::string &path);
    // One frame, as a line. Any thread; feeds on several threads may share the recorder.
    void record(const can::can_frame_record &frame);
    // Writes what is left, syncs and closes the file; frames after are dropped. Empty, or the
    // first write error.
    std::string close();

    uint64_t frames() const { return frames_.load(); }   // recorded, written or waiting to be
    uint64_t dropped() const { return dropped_.load(); } // for a full buffer, a write error or a closed file
    const std::string &path() const { return file_.path(); }

private:
    log_file_writer file_;
    std::atomic<uint64_t> frames_{0}, dropped_{0};
};

} // namespace pitwall

#endif // PITWALL_CANDUMP_RECORDER_H
