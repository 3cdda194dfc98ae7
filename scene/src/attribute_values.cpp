// Attribute values checked and resolved against the catalog; the messages name the attribute as
// the engine does ("attribute "x" (4s1) takes ..."), so that a value refused here reads as it would
// have when the plug-in refused it, with its place in the file added by the reader.
#include "attribute_values.h"

#include "pitwall/scene.h"
#include "pitwall/scene_value.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace pitwall {
namespace {

std::string quoted(const std::string &s) { return "\"" + s + "\""; }

std::vector<std::string> names_of(const attribute_info &a) {
    std::vector<std::string> out;
    for (const named_value &v : a.values) out.push_back(v.name);
    return out;
}

// A JSON number as a plain double for the tick forms.
bool number(const json &j, double &out) {
    if (!j.is_number()) return false;
    out = j.get<double>();
    return std::isfinite(out);
}

class resolver {
public:
    resolver(const widget_info &w, const attribute_info &a, std::vector<resolved_value> &out, std::string &why,
             const json *&at)
        : w_(w), a_(a), out_(out), why_(why), at_(at),
          what_(quoted(w.name) + ": attribute " + quoted(a.name) + " (" + a.type + ")") {}

    bool resolve(const json &v) {
        if (a_.kind == attribute_kind::ticks && v.is_object()) return tick_range_form(v);
        if (a_.kind == attribute_kind::ticks && v.is_array()) return tick_pairs_form(v);
        attr_value value;
        if (!attr_value_from_json(v, value))
            return fail(v, what_ + " takes " + expects() + ", not " + (v.is_array() ? "a list" : "an object"));
        if (a_.type == GR_TYPE_STRING) {
            if (!std::holds_alternative<std::string>(value) && !std::holds_alternative<null_string>(value))
                return fail(v, what_ + " takes a string");
        } else if (a_.type == GR_TYPE_FLOAT) {
            if (!float_value(v, value)) return false;
        } else if (!integer_value(v, value)) {
            return false;
        }
        out_.push_back({a_.name, std::move(value)});
        return true;
    }

private:
    bool fail(const json &where, std::string message) {
        at_ = &where;
        why_ = std::move(message);
        return false;
    }

    // What the attribute takes, in words, for the messages.
    std::string expects() const {
        switch (a_.kind) {
        case attribute_kind::palette: return "a palette index or a colour of the palette: " + a_.values_text();
        case attribute_kind::choice: return "an integer or a name: " + a_.values_text();
        case attribute_kind::rgb:
        case attribute_kind::argb: return "an integer or a colour \"#rrggbb\"";
        case attribute_kind::ticks: return "a tick string, a range {\"from\", \"to\", \"step\", \"minor\"} or [value, position] pairs";
        case attribute_kind::number: return "a number";
        default: return a_.type == GR_TYPE_STRING ? "a string" : "an integer";
        }
    }

    bool float_value(const json &v, attr_value &value) {
        if (std::holds_alternative<double>(value) || std::holds_alternative<int64_t>(value)) return true;
        if (const auto *s = std::get_if<std::string>(&value)) {
            uint32_t colour;
            // The engine's spellings of the values JSON has no numbers for; colours as the player converts them.
            if (*s == "nan" || *s == "inf" || *s == "-inf" || parse_colour(*s, colour)) return true;
        }
        return fail(v, what_ + " takes a number (or \"nan\", \"inf\", \"-inf\")");
    }

    bool integer_value(const json &v, attr_value &value) {
        if (const auto *s = std::get_if<std::string>(&value)) {
            if (std::optional<int64_t> n = a_.value_of(*s)) {
                value = *n;
                return true;
            }
            uint32_t colour;
            const bool is_colour = parse_colour(*s, colour);
            if (a_.kind == attribute_kind::palette) {
                if (is_colour)
                    return fail(v, what_ + " is a palette index, not a colour: write one of " + a_.values_text());
                return fail(v, what_ + " takes a palette index or a colour of the palette, not " + quoted(*s) +
                                   did_you_mean(*s, names_of(a_)) + "; the palette: " + a_.values_text());
            }
            if (is_colour) return true; // the player turns "#rrggbb" into its number
            if (!a_.values.empty())
                return fail(v, what_ + " takes an integer or a name, not " + quoted(*s) +
                                   did_you_mean(*s, names_of(a_)) + "; the names: " + a_.values_text());
            return fail(v, what_ + " takes an integer, not " + quoted(*s));
        }
        const auto *i = std::get_if<int64_t>(&value);
        if (i == nullptr) return fail(v, what_ + " takes an integer");
        if (a_.type == GR_TYPE_UINT8 && (*i < 0 || *i > 255))
            return fail(v, what_ + " takes 0 to 255, not " + std::to_string(*i));
        if (*i < std::numeric_limits<int32_t>::min() || *i > int64_t(std::numeric_limits<uint32_t>::max()))
            return fail(v, what_ + " takes a 32-bit integer, not " + std::to_string(*i));
        return true;
    }

