// progress.h - a progress bar of frames on stderr, redrawn in place on one line:
//   [#####.....] 120/300 frames 24.1 fps 7 s left
// Only on a terminal: piped or redirected, stderr gets none of it. Other lines for stderr go
// through an output_pause, so that they never land on the bar.
#ifndef PITWALL_TOOL_PROGRESS_H
#define PITWALL_TOOL_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <string>

namespace pitwall::cli {

class progress_bar {
public:
    // Shown when stderr is a terminal and `show` is true.
    explicit progress_bar(size_t total, bool show = true);
    ~progress_bar() { finish(); }
    progress_bar(const progress_bar &) = delete;
    progress_bar &operator=(const progress_bar &) = delete;

    // `done` frames are finished. Redrawn at most ten times a second, and always at the last.
    void update(size_t done);
    // Clear the bar's line before other text goes to stderr; the next update draws it again.
    void interrupt();
    // End the bar's line (once).
    void finish();

    // The bar's text for `done` of `total` after `elapsed` seconds, `cells` wide.
    static std::string text(size_t done, size_t total, double elapsed, int cells = 10);

    // While one lives, the bar on show (if any) is off its line, so that a line printed to stderr
    // starts at the left on a clean line; the bar is drawn again when it ends.
    class output_pause {
    public:
        output_pause();
        ~output_pause();
        output_pause(const output_pause &) = delete;
        output_pause &operator=(const output_pause &) = delete;

    private:
        progress_bar *bar_;
    };

private:
    void draw(std::chrono::steady_clock::time_point now);

    static progress_bar *active_; // the bar being drawn on stderr; one at a time
    size_t total_;
    size_t done_ = 0;
    bool shown_ = false;   // a terminal is there to draw on
    bool drawn_ = false;   // the line holds the bar now
    bool finished_ = false;
    std::chrono::steady_clock::time_point start_, last_draw_;
};

} // namespace pitwall::cli

#endif // PITWALL_TOOL_PROGRESS_H
