// The scene checks of lint.h, from the attribute catalog and the files around the scene.
#include "lint.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/default_dirs.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <optional>

namespace pitwall::cli {
namespace {

std::string quoted(const std::string &s) { return "\"" + s + "\""; }

bool is_file(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string under(const std::string &dir, const std::string &path) {
    return path.empty() || path[0] == '/' || dir.empty() ? path : dir + "/" + path;
}

// An attribute's value as a control has it at some frame, with where it was written (empty: never
// written, it holds its default).
struct setting {
    attr_value value;
    std::string where;
};

struct control_state {
    const scene_control *control = nullptr; // the control it is, or was cloned from
    std::map<std::string, setting> attributes;
};

std::string place(const std::string &path, const std::string &where) { return where.empty() ? path : path + ":" + where; }

void apply(control_state &st, const control_change &c, const std::string &path) {
    for (size_t i = 0; i < c.attributes.size(); ++i)
        st.attributes[c.attributes[i].first] = {c.attributes[i].second,
                                                place(path, i < c.attribute_where.size() ? c.attribute_where[i] : "")};
}

// The control named `name` after `frame` steps: its first frame's attributes, or its source's when a
// step cloned it, and every change since.
std::optional<control_state> state_of(const scene &s, const std::string &path, const std::string &name, size_t frame) {
    for (size_t k = std::min(frame, s.steps.size()); k > 0; --k)
        for (const auto &[clone, source] : s.steps[k - 1].clones)
            if (clone == name) {
                std::optional<control_state> st = state_of(s, path, source, k - 1);
                if (!st) return std::nullopt;
                for (size_t j = k; j <= frame && j <= s.steps.size(); ++j)
                    for (const auto &[target, change] : s.steps[j - 1].changes)
                        if (target == name) apply(*st, change, path);
                return st;
            }
    for (const scene_control &c : s.controls)
        if (c.name == name) {
            control_state st;
            st.control = &c;
            apply(st, c.state, path);
            for (size_t j = 1; j <= frame && j <= s.steps.size(); ++j)
                for (const auto &[target, change] : s.steps[j - 1].changes)
                    if (target == name) apply(st, change, path);
            return st;
        }
    return std::nullopt;
}

std::optional<int64_t> integer_of(const control_state &st, const std::string &name, std::string *where = nullptr) {
    auto it = st.attributes.find(name);
    if (it == st.attributes.end()) return 0; // never set: the zero-filled record's value
    if (where != nullptr) *where = it->second.where;
    if (const auto *i = std::get_if<int64_t>(&it->second.value)) return *i;
    return std::nullopt;
}

std::optional<std::string> text_of(const control_state &st, const std::string &name) {
    auto it = st.attributes.find(name);
    if (it == st.attributes.end()) return std::nullopt;
    if (const auto *t = std::get_if<std::string>(&it->second.value)) return *t;
    return std::nullopt;
}

std::string replace_colour(std::string pattern, const std::string &colour) {
    const std::string key = "{colour}";
    if (size_t at = pattern.find(key); at != std::string::npos) pattern.replace(at, key.size(), colour);
    return pattern;
}

// What a trace's recording context can load after `frame` steps: the scene's staged images.
std::vector<std::string> staged_images(const scene &s, size_t frame) {
    std::vector<std::string> out;
    auto stage = [&](const scene_staging &st) {
        for (const scene_image &i : st.images) out.push_back(i.path);
        for (const std::string &gone : st.removed_images) std::erase(out, gone);
    };
    stage(s.stage);
    for (size_t j = 1; j <= frame && j <= s.steps.size(); ++j) stage(s.steps[j - 1].stage);
    return out;
}

class image_check {
public:
    image_check(const scene &s, size_t frame, image_source src)
        : base_(s.base_dir), staged_(src == image_source::staged), names_(staged_ ? staged_images(s, frame) : std::vector<std::string>{}) {}
    bool exists(const std::string &relative) const {
        if (staged_) return std::find(names_.begin(), names_.end(), relative) != names_.end();
        return is_file(under(base_, relative));
    }
    std::string shown(const std::string &relative) const { return staged_ ? relative : under(base_, relative); }

private:
    std::string base_;
    bool staged_;
    std::vector<std::string> names_;
};

// The fixed images a widget loads whatever its colours.
std::vector<std::string> fixed_images(const std::string &widget, const control_state &st) {
    if (widget == "Modern Gauge Large") return {"images/ModernGauge/needle_large.png"};
    if (widget == "Modern Gauge Small") {
        auto span = st.attributes.find("angle_span");
        bool ccw = false;
        if (span != st.attributes.end()) {
            if (const auto *d = std::get_if<double>(&span->second.value)) ccw = *d < 0;
            if (const auto *i = std::get_if<int64_t>(&span->second.value)) ccw = *i < 0;
        }
        return {ccw ? "images/ModernGauge/needle_ccw.png" : "images/ModernGauge/needle_cw.png"};
    }
    if (widget == "Classic Gauge Small") return {"images/ClassicGauge/needle_small.png"};
    if (widget == "Classic Gauge Large") return {"images/ClassicGauge/needle_large.png"};
    if ((widget == "Modern Alarm" || widget == "Classic Alarm") && integer_of(st, "reset_mode").value_or(0) != 0)
        return {"images/ModernAlarm/white_reset.png"};
    return {};
}

// A font resource as the engine resolves it: the scene's font map, else a file under the
// application directory.
bool font_found(const scene &s, const std::string &name) {
    for (const auto &[resource, file] : s.fonts)
        if (resource == name) return is_file(under(s.base_dir, file));
    if (is_file(under(s.base_dir, name))) return true;
    // The tool's engines fall back to the theme's font for the widgets' default name.
    for (const auto &[resource, file] : default_font_map())
        if (resource == name) return is_file(file);
    return false;
}

// Everything a control's state says against its drawing.
std::vector<finding> reasons(const scene &s, const std::string &path, const std::string &name, const control_state &st,
                             const image_check &images, bool unset_palettes) {
    std::vector<finding> out;
    const std::string who = "control " + quoted(name) + ": ";
    const std::string control_at = place(path, st.control->where);
    const widget_info *w = find_widget_info(st.control->widget);
    if (w == nullptr) return out;
    const std::optional<int64_t> icon = integer_of(st, "icon_idx");
    for (const attribute_info &a : w->attributes) {
        std::string where;
        const std::optional<int64_t> v = integer_of(st, a.name, &where);
        const bool set = st.attributes.count(a.name) != 0;
        if (a.kind == attribute_kind::palette && v) {
            if (a.name == "icon_color" && icon.value_or(0) == 0) continue;
            if (!a.in_range(*v)) {
                if (!set && !unset_palettes) continue;
                // An unset lower or upper colour matters only while its limit can put the widget there.
                const bool lower = a.name.starts_with("lower_"), upper = a.name.starts_with("upper_");
                if (!set && (lower || upper) && integer_of(st, lower ? "lower_limit" : "upper_limit").value_or(0) == 0)
                    continue;
                out.push_back({set ? where : control_at, a.when_invalid.find("fails") != std::string::npos,
                               who + quoted(a.name) + " is " + std::to_string(*v) + (set ? "" : " (not set)") +
                                   ", outside the " + a.palette + " palette (" + a.values_text() + "): " + a.when_invalid});
                continue;
            }
            const std::string colour = a.name_of(*v);
            for (const std::string &pattern : a.images)
                if (const std::string file = replace_colour(pattern, colour); !images.exists(file))
                    out.push_back({set ? where : control_at, true, who + "image " + images.shown(file) + " (" + quoted(a.name) + " " + colour + ") is missing"});
        } else if (a.name == "icon_idx" && v && !a.in_range(*v)) {
            out.push_back({where, true, who + "\"icon_idx\" is " + std::to_string(*v) + ", outside 0 to 22: " + a.when_invalid});
        }
    }
    // The pictogram's own file, of its colour.
    if (icon && *icon > 0 && *icon <= 22) {
        const attribute_info *idx = w->find("icon_idx");
        const attribute_info *colour = w->find("icon_color");
        std::string where;
        const std::optional<int64_t> c = integer_of(st, "icon_color");
        integer_of(st, "icon_idx", &where);
        if (idx != nullptr && colour != nullptr && c && colour->in_range(*c)) {
            const std::string file = "images/Icons/" + idx->name_of(*icon) + "_" + colour->name_of(*c) + ".png";
            if (!images.exists(file)) out.push_back({where, true, who + "image " + images.shown(file) + " is missing"});
        }
    }
    for (const std::string &file : fixed_images(st.control->widget, st))
        if (!images.exists(file)) out.push_back({control_at, true, who + "image " + images.shown(file) + " is missing"});
    if (w->find("logo_path") != nullptr) {
        auto it = st.attributes.find("logo_path");
        std::optional<std::string> logo = text_of(st, "logo_path");
        if (!logo) out.push_back({control_at, true, who + "\"logo_path\" is not set: there is no image to show"});
        else if (!images.exists(*logo))
            out.push_back({it->second.where, true, who + "image " + images.shown(*logo) + " (\"logo_path\") is missing"});
    }
    if (const attribute_info *caption = w->find("text");
        caption != nullptr && w->find("decimals") != nullptr && st.attributes.count("text") == 0)
        out.push_back({control_at, true, who + "\"text\" is not set: the gauge has no caption to format (an empty one will do)"});
    if (w->find("font") != nullptr) {
        auto it = st.attributes.find("font");
        std::string font = text_of(st, "font").value_or("");
        const bool given = !font.empty();
        if (!given) font = w->find("font")->default_value;
        if (!font_found(s, font))
            out.push_back({given ? it->second.where : control_at, true,
                           who + "font " + quoted(font) + (given ? "" : " (the default)") +
                               " is not in the scene's \"fonts\" nor under " + s.base_dir + ": its text is not drawn"});
    }
    return out;
}

} // namespace

std::string format_finding(const finding &f) {
    return f.where + ": " + (f.error ? "error: " : "warning: ") + f.text;
}

std::vector<finding> check_values(const scene &s, const std::string &path) {
    std::vector<finding> out;
    auto check_change = [&](const std::string &name, const std::string &widget, const control_change &c) {
        const widget_info *w = find_widget_info(widget);
        if (w == nullptr) return;
        for (size_t i = 0; i < c.attributes.size(); ++i) {
            const attribute_info *a = w->find(c.attributes[i].first);
            const auto *v = std::get_if<int64_t>(&c.attributes[i].second);
            if (a == nullptr || v == nullptr || a->in_range(*v)) continue;
            const std::string where = place(path, i < c.attribute_where.size() ? c.attribute_where[i] : "");
            std::string text = "control " + quoted(name) + ": " + quoted(a->name) + " is " + std::to_string(*v) + ", outside ";
            text += a->kind == attribute_kind::palette
                        ? "the " + (a->palette.empty() ? std::string() : a->palette + " ") + "palette (" + a->values_text() + ")"
                        : std::to_string(a->range->first) + " to " + std::to_string(a->range->second);
            // An index the draw cannot use is an error; a size kept in fewer bits is a warning.
            const bool fails = a->kind == attribute_kind::palette || a->kind == attribute_kind::choice;
            out.push_back({where, fails, a->when_invalid.empty() ? text : text + ": " + a->when_invalid});
        }
    };
    std::vector<std::pair<std::string, std::string>> widgets; // control name -> widget, clones included
    for (const scene_control &c : s.controls) {
        widgets.emplace_back(c.name, c.widget);
        check_change(c.name, c.widget, c.state);
    }
    for (const scene_step &step : s.steps) {
        for (const auto &[clone, source] : step.clones)
            for (const auto &[n, w] : widgets)
                if (n == source) {
                    widgets.emplace_back(clone, w);
                    break;
                }
        for (const auto &[target, change] : step.changes)
            for (const auto &[n, w] : widgets)
                if (n == target) {
                    check_change(target, w, change);
                    break;
                }
    }
    // Fonts and images as each control has them in the first frame; values set out of range are
    // reported above, unset palette colours only when a draw fails.
    const image_check files(s, 0, image_source::files);
    for (const scene_control &c : s.controls)
        if (std::optional<control_state> st = state_of(s, path, c.name, 0))
            for (finding &f : reasons(s, path, c.name, *st, files, false))
                if (f.text.find("outside") == std::string::npos) out.push_back(std::move(f));
    return out;
}

std::vector<finding> check_overlaps(const scene &s, const std::string &path) {
    std::vector<finding> out;
    for (size_t i = 0; i < s.controls.size(); ++i)
        for (size_t j = i + 1; j < s.controls.size(); ++j) {
            const scene_control &a = s.controls[i], &b = s.controls[j];
            const int32_t x1 = std::max<int32_t>(a.x, b.x), y1 = std::max<int32_t>(a.y, b.y);
            const int32_t x2 = std::min<int32_t>(a.x + a.width, b.x + b.width);
            const int32_t y2 = std::min<int32_t>(a.y + a.height, b.y + b.height);
            if (x1 >= x2 || y1 >= y2) continue;
            out.push_back({place(path, b.where), false,
                           "control " + quoted(b.name) + " overlaps control " + quoted(a.name) + " (" +
                               std::to_string(x2 - x1) + "x" + std::to_string(y2 - y1) + " pixels at " +
                               std::to_string(x1) + "," + std::to_string(y1) + "); it is drawn over it"});
        }
    return out;
}

std::vector<finding> draw_failure_reasons(const scene &s, const std::string &path, const std::string &control,
                                          size_t frame, image_source images) {
    std::optional<control_state> st = state_of(s, path, control, frame);
    if (!st) return {};
    return reasons(s, path, control, *st, image_check(s, frame, images), true);
}

} // namespace pitwall::cli
