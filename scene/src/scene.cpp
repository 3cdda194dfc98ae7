// Scene files: parsing into a scene, with every error placed at its line and column.
#include "pitwall/scene.h"

#include "attribute_values.h"
#include "located_json.h"
#include "scene_reader.h"
#include "telemetry_csv.h"
#include "pitwall/file_read.h"
#include "pitwall/scene_value.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string_view>

namespace pitwall {

bool scene_reader::read(scene &out) {
    const json &root = doc_.root();
    if (!root.is_object()) return fail(root, "a scene is a JSON object");
    out = scene{};
    if (!only_keys(root,
                   {"canvas", "base_dir", "fonts", "images", "stage", "styles", "controls", "steps", "tracks", "telemetry", "feeds"},
                   "the scene"))
        return false;
    if (auto c = root.find("canvas"); c != root.end() && !read_canvas(*c, out)) return false;
    if (auto b = root.find("base_dir"); b != root.end()) {
        if (!b->is_string()) return fail(*b, "\"base_dir\" must be a string");
        out.base_dir = absolute(folder_, b->get<std::string>());
    }
    if (auto f = root.find("fonts"); f != root.end()) {
        if (!f->is_object()) return fail(*f, "\"fonts\" must map resource names to font files");
        for (auto it = f->begin(); it != f->end(); ++it) {
            if (!it->is_string()) return fail(*it, "font \"" + it.key() + "\" must name a file");
            out.fonts.emplace_back(it.key(), it->get<std::string>());
        }
    }
    // The top-level "images" is the first frame's image staging, written where it always was.
    if (auto im = root.find("images"); im != root.end() && !read_images(*im, out.stage, false)) return false;
    if (auto st = root.find("stage"); st != root.end() && !read_stage(*st, out.stage)) return false;
    if (auto st = root.find("styles"); st != root.end() && !read_styles(*st)) return false;
    auto controls = root.find("controls");
    if (controls == root.end()) return fail(root, "the scene needs \"controls\", an array");
    if (!controls->is_array()) return fail(*controls, "\"controls\" must be an array");
    for (const json &c : *controls) {
        scene_control sc;
        if (!read_control(c, out, sc)) return false;
        controls_.emplace_back(sc.name, sc.widget);
        out.controls.push_back(std::move(sc));
    }
    if (auto steps = root.find("steps"); steps != root.end()) {
        if (!steps->is_array()) return fail(*steps, "\"steps\" must be an array of steps");
        for (const json &st : *steps) {
            scene_step step;
            if (!read_step(st, out.steps.size() + 1, step)) return false;
            out.steps.push_back(std::move(step));
        }
    }
    if (auto tracks = root.find("tracks"); tracks != root.end()) {
        if (!tracks->is_array()) return fail(*tracks, "\"tracks\" must be an array of tracks");
        for (size_t number = 1; number <= tracks->size(); ++number) {
            const json &t = (*tracks)[number - 1];
            track tr;
            if (!read_track(t, number, tr)) return false;
            tr.origin = "track " + std::to_string(number);
            tr.where = doc_.where(t);
            if (!check_driven(t, tr.control, tr.attribute, &tr.keys, tr.origin)) {
                if (attribute_errors_ == nullptr) return false;
                continue; // lint goes on to the next one
            }
            out.tracks.push_back(std::move(tr));
        }
    }
    if (auto tel = root.find("telemetry"); tel != root.end()) {
        // The channels' names are checked before the log is read: a misspelt one is found at once.
        if (auto ch = tel->is_object() ? tel->find("channels") : tel->end(); tel->is_object() && ch != tel->end() && ch->is_object())
            for (auto it = ch->begin(); it != ch->end(); ++it) {
                auto check = [&](const json &m) {
                    return !m.is_object() || !m.contains("control") || !m["control"].is_string() ||
                           !m.contains("attribute") || !m["attribute"].is_string() ||
                           check_driven(m, m["control"].get<std::string>(), m["attribute"].get<std::string>(), nullptr,
                                        channel_name(*tel, it.key())) ||
                           attribute_errors_ != nullptr;
                };
                if (!it->is_array() && !check(*it)) return false;
                if (it->is_array())
                    for (const json &m : *it)
                        if (!check(m)) return false;
            }
        if (!read_log(*tel, out)) return false;
    }
    if (auto f = root.find("feeds"); f != root.end() && !read_feeds(*f, out.feeds)) return false;
    return true;
}

bool scene_reader::read_canvas(const json &c, scene &out) {
    if (!c.is_object()) return fail(c, "\"canvas\" must be an object");
    if (!only_keys(c, {"width", "height", "background"}, "\"canvas\"")) return false;
    if (!get_i16(c, "width", out.width, "\"canvas\"") || !get_i16(c, "height", out.height, "\"canvas\""))
        return false;
    if (out.width <= 0 || out.height <= 0) return fail(c, "the canvas needs a positive width and height");
    if (auto bg = c.find("background"); bg != c.end())
        if (!bg->is_string() || !parse_colour(bg->get<std::string>(), out.background))
            return fail(*bg, "\"canvas.background\" must be a colour \"#rrggbb\" or \"#aarrggbb\"");
    return true;
}

bool scene_reader::read_image(const std::string &path, const json &j, scene_image &out) {
    const std::string what = "image \"" + path + "\"";
    out.path = path;
    if (!j.is_object()) return fail(j, what + " must be an object with \"width\" and \"height\"");
    if (!only_keys(j, {"width", "height", "stretch", "size_query_fails"}, what)) return false;
    if (!get_i16(j, "width", out.info.width, what) || !get_i16(j, "height", out.info.height, what)) return false;
    if (auto bands = j.find("stretch"); bands != j.end()) {
        if (!bands->is_array() || bands->size() != 4 || !std::all_of(bands->begin(), bands->end(), is_i16))
            return fail(*bands, what + ": \"stretch\" is [sx, sw, sy, sh], integers of 16 bits");
        out.info.nine_patch = true;
        out.info.sx = static_cast<int16_t>((*bands)[0].get<int>());
        out.info.sw = static_cast<int16_t>((*bands)[1].get<int>());
        out.info.sy = static_cast<int16_t>((*bands)[2].get<int>());
        out.info.sh = static_cast<int16_t>((*bands)[3].get<int>());
    }
    if (auto f = j.find("size_query_fails"); f != j.end()) {
        if (!f->is_boolean()) return fail(*f, what + ": \"size_query_fails\" must be true or false");
        out.info.size_query_fails = f->get<bool>();
    }
    return true;
}

// Paths to sizes; in a stage, null makes a path unloadable again.
bool scene_reader::read_images(const json &images, scene_staging &out, bool removals) {
    if (!images.is_object()) return fail(images, "\"images\" must map paths to sizes");
    for (auto it = images.begin(); it != images.end(); ++it) {
        if (it->is_null() && removals) {
            out.removed_images.push_back(it.key());
            continue;
        }
        scene_image img;
        if (!read_image(it.key(), *it, img)) return false;
        out.images.push_back(std::move(img));
    }
    return true;
}

bool scene_reader::read_stage(const json &j, scene_staging &out) {
    if (!j.is_object()) return fail(j, "\"stage\" must be an object");
    if (!only_keys(j, {"images", "text_advance", "line_heights", "text_extents", "fail_text_extent", "fail_create_path",
                       "font_faults"},
                   "\"stage\""))
        return false;
    if (auto im = j.find("images"); im != j.end() && !read_images(*im, out, true)) return false;
    if (auto a = j.find("text_advance"); a != j.end()) {
        if (!is_i32(*a) || a->get<int64_t>() < 0) return fail(*a, "\"text_advance\" must be a whole number of pixels");
        out.text_advance = a->get<int32_t>();
    }
    if (auto lh = j.find("line_heights"); lh != j.end()) {
        if (!lh->is_object()) return fail(*lh, "\"line_heights\" must map font sizes to line heights");
        for (auto it = lh->begin(); it != lh->end(); ++it) {
            const std::string &size = it.key();
            bool digits = !size.empty() && size.size() <= 9 && size.find_first_not_of("0123456789") == std::string::npos;
            if (!digits || !is_i32(*it))
                return fail(*it, "\"line_heights\": \"" + size + "\" must be a font size with a whole number of pixels");
            out.line_heights.emplace_back(std::atoi(size.c_str()), it->get<int32_t>());
        }
    }
    if (auto te = j.find("text_extents"); te != j.end()) {
        if (!te->is_object()) return fail(*te, "\"text_extents\" must map texts to [width, height]");
        for (auto it = te->begin(); it != te->end(); ++it) {
            if (!it->is_array() || it->size() != 2 || !std::all_of(it->begin(), it->end(), is_i16))
                return fail(*it, "\"text_extents\": \"" + it.key() + "\" must be [width, height], integers of 16 bits");
            out.text_extents.push_back(
                {it.key(), {static_cast<int16_t>((*it)[0].get<int>()), static_cast<int16_t>((*it)[1].get<int>())}});
        }
    }
    for (auto [key, flag] : {std::pair{"fail_text_extent", &out.fail_text_extent},
                             std::pair{"fail_create_path", &out.fail_create_path}}) {
        if (auto f = j.find(key); f != j.end()) {
            if (!f->is_boolean()) return fail(*f, "\"" + std::string(key) + "\" must be true or false");
            *flag = f->get<bool>();
        }
    }
    if (auto ff = j.find("font_faults"); ff != j.end()) {
        if (!ff->is_object()) return fail(*ff, "\"font_faults\" must map font resource names to faults");
        for (auto it = ff->begin(); it != ff->end(); ++it) {
            font_fault fault;
            if (it->is_null()) fault = font_fault::none;
            else if (*it == "lookup") fault = font_fault::lookup;
            else if (*it == "font") fault = font_fault::font;
            else return fail(*it, "font fault \"" + it.key() + "\" is \"lookup\", \"font\" or null");
            out.font_faults.emplace_back(it.key(), fault);
        }
    }
    return true;
}

// Named attribute sets: each an object of attributes, checked against a widget where a control
// uses it.
bool scene_reader::read_styles(const json &styles) {
    if (!styles.is_object()) return fail(styles, "\"styles\" must map style names to attributes");
    for (auto it = styles.begin(); it != styles.end(); ++it) {
        if (!it->is_object()) return fail(*it, "style \"" + it.key() + "\" must be an object of attributes");
        styles_.emplace_back(it.key(), &*it);
    }
    return true;
}

// Names and tick forms resolved and values checked for a widget the catalog describes, each value
// remembered with its place; other widgets' values go to their plug-in as written.
bool scene_reader::add_attribute(const widget_info *widget, const std::string &name, const json &value,
                                 control_change &out, const std::string &what) {
    if (widget == nullptr) {
        attr_value v;
        if (!attr_value_from_json(value, v))
            return fail(value, what + ": attribute \"" + name + "\" must be a string, number, boolean or null");
        out.attributes.emplace_back(name, v);
        out.attribute_where.push_back(doc_.where(value));
        return true;
    }
    std::vector<resolved_value> values;
    std::string why;
    const json *at = &value;
    if (!resolve_attribute(*widget, name, value, values, why, at)) {
        if (attribute_errors_ == nullptr) return fail(*at, what + ": " + why);
        attribute_errors_->push_back(doc_.where(*at) + ": " + what + ": " + why);
        return true;
    }
    for (resolved_value &r : values) {
        out.attributes.emplace_back(std::move(r.attribute), std::move(r.value));
        out.attribute_where.push_back(doc_.where(value));
    }
    return true;
}

bool scene_reader::known_control(const json &at, const std::string &name, const std::string &what,
                                 std::string *widget) {
    for (const auto &[control, w] : controls_)
        if (control == name) {
            if (widget != nullptr) *widget = w;
            return true;
        }
    std::vector<std::string> names;
    for (const auto &c : controls_) names.push_back(c.first);
    return fail(at, what + ": no control named \"" + name + "\"" + did_you_mean(name, names));
}

bool scene_reader::check_driven(const json &j, const std::string &control, const std::string &attribute,
                                std::vector<track_key> *keys, const std::string &what) {
    const std::string *widget = nullptr;
    for (const auto &[name, c] : controls_)
        if (name == control) {
            widget = &c;
            break;
        }
    if (widget == nullptr) {
        std::vector<std::string> names;
        for (const auto &c : controls_) names.push_back(c.first);
        return refuse_driven(j["control"], what + ": no control named \"" + control + "\"" + did_you_mean(control, names));
    }
    // A widget the catalog does not describe is checked by the player, against its plug-in's table.
    const widget_info *w = find_widget_info(*widget);
    if (w == nullptr) return true;
    const attribute_info *a = w->find(attribute);
    if (a == nullptr) {
        std::vector<std::string> names;
        for (const attribute_info &i : w->attributes) names.push_back(i.name);
        return refuse_driven(j["attribute"], what + ": control \"" + control + "\" has no attribute \"" + attribute +
                                                 "\"" + did_you_mean(attribute, names));
    }
    if (auto f = j.find("format"); f != j.end() && a->type != "1s0")
        return refuse_driven(*f, what + ": a format writes text, but \"" + attribute + "\" of control \"" + control +
                                     "\" (" + *widget + ") takes a number");
    if (keys == nullptr || a->values.empty()) return true;
    for (size_t i = 0; i < keys->size(); ++i) {
        const auto *name = std::get_if<std::string>(&(*keys)[i].value);
        if (name == nullptr) continue;
        uint32_t colour;
        if (std::optional<int64_t> n = a->value_of(*name)) (*keys)[i].value = *n;
        else if (a->kind == attribute_kind::palette || !parse_colour(*name, colour)) {
            std::vector<std::string> names;
            for (const named_value &v : a->values) names.push_back(v.name);
            return refuse_driven(j["keys"][i][1], what + ": \"" + attribute + "\" of control \"" + control +
                                                      "\" has no value named \"" + *name + "\"" +
                                                      did_you_mean(*name, names) + "; the names: " + a->values_text());
        }
    }
    return true;
}

bool scene_reader::read_change(const json &j, const widget_info *widget, control_change &out, const std::string &what) {
    if (!get_i16(j, "x", out.x, what) || !get_i16(j, "y", out.y, what) || !get_i16(j, "width", out.width, what) ||
        !get_i16(j, "height", out.height, what))
        return false;
    if (auto v = j.find("visible"); v != j.end()) {
        if (v->is_boolean()) out.visible = v->get<bool>() ? 1u : 0u;
        else if (v->is_number_unsigned() && v->get<uint64_t>() <= UINT32_MAX) out.visible = v->get<uint32_t>();
        else return fail(*v, what + ": \"visible\" must be true, false or a 32-bit unsigned integer");
    }
    if (auto in = j.find("inhibit"); in != j.end()) {
        if (!in->is_number()) return fail(*in, what + ": \"inhibit\" must be a number");
        out.inhibit = in->get<float>();
    }
    if (auto c = j.find("clip"); c != j.end()) {
        if (c->is_null()) {
            out.clip = std::optional<gr_rect_t>{};
        } else {
            if (!c->is_array() || c->size() != 4 || !std::all_of(c->begin(), c->end(), is_i16))
                return fail(*c, what + ": \"clip\" is [x1, y1, x2, y2] on the canvas, integers of 16 bits, or null");
            out.clip = gr_rect_t{(*c)[0].get<int16_t>(), (*c)[1].get<int16_t>(), (*c)[2].get<int16_t>(),
                                 (*c)[3].get<int16_t>()};
        }
    }
    const json *own = nullptr;
    if (auto a = j.find("attributes"); a != j.end()) {
        if (!a->is_object()) return fail(*a, what + ": \"attributes\" must be an object");
        own = &*a;
    }
    // A style's attributes come first, those the control gives itself in their place.
    if (auto st = j.find("style"); st != j.end()) {
        if (!st->is_string()) return fail(*st, what + ": \"style\" must name one of the scene's \"styles\"");
        const std::string name = st->get<std::string>();
        const json *style = nullptr;
        std::vector<std::string> names;
        for (const auto &[n, attrs] : styles_) {
            names.push_back(n);
            if (n == name) style = attrs;
        }
        if (style == nullptr) return fail(*st, what + ": no style named \"" + name + "\"" + did_you_mean(name, names));
        for (auto it = style->begin(); it != style->end(); ++it)
            if (!it.key().starts_with('_') && (own == nullptr || !own->contains(it.key())) &&
                !add_attribute(widget, it.key(), *it, out, what + ": style \"" + name + "\""))
                return false;
    }
    if (own != nullptr)
        for (auto it = own->begin(); it != own->end(); ++it)
            if (!add_attribute(widget, it.key(), *it, out, what)) return false;
    return true;
}

bool scene_reader::read_control(const json &c, const scene &s, scene_control &out) {
    if (!c.is_object() || !c.contains("widget") || !c["widget"].is_string())
        return fail(c, "every control needs a \"widget\" (a display name)");
    out.widget = c["widget"].get<std::string>();
    out.name = out.widget;
    out.where = doc_.where(c);
    if (auto n = c.find("name"); n != c.end()) {
        if (!n->is_string()) return fail(*n, "control \"" + out.widget + "\": \"name\" must be a string");
        out.name = n->get<std::string>();
    }
    const std::string what = "control \"" + out.name + "\"";
    if (!only_keys(c, {"widget", "name", "x", "y", "width", "height", "visible", "inhibit", "clip", "style", "attributes"},
                   what))
        return false;
    const widget_info *widget = find_widget_info(out.widget);
    if (widget == nullptr) {
        // A widget the catalog does not describe may come from a plug-in of one's own; one whose name
        // is a slip away from a described one is a slip.
        std::vector<std::string> names;
        for (const widget_info &w : attribute_catalog()) names.push_back(w.name);
        if (std::string hint = did_you_mean(out.widget, names); !hint.empty())
            return fail(c["widget"], what + ": no plug-in registers \"" + out.widget + "\"" + hint);
    }
    if (!read_change(c, widget, out.state, what)) return false;
    out.x = out.state.x.value_or(0);
    out.y = out.state.y.value_or(0);
    out.width = out.state.width.value_or(s.width);
    out.height = out.state.height.value_or(s.height);
    return true;
}

bool scene_reader::read_step(const json &j, size_t number, scene_step &out) {
    const std::string what = "step " + std::to_string(number);
    if (!j.is_object()) return fail(j, what + " must be an object");
    if (!only_keys(j, {"label", "stage", "clone", "destroy", "controls"}, what)) return false;
    if (auto l = j.find("label"); l != j.end()) {
        if (!l->is_string()) return fail(*l, what + ": \"label\" must be a string");
        out.label = l->get<std::string>();
    }
    if (auto st = j.find("stage"); st != j.end() && !read_stage(*st, out.stage)) return false;
    if (auto cl = j.find("clone"); cl != j.end()) {
        if (!cl->is_object()) return fail(*cl, what + ": \"clone\" maps new control names to the controls cloned");
        for (auto it = cl->begin(); it != cl->end(); ++it) {
            if (!it->is_string()) return fail(*it, what + ": clone \"" + it.key() + "\" must name a control");
            std::string widget;
            if (!known_control(*it, it->get<std::string>(), what + ": clone \"" + it.key() + "\"", &widget)) return false;
            controls_.emplace_back(it.key(), widget);
            out.clones.emplace_back(it.key(), it->get<std::string>());
        }
    }
    if (auto d = j.find("destroy"); d != j.end()) {
        if (!d->is_array() || !std::all_of(d->begin(), d->end(), [](const json &n) { return n.is_string(); }))
            return fail(*d, what + ": \"destroy\" is an array of control names");
        for (const json &n : *d) {
            // A destroyed name stays known: the player tells a second destroy of it apart.
            if (!known_control(n, n.get<std::string>(), what, nullptr)) return false;
            out.destroys.push_back(n.get<std::string>());
        }
    }
    if (auto cs = j.find("controls"); cs != j.end()) {
        if (!cs->is_object()) return fail(*cs, what + ": \"controls\" maps control names to changes");
        for (auto it = cs->begin(); it != cs->end(); ++it) {
            const std::string cwhat = what + ": control \"" + it.key() + "\"";
            if (!it->is_object()) return fail(*it, cwhat + " must be an object");
            if (!only_keys(*it, {"x", "y", "width", "height", "visible", "inhibit", "clip", "style", "attributes"}, cwhat))
                return false;
            std::string widget;
            if (!known_control(*it, it.key(), what, &widget)) return false;
            control_change change;
            if (!read_change(*it, find_widget_info(widget), change, cwhat)) return false;
            out.changes.emplace_back(it.key(), std::move(change));
        }
    }
    return true;
}

bool scene_reader::read_interpolation(const json &j, std::optional<track_interpolation> &out,
                                      const std::string &what) {
    auto in = j.find("interpolation");
    if (in == j.end()) return true;
    if (*in == "linear") out = track_interpolation::linear;
    else if (*in == "step") out = track_interpolation::step;
    else return fail(*in, what + ": \"interpolation\" is \"linear\" or \"step\"");
    return true;
}

// Keys are [seconds, value] in time order; a track holds numbers, colours or text, not a mix.
// Text holds from key to key whatever the interpolation says it would do.
bool scene_reader::read_track(const json &j, size_t number, track &out) {
    const std::string what = "track " + std::to_string(number);
    if (!j.is_object()) return fail(j, what + " must be an object");
    if (!only_keys(j, {"control", "attribute", "interpolation", "format", "keys"}, what)) return false;
    for (auto [key, field] : {std::pair{"control", &out.control}, std::pair{"attribute", &out.attribute}}) {
        auto it = j.find(key);
        if (it == j.end() || !it->is_string())
            return fail(it == j.end() ? j : *it, what + " needs \"" + key + "\", a name");
        *field = it->get<std::string>();
    }
    std::optional<track_interpolation> how;
    if (!read_interpolation(j, how, what)) return false;
    if (!read_format(j, out.format, what)) return false;
    auto keys = j.find("keys");
    if (keys == j.end() || !keys->is_array() || keys->empty())
        return fail(keys == j.end() ? j : *keys, what + " needs \"keys\", a list of [seconds, value]");
    size_t numbers = 0, colours = 0;
    for (const json &k : *keys) {
        if (!k.is_array() || k.size() != 2 || !k[0].is_number())
            return fail(k, what + ": a key is [seconds, value]");
        const json &v = k[1];
        if (!v.is_number() && !v.is_string() && !v.is_boolean())
            return fail(v, what + ": a key's value is a number, a colour or a string");
        track_key key{k[0].get<double>(), {}};
        if (!out.keys.empty() && key.time < out.keys.back().time)
            return fail(k[0], what + ": the keys go back in time");
        attr_value_from_json(v, key.value);
        uint32_t colour;
        numbers += !v.is_string();
        colours += v.is_string() && parse_colour(v.get<std::string>(), colour);
        out.keys.push_back(std::move(key));
    }
    const size_t texts = out.keys.size() - numbers - colours;
    if (numbers != out.keys.size() && colours != out.keys.size() && texts != out.keys.size())
        return fail(*keys, what + ": the keys mix numbers, colours and text");
    if (out.format && numbers != out.keys.size())
        return fail(j["format"], what + ": a format writes numbers as text, and these keys are not numbers");
    if (texts > 0 && how == track_interpolation::linear)
        return fail(j["interpolation"], what + ": text cannot be interpolated, it holds until the next key (\"step\")");
    out.interpolation = texts > 0 ? track_interpolation::step : how.value_or(track_interpolation::linear);
    return true;
}

bool scene_reader::read_format(const json &j, std::optional<value_format> &out, const std::string &what) {
    auto f = j.find("format");
    if (f == j.end()) return true;
    error why;
    if (!f->is_string()) return fail(*f, what + ": \"format\" must be a string such as \"m:ss.SSS\" or \"%.1f\"");
    if (!(out = value_format::parse(f->get<std::string>(), &why))) return fail(*f, what + ": " + why);
    return true;
}

// A CSV log whose columns become tracks; its own errors name the file and the line.
bool scene_reader::read_log(const json &j, scene &out) {
    if (!j.is_object()) return fail(j, "\"telemetry\" must be an object");
    if (!only_keys(j, {"file", "time", "channels"}, "\"telemetry\"")) return false;
    auto file = j.find("file");
    if (file == j.end() || !file->is_string())
        return fail(file == j.end() ? j : *file, "\"telemetry\" needs \"file\", the CSV log");
    std::string time = "t";
    if (auto t = j.find("time"); t != j.end()) {
        if (!t->is_string()) return fail(*t, "\"telemetry.time\" must name the time column");
        time = t->get<std::string>();
    }
    auto channels = j.find("channels");
    if (channels == j.end() || !channels->is_object())
        return fail(channels == j.end() ? j : *channels, "\"telemetry\" needs \"channels\", columns to controls");
    std::vector<telemetry_channel> mapped;
    std::vector<const json *> mapping_at; // each channel's mapping in the scene
    auto read_mapping = [&](const std::string &column, const json &m) {
        const std::string what = channel_name(j, column);
        if (!m.is_object() || !m.contains("control") || !m["control"].is_string() || !m.contains("attribute") ||
            !m["attribute"].is_string())
            return fail(m, what + " needs \"control\" and \"attribute\", names");
        if (!only_keys(m, {"control", "attribute", "interpolation", "format"}, what)) return false;
        std::optional<track_interpolation> how;
        if (!read_interpolation(m, how, what)) return false;
        std::optional<value_format> format;
        if (!read_format(m, format, what)) return false;
        mapped.push_back({column, m["control"].get<std::string>(), m["attribute"].get<std::string>(),
                          how.value_or(track_interpolation::linear), std::move(format), what, doc_.where(m)});
        mapping_at.push_back(&m);
        return true;
    };
    // A column drives one attribute, or several given as a list.
    for (auto it = channels->begin(); it != channels->end(); ++it) {
        if (!it->is_array()) {
            if (!read_mapping(it.key(), *it)) return false;
            continue;
        }
        for (const json &m : *it)
            if (!read_mapping(it.key(), m)) return false;
    }
    error why;
    size_t failed_channel = mapped.size();
    if (!pitwall::read_telemetry(absolute(folder_, file->get<std::string>()), time, mapped, out.tracks, &why,
                                 &failed_channel)) {
        // A column the log lacks is the channel's mistake, at its mapping; the rest are the log's.
        if (failed_channel < mapped.size()) return fail(*mapping_at[failed_channel], mapped[failed_channel].origin + ": " + why);
        return fail(*file, why);
    }
    return true;
}

// Hex digits only: strtoul alone would take a sign or blanks.
bool parse_colour(const std::string &text, uint32_t &out) {
    if (text.size() != 7 && text.size() != 9) return false;
    if (text[0] != '#') return false;
    if (text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) return false;
    unsigned long v = std::strtoul(text.c_str() + 1, nullptr, 16);
    out = static_cast<uint32_t>(v);
    if (text.size() == 7) out |= 0xff000000u;
    return true;
}

bool parse_scene(const std::string &text, const std::string &folder, scene &out, error *err,
                 std::vector<error> *attribute_errors) {
    located_json doc;
    if (!doc.parse(text, err)) return false;
    return scene_reader(doc, folder, err, attribute_errors).read(out);
}

bool load_scene(const std::string &path, scene &out, error *err, std::vector<error> *attribute_errors) {
    std::string text;
    std::string why;
    if (!read_regular_file(path, max_scene_bytes, text, &why)) {
        if (err != nullptr) *err = path + ": " + why;
        return false;
    }
    std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/'));
    const size_t kept = attribute_errors != nullptr ? attribute_errors->size() : 0;
    if (!parse_scene(text, folder, out, err, attribute_errors)) {
        if (err != nullptr) *err = path + ":" + *err;
        return false;
    }
    if (attribute_errors != nullptr)
        for (size_t i = kept; i < attribute_errors->size(); ++i) (*attribute_errors)[i] = path + ":" + (*attribute_errors)[i];
    return true;
}

} // namespace pitwall
