// live_feed.h - a source of live values (a UDP port, standard input, a replayed log) read into a
// table of latest values on a thread of its own, so that the frame loop never waits for it.
//
// What a feed reads is never trusted: whatever is not a value is counted, never fatal.
#ifndef PITWALL_LIVE_FEED_H
#define PITWALL_LIVE_FEED_H

#include "pitwall/feed_datagram.h"
#include "pitwall/latest_values.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace pitwall {

// The clock values are stamped with: a steady clock's nanoseconds.
inline int64_t feed_clock_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct feed_totals {
    uint64_t datagrams = 0; // datagrams, lines or rows taken
    uint64_t stored = 0, unknown = 0, bad = 0, refused = 0;
    uint64_t foreign = 0;   // from a sender other than the one allowed, dropped unread
    uint64_t errors = 0;    // CAN error frames (a bus gone off, lost acknowledgements)
};

class live_feed {
public:
    virtual ~live_feed() = default;
    virtual void start(latest_values &table) = 0; // reads on a thread of its own until stop()
    virtual void stop() = 0;                      // returns within ~50 ms, joins the thread
    virtual feed_totals counted() const = 0;
    virtual std::string describe() const = 0;     // "udp 0.0.0.0:20777", "stdin", "csv lap.csv"
    // True once a finite source (standard input at its end, a log played without loop) has
    // nothing more.
    virtual bool finished() const { return false; }
    // What the feed has to say beyond its counts ("error frame: bus off"), each said once: the
    // caller reports what it takes. Any thread.
    virtual std::vector<std::string> take_notes() { return {}; }
};

// A feed's counts, added by its thread and read by any other.
struct feed_counters {
    std::atomic<uint64_t> datagrams{0}, stored{0}, unknown{0}, bad{0}, refused{0}, foreign{0}, errors{0};

    void add(const datagram_counts &c) {
        stored.fetch_add(c.stored, std::memory_order_relaxed);
        unknown.fetch_add(c.unknown, std::memory_order_relaxed);
        bad.fetch_add(c.bad, std::memory_order_relaxed);
        if (c.refused) refused.fetch_add(1, std::memory_order_relaxed);
    }
    // Counted last: whoever sees the datagram counted sees what it did.
    void taken() { datagrams.fetch_add(1, std::memory_order_release); }

    feed_totals totals() const {
        // The total first: every datagram it counts has its other counts in already.
        const uint64_t taken_so_far = datagrams.load(std::memory_order_acquire);
        return {taken_so_far, stored.load(), unknown.load(), bad.load(), refused.load(), foreign.load(), errors.load()};
    }
};

} // namespace pitwall

#endif // PITWALL_LIVE_FEED_H
