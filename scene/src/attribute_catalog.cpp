// The catalog's lookups, names, suggestions and tick strings; the widgets' descriptions are in
// attribute_catalog_widgets.cpp.
#include "pitwall/attribute_catalog.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

namespace pitwall {

std::string_view kind_name(attribute_kind k) {
    switch (k) {
    case attribute_kind::integer: return "integer";
    case attribute_kind::number: return "number";
    case attribute_kind::flag: return "flag";
    case attribute_kind::text: return "text";
    case attribute_kind::font: return "font";
    case attribute_kind::image: return "image";
    case attribute_kind::rgb: return "colour";
    case attribute_kind::argb: return "colour with opacity";
    case attribute_kind::palette: return "palette";
    case attribute_kind::choice: return "choice";
    case attribute_kind::ticks: return "tick list";
    case attribute_kind::ignored: return "ignored";
    }
    return "integer";
}

std::optional<int64_t> attribute_info::value_of(std::string_view word) const {
    for (const named_value &v : values)
        if (v.name == word) return v.value;
    return std::nullopt;
}

std::string attribute_info::name_of(int64_t value) const {
    for (const named_value &v : values)
        if (v.value == value) return v.name;
    return {};
}

std::string attribute_info::values_text() const {
    std::string out;
    for (const named_value &v : values) {
        if (!out.empty()) out += ", ";
        out += kind == attribute_kind::palette ? std::to_string(v.value) + " " + v.name
                                               : v.name + " (" + std::to_string(v.value) + ")";
    }
    return out;
}

std::string attribute_info::kind_text() const {
    std::string out(kind == attribute_kind::palette ? "palette index" : kind_name(kind));
    if (range) out += " " + std::to_string(range->first) + " to " + std::to_string(range->second);
    if (!unit.empty()) out += ", " + unit;
    return out;
}

const attribute_info *widget_info::find(std::string_view attribute) const {
    for (const attribute_info &a : attributes)
        if (a.name == attribute) return &a;
    return nullptr;
}

namespace {

// Widgets described by their plug-ins' files. A deque keeps every element where it is as more are
// added, so that pointers handed out stay valid; the lock covers a workbench reloading its engine
// while another request reads the catalog.
std::mutex g_added_lock;
std::deque<widget_info> &added_widgets() {
    static std::deque<widget_info> added;
    return added;
}

} // namespace

const widget_info *find_widget_info(std::string_view display_name) {
    for (const widget_info &w : attribute_catalog())
        if (w.name == display_name) return &w;
    const std::lock_guard lock(g_added_lock);
    for (const widget_info &w : added_widgets())
        if (w.name == display_name) return &w;
    return nullptr;
}

bool add_widget_info(widget_info w, std::string *err) {
    if (const widget_info *known = find_widget_info(w.name)) {
        if (err != nullptr)
            *err = "\"" + w.name + "\" is described already" +
                   (known->built_in() ? std::string(" by the project itself") : " by " + known->source);
        return false;
    }
    const std::lock_guard lock(g_added_lock);
    added_widgets().push_back(std::move(w));
    return true;
}

namespace {

// Lower case without blanks, underscores and hyphens: "ModernGaugeLarge" is "Modern Gauge Large".
std::string folded(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '_' && c != '-') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Edit distance counting a swap of neighbours as one edit ("widht" is one from "width").
size_t distance(const std::string &a, const std::string &b) {
    const size_t n = a.size(), m = b.size();
    std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
    for (size_t i = 0; i <= n; ++i) d[i][0] = i;
    for (size_t j = 0; j <= m; ++j) d[0][j] = j;
    for (size_t i = 1; i <= n; ++i)
        for (size_t j = 1; j <= m; ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[n][m];
}

} // namespace

std::string did_you_mean(std::string_view word, const std::vector<std::string> &candidates) {
    // Names longer than this are not slips of the hand; the bound also keeps the table small.
    if (word.size() > 64) return {};
    const std::string w = folded(word);
    const std::string *best = nullptr;
    size_t best_distance = 0;
    for (const std::string &c : candidates) {
        if (c == word || c.size() > 64) continue;
        const size_t d = distance(w, folded(c));
        if (best == nullptr || d < best_distance) {
            best = &c;
            best_distance = d;
        }
    }
    if (best == nullptr) return {};
    const size_t allowed = std::clamp<size_t>(w.size() / 3, 1, 3);
    if (best_distance > allowed) return {};
    return " (did you mean \"" + *best + "\"?)";
}

std::string tick_label(double value) {
    char text[40];
    // Whole numbers in full: "%g" would write 4000 as 4e+03, which reads back the same.
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", value == 0 ? 0.0 : value);
        return text;
    }
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

std::string tick_string(const tick_range &r) {
    std::string out;
    // Each tick from its index, so that steps such as 0.1 do not gather rounding on the way.
    for (size_t i = 0; i < max_ticks + 1; ++i) {
        const double v = r.from + double(i) * r.step;
        if (v > r.to + std::fabs(r.step) * 1e-9) break;
        if (!out.empty()) out += "|";
        out += ";" + tick_label(v) + ";" + tick_label(v);
    }
    return out;
}

std::string tick_string(const std::vector<tick_pair> &pairs) {
    std::string out;
    for (const tick_pair &p : pairs) {
        if (!out.empty()) out += "|";
        out += tick_label(p.position) + ";" + tick_label(p.value) + ";" + p.label.value_or(tick_label(p.value));
    }
    return out;
}

} // namespace pitwall
