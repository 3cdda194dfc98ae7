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
        controls_.push_back(
            control{c.name, make_control(c.x, c.y, c.width, c.height, &canvas_), p->create(), {}, {}, next_key_++, false});
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
        control copy{name, source->rect, source->widget->clone(), source->clip, {}, next_key_++, false};
        controls_.push_back(std::move(copy));
    }
    for (const std::string &name : step.destroys) {
        control *gone = find(name, &err);
        if (gone == nullptr) return err;
        if (on_action_) on_action_("destroy " + quoted(name));
        if (gone->shown) vacated_.push_back(*gone->shown);
        dropped_.push_back(gone->key);
        controls_.erase(controls_.begin() + (gone - controls_.data()));
    }
    for (const auto &[name, c] : step.changes) {
        control *target = find(name, &err);
        if (target == nullptr) return err;
        if (error e = change(*target, c); !e.empty()) return "control " + quoted(name) + ": " + e;
    }
    return {};
}

int scene_run::draw_one(control &c, gr_context_t *ctx, const draw_observer &observer) {
    gr_instance_t *record = c.widget->record();
    const int32_t dirty_before = record->dirty;
    const int result = c.widget->draw(ctx, c.rect);
    // The names are copied only when someone reads them: a steady frame allocates nothing here.
    if (observer || result != 0) {
        draw_result r{c.name, c.widget->owner().display_name(), result, dirty_before, record->dirty};
        if (observer) observer(r);
        if (result != 0) failures_.push_back(std::move(r));
    }
    return result;
}

int scene_run::draw(gr_context_t *ctx, const draw_observer &observer) {
    failures_.clear();
    for (control &c : controls_) {
        if (recorder_ != nullptr && c.clip) recorder_->set_clip_state(*c.clip);
        c.shown = area(c);
        c.listed = false; // drawn directly: a kept list no longer shows what it draws
        draw_one(c, ctx, observer);
    }
    vacated_.clear();
    return static_cast<int>(failures_.size());
}

namespace {

bool meet(const gr_rect_t &a, const gr_rect_t &b) { return a.x1 <= b.x2 && b.x1 <= a.x2 && a.y1 <= b.y2 && b.y1 <= a.y2; }

bool same(const std::optional<gr_rect_t> &a, const std::optional<gr_rect_t> &b) {
    if (!a || !b) return !a && !b;
    return a->x1 == b->x1 && a->y1 == b->y1 && a->x2 == b->x2 && a->y2 == b->y2;
}

// Overlapping rectangles become their bounding box, so that no pixel is repainted twice (a
// translucent widget drawn twice over one background would come out darker).
void merge_overlaps(std::vector<gr_rect_t> &rects) {
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t i = 0; i < rects.size() && !merged; ++i)
            for (size_t j = i + 1; j < rects.size() && !merged; ++j)
                if (meet(rects[i], rects[j])) {
                    rects[i] = gr_rect_t{std::min(rects[i].x1, rects[j].x1), std::min(rects[i].y1, rects[j].y1),
                                         std::max(rects[i].x2, rects[j].x2), std::max(rects[i].y2, rects[j].y2)};
                    rects.erase(rects.begin() + std::ptrdiff_t(j));
                    merged = true;
                }
    }
}

// A control's changed boxes joined where they meet or nearly meet: a moved edge comes as a chain
// of small overlapping boxes, and repainting a box costs a pass over every row it spans, so one
// box round them all is cheaper than many thin ones over the same rows.
void gather(std::vector<gr_rect_t> &boxes) {
    constexpr int gap = 8;
    auto near = [](const gr_rect_t &a, const gr_rect_t &b) {
        return a.x1 <= b.x2 + gap && b.x1 <= a.x2 + gap && a.y1 <= b.y2 + gap && b.y1 <= a.y2 + gap;
    };
    auto join = [](gr_rect_t &a, const gr_rect_t &b) {
        a = gr_rect_t{std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
    };
    // Neighbours in the list first (the boxes along one edge come in order), then whatever meets.
    size_t kept = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (kept > 0 && near(boxes[kept - 1], boxes[i]))
            join(boxes[kept - 1], boxes[i]);
        else
            boxes[kept++] = boxes[i];
    }
    boxes.resize(kept);
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < boxes.size(); ++i)
            for (size_t j = i + 1; j < boxes.size(); ++j)
                if (near(boxes[i], boxes[j])) {
                    join(boxes[i], boxes[j]);
                    boxes.erase(boxes.begin() + std::ptrdiff_t(j));
                    joined = true;
                    --j;
                }
    }
}

// Rectangles, overlapping or not, become rectangles that do not overlap and cover the same
// pixels, so that no pixel is repainted twice: the rows are cut wherever a rectangle begins or
// ends; in each band of rows the covered columns are joined into runs; a run that continues the
// same run of the band above grows it downward.
void cover_disjoint(std::vector<gr_rect_t> &rects) {
    if (rects.size() < 2) return;
    thread_local std::vector<int32_t> cuts;
    thread_local std::vector<std::pair<int32_t, int32_t>> runs;
    thread_local std::vector<gr_rect_t> out;
    thread_local std::vector<size_t> above, here;
    cuts.clear(), out.clear(), above.clear();
    for (const gr_rect_t &r : rects) {
        cuts.push_back(r.y1);
        cuts.push_back(int32_t(r.y2) + 1);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    for (size_t b = 0; b + 1 < cuts.size(); ++b) {
        const int32_t top = cuts[b], bottom = cuts[b + 1] - 1;
        runs.clear();
        for (const gr_rect_t &r : rects)
            if (r.y1 <= top && r.y2 >= bottom) runs.emplace_back(r.x1, r.x2);
        std::sort(runs.begin(), runs.end());
        here.clear();
        for (size_t i = 0; i < runs.size();) {
            int32_t x1 = runs[i].first, x2 = runs[i].second;
            for (++i; i < runs.size() && runs[i].first <= x2 + 1; ++i) x2 = std::max(x2, runs[i].second);
            auto grows = std::find_if(above.begin(), above.end(), [&](size_t k) {
                return out[k].x1 == x1 && out[k].x2 == x2 && out[k].y2 + 1 == top;
            });
            if (grows != above.end()) {
                out[*grows].y2 = int16_t(bottom);
                here.push_back(*grows);
            } else {
                out.push_back(gr_rect_t{int16_t(x1), int16_t(top), int16_t(x2), int16_t(bottom)});
                here.push_back(out.size() - 1);
            }
        }
        std::swap(above, here);
    }
    rects.assign(out.begin(), out.end());
}

} // namespace

