// A scene's widgets on an engine: building, stepping and drawing.
#include "pitwall/scene_run.h"

#include <algorithm>

namespace pitwall {
namespace {

std::string quoted(const std::string &name) { return "\"" + name + "\""; }

} // namespace

error scene_run::build(engine &eng, const scene &s, recording_context *recorder) {
    engine_ = &eng;
    recorder_ = recorder;
    canvas_ = engine::canvas(s.width, s.height);
    for (const auto &[name, file] : s.fonts) eng.fonts().map_font(name, file);
    if (recorder_ != nullptr) apply_staging(s.stage, *recorder_, eng.fonts());
    for (const scene_control &c : s.controls) {
        plugin *p = eng.find_plugin(c.widget);
        if (p == nullptr) return "control " + quoted(c.name) + ": no plug-in registers " + quoted(c.widget);
        use(*p);
        controls_.push_back(control{c.name, make_control(c.x, c.y, c.width, c.height, &canvas_), p->create(), {}});
        if (error e = change(controls_.back(), c.state); !e.empty()) return "control " + quoted(c.name) + ": " + e;
    }
    return {};
}

error scene_run::apply(const scene_step &step) {
    if (recorder_ != nullptr) apply_staging(step.stage, *recorder_, engine_->fonts());
    error err;
    for (const auto &clone : step.clones) {
        const std::string &name = clone.first, &from = clone.second;
        control *source = find(from, &err);
        if (source == nullptr) return err;
        if (std::any_of(controls_.begin(), controls_.end(), [&](const control &c) { return c.name == name; }))
            return "clone " + quoted(name) + ": a control of that name exists";
        if (on_action_) on_action_("clone " + quoted(from) + " as " + quoted(name));
        control copy{name, source->rect, source->widget->clone(), source->clip};
        controls_.push_back(std::move(copy));
    }
    for (const std::string &name : step.destroys) {
        control *gone = find(name, &err);
        if (gone == nullptr) return err;
        if (on_action_) on_action_("destroy " + quoted(name));
        controls_.erase(controls_.begin() + (gone - controls_.data()));
    }
    for (const auto &[name, c] : step.changes) {
        control *target = find(name, &err);
        if (target == nullptr) return err;
        if (error e = change(*target, c); !e.empty()) return "control " + quoted(name) + ": " + e;
    }
    return {};
}

int scene_run::draw(gr_context_t *ctx, const draw_observer &observer) {
    failures_.clear();
    for (control &c : controls_) {
        if (recorder_ != nullptr && c.clip) recorder_->set_clip_state(*c.clip);
        gr_instance_t *record = c.widget->record();
        draw_result r{c.name, c.widget->owner().display_name(), 0, record->dirty, 0};
        r.result = c.widget->draw(ctx, c.rect);
        r.dirty_after = record->dirty;
        if (observer) observer(r);
        if (r.result != 0) failures_.push_back(std::move(r));
    }
    return static_cast<int>(failures_.size());
}

void scene_run::clear() {
    for (control &c : controls_) {
        if (on_action_) on_action_("destroy " + quoted(c.name));
        c.widget.reset();
    }
    controls_.clear();
}

scene_run::control *scene_run::find(const std::string &name, error *err) {
    auto named = [&](const control &c) { return c.name == name; };
    auto it = std::find_if(controls_.begin(), controls_.end(), named);
    if (it == controls_.end()) {
        if (err != nullptr) *err = "no control named " + quoted(name);
        return nullptr;
    }
    // Controls without a name of their own are named after their widget: a step must not guess.
    if (std::find_if(it + 1, controls_.end(), named) != controls_.end()) {
        if (err != nullptr) *err = "more than one control is named " + quoted(name);
        return nullptr;
    }
    return &*it;
}

error scene_run::change(control &c, const control_change &change) {
    if (change.x) c.rect.x = *change.x;
    if (change.y) c.rect.y = *change.y;
    if (change.width) c.rect.width = *change.width;
    if (change.height) c.rect.height = *change.height;
    gr_instance_t *record = c.widget->record();
    if (change.visible) record->visible = *change.visible;
    if (change.inhibit) record->inhibit = *change.inhibit;
    if (change.clip) c.clip = *change.clip;
    const plugin &p = c.widget->owner();
    for (const auto &[attr, value] : change.attributes) {
        attr_value v = value;
        // Colours may be written "#rrggbb" for integer attributes.
        const gr_attribute_t *a = p.find_attribute(attr);
        uint32_t colour;
        if (a != nullptr && std::string_view(a->type) != GR_TYPE_STRING && std::holds_alternative<std::string>(v) &&
            parse_colour(std::get<std::string>(v), colour))
            v = static_cast<int64_t>(colour);
        if (error e = c.widget->set(attr, v); !e.empty()) return e;
    }
    return {};
}

void scene_run::use(const plugin &p) {
    if (std::find(used_.begin(), used_.end(), &p) == used_.end()) used_.push_back(&p);
}

} // namespace pitwall
