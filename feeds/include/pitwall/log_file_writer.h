// log_file_writer.h - a new file that recorders append text to from the feeds' threads, written
// out by a thread of its own: the telemetry log and the raw CAN log both go through one.
//
// The file is new: an existing file or a link at the path is refused, never written through or
// over. Appending only copies into a buffer under a short lock; the writer thread writes the buffer
// every 100 ms and syncs the file at most once a second, so that a power cut loses at most the last
// second or so. What waits is bounded: past max_buffered_bytes an append is refused (the caller
// counts it as dropped) until the writer catches up with a disk that stalls.
#ifndef PITWALL_LOG_FILE_WRITER_H
#define PITWALL_LOG_FILE_WRITER_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace pitwall {

class log_file_writer {
public:
    static constexpr size_t max_buffered_bytes = 16u << 20;

    log_file_writer() = default;
    ~log_file_writer() { close(); }
    log_file_writer(const log_file_writer &) = delete;
    log_file_writer &operator=(const log_file_writer &) = delete;

    // Creates `path` (mode: what the umask leaves of 0666), writes `head` at once and starts the
    // writer. `tick`, when given, runs on the writer thread before each write with the feed clock's
    // now, outside the writer's lock, so that it may append (a row that has settled). Empty on
    // success, otherwise why not ("PATH exists already: a recording goes to a new file only").
    std::string create(const std::string &path, std::string_view head, std::function<void(int64_t)> tick = {});

    // Copied for the writer; false, with nothing copied, when the file is not open, a write failed
    // or the buffer would pass max_buffered_bytes. Any thread.
    bool append(std::string_view bytes);

    // Stops the writer, writes what is left, syncs and closes the file; appends after are refused.
    // Empty, or "PATH: " and the first write error (after which nothing more was written).
    std::string close();

    bool is_open() const;
    const std::string &path() const { return path_; }

private:
    void write_loop();
    bool write_out(const std::string &bytes); // false (error_ set) on a write error

    int fd_ = -1;
    std::string path_;
    std::function<void(int64_t)> tick_;
    std::thread writer_;

    mutable std::mutex mutex_; // everything below
    std::condition_variable wake_;
    bool open_ = false, stopping_ = false;
    std::string buffer_; // appended, waiting for the writer
    std::string error_;
};

} // namespace pitwall

#endif // PITWALL_LOG_FILE_WRITER_H
