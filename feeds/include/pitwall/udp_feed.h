// udp_feed.h - live values from UDP datagrams sent to an address and port, read on a thread of
// the feed's own into a table of latest values (see feed_datagram.h for what a datagram holds).
//
// The thread never blocks the frame loop: it stores each value as it is read, and a burst keeps
// only the last value of each channel. Datagrams that hold no value are counted, never fatal.
#ifndef PITWALL_UDP_FEED_H
#define PITWALL_UDP_FEED_H

#include "pitwall/latest_values.h"

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace pitwall {

class udp_feed {
public:
    udp_feed() = default;
    ~udp_feed(); // stops the thread and closes the socket
    udp_feed(const udp_feed &) = delete;
    udp_feed &operator=(const udp_feed &) = delete;

    // Bound to a numeric IPv4 or IPv6 address and a port (0: one the system picks). Empty on
    // success, otherwise why not.
    std::string open(const std::string &address, uint16_t port);
    uint16_t port() const { return port_; }
    // Take datagrams from this one numeric address only (the car's bridge); others are counted as
    // foreign and dropped unread. Empty on success, otherwise why not. Before start().
    std::string allow_only(const std::string &sender);

    // Read into `table` on a thread of its own until stop(); values are stamped with the steady
    // clock's nanoseconds as they arrive.
    void start(latest_values &table);
    void stop();

    struct totals {
        uint64_t datagrams = 0, stored = 0, unknown = 0, bad = 0, refused = 0;
        uint64_t foreign = 0; // from a sender other than the one allowed, dropped unread
    };
    totals counted() const;

private:
    void run(latest_values &table);
    void take(const sockaddr_storage &from, size_t length, int64_t arrived, latest_values &table);

    int socket_ = -1;
    uint16_t port_ = 0;
    std::vector<char> buffer_;
    bool filtered_ = false;
    sockaddr_storage allowed_{}; // the one sender taken when filtered_
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> datagrams_{0}, stored_{0}, unknown_{0}, bad_{0}, refused_{0}, foreign_{0};
};

} // namespace pitwall

#endif // PITWALL_UDP_FEED_H
