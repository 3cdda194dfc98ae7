// The once-a-second figures of `pitwall run --stats`.
#include "run_stats.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace pitwall::cli {

void run_stats::latency(int64_t ns) {
    ++values_;
    if (thin_ && values_ % 2 == 0) return;
    if (latencies_.size() == max_latencies) {
        // Keep every other sample so far and from now on.
        size_t kept = 0;
        for (size_t i = 0; i < latencies_.size(); i += 2) latencies_[kept++] = latencies_[i];
        latencies_.resize(kept);
        thin_ = true;
    }
    latencies_.push_back(std::max<int64_t>(ns, 0));
}

std::string run_stats::startup_line(int64_t process_age_ns, int64_t loading_ns) {
    char text[160];
    if (process_age_ns >= 0)
        std::snprintf(text, sizeof text, "first frame shown %.2f s after the process started (%.2f s loading the scene, its plug-ins and the display)",
                      double(process_age_ns) / 1e9, double(loading_ns) / 1e9);
    else
        std::snprintf(text, sizeof text, "first frame shown %.2f s after loading began", double(loading_ns) / 1e9);
    return text;
}

int64_t run_stats::process_age_ns() {
    // Field 22 of /proc/self/stat is the start, in clock ticks since boot; the name before it (in
    // parentheses) may hold blanks, so the fields are counted from its closing parenthesis.
    FILE *f = std::fopen("/proc/self/stat", "r");
    if (f == nullptr) return -1;
    char line[1024];
    const size_t n = std::fread(line, 1, sizeof line - 1, f);
    std::fclose(f);
    line[n] = '\0';
    const char *p = std::strrchr(line, ')');
    if (p == nullptr) return -1;
    unsigned long long ticks = 0;
    // After ")": state (3), then fields 4 to 21, then the start time (22).
    if (std::sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu", &ticks) != 1)
        return -1;
    const long hz = sysconf(_SC_CLK_TCK);
    timespec boot{};
    if (hz <= 0 || clock_gettime(CLOCK_BOOTTIME, &boot) != 0) return -1;
    const int64_t since_boot = int64_t(boot.tv_sec) * 1000000000 + boot.tv_nsec;
    return std::max<int64_t>(since_boot - int64_t(ticks) * (1000000000 / hz), 0);
}

int64_t run_stats::quantile(std::vector<int64_t> &values, double q) {
    if (values.empty()) return 0;
    const size_t at = std::min(values.size() - 1, size_t(std::ceil(q * double(values.size()))) - (q > 0 ? 1 : 0));
    std::nth_element(values.begin(), values.begin() + ptrdiff_t(at), values.end());
    return values[at];
}

std::string run_stats::line(int64_t now_ns, int64_t process_cpu_ns) {
    const double wall = double(std::max<int64_t>(now_ns - since_ns_, 1));
    const double share = 100.0 * double(process_cpu_ns - process_cpu_at_) / wall;
    char text[256];
    int n = std::snprintf(text, sizeof text, "%llu frames drawn, %llu skipped, %.2f ms CPU a frame, %.1f%% of a core",
                          static_cast<unsigned long long>(frames_), static_cast<unsigned long long>(skipped_),
                          frames_ == 0 ? 0.0 : double(cpu_ns_) / double(frames_) / 1e6, share);
    if (values_ > 0 && n > 0 && size_t(n) < sizeof text) {
        const double p50 = double(quantile(latencies_, 0.5)) / 1e6, p99 = double(quantile(latencies_, 0.99)) / 1e6;
        std::snprintf(text + n, sizeof text - size_t(n), ", latency p50 %.1f ms p99 %.1f ms (%llu values)", p50, p99,
                      static_cast<unsigned long long>(values_));
    }
    since_ns_ = now_ns;
    process_cpu_at_ = process_cpu_ns;
    frames_ = skipped_ = values_ = 0;
    cpu_ns_ = 0;
    latencies_.clear();
    thin_ = false;
    return text;
}

} // namespace pitwall::cli
