// Live values from UDP datagrams.
#include "pitwall/udp_feed.h"

#include "pitwall/feed_datagram.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace pitwall {
namespace {

// How long the thread waits for a datagram before it looks whether it is to stop.
constexpr int poll_ms = 50;

// The same host, whatever the port it sends from.
bool same_host(const sockaddr_storage &a, const sockaddr_storage &b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in &>(a).sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in &>(b).sin_addr.s_addr;
    if (a.ss_family == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6 &>(a).sin6_addr,
                           &reinterpret_cast<const sockaddr_in6 &>(b).sin6_addr, sizeof(in6_addr)) == 0;
    return false;
}

} // namespace

udp_feed::~udp_feed() {
    stop();
    if (socket_ >= 0) ::close(socket_);
}

std::string udp_feed::open(const std::string &address, uint16_t port) {
    if (socket_ >= 0) return "the feed is open already";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (int e = ::getaddrinfo(address.c_str(), service.c_str(), &hints, &found); e != 0)
        return "\"" + address + "\" is not a numeric address: " + ::gai_strerror(e);
    std::string why;
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0) {
        why = std::string("no socket: ") + std::strerror(errno);
    } else if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
        why = "cannot listen on " + address + " port " + service + ": " + std::strerror(errno);
        ::close(fd);
    } else {
        socket_ = fd;
    }
    ::freeaddrinfo(found);
    if (socket_ < 0) return why;
    address_ = address;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(socket_, reinterpret_cast<sockaddr *>(&bound), &length) == 0)
        port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
    // One more byte than the largest datagram taken, so that a longer one shows as longer.
    buffer_.resize(max_datagram_bytes + 1);
    return {};
}

std::string udp_feed::allow_only(const std::string &sender) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    if (int e = ::getaddrinfo(sender.c_str(), nullptr, &hints, &found); e != 0)
        return "\"" + sender + "\" is not a numeric address: " + ::gai_strerror(e);
    allowed_ = sockaddr_storage{};
    std::memcpy(&allowed_, found->ai_addr, std::min<size_t>(found->ai_addrlen, sizeof allowed_));
    ::freeaddrinfo(found);
    filtered_ = true;
    sender_ = sender;
    return {};
}

void udp_feed::start(latest_values &table) {
    if (socket_ < 0 || thread_.joinable()) return;
    stopping_ = false;
    thread_ = std::thread([this, &table] { run(table); });
}

void udp_feed::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

void udp_feed::run(latest_values &table) {
    pollfd waiting{socket_, POLLIN, 0};
    while (!stopping_.load()) {
        waiting.revents = 0;
        if (::poll(&waiting, 1, poll_ms) <= 0) continue;
        // MSG_TRUNC: the datagram's whole length, even past the buffer.
        sockaddr_storage from{};
        socklen_t from_length = sizeof from;
        const ssize_t n = ::recvfrom(socket_, buffer_.data(), buffer_.size(), MSG_TRUNC | MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr *>(&from), &from_length);
        if (n < 0) continue;
        take(from, size_t(n), feed_clock_ns(), table);
        counts_.taken();
    }
}

void udp_feed::take(const sockaddr_storage &from, size_t length, int64_t arrived, latest_values &table) {
    if (filtered_ && !same_host(from, allowed_)) {
        counts_.foreign.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (length > max_datagram_bytes) {
        counts_.refused.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    counts_.add(read_datagram(std::string_view(buffer_.data(), length), table, arrived));
}

std::string udp_feed::describe() const {
    const bool v6 = address_.find(':') != std::string::npos;
    std::string text = "udp " + (v6 ? "[" + address_ + "]" : address_) + ":" + std::to_string(port_);
    if (filtered_) text += " from " + sender_;
    return text;
}

} // namespace pitwall
