// run_stats.h - what `pitwall run --stats` prints once a second: frames drawn and skipped, the
// CPU time a frame took, the share of a core the whole process used, and the latency from a
// value's arrival to the present of the frame that first shows it (median and 99th percentile).
#ifndef PITWALL_RUN_STATS_H
#define PITWALL_RUN_STATS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pitwall::cli {

class run_stats {
public:
    // At most this many latencies are kept a second; past it every other one is dropped, so a
    // flood of values costs bounded memory and the percentiles stay a fair sample.
    static constexpr size_t max_latencies = 4096;

    // From now, with the process's CPU time so far.
    run_stats(int64_t now_ns, int64_t process_cpu_ns) : since_ns_(now_ns), process_cpu_at_(process_cpu_ns) {
        latencies_.reserve(max_latencies);
    }

    void drawn(int64_t cpu_ns) { ++frames_; cpu_ns_ += cpu_ns; }
    void skipped(uint64_t frames) { skipped_ += frames; total_skipped_ += frames; }
    void latency(int64_t ns);

    // True once a second has passed since the last line.
    bool due(int64_t now_ns) const { return now_ns >= next_line(); }
    int64_t next_line() const { return since_ns_ + 1000000000; }
    // The line for the time since the last one, which starts the next: "60 frames drawn, 0
    // skipped, 0.42 ms CPU a frame, 2.6% of a core, latency p50 4.1 ms p99 9.8 ms (58 values)".
    // `process_cpu_ns` is the process's CPU time so far, all threads.
    std::string line(int64_t now_ns, int64_t process_cpu_ns);

    uint64_t total_skipped() const { return total_skipped_; }

    // Said once, when the first frame is up: "first frame shown 0.21 s after the process started
    // (0.18 s loading the scene, its plug-ins and the display)". `process_age_ns` is how long ago
    // the process started (-1 unknown: then only the loading is said), `loading_ns` the time from
    // the command's start to the first present.
    static std::string startup_line(int64_t process_age_ns, int64_t loading_ns);
    // How long ago this process was started, from the kernel's record of it; -1 when unknown.
    static int64_t process_age_ns();

    // The value at quantile q (0..1) of `values`, which it sorts; 0 when empty.
    static int64_t quantile(std::vector<int64_t> &values, double q);

private:
    int64_t since_ns_;
    int64_t process_cpu_at_;
    uint64_t frames_ = 0, skipped_ = 0, total_skipped_ = 0, values_ = 0;
    int64_t cpu_ns_ = 0;
    std::vector<int64_t> latencies_;
    bool thin_ = false; // dropping every other latency this second
};

} // namespace pitwall::cli

#endif // PITWALL_RUN_STATS_H
