// The scene's feed channels applied to its controls, with stale channels and the demo loop.
#include "pitwall/live_binding.h"

#include "pitwall/attribute_catalog.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace pitwall {
namespace {

constexpr double ns_per_second = 1e9;

int64_t to_ns(double seconds) { return int64_t(std::llround(seconds * ns_per_second)); }

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

// What the scene writes for a control's attribute, if it writes it.
const attr_value *written_value(const scene &s, const std::string &control, const std::string &attribute) {
    for (const scene_control &c : s.controls) {
        if (c.name != control) continue;
        for (const auto &[name, value] : c.state.attributes)
            if (name == attribute) return &value;
    }
    return nullptr;
}

double as_number(const attr_value *v, double otherwise) {
    if (v == nullptr) return otherwise;
    if (const auto *i = std::get_if<int64_t>(v)) return double(*i);
    if (const auto *d = std::get_if<double>(v)) return *d;
    return otherwise;
}

// Where the control's scale starts: its value_min, as the scene writes it or by default; for a
// widget without one, the lowest value the attribute takes; else 0.
double scale_minimum(const scene &s, const scene_control &c, const std::string &attribute) {
    if (const attr_value *v = written_value(s, c.name, "value_min")) return as_number(v, 0);
    const widget_info *info = find_widget_info(c.widget);
    if (info == nullptr) return 0;
    if (const attribute_info *a = info->find("value_min")) return std::strtod(a->default_value.c_str(), nullptr);
    const attribute_info *a = info->find(attribute);
    return a != nullptr && a->range ? double(a->range->first) : 0;
}

} // namespace

std::vector<std::string> live_binding::channel_names(const scene &s) {
    std::vector<std::string> names;
    for (const feed_channel &c : s.feeds.channels) names.push_back(c.name);
    return names;
}

error live_binding::bind(const engine &eng, const scene &s, const latest_values &table) {
    scene_ = &s;
    table_ = &table;
    channels_.clear();
    lamps_.clear();
    for (const feed_channel &fc : s.feeds.channels) {
        channel c;
        c.config = &fc;
        const int index = table.index_of(fc.name);
        if (index < 0) return fc.where + ": feed channel " + quoted(fc.name) + " is not in the table of values";
        c.index = size_t(index);
        for (const feed_mapping &m : fc.mappings) {
            const std::string what = (m.where.empty() ? "" : m.where + ": ") + "feed channel " + quoted(fc.name) + " (" +
                                     quoted(m.control) + " " + m.attribute + ")";
            driven_attribute driven;
            if (error e = find_driven(eng, s, m.control, m.attribute, driven); !e.empty()) return what + ": " + e;
            const scene_control *sc = driven.control;
            const std::string_view type = driven.attribute->type != nullptr ? driven.attribute->type : "";
            target t;
            t.control = m.control;
            t.attribute = m.attribute;
            t.scale = m.scale;
            t.offset = m.offset;
            t.format = m.format ? &*m.format : nullptr;
            if (type == GR_TYPE_STRING) t.type = kind::text;
            else if (type == GR_TYPE_FLOAT) t.type = kind::number;
            else {
                t.type = kind::integer;
                t.low = type == GR_TYPE_UINT8 ? 0 : INT32_MIN;
                t.high = type == GR_TYPE_UINT8 ? 255 : type == GR_TYPE_UINT32 ? int64_t(UINT32_MAX) : INT32_MAX;
            }
            if (t.format && t.type != kind::text)
                return what + ": the format " + quoted(t.format->text()) + " writes text, but " + quoted(m.attribute) +
                       " of " + quoted(sc->widget) + " takes a number";
            if (const attr_value *w = written_value(s, m.control, m.attribute)) {
                t.written = *w;
                t.has_written = true;
            }
            t.minimum = scale_minimum(s, *sc, m.attribute);
            c.targets.push_back(std::move(t));
        }
        if (!fc.stale_lamp.empty() &&
            std::none_of(lamps_.begin(), lamps_.end(), [&](const lamp &l) { return l.control == fc.stale_lamp; })) {
            const attr_value *w = written_value(s, fc.stale_lamp, "value");
            lamps_.push_back({fc.stale_lamp, w != nullptr ? *w : attr_value(int64_t(0)), 0});
        }
        channels_.push_back(std::move(c));
    }
    has_demo_ = !s.tracks.empty();
    demo_after_ns_ = to_ns(s.feeds.demo_after);
    player_.reset();
    demo_ = false;
    started_ = false;
    return {};
}

