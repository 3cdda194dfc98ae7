// The progress bar: one line on a terminal's stderr, rewritten with a carriage return.
#include "progress.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace pitwall::cli {

progress_bar *progress_bar::active_ = nullptr;

progress_bar::progress_bar(size_t total, bool show)
    : total_(total), shown_(show && isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()), last_draw_(start_) {
    if (shown_ && active_ == nullptr) active_ = this;
}

std::string progress_bar::text(size_t done, size_t total, double elapsed, int cells) {
    const size_t full = total == 0 ? size_t(cells) : done * size_t(cells) / total;
    std::string bar = "[" + std::string(full, '#') + std::string(size_t(cells) - full, '.') + "] ";
    bar += std::to_string(done) + "/" + std::to_string(total) + " frames";
    if (done == 0 || elapsed <= 0) return bar;
    const double rate = double(done) / elapsed;
    char tail[64];
    std::snprintf(tail, sizeof tail, " %.1f fps %.0f s left", rate, std::ceil(double(total - done) / rate));
    return bar + tail;
}

void progress_bar::update(size_t done) {
    if (!shown_ || finished_) return;
    const auto now = std::chrono::steady_clock::now();
    done_ = done;
    if (drawn_ && done < total_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
    draw(now);
}

void progress_bar::draw(std::chrono::steady_clock::time_point now) {
    last_draw_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    // Back to the line's start, the bar, then erase whatever a longer bar left to its right.
    std::fprintf(stderr, "\r%s\033[K", text(done_, total_, elapsed).c_str());
    std::fflush(stderr);
    drawn_ = true;
}

progress_bar::output_pause::output_pause() : bar_(active_ != nullptr && active_->drawn_ ? active_ : nullptr) {
    if (bar_ != nullptr) bar_->interrupt();
}

progress_bar::output_pause::~output_pause() {
    if (bar_ != nullptr && active_ == bar_ && !bar_->finished_) bar_->draw(std::chrono::steady_clock::now());
}

void progress_bar::interrupt() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

void progress_bar::finish() {
    if (active_ == this) active_ = nullptr;
    if (finished_) return;
    finished_ = true;
    if (drawn_) std::fputs("\n", stderr);
    drawn_ = false;
}

} // namespace pitwall::cli
