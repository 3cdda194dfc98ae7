// scene_run.h - a scene's widgets on an engine: one instance per control, drawn frame by frame,
// with the scene's steps (changes, clones, destroys, staged faults) applied between frames.
#ifndef PITWALL_SCENE_RUN_H
#define PITWALL_SCENE_RUN_H

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"
#include "pitwall/scene.h"

#include <cstdint>
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

// A render context that can keep each control's drawing as a list of operations (a context that
// draws pixels): draw_changed then finds which pixels a dirty control's new draw changes by
// comparing its lists, and repaints other controls by replaying theirs instead of drawing again.
class kept_drawing {
public:
    // Drawing from begin_list to end_list is kept as list `key`, not drawn; end_list appends the
    // canvas boxes where it differs from that key's previous list, false when there was none.
    virtual void begin_list(uint64_t key) = 0;
    virtual bool end_list(std::vector<gr_rect_t> &changed) = 0;
    // Draw list `key` again inside `area`; false when it cannot (the widget must draw).
    virtual bool replay(uint64_t key, const gr_rect_t &area) = 0;
    virtual void drop_list(uint64_t key) = 0;

protected:
    ~kept_drawing() = default;
};

// kept_drawing over any context with those four calls (the raster context has them).
template <class Context> class kept_drawing_of final : public kept_drawing {
public:
    explicit kept_drawing_of(Context &context) : context_(context) {}
    void begin_list(uint64_t key) override { context_.begin_list(key); }
    bool end_list(std::vector<gr_rect_t> &changed) override { return context_.end_list(changed); }
    bool replay(uint64_t key, const gr_rect_t &area) override { return context_.replay(key, area); }
    void drop_list(uint64_t key) override { context_.drop_list(key); }

private:
    Context &context_;
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
    //
    // With `kept`, a dirty control that stayed in place draws into a kept list first, and only
    // the boxes where that list differs from its previous one are damaged; a damaged rectangle is
    // then repainted by replaying the kept lists of the controls meeting it (each control is
    // drawn by its widget at most once a frame), the rectangles cut so that none overlap. The
    // pixels are those of a full frame either way.
    int draw_changed(gr_context_t *ctx, const std::function<void(const gr_rect_t &)> &repaint,
                     const draw_observer &observer = {}, kept_drawing *kept = nullptr);
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
        uint64_t key = 0;               // its kept list's
        bool listed = false;            // its kept list is what it draws now
    };
    std::optional<gr_rect_t> area(const control &c) const;
    int draw_one(control &c, gr_context_t *ctx, const draw_observer &observer);
    bool draw_kept(control &c, gr_context_t *ctx, const draw_observer &observer, kept_drawing &kept,
                   std::vector<gr_rect_t> &changed);
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
    std::vector<uint64_t> dropped_;  // kept lists of controls destroyed since the last draw_changed
    std::vector<gr_rect_t> changed_; // a kept list's changed boxes, kept for its capacity
    uint64_t next_key_ = 1;
    std::vector<std::optional<gr_rect_t>> areas_now_; // draw_changed's working list, kept for its capacity
    std::vector<const plugin *> used_;
    std::function<void(const std::string &)> on_action_;
};

} // namespace pitwall

#endif // PITWALL_SCENE_RUN_H