void live_binding::set(scene_step &step, const std::string &control, const std::string &attribute, attr_value value) {
    auto it = std::find_if(step.changes.begin(), step.changes.end(), [&](const auto &c) { return c.first == control; });
    if (it == step.changes.end()) it = step.changes.insert(step.changes.end(), {control, control_change{}});
    // Set twice in one frame (put back, then a new value): the later value, in the first place.
    for (auto &[name, v] : it->second.attributes)
        if (name == attribute) {
            v = std::move(value);
            return;
        }
    it->second.attributes.emplace_back(attribute, std::move(value));
}

void live_binding::name_values(const std::string &channel_name, std::vector<std::pair<double, std::string>> names) {
    for (auto &c : channels_) {
        if (c.config->name != channel_name) continue;
        c.names = std::move(names);
        for (target &t : c.targets) t.names = &c.names;
        return;
    }
}

// The name of a channel's value, when it has one: the value as the feed gave it, before the
// target's scale and offset.
const std::string *live_binding::name_of(const target &t, double value) {
    if (t.names == nullptr) return nullptr;
    for (const auto &[named, name] : *t.names)
        if (std::fabs(named - value) <= 1e-9 * std::max(1.0, std::fabs(named))) return &name;
    return nullptr;
}

void live_binding::show(const target &t, double value, scene_step &step) {
    const double v = value * t.scale + t.offset;
    switch (t.type) {
    case kind::text:
        if (const std::string *name = t.format == nullptr ? name_of(t, value) : nullptr) {
            text_ = *name;
        } else if (t.format != nullptr) {
            t.format->write(v, text_);
        } else {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%g", v);
            text_ = buffer;
        }
        set(step, t.control, t.attribute, text_);
        break;
    case kind::number:
        set(step, t.control, t.attribute, v);
        break;
    case kind::integer:
        // Out of the attribute's range the value is held at its end (a reading past the gauge).
        if (std::isnan(v)) return;
        set(step, t.control, t.attribute,
            int64_t(std::clamp(std::round(v), double(t.low), double(t.high))));
        break;
    }
}

void live_binding::go_stale(channel &c, frame &out) {
    c.stale = true;
    const feed_channel &fc = *c.config;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", fc.timeout);
    out.notes.push_back("channel " + quoted(fc.name) + ": no value for " + seconds + " s, shown as stale");
    for (const target &t : c.targets) {
        if (t.type == kind::text) {
            if (fc.stale_text) set(out.step, t.control, t.attribute, *fc.stale_text);
        } else if (fc.show == stale_show::minimum) {
            show(t, (t.minimum - t.offset) / (t.scale != 0 ? t.scale : 1), out.step);
        } else if (fc.show == stale_show::number) {
            // The number is what the control shows, not a raw channel value.
            target shown = t;
            shown.scale = 1;
            shown.offset = 0;
            show(shown, fc.stale_number, out.step);
        }
    }
    if (!fc.stale_lamp.empty())
        for (lamp &l : lamps_)
            if (l.control == fc.stale_lamp && l.stale_channels++ == 0) set(out.step, l.control, "value", int64_t(1));
}

