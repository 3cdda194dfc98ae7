// Live values recorded as a telemetry log.
#include "pitwall/telemetry_recorder.h"

#include "pitwall/csv_fields.h"
#include "pitwall/live_feed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace pitwall {
namespace {

constexpr auto write_every = std::chrono::milliseconds(100);
constexpr int64_t sync_every_ns = 1000000000;
// A row still gathering is written once no value has joined it for this long: a datagram's values
// all arrive within microseconds.
constexpr int64_t row_settles_ns = 50000000;

} // namespace

telemetry_recorder::~telemetry_recorder() { close(); }

std::string telemetry_recorder::open(const std::string &path, const latest_values &channels) {
    if (fd_ >= 0 || writer_.joinable()) return "the recording is open already";
    if (channels.size() + 1 > max_csv_columns)
        return std::to_string(channels.size()) + " channels and the time make more than " +
               std::to_string(max_csv_columns) + " columns";
    // The time column takes a name no channel has.
    std::string time = "t";
    for (int n = 0; channels.index_of(time) >= 0; ++n) time = n == 0 ? "time" : "t" + std::to_string(n);
    std::string header;
    csv_field(time, header);
    for (size_t i = 0; i < channels.size(); ++i) {
        header += ',';
        if (!csv_field(channels.name(i), header))
            return "channel \"" + channels.name(i).substr(0, 64) + "\" cannot be a column: it holds a line end or " +
                   "is longer than " + std::to_string(max_csv_field_bytes) + " bytes";
    }
    header += '\n';

    // A new file only: O_EXCL refuses an existing name, a link included (O_NOFOLLOW says so for the
    // last part). The mode is what the umask leaves of 0666.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int e = errno;
        struct stat st {};
        if ((e == EEXIST || e == ELOOP) && ::lstat(path.c_str(), &st) == 0)
            return path + (S_ISLNK(st.st_mode) ? " is a symbolic link" : " exists already") +
                   ": a recording goes to a new file only";
        return path + ": " + std::strerror(e);
    }
    fd_ = fd;
    path_ = path;
    if (!write_out(header)) {
        const std::string why = path + ": " + error_;
        ::close(fd_);
        ::unlink(path.c_str()); // ours, made a moment ago, and holding nothing
        fd_ = -1;
        error_.clear();
        return why;
    }
    time_column_ = time;
    channels_ = channels.size();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        values_.assign(channels.size(), 0);
        present_.assign(channels.size(), 0);
        gathering_ = timed_ = false;
        last_us_ = 0;
        rows_ = dropped_ = 0;
        error_.clear();
        open_ = true;
        stopping_ = false;
    }
    writer_ = std::thread([this] { write_loop(); });
    return {};
}

void telemetry_recorder::on_value(size_t channel, double value, int64_t arrived_ns) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || channel >= values_.size() || !error_.empty()) {
        ++dropped_;
        return;
    }
    // Another arrival, or the same channel again within one: the row so far is done.
    if (gathering_ && (arrived_ns != row_ns_ || present_[channel])) end_row();
    if (!gathering_) {
        if (!timed_) first_ns_ = arrived_ns;
        timed_ = true;
        gathering_ = true;
        row_ns_ = arrived_ns;
    }
    values_[channel] = value;
    present_[channel] = 1;
}

void telemetry_recorder::end_row() {
    if (!gathering_) return;
    gathering_ = false;
    // Feeds on other threads stamp their values a little apart: t never goes back.
    const int64_t us = std::max<int64_t>((row_ns_ - first_ns_) / 1000, last_us_);
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%" PRId64 ".%06" PRId64, us / 1000000, us % 1000000);
    // The bound is what the longest row takes: each field is at most 24 characters and a comma.
    if (buffer_.size() + size_t(length) + values_.size() * 25 + 1 > max_buffered_bytes) {
        dropped_ += size_t(std::count(present_.begin(), present_.end(), 1));
        std::fill(present_.begin(), present_.end(), 0);
        return;
    }
    last_us_ = us;
    buffer_.append(text, size_t(length));
    for (size_t i = 0; i < values_.size(); ++i) {
        buffer_ += ',';
        if (!present_[i]) continue;
        present_[i] = 0;
        // The shortest text that reads back as the same double.
        const auto written = std::to_chars(text, text + sizeof text, values_[i]);
        buffer_.append(text, written.ptr);
    }
    buffer_ += '\n';
    ++rows_;
}

void telemetry_recorder::write_loop() {
    std::string out;
    int64_t synced = feed_clock_ns();
    bool unsynced = false;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, write_every, [this] { return stopping_; });
        if (stopping_) break;
        const int64_t now = feed_clock_ns();
        if (gathering_ && now - row_ns_ > row_settles_ns) end_row();
        if (!error_.empty()) buffer_.clear(); // nothing more after a write error
        if (buffer_.empty() && !unsynced) continue;
        out.clear();
        out.swap(buffer_);
        lock.unlock(); // the feeds append while this writes
        const bool written = write_out(out);
        if (!out.empty()) unsynced = true;
        const bool sync = written && unsynced && now - synced >= sync_every_ns;
        const int synced_fine = sync ? ::fdatasync(fd_) : 0;
        const int sync_error = errno;
        lock.lock();
        if (sync) {
            synced = now;
            unsynced = false;
            if (synced_fine != 0 && error_.empty()) error_ = std::strerror(sync_error);
        }
    }
}

bool telemetry_recorder::write_out(const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string why = n < 0 ? std::strerror(errno) : "nothing written";
            const std::lock_guard<std::mutex> lock(mutex_);
            if (error_.empty()) error_ = why;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

std::string telemetry_recorder::close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) return error_.empty() ? std::string() : path_ + ": " + error_;
        stopping_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable()) writer_.join();
    std::string rest;
    bool failed = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        end_row();
        rest.swap(buffer_);
        open_ = false;
        failed = !error_.empty();
    }
    if (!failed && write_out(rest) && ::fdatasync(fd_) != 0) {
        const std::lock_guard<std::mutex> lock(mutex_);
        error_ = std::strerror(errno);
    }
    ::close(fd_);
    fd_ = -1;
    const std::lock_guard<std::mutex> lock(mutex_);
    return error_.empty() ? std::string() : path_ + ": " + error_;
}

uint64_t telemetry_recorder::rows() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return rows_;
}

uint64_t telemetry_recorder::dropped() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

} // namespace pitwall
