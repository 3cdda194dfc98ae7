// replay_pacing.h - what the replaying feeds (a telemetry log, a candump log) share: a log's
// seconds as nanoseconds of replay at a speed, the length of one looped pass, the options said in
// a feed's description, and a wait for a row's moment that stop() cuts short.
#ifndef PITWALL_REPLAY_PACING_H
#define PITWALL_REPLAY_PACING_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace pitwall {

// The fastest replay: an hour's log in under four seconds.
constexpr double max_replay_speed = 1000;

// Seconds of log as nanoseconds of replay, bounded so that a log's absurd times wait (until the
// feed stops) instead of overflowing.
int64_t replay_ns(double seconds, double speed);

// One pass of a looped log of `rows` spanning `duration` seconds: the log and one row interval
// after its last row (the log's own rhythm), never under a millisecond, so that a log of one
// instant cannot spin.
int64_t replay_pass_ns(double duration, size_t rows, double speed);

// Empty when `speed` is above 0 and at most max_replay_speed, else "speed S is not above 0 and at
// most 1000".
std::string check_replay_speed(double speed);

// " looped", " at speed 2", both, or nothing: what follows a replaying feed's name and file.
std::string replay_options(bool loop, double speed);

// The replaying thread's wait for its next row, which stop() from another thread cuts short.
class replay_wait {
public:
    void arm();                      // before the thread starts: not stopped
    bool until(int64_t due_ns);      // on the feed clock; false once stopped
    void stop();                     // any thread
private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

} // namespace pitwall

#endif // PITWALL_REPLAY_PACING_H
