// A new file appended to by recorders and written out by a thread of its own.
#include "pitwall/log_file_writer.h"

#include "pitwall/live_feed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace pitwall {
namespace {

constexpr auto write_every = std::chrono::milliseconds(100);
constexpr int64_t sync_every_ns = 1000000000;

} // namespace

std::string log_file_writer::create(const std::string &path, std::string_view head,
                                    std::function<void(int64_t)> tick) {
    if (fd_ >= 0 || writer_.joinable()) return "the recording is open already";
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
    error_.clear();
    if (!write_out(std::string(head))) {
        const std::string why = path + ": " + error_;
        ::close(fd_);
        ::unlink(path.c_str()); // ours, made a moment ago, and holding nothing
        fd_ = -1;
        error_.clear();
        return why;
    }
    tick_ = std::move(tick);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        buffer_.clear();
        open_ = true;
        stopping_ = false;
    }
    writer_ = std::thread([this] { write_loop(); });
    return {};
}

bool log_file_writer::append(std::string_view bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || !error_.empty() || buffer_.size() + bytes.size() > max_buffered_bytes) return false;
    buffer_.append(bytes);
    return true;
}

bool log_file_writer::is_open() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void log_file_writer::write_loop() {
    std::string out;
    int64_t synced = feed_clock_ns();
    bool unsynced = false;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, write_every, [this] { return stopping_; });
        if (stopping_) break;
        const int64_t now = feed_clock_ns();
        if (tick_) {
            lock.unlock(); // the tick appends
            tick_(now);
            lock.lock();
            if (stopping_) break;
        }
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

bool log_file_writer::write_out(const std::string &bytes) {
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

std::string log_file_writer::close() {
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

} // namespace pitwall
