// Scene files: parsing and instantiation.
#include "pitwall/scene.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pitwall {
namespace {

// Objects keep their members in file order: attributes are set in the order the scene writes them.
using json = nlohmann::ordered_json;

std::string absolute(const std::string &folder, const std::string &path) {
    if (path.empty() || path[0] == '/' || folder.empty()) return path;
    return folder + "/" + path;
}

// "#rrggbb" (opaque, top byte 0xff) or "#aarrggbb": hex digits only (strtoul alone would take a
// sign or blanks).
bool parse_colour(const std::string &text, uint32_t &out) {
    if (text.size() != 7 && text.size() != 9) return false;
    if (text[0] != '#') return false;
    if (text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) return false;
    unsigned long v = std::strtoul(text.c_str() + 1, nullptr, 16);
    out = static_cast<uint32_t>(v);
    if (text.size() == 7) out |= 0xff000000u;
    return true;
}

bool to_value(const json &j, attr_value &out) {
    if (j.is_null()) out = null_string{};
    else if (j.is_boolean()) out = static_cast<int64_t>(j.get<bool>() ? 1 : 0);
    // Unsigned first (an unsigned number is an integer too): beyond int64_t it stays a number that
    // no integer attribute accepts, instead of wrapping to a negative value.
    else if (j.is_number_unsigned() && j.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
        out = static_cast<double>(j.get<uint64_t>());
    else if (j.is_number_integer()) out = j.get<int64_t>();
    else if (j.is_number_float()) out = j.get<double>();
    else if (j.is_string()) out = j.get<std::string>();
    else return false;
    return true;
}

bool is_i16(const json &j) {
    if (j.is_number_unsigned()) return j.get<uint64_t>() <= 32767;
    return j.is_number_integer() && j.get<int64_t>() >= -32768 && j.get<int64_t>() <= 32767;
}

// A 16-bit integer under key, or fallback when the key is absent; false for anything else (a
// float, a string, a value beyond 16 bits), which would otherwise be dropped or wrapped unseen.
bool get_i16(const json &j, const char *key, int16_t fallback, int16_t &out) {
    auto it = j.find(key);
    if (it == j.end()) {
        out = fallback;
        return true;
    }
    if (!is_i16(*it)) return false;
    out = static_cast<int16_t>(it->get<int64_t>());
    return true;
}

} // namespace

bool parse_scene(const std::string &text, const std::string &folder, scene &out, error *err) {
    json root = json::parse(text, nullptr, false);
    auto fail = [&](const std::string &why) {
        if (err != nullptr) *err = why;
        return false;
    };
    if (root.is_discarded() || !root.is_object()) return fail("the scene is not a JSON object");
    out = scene{};
    if (auto c = root.find("canvas"); c != root.end()) {
        if (!c->is_object()) return fail("\"canvas\" must be an object");
        if (!get_i16(*c, "width", out.width, out.width) || !get_i16(*c, "height", out.height, out.height))
            return fail("\"canvas\": \"width\" and \"height\" are integers of 16 bits");
        if (auto bg = c->find("background"); bg != c->end())
            if (!bg->is_string() || !parse_colour(bg->get<std::string>(), out.background))
                return fail("\"canvas.background\" must be a colour \"#rrggbb\" or \"#aarrggbb\"");
    }
    if (out.width <= 0 || out.height <= 0) return fail("the canvas needs a positive width and height");
    if (auto b = root.find("base_dir"); b != root.end()) {
        if (!b->is_string()) return fail("\"base_dir\" must be a string");
        out.base_dir = absolute(folder, b->get<std::string>());
    }
    if (auto f = root.find("fonts"); f != root.end()) {
        if (!f->is_object()) return fail("\"fonts\" must map resource names to font files");
        for (auto it = f->begin(); it != f->end(); ++it) {
            if (!it->is_string()) return fail("font \"" + it.key() + "\" must name a file");
            out.fonts.emplace_back(it.key(), it->get<std::string>());
        }
    }
    if (auto im = root.find("images"); im != root.end()) {
        if (!im->is_object()) return fail("\"images\" must map paths to sizes");
        for (auto it = im->begin(); it != im->end(); ++it) {
            scene_image img;
            img.path = it.key();
            if (!it->is_object() || !get_i16(*it, "width", 0, img.info.width) ||
                !get_i16(*it, "height", 0, img.info.height))
                return fail("image \"" + img.path + "\": \"width\" and \"height\" are integers of 16 bits");
            if (auto bands = it->find("stretch"); bands != it->end()) {
                if (!bands->is_array() || bands->size() != 4 ||
                    !std::all_of(bands->begin(), bands->end(), is_i16))
                    return fail("image \"" + img.path + "\": \"stretch\" is [sx, sw, sy, sh], integers of 16 bits");
                img.info.nine_patch = true;
                img.info.sx = static_cast<int16_t>((*bands)[0].get<int>());
                img.info.sw = static_cast<int16_t>((*bands)[1].get<int>());
                img.info.sy = static_cast<int16_t>((*bands)[2].get<int>());
                img.info.sh = static_cast<int16_t>((*bands)[3].get<int>());
            }
            out.images.push_back(img);
        }
    }
    auto controls = root.find("controls");
    if (controls == root.end() || !controls->is_array()) return fail("\"controls\" must be an array");
    for (const json &c : *controls) {
        scene_control sc;
        if (!c.is_object() || !c.contains("widget") || !c["widget"].is_string())
            return fail("every control needs a \"widget\" (a display name)");
        sc.widget = c["widget"].get<std::string>();
        sc.name = sc.widget;
        if (auto n = c.find("name"); n != c.end()) {
            if (!n->is_string()) return fail("control \"" + sc.widget + "\": \"name\" must be a string");
            sc.name = n->get<std::string>();
        }
        if (!get_i16(c, "x", 0, sc.x) || !get_i16(c, "y", 0, sc.y) || !get_i16(c, "width", out.width, sc.width) ||
            !get_i16(c, "height", out.height, sc.height))
            return fail("control \"" + sc.name + "\": \"x\", \"y\", \"width\" and \"height\" are integers of 16 bits");
        if (auto a = c.find("attributes"); a != c.end()) {
            if (!a->is_object()) return fail("control \"" + sc.name + "\": \"attributes\" must be an object");
            for (auto it = a->begin(); it != a->end(); ++it) {
                attr_value v;
                if (!to_value(*it, v)) return fail("control \"" + sc.name + "\": attribute \"" + it.key() +
                                                   "\" must be a string, number, boolean or null");
                sc.attributes.emplace_back(it.key(), v);
            }
        }
        out.controls.push_back(std::move(sc));
    }
    return true;
}

bool load_scene(const std::string &path, scene &out, error *err) {
    std::ifstream in(path);
    if (!in) {
        if (err != nullptr) *err = path + ": cannot be read";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/'));
    if (!parse_scene(text.str(), folder, out, err)) {
        if (err != nullptr) *err = path + ": " + *err;
        return false;
    }
    return true;
}

error scene_run::build(engine &eng, const scene &s) {
    canvas_ = engine::canvas(s.width, s.height);
    for (const auto &[name, file] : s.fonts) eng.fonts().map_font(name, file);
    for (const scene_control &c : s.controls) {
        plugin *p = eng.find_plugin(c.widget);
        if (p == nullptr) return "control \"" + c.name + "\": no plug-in registers \"" + c.widget + "\"";
        std::unique_ptr<instance> inst = p->create();
        for (const auto &[attr, value] : c.attributes) {
            attr_value v = value;
            // Colours may be written "#rrggbb" for integer attributes.
            const gr_attribute_t *a = p->find_attribute(attr);
            uint32_t colour;
            if (a != nullptr && std::string_view(a->type) != GR_TYPE_STRING && std::holds_alternative<std::string>(v) &&
                parse_colour(std::get<std::string>(v), colour))
                v = static_cast<int64_t>(colour);
            if (error e = inst->set(attr, v); !e.empty()) return "control \"" + c.name + "\": " + e;
        }
        controls_.push_back(make_control(c.x, c.y, c.width, c.height, &canvas_));
        instances_.push_back(std::move(inst));
        names_.push_back(c.name);
    }
    return {};
}

int scene_run::draw(gr_context_t *ctx) {
    failures_.clear();
    for (size_t i = 0; i < instances_.size(); ++i)
        if (int result = instances_[i]->draw(ctx, controls_[i]); result != 0)
            failures_.push_back({names_[i], instances_[i]->owner().display_name(), result});
    return static_cast<int>(failures_.size());
}

std::string default_plugin_dir() {
    const char *env = std::getenv("PITWALL_PLUGIN_DIR");
    return env != nullptr && *env != '\0' ? env : PITWALL_DEFAULT_PLUGIN_DIR;
}

std::string default_app_dir() { return PITWALL_DEFAULT_APP_DIR; }

} // namespace pitwall
