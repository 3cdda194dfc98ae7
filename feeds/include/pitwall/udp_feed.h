// udp_feed.h - live values from UDP datagrams sent to an address and port, read on a thread of
// the feed's own into a table of latest values (see feed_datagram.h for what a datagram holds).
//
// The thread never blocks the frame loop: it stores each value as it is read, and a burst keeps
// only the last value of each channel. Datagrams that hold no value are counted, never fatal.
#ifndef PITWALL_UDP_FEED_H
#define PITWALL_UDP_FEED_H

#include "pitwall/live_feed.h"

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace pitwall {

class udp_feed final : public live_feed {
public:
    udp_feed() = default;
    ~udp_feed() override; // stops the thread and closes the socket
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
    void start(latest_values &table) override;
    void stop() override;
    feed_totals counted() const override { return counts_.totals(); }
    std::string describe() const override; // "udp 0.0.0.0:20777", "udp [::1]:9000 from ::1"

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
    feed_counters counts_;
    std::string address_, sender_; // as given, for describe()
};

} // namespace pitwall

#endif // PITWALL_UDP_FEED_H