void live_binding::recover(channel &c, frame &out) {
    c.stale = false;
    out.notes.push_back("channel " + quoted(c.config->name) + ": live again");
    if (!c.config->stale_lamp.empty())
        for (lamp &l : lamps_)
            if (l.control == c.config->stale_lamp && --l.stale_channels == 0) set(out.step, l.control, "value", l.written);
}

// Every attribute the feeds or the demo may have changed goes back to what the scene writes.
void live_binding::restore_all(scene_step &step) {
    for (channel &c : channels_) {
        for (const target &t : c.targets)
            if (t.has_written) set(step, t.control, t.attribute, t.written);
        c.stale = false;
        c.has_value = false;
    }
    for (lamp &l : lamps_) {
        if (l.stale_channels > 0) set(step, l.control, "value", l.written);
        l.stale_channels = 0;
    }
    for (const track &t : scene_->tracks)
        if (const attr_value *w = written_value(*scene_, t.control, t.attribute)) set(step, t.control, t.attribute, *w);
}

void live_binding::start_demo(int64_t now_ns, frame &out) {
    if (started_) {
        restore_all(out.step);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", scene_->feeds.demo_after);
        out.notes.push_back(std::string("no live value for ") + seconds + " s: the demo loop plays");
    }
    demo_ = true;
    demo_began_ = now_ns;
    player_ = std::make_unique<track_player>(*scene_);
}

void live_binding::start_live(int64_t now_ns, frame &out) {
    if (demo_) {
        restore_all(out.step);
        out.notes.push_back("live data: the demo loop stops");
    }
    demo_ = false;
    player_.reset();
    live_began_ = now_ns;
}

void live_binding::at(int64_t now_ns, frame &out) {
    out.step.changes.clear();
    out.notes.clear();
    out.arrivals.clear();
    // What came since the last frame.
    bool any_new = false;
    for (channel &c : channels_) {
        const latest_values::reading r = table_->read(c.index);
        c.fresh = r.stored != c.seen && std::isfinite(r.value); // the feeds store finite numbers only
        c.seen = r.stored;
        if (!c.fresh) continue;
        c.value = r.value;
        c.last_ns = r.arrived_ns;
        any_new = true;
        last_live_ = std::max(last_live_, r.arrived_ns);
        out.arrivals.push_back(r.arrived_ns);
    }
    if (!started_) {
        if (has_demo_ && !any_new) start_demo(now_ns, out);
        else start_live(now_ns, out);
        started_ = true;
    } else if (demo_ && any_new) {
        start_live(now_ns, out);
    } else if (!demo_ && has_demo_ && !any_new && now_ns - std::max(last_live_, live_began_) >= demo_after_ns_) {
        start_demo(now_ns, out);
    }

    if (demo_) {
        const double duration = tracks_duration(*scene_);
        double seconds = double(now_ns - demo_began_) / ns_per_second;
        if (duration > 0) seconds = std::fmod(seconds, duration);
        scene_step demo = player_->step_at(seconds);
        for (auto &[control, change] : demo.changes)
            for (auto &[attribute, value] : change.attributes) set(out.step, control, attribute, std::move(value));
        out.arrivals.clear(); // nothing live is shown
        return;
    }

    for (channel &c : channels_) {
        if (c.fresh) {
            c.has_value = true;
            if (c.stale) recover(c, out);
            for (const target &t : c.targets) show(t, c.value, out.step);
        } else if (!c.stale && now_ns - (c.has_value ? c.last_ns : live_began_) >= to_ns(c.config->timeout)) {
            go_stale(c, out);
        }
    }
}

int64_t live_binding::next_change() const {
    if (!started_ || demo_) return INT64_MIN; // every frame
    int64_t next = INT64_MAX;
    for (const channel &c : channels_)
        if (!c.stale) next = std::min(next, (c.has_value ? c.last_ns : live_began_) + to_ns(c.config->timeout));
    if (has_demo_) next = std::min(next, std::max(last_live_, live_began_) + demo_after_ns_);
    return next;
}

} // namespace pitwall
