// pitwall run SCENE: the dashboard on a screen, driven by live data.
//
// Feeds read on threads of their own into a table of latest values; the frame loop reads the
// table at the start of a frame, applies what changed (live values, stale channels, the demo
// loop), redraws only what that damaged and uploads only those pixels. It never waits on a feed:
// between frames it sleeps until a value arrives, a channel is due to go stale, the demo's next
// frame or a window event, never sooner than one frame interval after the last frame. An idle
// dashboard draws nothing and sleeps.
//
// SIGINT and SIGTERM stop it (the recording flushed and closed, the screenshot written); SIGHUP
// reloads the scene, keeping the old one if the new one does not load.
#include "commands.h"
#include "run_recordings.h"
#include "run_session.h"
#include "run_stats.h"

#include "pitwall/file_write.h"
#include "pitwall/screen.h"

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

namespace pitwall::cli {
namespace {

volatile std::sig_atomic_t stop_signal = 0;
volatile std::sig_atomic_t reload_signal = 0;

void on_stop(int) { stop_signal = 1; }
void on_reload(int) { reload_signal = 1; }

void install_signals() {
    struct sigaction stop {};
    stop.sa_handler = on_stop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    struct sigaction reload {};
    reload.sa_handler = on_reload;
    sigemptyset(&reload.sa_mask);
    sigaction(SIGHUP, &reload, nullptr);
}

int64_t clock_ns(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}
int64_t now_ns() { return clock_ns(CLOCK_MONOTONIC); }

// The table's values go to the recording (when there is one) and wake the frame loop: the first
// value after a frame pushes one wake, the rest of a burst only finds the flag set.
class wake_on_value final : public value_tap {
public:
    wake_on_value(screen &display, value_tap *recording, std::vector<std::string> recorded)
        : display_(display), recording_(recording), recorded_(std::move(recorded)) {}
    void on_value(size_t channel, double value, int64_t arrived_ns) override {
        if (recording_ != nullptr) recording_->on_value(channel, value, arrived_ns);
        if (!pending_.exchange(true, std::memory_order_acq_rel)) display_.wake();
    }
    // Whether a value came since the last call.
    bool take() { return pending_.exchange(false, std::memory_order_acq_rel); }
    // A reloaded scene's channels go on into the recording only when they are its columns.
    void check_recording(const latest_values &table, const std::string &path) {
        if (recording_ == nullptr) return;
        bool same = table.size() == recorded_.size();
        for (size_t i = 0; same && i < recorded_.size(); ++i) same = table.name(i) == recorded_[i];
        if (same) return;
        recording_ = nullptr;
        std::fprintf(stderr, "pitwall run: the reloaded scene's channels differ: the recording to %s stops\n", path.c_str());
    }

private:
    screen &display_;
    value_tap *recording_;
    std::vector<std::string> recorded_; // the recording's columns
    std::atomic<bool> pending_{false};
};

// SIGHUP: the scene file read again and shown in place of the old one, whose plug-ins and feeds
// must go first (one engine per plug-in library, one socket per port). A file that does not load
// leaves the old scene shown; one that loads but cannot start brings the old one back.
bool reload(const options &opts, std::unique_ptr<run_session> &session, wake_on_value &waker, run_recordings &recordings) {
    scene fresh;
    if (!load_scene_for(opts, opts.scene, fresh)) {
        std::fprintf(stderr, "pitwall run: %s: not reloaded, the scene shown stays\n", opts.scene.c_str());
        return true;
    }
    if (fresh.width != session->width() || fresh.height != session->height()) {
        std::fprintf(stderr, "pitwall run: %s: the canvas changed size (%dx%d): not reloaded, restart to show it\n",
                     opts.scene.c_str(), fresh.width, fresh.height);
        return true;
    }
    scene old = session->shown();
    session = std::make_unique<run_session>(); // the old one's plug-ins and feeds released first
    if (session->open(opts, std::move(fresh), recordings.raw())) {
        std::fprintf(stderr, "pitwall run: %s reloaded\n", opts.scene.c_str());
    } else {
        std::fprintf(stderr, "pitwall run: %s: not reloaded, the scene shown stays\n", opts.scene.c_str());
        session = std::make_unique<run_session>();
        if (!session->open(opts, std::move(old), recordings.raw())) return false;
    }
    waker.check_recording(session->table(), recordings.values_path());
    session->start_feeds(waker);
    return true;
}

bool write_screenshot(const raster_context &canvas, const std::string &path) {
    std::string png, why;
    if (!canvas.encode_png(1, png, &why) || !replace_file(path, png, &why)) {
        std::fprintf(stderr, "pitwall run: %s: %s\n", path.c_str(), why.c_str());
        return false;
    }
    return true;
}

} // namespace

int cmd_run(const options &opts) {
    const int64_t loading_began = now_ns();
    display_options shown;
    shown.mode = *parse_display_mode(opts.display); // the option's check took only known modes
    shown.rotate = opts.rotate;
    shown.vsync = opts.run_fps <= 0;

    run_recordings recordings;
    if (!recordings.choose(opts.record) || !recordings.open_raw()) return exit_usage;
    scene first_scene;
    if (!load_scene_for(opts, opts.scene, first_scene)) return exit_usage;
    auto session = std::make_unique<run_session>();
    if (!session->open(opts, std::move(first_scene), recordings.raw())) return exit_usage;
    if (!recordings.open_values(session->table())) return exit_usage;

    screen display;
    if (std::string why = display.open(shown, session->width(), session->height()); !why.empty()) {
        std::fprintf(stderr, "pitwall run: %s\n", why.c_str());
        return exit_usage;
    }
    install_signals();
    std::vector<std::string> columns;
    for (size_t i = 0; recordings.values() != nullptr && i < session->table().size(); ++i)
        columns.push_back(session->table().name(i));
    wake_on_value waker(display, recordings.values(), std::move(columns));
    session->start_feeds(waker);

    const double fps = opts.run_fps > 0 ? opts.run_fps : double(std::max(display.refresh_hz(), 1));
    const int64_t interval = int64_t(1e9 / fps);
    const int64_t started = now_ns();
    const int64_t stop_at = opts.seconds > 0 ? started + int64_t(opts.seconds * 1e9) : INT64_MAX;
    run_stats stats(started, clock_ns(CLOCK_PROCESS_CPUTIME_ID));

    int failed = 0;
    bool first = true, waited = false, announced = false;
    int64_t last_frame = started - interval;
    std::vector<int64_t> arrivals;
    while (!stop_signal) {
        if (reload_signal) {
            reload_signal = 0;
            if (!reload(opts, session, waker, recordings)) break;
            first = true;
        }
        if (!display.pump_events()) break;
        const int64_t frame_start = now_ns();
        if (frame_start >= stop_at) break;
        waker.take();

        // The frame: what the feeds brought, drawn where it changed, uploaded and presented.
        const int64_t cpu_before = clock_ns(CLOCK_THREAD_CPUTIME_ID);
        bool presented = false;
        session->frame(frame_start, first, failed, arrivals);
        if (first) {
            display.present_all(session->canvas().pixels(), session->canvas().stride());
            presented = true;
        } else {
            presented = display.present(session->canvas().pixels(), session->canvas().stride(), session->damage());
        }
        const int64_t shown_at = now_ns();
        // Said once the first frame is up, so that whoever waits for it knows the scene shows.
        if (!announced && verbosity() >= 0) session->announce(display);
        // How long a board takes from its service starting to a dashboard on the screen.
        if (!announced && opts.stats)
            std::fprintf(stderr, "pitwall run: %s\n",
                         run_stats::startup_line(run_stats::process_age_ns(), shown_at - loading_began).c_str());
        announced = true;
        if (presented) {
            stats.drawn(clock_ns(CLOCK_THREAD_CPUTIME_ID) - cpu_before);
            for (int64_t arrived : arrivals) stats.latency(shown_at - arrived);
            // Frames that were due while this loop was busy, not asleep, were skipped.
            const int64_t gap = frame_start - last_frame;
            if (!first && !waited && gap > interval + interval / 2) stats.skipped(uint64_t(gap / interval) - 1);
            last_frame = frame_start;
        }
        first = false;
        if (stats.due(shown_at)) {
            const std::string line = stats.line(shown_at, clock_ns(CLOCK_PROCESS_CPUTIME_ID));
            if (opts.stats) std::fprintf(stderr, "pitwall run: %s\n", line.c_str());
            session->report_feeds(opts.stats);
        }

        // Sleep until the next thing to show, and at least until the next frame is due.
        const int64_t next_frame = frame_start + interval;
        const int64_t change = session->next_change();
        int64_t wake_at = std::max(change == INT64_MIN ? next_frame : change, next_frame);
        // At least once a second, for the statistics and the feeds' reports of bad input.
        wake_at = std::min({wake_at, stop_at, stats.next_line()});
        waited = false;
        for (int64_t now = now_ns(); now < wake_at && !stop_signal && !reload_signal; now = now_ns()) {
            // A value that came wakes the loop early, but never before the next frame is due.
            if (now >= next_frame && waker.take()) break;
            const int64_t until = now >= next_frame ? wake_at : next_frame;
            // Capped so that a signal, which does not wake the display's wait, is seen soon.
            const int ms = int(std::clamp<int64_t>((until - now + 999999) / 1000000, 1, 100));
            waited = waited || now >= next_frame; // idle: no frame was due to be drawn
            if (!display.wait(ms)) {
                stop_signal = 1;
                break;
            }
        }
    }

    session->stop_feeds();
    bool wrote = recordings.close();
    if (!opts.screenshot.empty()) wrote = write_screenshot(session->canvas(), opts.screenshot) && wrote;
    if (opts.stats) std::fprintf(stderr, "pitwall run: %s\n", session->summary().c_str());
    session.reset();
    if (!wrote) return exit_usage;
    return failed == 0 ? exit_ok : exit_widget_failed;
}

} // namespace pitwall::cli
