// scene_run.h - a scene's widgets on an engine: one instance per control, drawn frame by frame,
// with the scene's steps (changes, clones, destroys, staged faults) applied between frames.
#ifndef PITWALL_SCENE_RUN_H
#define PITWALL_SCENE_RUN_H

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"
#include "pitwall/scene.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pitwall {

// One control's draw: which control, which widget, what it returned, `dirty` before and after.
struct draw_result {
    std::string control;
    std::string widget;
    int result;
    int32_t dirty_before;
    int32_t dirty_after;
};

// Tell the recording context what a scene or step stages (images, text metrics, faults).
void apply_staging(const scene_staging &stage, recording_context &recorder, resources &fonts);

class scene_run {
public:
    // Called right after each control's draw (a trace writes its result line here).
    using draw_observer = std::function<void(const draw_result &)>;

    // Create one instance per control, register the font map, set each control's state and
    // attributes. With a recorder, the scene's staging goes to it, and each control's staged clip
    // is put in force before its draw.
    error build(engine &eng, const scene &s, recording_context *recorder = nullptr);
    // Apply one step before its frame: staging, clones, destroys, then changes. Errors name the
    // step's control that does not exist or a value that does not fit.
    error apply(const scene_step &step);
    // Called before a step clones or destroys a control, with "clone "A" as "B"" or
    // "destroy "A"" (a trace marks these so that the releases that follow are explained).
    void set_action_observer(std::function<void(const std::string &)> observer) { on_action_ = std::move(observer); }

    // Draw every control in order; returns the number of draws that returned nonzero.
    int draw(gr_context_t *ctx, const draw_observer &observer = {});
    // Redraw only what changed since the previous draw: a control that is dirty (and would draw),
    // moved or resized, shown or hidden, cloned or destroyed damages its area, where it is now and
    // where it was. For each damaged rectangle (overlapping ones merged), `repaint` puts the
    // background back, then every control meeting it is drawn in order with the clip set to it.
    // Returns the number of draws that returned nonzero.
    int draw_changed(gr_context_t *ctx, const std::function<void(const gr_rect_t &)> &repaint,
                     const draw_observer &observer = {});
    // The rectangles the last draw_changed repainted, canvas coordinates, corners inclusive.
    const std::vector<gr_rect_t> &damage() const { return damage_; }

    // The draws of the last draw() that returned nonzero, in draw order.
    const std::vector<draw_result> &failures() const { return failures_; }
    // The plug-ins this run has made instances of, in the order first used.
    const std::vector<const plugin *> &used_plugins() const { return used_; }

    size_t size() const { return controls_.size(); }
    instance &at(size_t i) { return *controls_[i].widget; }
    // Destroy the instances in draw order (before their engine unloads the plug-ins), announcing
    // each as "destroy "NAME"" to the action observer.
    void clear();

private:
    struct control {
        std::string name;
        gr_control_t rect;
        std::unique_ptr<instance> widget;
        std::optional<std::optional<gr_rect_t>> clip; // staged clip, canvas coordinates
        std::optional<gr_rect_t> shown; // the area it was last drawn in, none while it draws nothing
    };
    std::optional<gr_rect_t> area(const control &c) const;
    int draw_one(control &c, gr_context_t *ctx, const draw_observer &observer);
    control *find(const std::string &name, error *err);
    error change(control &c, const control_change &change);
    void use(const plugin &p);

    engine *engine_ = nullptr;
    recording_context *recorder_ = nullptr;
    gr_canvas_t canvas_{};
    std::vector<control> controls_;
    std::vector<draw_result> failures_;
    std::vector<gr_rect_t> damage_;
    std::vector<gr_rect_t> vacated_; // areas of controls destroyed since the last draw
    std::vector<std::optional<gr_rect_t>> areas_now_; // draw_changed's working list, kept for its capacity
    std::vector<const plugin *> used_;
    std::function<void(const std::string &)> on_action_;
};

} // namespace pitwall

#endif // PITWALL_SCENE_RUN_H
