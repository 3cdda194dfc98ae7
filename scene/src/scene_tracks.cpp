// Tracks: the value of an attribute at a time, and the changes a scene's tracks ask for.
#include "pitwall/scene_tracks.h"

#include "pitwall/scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace pitwall {
namespace {

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

bool is_number(const attr_value &v) { return std::holds_alternative<int64_t>(v) || std::holds_alternative<double>(v); }

double as_double(const attr_value &v) {
    return std::holds_alternative<int64_t>(v) ? double(std::get<int64_t>(v)) : std::get<double>(v);
}

// Between two integers the value stays an integer (integer attributes take nothing else), never
// outside the two: near the ends of int64_t a double rounds past them, and converting that back
// overflows. Long double holds every int64_t where it is wider than double (x86); where it is not,
// the clamp keeps the result between the keys. A fraction on either side gives a fraction.
attr_value blend_numbers(const attr_value &a, const attr_value &b, double f) {
    if (std::holds_alternative<int64_t>(a) && std::holds_alternative<int64_t>(b)) {
        const int64_t from = std::get<int64_t>(a), to = std::get<int64_t>(b);
        if (from == to) return from;
        const int64_t low = std::min(from, to), high = std::max(from, to);
        const long double v = static_cast<long double>(from) +
                              (static_cast<long double>(to) - static_cast<long double>(from)) * f;
        if (!(v > static_cast<long double>(low))) return low;
        if (!(v < static_cast<long double>(high))) return high;
        return std::clamp<int64_t>(std::llround(v), low, high);
    }
    return as_double(a) + (as_double(b) - as_double(a)) * f;
}

// Colours blend channel by channel, alpha too; the result is written "#aarrggbb", which any
// colour attribute takes.
bool blend_colours(const attr_value &a, const attr_value &b, double f, attr_value &out) {
    uint32_t ca = 0, cb = 0;
    if (!std::holds_alternative<std::string>(a) || !std::holds_alternative<std::string>(b) ||
        !parse_colour(std::get<std::string>(a), ca) || !parse_colour(std::get<std::string>(b), cb))
        return false;
    uint32_t mixed = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const double from = (ca >> shift) & 0xffu, to = (cb >> shift) & 0xffu;
        mixed |= uint32_t(std::lround(from + (to - from) * f)) << shift;
    }
    char text[10];
    std::snprintf(text, sizeof text, "#%08x", static_cast<unsigned>(mixed));
    out = std::string(text);
    return true;
}

// Alike when the attribute would be set to the same thing (null_string has no operator==).
bool same_value(const attr_value &a, const attr_value &b) {
    if (a.index() != b.index()) return false;
    if (const auto *s = std::get_if<std::string>(&a)) return *s == std::get<std::string>(b);
    if (const auto *i = std::get_if<int64_t>(&a)) return *i == std::get<int64_t>(b);
    if (const auto *d = std::get_if<double>(&a)) return *d == std::get<double>(b);
    return true;
}

// The number, colour or text at a time, before any format.
attr_value value_at(const track &t, double seconds) {
    if (t.keys.empty()) return null_string{};
    // The last key at or before the time: of two keys at one time (a jump), the later one holds.
    auto after = std::upper_bound(t.keys.begin(), t.keys.end(), seconds,
                                  [](double s, const track_key &k) { return s < k.time; });
    if (after == t.keys.begin()) return t.keys.front().value;
    const track_key &from = *(after - 1);
    if (after == t.keys.end() || t.interpolation == track_interpolation::step || from.time == seconds)
        return from.value;
    const track_key &to = *after;
    const double f = (seconds - from.time) / (to.time - from.time);
    // A formatted number moves smoothly between whole keys: it becomes text, not an integer.
    if (t.format && is_number(from.value) && is_number(to.value))
        return as_double(from.value) + (as_double(to.value) - as_double(from.value)) * f;
    if (is_number(from.value) && is_number(to.value)) return blend_numbers(from.value, to.value, f);
    attr_value colour;
    if (blend_colours(from.value, to.value, f, colour)) return colour;
    return from.value; // text holds until the next key
}

} // namespace

attr_value track_value(const track &t, double seconds) {
    attr_value v = value_at(t, seconds);
    if (t.format && is_number(v)) return (*t.format)(as_double(v));
    return v;
}

std::vector<std::pair<std::string, control_change>> track_changes(const scene &s, double seconds) {
    std::vector<std::pair<std::string, control_change>> changes;
    for (const track &t : s.tracks) {
        auto it = std::find_if(changes.begin(), changes.end(), [&](const auto &c) { return c.first == t.control; });
        if (it == changes.end()) it = changes.insert(changes.end(), {t.control, control_change{}});
        it->second.attributes.emplace_back(t.attribute, track_value(t, seconds));
    }
    return changes;
}

double tracks_duration(const scene &s) {
    double last = 0;
    for (const track &t : s.tracks)
        if (!t.keys.empty()) last = std::max(last, t.keys.back().time);
    return last;
}

error find_driven(const engine &eng, const scene &s, const std::string &control, const std::string &attribute,
                  driven_attribute &out) {
    auto named = [&](const scene_control &c) { return c.name == control; };
    auto c = std::find_if(s.controls.begin(), s.controls.end(), named);
    if (c == s.controls.end()) return "no control named " + quoted(control);
    if (std::find_if(c + 1, s.controls.end(), named) != s.controls.end())
        return "more than one control is named " + quoted(control);
    const plugin *p = eng.find_plugin(c->widget);
    if (p == nullptr) return "no plug-in registers " + quoted(c->widget);
    const gr_attribute_t *a = p->find_attribute(attribute);
    if (a == nullptr) return quoted(c->widget) + " has no attribute " + quoted(attribute);
    out = {&*c, a};
    return {};
}

error check_tracks(const engine &eng, const scene &s) {
    for (size_t i = 0; i < s.tracks.size(); ++i) {
        const track &t = s.tracks[i];
        const std::string what =
            (t.where.empty() ? "" : t.where + ": ") +
            (t.origin.empty() ? "track " + std::to_string(i + 1) : t.origin) + " (" + quoted(t.control) + " " + t.attribute + ")";
        driven_attribute driven;
        if (error e = find_driven(eng, s, t.control, t.attribute, driven); !e.empty()) return what + ": " + e;
        const gr_attribute_t *a = driven.attribute;
        if (t.format && std::string_view(a->type != nullptr ? a->type : "") != "1s0")
            return what + ": the format " + quoted(t.format->text()) + " writes text, but " + quoted(t.attribute) +
                   " of " + quoted(driven.control->widget) + " takes a number";
        if (t.keys.empty()) return what + ": no keys";
    }
    return {};
}

scene_step track_player::step_at(double seconds) {
    const bool first = last_.empty();
    last_.resize(scene_.tracks.size());
    scene_step step;
    for (size_t i = 0; i < scene_.tracks.size(); ++i) {
        const track &t = scene_.tracks[i];
        attr_value v = track_value(t, seconds);
        if (!first && same_value(v, last_[i])) continue;
        auto it = std::find_if(step.changes.begin(), step.changes.end(),
                               [&](const auto &c) { return c.first == t.control; });
        if (it == step.changes.end()) it = step.changes.insert(step.changes.end(), {t.control, control_change{}});
        it->second.attributes.emplace_back(t.attribute, v);
        last_[i] = std::move(v);
    }
    return step;
}

} // namespace pitwall
