// scene_frames.h - a whole scene on the raster context, frame after frame, as the scene benchmarks
// (scene_bench.cpp) and the instruction-count driver (frame_driver.cpp) both draw it.
//
// Two kinds of frame:
//   - full: the canvas cleared to the scene's background, then every control drawn;
//   - partial: only what changed since the previous frame repainted and redrawn. change_value()
//     gives it something to redraw: the first "Basic Box" of the scene alternates between two
//     values (its own, and 0.1 more, each shown with one decimal), set outside the frame.
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

    // One frame of either kind; each returns the number of draws that returned nonzero.
    int full_frame();
    int partial_frame();
    // Switch the value box to its other value: a set of "value" and one of "render_text".
    void change_value();

private:
    pitwall::scene scene_;
    std::unique_ptr<pitwall::engine> engine_;
    std::unique_ptr<pitwall::raster_context> canvas_;
    pitwall::scene_run run_;
    std::function<void(const gr_rect_t &)> repaint_; // made once, not per frame
    pitwall::instance *box_ = nullptr;
    double values_[2] = {};
    std::string texts_[2];
    int shown_ = 0; // which of values_ the box was given last (at first, the scene's own value)
};

} // namespace bench

#endif // PITWALL_BENCH_SCENE_FRAMES_H
