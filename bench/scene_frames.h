// scene_frames.h - a whole scene on the raster context, frame after frame, as the scene benchmarks
// (scene_bench.cpp) and the instruction-count driver (frame_driver.cpp) both draw it.
//
// Three kinds of frame:
//   - full: the canvas cleared to the scene's background, then every control drawn;
//   - partial: only what changed since the previous frame repainted and redrawn. change_value()
//     gives it something to redraw: the first "Basic Box" of the scene alternates between two
//     values (its own, and 0.1 more, each shown with one decimal), set outside the frame; or,
//     after choose_change(), a named control's attribute alternates between two given values;
//   - track: the scene's tracks played on by one step of 1/25 s (looping at their end), the
//     changed values set and what they dirtied redrawn, as `pitwall animate` plays them.
//
//     bench::scene_frames frames;
//     if (std::string why = frames.open(path); !why.empty()) ...
//     frames.change_value();
//     failed += frames.partial_frame();
#ifndef PITWALL_BENCH_SCENE_FRAMES_H
#define PITWALL_BENCH_SCENE_FRAMES_H

#include "pitwall/engine.h"
#include "pitwall/raster_context.h"
#include "pitwall/scene.h"
#include "pitwall/scene_run.h"
#include "pitwall/scene_tracks.h"

#include <functional>
#include <memory>
#include <string>

namespace bench {

class scene_frames {
public:
    scene_frames() = default;
    ~scene_frames();
    scene_frames(const scene_frames &) = delete;
    scene_frames &operator=(const scene_frames &) = delete;

    // Load the scene, every plug-in of the build and one instance per control, and draw the first
    // frame whole (fonts and images are loaded there, not in a measured frame). Empty on success,
    // otherwise why the scene cannot be measured.
    std::string open(const std::string &path);

    // One frame of any kind; each returns the number of draws that returned nonzero.
    int full_frame();
    int partial_frame();
    int track_frame();
    // Switch the value box to its other value: a set of "value" and one of "render_text"; after
    // choose_change(), the chosen attribute to its other value.
    void change_value();
    // Partial frames of a named control's attribute alternating between two values (numbers
    // where they read as numbers). Empty on success, otherwise why not.
    std::string choose_change(const std::string &control, const std::string &attribute, const std::string &first,
                              const std::string &second);

    // The canvas pixels the last frame repainted: all of them for a full frame, the damage of a
    // partial or track frame.
    int64_t repainted() const;

    static constexpr double track_step_seconds = 1.0 / 25;

private:
    bool last_full_ = true;
    pitwall::scene scene_;
    std::unique_ptr<pitwall::engine> engine_;
    std::unique_ptr<pitwall::raster_context> canvas_;
    std::unique_ptr<pitwall::kept_drawing_of<pitwall::raster_context>> kept_; // each control's drawing, kept
    pitwall::scene_run run_;
    std::function<void(const gr_rect_t &)> repaint_; // made once, not per frame
    pitwall::instance *box_ = nullptr;
    double values_[2] = {};
    std::string texts_[2];
    int shown_ = 0; // which of values_ the box was given last (at first, the scene's own value)
    // The chosen change: its instance, attribute and two values (none chosen: the value box).
    pitwall::instance *chosen_ = nullptr;
    std::string chosen_attribute_;
    pitwall::attr_value chosen_values_[2];
    // The tracks: a player that hands out only what changed, and the time of the last step.
    std::unique_ptr<pitwall::track_player> player_;
    double time_ = 0;
};

} // namespace bench

#endif // PITWALL_BENCH_SCENE_FRAMES_H
