// The pacing the replaying feeds share.
#include "pitwall/replay_pacing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace pitwall {
namespace {

constexpr int64_t shortest_pass_ns = 1000000;

} // namespace

int64_t replay_ns(double seconds, double speed) {
    const double ns = seconds / speed * 1e9;
    return ns >= 1e18 ? int64_t(1e18) : int64_t(ns);
}

int64_t replay_pass_ns(double duration, size_t rows, double speed) {
    const double interval = rows > 1 && duration > 0 ? duration / double(rows - 1) : 0.1;
    return std::max(replay_ns(duration + interval, speed), shortest_pass_ns);
}

std::string check_replay_speed(double speed) {
    if (speed > 0 && speed <= max_replay_speed) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%g", speed);
    return std::string("speed ") + text + " is not above 0 and at most " + std::to_string(int(max_replay_speed));
}

std::string replay_options(bool loop, double speed) {
    std::string text = loop ? " looped" : "";
    if (speed != 1) {
        char at[64];
        std::snprintf(at, sizeof at, " at speed %g", speed);
        text += at;
    }
    return text;
}

void replay_wait::arm() {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
}

bool replay_wait::until(int64_t due_ns) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::chrono::steady_clock::time_point due{std::chrono::nanoseconds(due_ns)};
    return !wake_.wait_until(lock, due, [this] { return stopping_; });
}

void replay_wait::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
}

} // namespace pitwall