// A control drawn by its widget into its kept list; true when that list could be compared with
// the previous one, whose differences are then appended to `changed`.
bool scene_run::draw_kept(control &c, gr_context_t *ctx, const draw_observer &observer, kept_drawing &kept,
                          std::vector<gr_rect_t> &changed) {
    if (!c.listed) kept.drop_list(c.key); // it shows an older drawing: nothing to compare with
    kept.begin_list(c.key);
    draw_one(c, ctx, observer);
    const bool compared = kept.end_list(changed);
    c.listed = true;
    return compared;
}

int scene_run::draw_changed(gr_context_t *ctx, const std::function<void(const gr_rect_t &)> &repaint,
                            const draw_observer &observer, kept_drawing *kept) {
    failures_.clear();
    damage_ = vacated_;
    vacated_.clear();
    if (kept != nullptr)
        for (uint64_t key : dropped_) kept->drop_list(key);
    dropped_.clear();
    // Drawn without kept lists, the widgets draw directly: what any list holds may be out of date.
    if (kept == nullptr)
        for (control &c : controls_) c.listed = false;
    std::vector<std::optional<gr_rect_t>> &now = areas_now_;
    now.assign(controls_.size(), std::nullopt);
    for (size_t i = 0; i < controls_.size(); ++i) {
        control &c = controls_[i];
        now[i] = area(c);
        if (!same(now[i], c.shown)) {
            // Moved, resized, shown or hidden: both where it was and where it is now.
            if (c.shown) damage_.push_back(*c.shown);
            if (now[i]) damage_.push_back(*now[i]);
            c.listed = false;
        } else if (now[i] && c.widget->record()->dirty != 0) {
            changed_.clear();
            if (kept == nullptr || !draw_kept(c, ctx, observer, *kept, changed_)) {
                damage_.push_back(*now[i]);
                continue;
            }
            // Only what its drawing changed, inside its area, as a full frame would show it.
            gather(changed_);
            for (const gr_rect_t &r : changed_) {
                const gr_rect_t inside{std::max(r.x1, now[i]->x1), std::max(r.y1, now[i]->y1),
                                       std::min(r.x2, now[i]->x2), std::min(r.y2, now[i]->y2)};
                if (inside.x1 <= inside.x2 && inside.y1 <= inside.y2) damage_.push_back(inside);
            }
        }
    }
    if (kept == nullptr)
        merge_overlaps(damage_);
    else
        cover_disjoint(damage_);
    for (const gr_rect_t &r : damage_) {
        if (repaint) repaint(r);
        for (size_t i = 0; i < controls_.size(); ++i) {
            if (!now[i] || !meet(*now[i], r)) continue;
            control &c = controls_[i];
            if (kept != nullptr) {
                if (!c.listed) {
                    changed_.clear();
                    draw_kept(c, ctx, observer, *kept, changed_);
                }
                if (kept->replay(c.key, r)) continue;
                c.listed = false; // an image it drew is gone: the widget draws it
            }
            ctx->ops->set_clip(ctx, &r);
            draw_one(c, ctx, observer);
            ctx->ops->clear_clip(ctx);
        }
    }
    for (size_t i = 0; i < controls_.size(); ++i) controls_[i].shown = now[i];
    return static_cast<int>(failures_.size());
}

// Where a control can draw: its own rectangle and its widget's (position plus the instance's
// 16-bit offsets, the instance's size or the control's), on the canvas; none while it would not
// draw at all.
std::optional<gr_rect_t> scene_run::area(const control &c) const {
    const gr_instance_t *record = c.widget->record();
    if (record->visible == 0 || record->inhibit != 0.0f) return std::nullopt;
    const int64_t x = c.rect.x, y = c.rect.y;
    const int64_t wx = x + int16_t(record->x & 0xffffu), wy = y + int16_t(record->y & 0xffffu);
    const int64_t w = record->width == -1 ? c.rect.width : record->width;
    const int64_t h = record->height == -1 ? c.rect.height : record->height;
    const int64_t x1 = std::max<int64_t>({std::min(x, wx), 0});
    const int64_t y1 = std::max<int64_t>({std::min(y, wy), 0});
    const int64_t x2 = std::min<int64_t>(std::max(x + c.rect.width, wx + w), canvas_.size.width - 1);
    const int64_t y2 = std::min<int64_t>(std::max(y + c.rect.height, wy + h), canvas_.size.height - 1);
    if (x2 < x1 || y2 < y1) return std::nullopt;
    return gr_rect_t{int16_t(x1), int16_t(y1), int16_t(x2), int16_t(y2)};
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
