// line_feed.h - live values from lines of text on a file descriptor (standard input by default):
// each line is one datagram (see feed_datagram.h), read on a thread of the feed's own.
//
//     telemetry-bridge | pitwall run dash.json --feed stdin
//
// A line longer than the largest datagram is refused and skipped to its end, so that the feed never
// holds more than one datagram's bytes; blank lines are skipped uncounted. At the end of the input
// the feed is finished().
#ifndef PITWALL_LINE_FEED_H
#define PITWALL_LINE_FEED_H

#include "pitwall/live_feed.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace pitwall {

class stdin_feed final : public live_feed {
public:
    // Lines from `fd`, which stays open: the caller owns it.
    explicit stdin_feed(int fd = 0) : fd_(fd) {}
    ~stdin_feed() override { stop(); }
    stdin_feed(const stdin_feed &) = delete;
    stdin_feed &operator=(const stdin_feed &) = delete;

    // Empty when the descriptor is open for reading, otherwise why not.
    std::string check() const;

    void start(latest_values &table) override;
    void stop() override;
    feed_totals counted() const override { return counts_.totals(); }
    std::string describe() const override; // "stdin", or "fd N"
    bool finished() const override { return finished_.load(); }

private:
    void run(latest_values &table);
    void take(const char *bytes, size_t size, latest_values &table);
    void end_line(latest_values &table);

    int fd_;
    std::vector<char> chunk_;  // what one read() brings
    std::string line_;         // the line so far, at most max_datagram_bytes
    bool skipping_ = false;    // inside a line refused for its length
    std::thread thread_;
    std::atomic<bool> stopping_{false}, finished_{false};
    feed_counters counts_;
};

} // namespace pitwall

#endif // PITWALL_LINE_FEED_H