    // {"from": 0, "to": 300, "step": 50, "minor": 4}
    bool tick_range_form(const json &v) {
        const std::vector<std::string> keys{"from", "to", "step", "minor"};
        for (auto it = v.begin(); it != v.end(); ++it)
            if (std::find(keys.begin(), keys.end(), it.key()) == keys.end())
                return fail(*it, what_ + ": a tick range has no key " + quoted(it.key()) + did_you_mean(it.key(), keys) +
                                     "; it is {\"from\", \"to\", \"step\", \"minor\"}");
        tick_range r;
        for (auto [key, field] : {std::pair{"from", &r.from}, std::pair{"to", &r.to}, std::pair{"step", &r.step}}) {
            auto it = v.find(key);
            if (it == v.end()) return fail(v, what_ + ": a tick range needs \"from\", \"to\" and \"step\"");
            if (!number(*it, *field)) return fail(*it, what_ + ": the range's " + quoted(key) + " must be a number");
        }
        if (!(r.step > 0)) return fail(v["step"], what_ + ": the range's \"step\" must be above 0");
        if (r.to < r.from) return fail(v["to"], what_ + ": the range's \"to\" is below its \"from\"");
        if ((r.to - r.from) / r.step + 1 > double(max_ticks) + 1e-9)
            return fail(v, what_ + ": the range gives more than " + std::to_string(max_ticks) +
                               " ticks, the most a widget keeps");
        std::optional<int64_t> minor;
        if (auto m = v.find("minor"); m != v.end()) {
            if (!m->is_number_integer() || m->get<int64_t>() < 0 || m->get<int64_t>() > 254)
                return fail(*m, what_ + ": the range's \"minor\" is the number of short marks between two ticks, 0 to 254");
            if (w_.find("subsections") == nullptr)
                return fail(*m, quoted(w_.name) + " draws no short marks between its ticks");
            minor = m->get<int64_t>();
        }
        out_.push_back({a_.name, tick_string(r)});
        if (minor) out_.push_back({"subsections", *minor + 1});
        return true;
    }

    // [[value, position], [value, position, "label"], ...]
    bool tick_pairs_form(const json &v) {
        if (v.size() > max_ticks)
            return fail(v, what_ + ": more than " + std::to_string(max_ticks) + " ticks, the most a widget keeps");
        std::vector<tick_pair> pairs;
        for (const json &p : v) {
            tick_pair t;
            if (!p.is_array() || p.size() < 2 || p.size() > 3 || !number(p[0], t.value) || !number(p[1], t.position))
                return fail(p, what_ + ": a tick is [value, position] or [value, position, \"label\"], numbers");
            if (p.size() == 3) {
                if (!p[2].is_string()) return fail(p[2], what_ + ": a tick's label must be a string");
                t.label = p[2].get<std::string>();
                if (t.label->find_first_of("|;") != std::string::npos)
                    return fail(p[2], what_ + ": a tick's label cannot hold \"|\" or \";\"");
            }
            pairs.push_back(std::move(t));
        }
        out_.push_back({a_.name, tick_string(pairs)});
        return true;
    }

    const widget_info &w_;
    const attribute_info &a_;
    std::vector<resolved_value> &out_;
    std::string &why_;
    const json *&at_;
    std::string what_;
};

} // namespace

bool resolve_attribute(const widget_info &widget, const std::string &name, const json &value,
                       std::vector<resolved_value> &out, std::string &why, const json *&at) {
    const attribute_info *a = widget.find(name);
    if (a == nullptr) {
        std::vector<std::string> names;
        for (const attribute_info &i : widget.attributes) names.push_back(i.name);
        at = &value;
        why = quoted(widget.name) + " has no attribute " + quoted(name) + did_you_mean(name, names);
        return false;
    }
    return resolver(widget, *a, out, why, at).resolve(value);
}

} // namespace pitwall
