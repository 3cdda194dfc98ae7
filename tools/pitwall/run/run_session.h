// run_session.h - one scene shown by `pitwall run`: its engine and plug-ins, the canvas, the
// running scene, the table of latest values, the binding of its channels and the feeds. SIGHUP
// makes a new session from the scene file and swaps it in once it has loaded.
#ifndef PITWALL_RUN_SESSION_H
#define PITWALL_RUN_SESSION_H

#include "commands.h"

#include "pitwall/candump_recorder.h"
#include "pitwall/dbc.h"
#include "pitwall/feed_source.h"
#include "pitwall/latest_values.h"
#include "pitwall/live_binding.h"
#include "pitwall/live_feed.h"
#include "pitwall/raster_context.h"
#include "pitwall/scene_run.h"
#include "pitwall/screen.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pitwall::cli {

class run_session {
public:
    run_session() = default;
    ~run_session(); // feeds stopped, instances destroyed while the canvas is the render context
    run_session(const run_session &) = delete;
    run_session &operator=(const run_session &) = delete;

    // The scene loaded, its plug-ins and the feeds (--feed, or the scene's own sources), bound but
    // not started. False, with the reasons on stderr, when any of it fails.
    // With `raw`, the CAN feeds record the frames they hear there.
    bool open(const options &opts, scene loaded, candump_recorder *raw = nullptr);
    const scene &shown() const { return scene_; }
    int width() const { return scene_.width; }
    int height() const { return scene_.height; }
    const latest_values &table() const { return *table_; }

    // Start reading: every value stored goes to `tap` as well.
    void start_feeds(value_tap &tap);
    void stop_feeds();
    // What is shown where, and where the feeds listen, on stderr.
    void announce(const screen &display) const;

    // The frame at now_ns: the binding's changes applied and drawn, everything on the first frame,
    // only what changed after it. `arrivals` gets the arrival times of the values it first shows;
    // `failed` counts the draws that failed.
    void frame(int64_t now_ns, bool first, int &failed, std::vector<int64_t> &arrivals);
    // What the last frame repainted (empty when nothing changed).
    const std::vector<gr_rect_t> &damage() const { return damage_; }
    raster_context &canvas() { return *canvas_; }
    int64_t next_change() const { return binding_.next_change(); }

    // Bad input of each feed since the last report, when there was some (called once a
    // second); with `totals` every feed's values as well.
    void report_feeds(bool totals);
    // The feeds' counts for the whole run.
    std::string summary() const;

private:
    // The signal database, when a channel names a signal or a feed reads CAN; each such channel's
    // timeout, where the scene gives none, three cycles of its message. False, saying why.
    bool load_signals(feed_context &context);
    void name_signal_values();

    options opts_;
    scene scene_;
    std::unique_ptr<engine> engine_;
    can::database dbc_;
    std::unique_ptr<raster_context> canvas_;
    std::unique_ptr<kept_drawing_of<raster_context>> kept_;
    scene_run run_;
    std::unique_ptr<latest_values> table_;
    live_binding binding_;
    live_binding::frame changes_;
    std::vector<std::unique_ptr<live_feed>> feeds_;
    std::vector<feed_totals> reported_; // each feed's counts at its last report
    std::vector<bool> ended_;           // a finite feed's end has been told
    std::vector<gr_rect_t> damage_;
    bool started_ = false;
    std::string last_error_; // an apply error told once, not every frame
};

} // namespace pitwall::cli

#endif // PITWALL_RUN_SESSION_H
