// can_signals.h - what the CAN feeds (a live bus, a replayed candump log) share: the scene's
// signals checked against the signal database and decoded from each frame into the table, frames
// counted as every feed counts its datagrams, and error frames said once per kind.
//
// Per frame nothing is allocated: the decoder looks the id up in a sorted table, and so does the
// check whether the database knows the id at all.
#ifndef PITWALL_CAN_SIGNALS_H
#define PITWALL_CAN_SIGNALS_H

#include "pitwall/can_decode.h"
#include "pitwall/feed_source.h"
#include "pitwall/latest_values.h"
#include "pitwall/live_feed.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace pitwall {

class can_signal_reader {
public:
    // The signals found in the database and the decoder built; a signal without its message is
    // looked for in every message. Empty on success, else which signal is missing and why:
    // `channel "rpm": no message "ENGIN_1" (did you mean "ENGINE_1"?)`.
    std::string build(const can::database &db, const std::vector<signal_channel> &signals);
    // The channels' indices in the table the feed fills; at start().
    void resolve(const latest_values &table);

    // One data frame (not remote, not an error) decoded into the table, its counts added: stored
    // values, a frame too short for a wanted signal as bad, an id the database does not know as
    // unknown. The caller counts the frame as taken.
    void take(uint32_t id, bool extended, const uint8_t *data, size_t length, int64_t arrived,
              latest_values &table, feed_counters &counts) const;

    // The (id, extended) pairs the wanted signals live in, for a kernel filter.
    std::vector<std::pair<uint32_t, bool>> identifiers() const { return decoder_.identifiers(); }
    size_t signals() const { return channels_.size(); }

private:
    static uint32_t key_of(uint32_t id, bool extended) { return id | (extended ? 0x80000000u : 0); }

    can::frame_decoder decoder_;         // channel: the index in channels_
    std::vector<std::string> channels_;  // each wanted signal's channel name
    std::vector<int> table_index_;       // each wanted signal's index in the table; -1: none
    std::vector<uint32_t> known_;        // every message of the database, by key, sorted
};

// Error frames: counted, and the first of each kind (bus off, no acknowledgement, ...) noted.
class can_error_notes {
public:
    // An error frame's class bits (the id without CAN_ERR_FLAG) and data; counted in `counts`.
    void take(uint32_t error_class, const uint8_t *data, size_t length, feed_counters &counts);
    std::vector<std::string> take_notes(); // "error frame: bus off", each kind once
    void note_once(const std::string &note); // another note ("reading stopped: Network is down"), once

private:
    std::mutex mutex_; // what follows
    uint64_t seen_ = 0;       // class bits, and a controller problem's detail above bit 32
    bool seen_none_ = false;  // a frame that named no kind at all
    std::vector<std::string> notes_, said_;
};

// What an error frame says: "bus off", "controller problem (receive buffer overflow)", the kinds
// its class bits name, joined by ", ".
std::string describe_can_error(uint32_t error_class, const uint8_t *data, size_t length);

} // namespace pitwall

#endif // PITWALL_CAN_SIGNALS_H
