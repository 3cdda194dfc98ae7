// A CAN bus read through SocketCAN.
#include "pitwall/can_feed.h"

#include "pitwall/candump_recorder.h"

#include <linux/can/error.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace pitwall {
namespace {

// How long the thread waits for a frame before it looks whether it is to stop.
constexpr int poll_ms = 50;
// Frames read in a row before that look, so that a flood cannot hold stop() off.
constexpr int burst = 256;

std::string failed(const char *what) { return std::string(what) + ": " + std::strerror(errno); }

double seconds_of(const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; }

} // namespace

can_feed::~can_feed() {
    stop();
    if (socket_ >= 0) ::close(socket_);
}

std::string can_feed::want(const can::database &db, const std::vector<signal_channel> &signals,
                           candump_recorder *raw) {
    if (std::string why = signals_.build(db, signals); !why.empty()) return why;
    raw_ = raw;
    filters_.clear();
    const auto ids = signals_.identifiers();
    // A recording holds the whole bus; past the kernel's bound, user space sorts the frames out.
    filtered_ = raw == nullptr && ids.size() <= max_filters;
    if (!filtered_) return {};
    for (const auto &[id, extended] : ids) {
        // The id, its kind (the extended flag in the mask) and no remote requests (the RTR flag).
        can_filter f{};
        f.can_id = extended ? id | CAN_EFF_FLAG : id;
        f.can_mask = (extended ? CAN_EFF_MASK : CAN_SFF_MASK) | CAN_EFF_FLAG | CAN_RTR_FLAG;
        filters_.push_back(f);
    }
    return {};
}

std::string can_feed::open(const std::string &iface) {
    if (socket_ >= 0) return "the feed is open already";
    const unsigned index = ::if_nametoindex(iface.c_str());
    if (index == 0) return "no interface \"" + iface + "\": " + std::strerror(errno);
    const int fd = ::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW);
    if (fd < 0) return failed("no CAN socket (is the kernel's can-raw module there?)");
    auto fail = [fd](const std::string &why) {
        ::close(fd);
        return why;
    };
    // Classic frames still come as they are; an old kernel without CAN FD gives classic ones only.
    const int on = 1;
    ::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_FD_FRAMES, &on, sizeof on);
    if (filtered_ && ::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_FILTER, filters_.empty() ? nullptr : filters_.data(),
                                  socklen_t(filters_.size() * sizeof(can_filter))) != 0)
        return fail(failed("the kernel filter is refused"));
    const can_err_mask_t errors = CAN_ERR_MASK;
    if (::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_ERR_FILTER, &errors, sizeof errors) != 0)
        return fail(failed("error frames are refused"));
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = int(index);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return fail(failed(("cannot read " + iface).c_str()));
    return adopt(fd, iface);
}

std::string can_feed::open_fd(int fd, const std::string &iface) {
    if (socket_ >= 0) {
        ::close(fd);
        return "the feed is open already";
    }
    return adopt(fd, iface);
}

std::string can_feed::adopt(int fd, const std::string &iface) {
    // The kernel's receive time, for the recording.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on);
    socket_ = fd;
    iface_ = iface;
    record_.iface = iface;
    return {};
}

void can_feed::start(latest_values &table) {
    if (socket_ < 0 || thread_.joinable()) return;
    signals_.resolve(table);
    stopping_ = false;
    thread_ = std::thread([this, &table] { run(table); });
}

void can_feed::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

void can_feed::run(latest_values &table) {
    pollfd waiting{socket_, POLLIN, 0};
    iovec io{buffer_, sizeof buffer_};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timeval)) + CMSG_SPACE(64)];
    while (!stopping_.load()) {
        waiting.revents = 0;
        if (::poll(&waiting, 1, poll_ms) <= 0) continue;
        for (int i = 0; i < burst && !stopping_.load(); ++i) {
            msghdr message{};
            message.msg_iov = &io;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(socket_, &message, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break; // drained
            if (n <= 0) {
                // The interface went down, or the other end closed: said once, waited out, never a spin.
                errors_.note_once(n == 0 ? "the other end closed" : failed("reading stopped"));
                ::poll(nullptr, 0, poll_ms);
                break;
            }
            const timeval *stamp = nullptr;
            timeval when{};
            for (cmsghdr *c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c))
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP &&
                    c->cmsg_len == CMSG_LEN(sizeof(timeval))) {
                    std::memcpy(&when, CMSG_DATA(c), sizeof when);
                    stamp = &when;
                }
            take(size_t(n), (message.msg_flags & MSG_TRUNC) != 0, stamp, table);
        }
    }
}

void can_feed::take(size_t size, bool truncated, const timeval *stamp, latest_values &table) {
    const int64_t arrived = feed_clock_ns();
    canfd_frame frame{};
    const bool fd = size == CANFD_MTU;
    if (truncated || (size != CAN_MTU && !fd)) {
        counts_.refused.fetch_add(1, std::memory_order_relaxed);
        counts_.taken();
        return;
    }
    std::memcpy(&frame, buffer_, size);
    if (frame.len > (fd ? CANFD_MAX_DLEN : CAN_MAX_DLEN)) {
        counts_.refused.fetch_add(1, std::memory_order_relaxed);
        counts_.taken();
        return;
    }
    const bool error = (frame.can_id & CAN_ERR_FLAG) != 0;
    const bool remote = !fd && !error && (frame.can_id & CAN_RTR_FLAG) != 0;
    const bool extended = !error && (frame.can_id & CAN_EFF_FLAG) != 0;
    const uint32_t id = error ? frame.can_id & CAN_ERR_MASK : frame.can_id & (extended ? CAN_EFF_MASK : CAN_SFF_MASK);
    if (raw_ != nullptr) {
        timespec now{};
        if (stamp == nullptr) ::clock_gettime(CLOCK_REALTIME, &now);
        record_.time = stamp != nullptr ? seconds_of(*stamp) : double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
        record_.id = id;
        record_.extended = extended;
        record_.fd = fd;
        record_.remote = remote;
        record_.error = error;
        record_.flags = fd ? frame.flags : 0;
        record_.length = frame.len;
        std::memcpy(record_.data.data(), frame.data, remote ? 0 : frame.len);
        raw_->record(record_);
    }
    if (error) errors_.take(id, frame.data, frame.len, counts_);
    else if (!remote) signals_.take(id, extended, frame.data, frame.len, arrived, table, counts_);
    counts_.taken();
}

} // namespace pitwall
