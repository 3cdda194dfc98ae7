// Description files: read with located_json so that every complaint names its line and column,
// checked against the plug-in's own table, and turned into the catalog's widget_info.
#include "pitwall/plugin_description.h"

#include "located_json.h"
#include "pitwall/file_read.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>

namespace pitwall {
namespace {

std::string in_quotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

// The words a file may write for a kind: the names the reference pages print, and the short ones.
const std::vector<std::pair<std::string, attribute_kind>> &kind_words() {
    static const std::vector<std::pair<std::string, attribute_kind>> words = [] {
        using k = attribute_kind;
        std::vector<std::pair<std::string, attribute_kind>> w;
        for (k kind : {k::integer, k::number, k::flag, k::text, k::font, k::image, k::rgb, k::argb, k::palette,
                       k::choice, k::ticks, k::ignored})
            w.emplace_back(kind_name(kind), kind);
        w.emplace_back("rgb", k::rgb);
        w.emplace_back("argb", k::argb);
        w.emplace_back("ticks", k::ticks);
        return w;
    }();
    return words;
}

// The kinds an attribute of a type code can be: strings, floats and the integer codes.
std::vector<attribute_kind> kinds_for(std::string_view type) {
    using k = attribute_kind;
    if (type == GR_TYPE_STRING) return {k::text, k::font, k::image, k::ticks, k::ignored};
    if (type == GR_TYPE_FLOAT) return {k::number, k::ignored};
    return {k::integer, k::flag, k::rgb, k::argb, k::palette, k::choice, k::ignored};
}

// The numbers a type code carries; a range or a named value outside them could never be set.
std::pair<int64_t, int64_t> type_limits(std::string_view type) {
    if (type == GR_TYPE_UINT8) return {0, 255};
    if (type == GR_TYPE_UINT32) return {0, std::numeric_limits<uint32_t>::max()};
    if (type == GR_TYPE_INT32) return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    return {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
}

bool is_value_name(const std::string &name) {
    if (name.empty() || name.size() > max_description_name) return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(name[0])) return false;
    return std::all_of(name.begin(), name.end(),
                       [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '_' || c == '-'; });
}

class description_reader {
public:
    description_reader(const std::string &path, std::string_view display_name, const std::vector<gr_attribute_t> &table)
        : path_(path), display_name_(display_name), table_(table) {}

    bool read(const std::string &text, widget_info &out, std::string *err) {
        std::string why;
        if (!doc_.parse(text, &why)) {
            *err = path_ + ":" + why;
            return false;
        }
        widget_info w;
        w.source = path_;
        if (!read_widget(doc_.root(), w)) {
            *err = path_ + ":" + error_;
            return false;
        }
        out = std::move(w);
        return true;
    }

private:
    bool fail(const json &at, const std::string &cause) {
        error_ = doc_.where(at) + ": " + cause;
        return false;
    }

    // Keys starting with "_" are comments, as in a scene.
    bool only_keys(const json &object, const std::vector<std::string> &known, const std::string &what) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            const std::string &key = it.key();
            if (!key.empty() && key[0] == '_') continue;
            if (std::find(known.begin(), known.end(), key) == known.end())
                return fail(*it, what + ": unknown key " + in_quotes(key.substr(0, max_description_name)) +
                                     did_you_mean(key, known));
        }
        return true;
    }

