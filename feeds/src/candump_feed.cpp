// A candump log replayed at its own pace.
#include "pitwall/candump_feed.h"

#include "pitwall/candump_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

namespace pitwall {
namespace {

// The log's lines, read a chunk at a time: what is held is one chunk and one line at most.
class log_lines {
public:
    ~log_lines() {
        if (fd_ >= 0) ::close(fd_);
    }
    // Empty, or why not.
    std::string open(const std::string &path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return std::strerror(errno);
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return std::strerror(errno);
        if (!S_ISREG(st.st_mode)) return "not a regular file";
        return {};
    }
    // The next line without its line end, cut at max_line_bytes (`cut` says so); false at the end
    // of the file or on a read error (`error` says which).
    bool next(std::string &line, bool &cut) {
        line.clear();
        cut = false;
        for (;;) {
            if (at_ == size_) {
                const ssize_t n = ::read(fd_, chunk_, sizeof chunk_);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) error = std::strerror(errno);
                if (n <= 0) return !line.empty() || cut; // the last line needs no line end
                at_ = 0;
                size_ = size_t(n);
            }
            const char *begin = chunk_ + at_, *end = chunk_ + size_;
            const char *newline = std::find(begin, end, '\n');
            const size_t room = candump_feed::max_line_bytes - line.size();
            const size_t part = size_t(newline - begin);
            line.append(begin, std::min(part, room));
            cut |= part > room;
            at_ += part;
            if (newline != end) {
                ++at_;
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return true;
            }
        }
    }
    std::string error;

private:
    int fd_ = -1;
    char chunk_[65536];
    size_t at_ = 0, size_ = 0;
};

bool blank(const std::string &line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

} // namespace

std::string candump_feed::want(const can::database &db, const std::vector<signal_channel> &signals,
                               candump_recorder *raw) {
    if (std::string why = signals_.build(db, signals); !why.empty()) return why;
    raw_ = raw;
    return {};
}

std::string candump_feed::open(const std::string &path, bool loop, double speed) {
    if (!path_.empty()) return "the feed is open already";
    if (std::string e = check_replay_speed(speed); !e.empty()) return e;
    auto lines = std::make_unique<log_lines>();
    if (std::string why = lines->open(path); !why.empty()) return path + ": " + why;
    std::string line;
    bool cut = false;
    can::can_frame_record frame;
    size_t frames = 0;
    double first = 0, last = 0;
    while (lines->next(line, cut)) {
        if (cut || blank(line) || !can::parse_candump_line(line, frame, nullptr)) continue;
        if (frames++ == 0) first = frame.time;
        last = std::max(last, frame.time);
    }
    if (!lines->error.empty()) return path + ": " + lines->error;
    if (frames == 0) return path + ": no frame in the log (lines such as \"(1700000000.000000) can0 123#DEADBEEF\")";
    path_ = path;
    frames_ = frames;
    first_time_ = first;
    last_time_ = std::max(first, last);
    loop_ = loop;
    speed_ = speed;
    return {};
}

std::string candump_feed::describe() const { return "candump " + path_ + replay_options(loop_, speed_); }

void candump_feed::start(latest_values &table) {
    if (path_.empty() || thread_.joinable() || finished_.load()) return;
    signals_.resolve(table);
    wait_.arm();
    thread_ = std::thread([this, &table] { run(table); });
}

void candump_feed::stop() {
    wait_.stop();
    if (thread_.joinable()) thread_.join();
}

void candump_feed::run(latest_values &table) {
    const int64_t pass_ns = replay_pass_ns(duration(), frames_, speed_);
    std::unique_ptr<log_lines> lines;
    std::string line, why;
    bool cut = false;
    can::can_frame_record frame;
    for (int64_t pass_began = feed_clock_ns();; pass_began += pass_ns) {
        size_t number = 0;
        lines = std::make_unique<log_lines>();
        if (std::string e = lines->open(path_); !e.empty()) {
            errors_.note_once(path_ + ": " + e); // gone since it was opened
            break;
        }
        while (lines->next(line, cut)) {
            ++number;
            if (!cut && blank(line)) continue;
            if (cut || !can::parse_candump_line(line, frame, &why)) {
                if (!said_refusal_)
                    errors_.note_once(path_ + ":" + std::to_string(number) + ": " +
                                      (cut ? "a line longer than " + std::to_string(max_line_bytes) + " bytes" : why) +
                                      " (lines that are no frame are counted as refused)");
                said_refusal_ = true;
                counts_.refused.fetch_add(1, std::memory_order_relaxed);
                counts_.taken();
                continue;
            }
            // A frame stamped before the first (another interface's, a little apart) comes at once.
            if (!wait_.until(pass_began + replay_ns(std::max(0.0, frame.time - first_time_), speed_))) return;
            play(frame, table);
        }
        if (!lines->error.empty()) errors_.note_once(path_ + ": " + lines->error);
        if (!loop_) break;
    }
    finished_ = true;
}

void candump_feed::play(const can::can_frame_record &frame, latest_values &table) {
    const int64_t arrived = feed_clock_ns();
    if (raw_ != nullptr) {
        // Recorded when it is heard, as from a bus: a looped log's times never go back.
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        can::can_frame_record heard = frame;
        heard.time = double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
        raw_->record(heard);
    }
    if (frame.error) errors_.take(frame.id, frame.data.data(), frame.length, counts_);
    else if (!frame.remote) signals_.take(frame.id, frame.extended, frame.data.data(), frame.length, arrived, table, counts_);
    counts_.taken();
}

} // namespace pitwall
