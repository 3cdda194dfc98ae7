// pitwall snippet WIDGET: one control of that widget, as scene JSON on stdout, with attributes
// that make it draw in each of its threshold states.
#include "commands.h"
#include "snippet.h"

#include "pitwall/default_dirs.h"

#include <cstdio>
#include <string_view>

namespace pitwall::cli {
namespace {

// Colour attributes hold 0xRRGGBB (0xAARRGGBB for the Basic Box); the levels' palette indices
// and every other number are small or not named so.
bool is_colour(std::string_view name, const attr_value &v) {
    const auto *number = std::get_if<int64_t>(&v);
    if (number == nullptr || *number <= 0xff || *number > 0xffffffffll) return false;
    for (std::string_view limit : {"_limit", "_value", "_hyst"})
        if (name.ends_with(limit)) return false;
    return name == "color" || name.starts_with("color_") || name.starts_with("lower_") || name.starts_with("upper_");
}

nlohmann::ordered_json json_of(std::string_view name, const attr_value &v) {
    if (is_colour(name, v)) {
        const auto c = static_cast<uint32_t>(std::get<int64_t>(v));
        char text[12];
        if (c > 0xffffff) std::snprintf(text, sizeof text, "#%08x", static_cast<unsigned>(c));
        else std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(c));
        return text;
    }
    if (const auto *s = std::get_if<std::string>(&v)) return *s;
    if (const auto *i = std::get_if<int64_t>(&v)) return *i;
    if (const auto *d = std::get_if<double>(&v)) return *d;
    return nullptr;
}

std::string number_text(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", v);
    return text;
}

} // namespace

nlohmann::ordered_json snippet_control(const sheet &s, const std::string &name, int16_t x, int16_t y, int16_t width,
                                       int16_t height) {
    nlohmann::ordered_json c;
    c["widget"] = s.widget;
    c["name"] = name;
    c["x"] = x;
    c["y"] = y;
    c["width"] = width;
    c["height"] = height;
    static constexpr const char *state_names[] = {"lower", "normal", "upper"};
    if (s.values) {
        nlohmann::ordered_json states;
        for (int i = 0; i < 3; ++i) {
            nlohmann::ordered_json state;
            state["value"] = (*s.values)[size_t(i)];
            if (!s.value_text_attribute.empty())
                state[s.value_text_attribute] = s.value_prefix + number_text((*s.values)[size_t(i)]) + s.value_suffix;
            states[state_names[i]] = state;
        }
        c["_states"] = states;
    }
    nlohmann::ordered_json attributes = nlohmann::ordered_json::object();
    for (const auto &[attr, v] : s.base) attributes[attr] = json_of(attr, v);
    if (!s.rows.empty())
        for (const auto &[attr, v] : s.rows.front().attributes) attributes[attr] = json_of(attr, v);
    if (s.values) {
        // The text first, the value last: the limits are in place when the value is classified.
        if (!s.value_text_attribute.empty())
            attributes[s.value_text_attribute] = s.value_prefix + number_text((*s.values)[1]) + s.value_suffix;
        attributes["value"] = (*s.values)[1];
    }
    c["attributes"] = attributes;
    return c;
}

std::string snippet_text(const std::string &widget) {
    const sheet s = sheet_for(widget);
    return snippet_control(s, s.widget, 0, 0, s.cell_width, s.cell_height).dump(2);
}

int cmd_snippet(const options &opts) {
    std::unique_ptr<engine> eng = make_engine(opts, default_app_dir());
    if (!eng) return exit_usage;
    if (eng->find_plugin(opts.widget) == nullptr) {
        std::string names;
        for (const auto &p : eng->plugins()) names += (names.empty() ? "" : ", ") + p->display_name();
        std::fprintf(stderr, "pitwall snippet: no plug-in named \"%s\"; the widgets are: %s\n", opts.widget.c_str(),
                     names.c_str());
        return exit_usage;
    }
    std::printf("%s\n", snippet_text(opts.widget).c_str());
    return exit_ok;
}

} // namespace pitwall::cli