    // A bounded line of text without control characters (attrs prints it to a terminal).
    bool text(const json &j, const std::string &what, std::string &out, bool numbers_too = false) {
        if (numbers_too && j.is_number()) {
            out = j.dump();
            return true;
        }
        if (!j.is_string()) return fail(j, what + " must be a string");
        const std::string &s = j.get_ref<const std::string &>();
        if (s.size() > max_description_text)
            return fail(j, what + " is longer than " + std::to_string(max_description_text) + " bytes");
        if (std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
            return fail(j, what + " holds a control character");
        out = s;
        return true;
    }

    bool read_widget(const json &root, widget_info &w) {
        if (!root.is_object()) return fail(root, "a description must be an object with \"widget\" and \"attributes\"");
        if (!only_keys(root, {"widget", "what", "attributes"}, "the description")) return false;
        auto name = root.find("widget");
        if (name == root.end()) return fail(root, "the description has no \"widget\"");
        if (!text(*name, "\"widget\"", w.name)) return false;
        if (w.name != display_name_)
            return fail(*name, "\"widget\" is " + in_quotes(w.name.substr(0, max_description_name)) +
                                   ", but the plug-in registers " + in_quotes(display_name_));
        if (auto what = root.find("what"); what != root.end() && !text(*what, "\"what\"", w.what)) return false;
        auto attrs = root.find("attributes");
        if (attrs == root.end()) return fail(root, "the description has no \"attributes\"");
        if (!attrs->is_array()) return fail(*attrs, "\"attributes\" must be a list of attribute descriptions");
        if (attrs->size() > max_described_attributes)
            return fail(*attrs, "more than " + std::to_string(max_described_attributes) + " attributes");
        std::vector<std::pair<const gr_attribute_t *, attribute_info>> read;
        for (const json &a : *attrs) {
            attribute_info info;
            const gr_attribute_t *own = nullptr;
            if (!read_attribute(a, info, own)) return false;
            for (const auto &[earlier, first] : read)
                if (earlier == own)
                    return fail(a["name"], "attribute " + in_quotes(info.name) + " is described twice (first at " +
                                               where_of(*attrs, info.name) + ")");
            read.emplace_back(own, std::move(info));
        }
        // The catalog keeps a widget's attributes in its table's order.
        for (const gr_attribute_t &t : table_)
            for (auto &[own, info] : read)
                if (own == &t) w.attributes.push_back(std::move(info));
        return true;
    }

    std::string where_of(const json &attrs, const std::string &name) const {
        for (const json &a : attrs)
            if (auto n = a.find("name"); n != a.end() && n->is_string() && *n == name) return doc_.where(*n);
        return "1:1";
    }

    bool read_attribute(const json &a, attribute_info &info, const gr_attribute_t *&own) {
        if (!a.is_object()) return fail(a, "an attribute description must be an object with \"name\" and \"kind\"");
        auto name = a.find("name");
        if (name == a.end()) return fail(a, "an attribute description has no \"name\"");
        if (!text(*name, "\"name\"", info.name)) return false;
        std::vector<std::string> names;
        for (const gr_attribute_t &t : table_) {
            if (t.name == info.name) own = &t;
            names.emplace_back(t.name);
        }
        if (own == nullptr)
            return fail(*name, in_quotes(display_name_) + " has no attribute " +
                                   in_quotes(info.name.substr(0, max_description_name)) + did_you_mean(info.name, names));
        info.type = own->type;
        const std::string what = "attribute " + in_quotes(info.name);
        if (!only_keys(a, {"name", "kind", "range", "unit", "values", "default", "help", "when_invalid"}, what))
            return false;

        auto kind = a.find("kind");
        if (kind == a.end()) return fail(a, what + " has no \"kind\"");
        if (!kind->is_string()) return fail(*kind, what + ": \"kind\" must be a string");
        const std::string &word = kind->get_ref<const std::string &>();
        std::vector<std::string> words;
        bool known = false;
        for (const auto &[w, k] : kind_words()) {
            words.push_back(w);
            if (w == word) {
                info.kind = k;
                known = true;
            }
        }
        if (!known)
            return fail(*kind, what + ": no kind " + in_quotes(word.substr(0, max_description_name)) +
                                   did_you_mean(word, words));
        const std::vector<attribute_kind> allowed = kinds_for(info.type);
        if (std::find(allowed.begin(), allowed.end(), info.kind) == allowed.end()) {
            std::string list;
            for (attribute_kind k : allowed) list += (list.empty() ? "" : ", ") + std::string(kind_name(k));
            return fail(*kind, what + " (" + info.type + ") cannot be " + in_quotes(word) + "; its kinds: " + list);
        }

        const bool integer_type = info.type != GR_TYPE_STRING && info.type != GR_TYPE_FLOAT;
        const auto [type_min, type_max] = type_limits(info.type);
        auto fits = [&, lo = type_min, hi = type_max](const json &n) {
            if (n.is_number_integer()) {
                if (n.is_number_unsigned()) return n.get<uint64_t>() <= static_cast<uint64_t>(hi);
                const int64_t v = n.get<int64_t>();
                return v >= lo && v <= hi;
            }
            return false;
        };
        const std::string limits = std::to_string(type_min) + " to " + std::to_string(type_max);
        if (auto r = a.find("range"); r != a.end()) {
            if (info.type == GR_TYPE_STRING) return fail(*r, what + " takes a string: a range is for numbers");
            if (!r->is_array() || r->size() != 2 || !(*r)[0].is_number_integer() || !(*r)[1].is_number_integer())
                return fail(*r, what + ": \"range\" must be two whole numbers [lowest, highest]");
            for (const json &end : *r)
                if (!fits(end)) return fail(end, what + " (" + info.type + ") takes " + limits);
            const int64_t lo = (*r)[0].get<int64_t>(), hi = (*r)[1].get<int64_t>();
            if (lo > hi) return fail(*r, what + ": the range's lowest is above its highest");
            info.range = std::make_pair(lo, hi);
        }
        if (auto v = a.find("values"); v != a.end()) {
            if (!integer_type || info.kind == attribute_kind::ignored)
                return fail(*v, what + ": named values are for whole numbers, not for kind " + in_quotes(kind_name(info.kind)));
            if (!v->is_object() || v->empty()) return fail(*v, what + ": \"values\" must map names to numbers");
            if (v->size() > max_named_values)
                return fail(*v, what + ": more than " + std::to_string(max_named_values) + " named values");
            for (auto it = v->begin(); it != v->end(); ++it) {
                if (!is_value_name(it.key()))
                    return fail(*it, what + ": the value name " + in_quotes(it.key().substr(0, max_description_name)) +
                                         " must be a letter followed by letters, digits, _ or -, at most " +
                                         std::to_string(max_description_name) + " bytes");
                if (!it->is_number_integer()) return fail(*it, what + ": value " + in_quotes(it.key()) + " must be a whole number");
                if (!fits(*it)) return fail(*it, what + " (" + info.type + ") takes " + limits);
                const int64_t n = it->get<int64_t>();
                for (const named_value &earlier : info.values)
                    if (earlier.value == n)
                        return fail(*it, what + ": " + in_quotes(earlier.name) + " and " + in_quotes(it.key()) + " both name " +
                                             std::to_string(n));
                info.values.push_back({it.key(), n});
            }
            std::stable_sort(info.values.begin(), info.values.end(),
                             [](const named_value &x, const named_value &y) { return x.value < y.value; });
        } else if (info.kind == attribute_kind::choice || info.kind == attribute_kind::palette) {
            return fail(a, what + " is a " + std::string(kind_name(info.kind)) + ": it needs \"values\"");
        }
        if (auto u = a.find("unit"); u != a.end() && !text(*u, what + ": \"unit\"", info.unit)) return false;
        if (auto d = a.find("default"); d != a.end() && !text(*d, what + ": \"default\"", info.default_value, true))
            return false;
        if (auto h = a.find("help"); h != a.end() && !text(*h, what + ": \"help\"", info.what)) return false;
        if (auto x = a.find("when_invalid"); x != a.end() && !text(*x, what + ": \"when_invalid\"", info.when_invalid))
            return false;
        return true;
    }

    const std::string &path_;
    std::string_view display_name_;
    const std::vector<gr_attribute_t> &table_;
    located_json doc_;
    std::string error_;
};

} // namespace

std::string description_path(const std::string &library) {
    const std::string_view so = ".so";
    if (library.size() <= so.size() || library.compare(library.size() - so.size(), so.size(), so) != 0) return {};
    return library.substr(0, library.size() - so.size()) + ".json";
}

bool parse_plugin_description(const std::string &path, const std::string &text, std::string_view display_name,
                              const std::vector<gr_attribute_t> &table, widget_info &out, std::string *err) {
    std::string why;
    description_reader reader(path, display_name, table);
    if (reader.read(text, out, &why)) return true;
    if (err != nullptr) *err = std::move(why);
    return false;
}

bool read_plugin_description(const std::string &path, std::string_view display_name,
                             const std::vector<gr_attribute_t> &table, widget_info &out, std::string *err) {
    std::string text, why;
    if (!read_regular_file(path, max_description_bytes, text, &why)) {
        if (err != nullptr) *err = path + ": " + why;
        return false;
    }
    return parse_plugin_description(path, text, display_name, table, out, err);
}

} // namespace pitwall
