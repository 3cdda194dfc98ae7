// Live values from lines of text.
#include "pitwall/line_feed.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pitwall {
namespace {

// How long the thread waits for input before it looks whether it is to stop.
constexpr int poll_ms = 50;
constexpr size_t chunk_bytes = 64 * 1024;

} // namespace

std::string stdin_feed::check() const {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0) return describe() + " is not open";
    if ((flags & O_ACCMODE) == O_WRONLY) return describe() + " is not open for reading";
    return {};
}

std::string stdin_feed::describe() const { return fd_ == 0 ? "stdin" : "fd " + std::to_string(fd_); }

void stdin_feed::start(latest_values &table) {
    if (thread_.joinable() || finished_.load()) return;
    stopping_ = false;
    chunk_.resize(chunk_bytes);
    line_.reserve(max_datagram_bytes);
    thread_ = std::thread([this, &table] { run(table); });
}

void stdin_feed::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

void stdin_feed::run(latest_values &table) {
    pollfd waiting{fd_, POLLIN, 0};
    while (!stopping_.load()) {
        waiting.revents = 0;
        const int ready = ::poll(&waiting, 1, poll_ms);
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        if (ready < 0 || (waiting.revents & POLLNVAL) != 0) break;
        const ssize_t n = ::read(fd_, chunk_.data(), chunk_.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break; // the end, or an error that reading again would repeat
        take(chunk_.data(), size_t(n), table);
    }
    if (stopping_.load()) return;
    if (!skipping_) end_line(table); // a last line without its line end
    finished_ = true;
}

void stdin_feed::take(const char *bytes, size_t size, latest_values &table) {
    while (size > 0) {
        const char *end = static_cast<const char *>(std::memchr(bytes, '\n', size));
        const size_t part = end != nullptr ? size_t(end - bytes) : size;
        if (!skipping_ && line_.size() + part > max_datagram_bytes) {
            // Refused at once, whatever follows: the rest of the line is read and dropped.
            skipping_ = true;
            line_.clear();
            counts_.refused.fetch_add(1, std::memory_order_relaxed);
            counts_.taken();
        }
        if (!skipping_) line_.append(bytes, part);
        if (end == nullptr) return;
        if (!skipping_) end_line(table);
        skipping_ = false;
        bytes = end + 1;
        size -= part + 1;
    }
}

void stdin_feed::end_line(latest_values &table) {
    const bool blank = line_.find_first_not_of(" \t\r") == std::string::npos;
    if (!blank) {
        counts_.add(read_datagram(line_, table, feed_clock_ns()));
        counts_.taken();
    }
    line_.clear();
}

} // namespace pitwall
