// The workbench's layout edits: moving and resizing controls through the scene's change path, and
// adding, duplicating, deleting and reordering them by building the scene again; see workbench.h.
#include "workbench.h"
#include "workbench_loaded.h"

#include "pitwall/default_dirs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pitwall::cli {
namespace fs = std::filesystem;
using json = nlohmann::json;
using ordered = nlohmann::ordered_json;

namespace {

// Names come from requests: quoted with any control character written as \xNN.
std::string quoted(const std::string &text) { return quoted_escaped(text); }

std::string name_of(const ordered &c) {
    if (auto n = c.find("name"); n != c.end() && n->is_string()) return n->get<std::string>();
    if (auto w = c.find("widget"); w != c.end() && w->is_string()) return w->get<std::string>();
    return {};
}

int number_in(const ordered &c, const char *key, int otherwise) {
    auto it = c.find(key);
    return it != c.end() && it->is_number_integer() ? it->get<int>() : otherwise;
}

// A place and size the canvas can show: at least a pixel each way, within 16 bits, and some of
// it on the canvas.
error check_geometry(const std::string &control, int x, int y, int width, int height, int canvas_width,
                     int canvas_height) {
    const std::string who = "control " + quoted(control) + ": ";
    auto size = std::to_string(width) + " x " + std::to_string(height);
    if (width < 0 || height < 0) return who + "a size is never negative (" + size + ")";
    if (width == 0 || height == 0) return who + "a " + size + " control shows nothing: width and height are at least 1";
    if (width > raster_context::max_side || height > raster_context::max_side)
        return who + "a " + size + " control is larger than " + std::to_string(raster_context::max_side) +
               " pixels a side";
    if (x < INT16_MIN || y < INT16_MIN || x > INT16_MAX || y > INT16_MAX || x + width - 1 > INT16_MAX ||
        y + height - 1 > INT16_MAX)
        return who + "(" + std::to_string(x) + ", " + std::to_string(y) + ") is outside 16-bit coordinates";
    if (x >= canvas_width || y >= canvas_height || x + width <= 0 || y + height <= 0)
        return who + size + " at (" + std::to_string(x) + ", " + std::to_string(y) +
               ") would lie wholly outside the " + std::to_string(canvas_width) + " x " +
               std::to_string(canvas_height) + " canvas";
    return {};
}

// An integer field of a request, absent or within +-1e6 (beyond that nothing fits a canvas).
error read_int(const json &request, const char *key, std::optional<int> &out) {
    auto it = request.find(key);
    if (it == request.end() || it->is_null()) return {};
    if (!it->is_number_integer() || it->get<int64_t>() < -1000000 || it->get<int64_t>() > 1000000)
        return std::string("\"") + key + "\" is a whole number of pixels";
    out = it->get<int>();
    return {};
}

error read_string(const json &request, const char *key, std::string &out) {
    auto it = request.find(key);
    if (it == request.end()) return {};
    if (!it->is_string()) return std::string("\"") + key + "\" is a string";
    out = it->get<std::string>();
    return {};
}

} // namespace

ordered *workbench::document_control_locked(const std::string &control, error *err) {
    if (auto cs = document_.find("controls"); cs != document_.end() && cs->is_array())
        for (ordered &c : *cs)
            if (c.is_object() && name_of(c) == control) return &c;
    *err = "no control named " + quoted(control);
    return nullptr;
}

std::string workbench::unique_name_locked(const std::string &wanted) const {
    auto taken = [&](const std::string &name) {
        return std::any_of(now_->s.controls.begin(), now_->s.controls.end(),
                           [&](const scene_control &c) { return c.name == name; });
    };
    if (!taken(wanted)) return wanted;
    // "gauge 2" numbers on from "gauge", and a copy of "gauge 2" is "gauge 3".
    std::string base = wanted;
    const size_t space = base.find_last_of(' ');
    if (space != std::string::npos && space + 1 < base.size() &&
        std::all_of(base.begin() + long(space) + 1, base.end(), [](unsigned char c) { return std::isdigit(c); }))
        base.resize(space);
    for (size_t n = 2;; ++n)
        if (std::string name = base + " " + std::to_string(n); !taken(name)) return name;
}

error workbench::rebuild_locked(ordered document) {
    scene s;
    error err;
    const fs::path file(settings_.scene_path);
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    if (!parse_scene(document.dump(), folder, s, &err)) return err;
    if (!settings_.app.empty()) s.base_dir = settings_.app;
    else if (s.base_dir.empty()) s.base_dir = default_app_dir();
    for (const scene_control &c : s.controls)
        if (now_->eng->find_plugin(c.widget) == nullptr)
            return "control " + quoted(c.name) + ": no plug-in registers " + quoted(c.widget);

    // The old instances go while their canvas is still the engine's render context.
    loaded &l = *now_;
    l.run.clear();
    l.kept.reset();
    l.canvas.reset();
    l.run = scene_run();
    l.canvas = std::make_unique<raster_context>(*l.eng, s.width, s.height, s.background);
    l.kept = std::make_unique<kept_drawing_of<raster_context>>(*l.canvas);
    l.s = std::move(s);
    l.player = std::make_unique<track_player>(l.s);
    if (error e = l.run.build(*l.eng, l.s); !e.empty()) {
        // The document on show built before: back to it, so that the picture stays.
        if (document != document_) rebuild_locked(document_);
        return e;
    }
    document_ = std::move(document);
    if (!now_->s.tracks.empty()) {
        scene_step at_time = l.player->step_at(time_);
        if (error e = l.run.apply(at_time); !e.empty()) load_error_ = "tracks at " + std::to_string(time_) + " s: " + e;
    }
    draw_all_locked();
    return {};
}

error workbench::set_geometry(const std::string &control, const geometry &g) {
    std::lock_guard lock(mutex_);
    if (!now_) return "no scene is loaded";
    error err;
    ordered *in_document = document_control_locked(control, &err);
    auto found = std::find_if(now_->s.controls.begin(), now_->s.controls.end(),
                              [&](const scene_control &c) { return c.name == control; });
    if (in_document == nullptr || found == now_->s.controls.end()) return "no control named " + quoted(control);
    scene_control &c = *found;
    const int x = g.x.value_or(c.x), y = g.y.value_or(c.y), w = g.width.value_or(c.width),
              h = g.height.value_or(c.height);
    if (error e = check_geometry(control, x, y, w, h, now_->s.width, now_->s.height); !e.empty()) return e;
    if (x == c.x && y == c.y && w == c.width && h == c.height) return {};

    // Through a step's change: the run damages the old and the new place.
    control_change change;
    change.x = int16_t(x);
    change.y = int16_t(y);
    change.width = int16_t(w);
    change.height = int16_t(h);
    scene_step step;
    step.changes.emplace_back(control, std::move(change));
    if (error e = now_->run.apply(step); !e.empty()) return e;
    const bool moved = x != c.x || y != c.y, resized = w != c.width || h != c.height;
    c.x = int16_t(x);
    c.y = int16_t(y);
    c.width = int16_t(w);
    c.height = int16_t(h);

    ordered before = document_;
    (*in_document)["x"] = x;
    (*in_document)["y"] = y;
    (*in_document)["width"] = w;
    (*in_document)["height"] = h;
    const char *verb = moved && resized ? "move and resize " : moved ? "move " : "resize ";
    remember_locked(verb + quoted(control), std::move(before), g.merge);
    return redraw_changed_locked();
}

error workbench::geometry_request(const std::string &body) {
    const json request = json::parse(body, nullptr, false);
    if (request.is_discarded() || !request.is_object() || !request.contains("control") ||
        !request["control"].is_string())
        return "malformed JSON: a move is {\"control\": NAME, \"x\": X, \"y\": Y, \"width\": W, \"height\": H}";
    geometry g;
    for (auto [key, into] : {std::pair{"x", &g.x}, {"y", &g.y}, {"width", &g.width}, {"height", &g.height}})
        if (error e = read_int(request, key, *into); !e.empty()) return "a move's " + e;
    if (auto m = request.find("merge"); m != request.end()) {
        if (!m->is_boolean()) return "a move's \"merge\" is true or false";
        g.merge = m->get<bool>();
    }
    const std::string control = request["control"].get<std::string>();
    if (control.size() > max_name_bytes) return "a control's name is longer than " + std::to_string(max_name_bytes) + " bytes";
    return set_geometry(control, g);
}

error workbench::add(const std::string &widget, std::optional<int> x, std::optional<int> y, std::string *name) {
    if (widget.size() > max_name_bytes) return "a widget's name is longer than " + std::to_string(max_name_bytes) + " bytes";
    std::lock_guard lock(mutex_);
    if (!now_) return "no scene is loaded";
    const plugin *p = now_->eng->find_plugin(widget);
    if (p == nullptr) {
        std::string names;
        for (const auto &q : now_->eng->plugins()) names += (names.empty() ? "" : ", ") + q->display_name();
        return "no plug-in registers " + quoted_escaped(widget) + "; the widgets are: " + names;
    }
    ordered control = settings_.starter ? settings_.starter(p->display_name()) : ordered::object();
    if (!control.is_object()) control = ordered::object();
    control["widget"] = p->display_name();
    const std::string wanted = name_of(control);
    control["name"] = unique_name_locked(wanted.empty() ? p->display_name() : wanted);
    // The starter's size, shrunk to the canvas.
    const int w = std::clamp(number_in(control, "width", 100), 1, int(now_->s.width));
    const int h = std::clamp(number_in(control, "height", 100), 1, int(now_->s.height));
    const int left = x.value_or((now_->s.width - w) / 2), top = y.value_or((now_->s.height - h) / 2);
    if (error e = check_geometry(control["name"].get<std::string>(), left, top, w, h, now_->s.width, now_->s.height);
        !e.empty())
        return e;
    control["x"] = left;
    control["y"] = top;
    control["width"] = w;
    control["height"] = h;

    ordered document = document_;
    if (!document.contains("controls") || !document["controls"].is_array()) document["controls"] = ordered::array();
    const std::string added = control["name"].get<std::string>();
    document["controls"].push_back(std::move(control));
    ordered before = document_;
    if (error e = rebuild_locked(std::move(document)); !e.empty()) return e;
    remember_locked("add " + quoted(added), std::move(before));
    if (name != nullptr) *name = added;
    return {};
}

error workbench::duplicate(const std::string &control, std::string *name) {
    std::lock_guard lock(mutex_);
    if (!now_) return "no scene is loaded";
    error err;
    ordered *original = document_control_locked(control, &err);
    if (original == nullptr) return err;
    ordered copy = *original;
    copy["name"] = unique_name_locked(control);
    // Ten pixels down and right, where that is still on the canvas, so that the copy shows.
    const int x = number_in(copy, "x", 0), y = number_in(copy, "y", 0);
    if (x + 10 < now_->s.width && y + 10 < now_->s.height) {
        copy["x"] = x + 10;
        copy["y"] = y + 10;
    }
    const std::string added = copy["name"].get<std::string>();
    ordered document = document_;
    auto &controls = document["controls"];
    const auto at = controls.begin() + (original - &*document_["controls"].begin()) + 1;
    controls.insert(at, std::move(copy));
    ordered before = document_;
    if (error e = rebuild_locked(std::move(document)); !e.empty()) return e;
    remember_locked("duplicate " + quoted(control), std::move(before));
    if (name != nullptr) *name = added;
    return {};
}

error workbench::remove(const std::string &control) {
    std::lock_guard lock(mutex_);
    if (!now_) return "no scene is loaded";
    error err;
    ordered *gone = document_control_locked(control, &err);
    if (gone == nullptr) return err;
    for (const track &t : now_->s.tracks)
        if (t.control == control)
            return "control " + quoted(control) + " is driven by " + (t.origin.empty() ? "a track" : t.origin) +
                   ": take it out of the tracks first";
    ordered document = document_;
    auto &controls = document["controls"];
    controls.erase(controls.begin() + (gone - &*document_["controls"].begin()));
    ordered before = document_;
    if (error e = rebuild_locked(std::move(document)); !e.empty()) return e;
    remember_locked("delete " + quoted(control), std::move(before));
    return {};
}

error workbench::reorder(const std::string &control, int by) {
    std::lock_guard lock(mutex_);
    if (!now_) return "no scene is loaded";
    error err;
    ordered *moving = document_control_locked(control, &err);
    if (moving == nullptr) return err;
    const long from = moving - &*document_["controls"].begin();
    const long count = long(document_["controls"].size());
    const long to = std::clamp(from + by, 0L, count - 1);
    if (to == from)
        return "control " + quoted(control) + " is drawn " + (by > 0 ? "last (over all the others)" : "first (under all the others)");
    ordered document = document_;
    auto &controls = document["controls"];
    ordered item = controls[size_t(from)];
    controls.erase(controls.begin() + from);
    controls.insert(controls.begin() + to, std::move(item));
    ordered before = document_;
    if (error e = rebuild_locked(std::move(document)); !e.empty()) return e;
    remember_locked(std::string(by > 0 ? "bring forward " : "send back ") + quoted(control), std::move(before));
    return {};
}

error workbench::layout_request(const std::string &body, std::string *name) {
    const json request = json::parse(body, nullptr, false);
    if (request.is_discarded() || !request.is_object() || !request.contains("op") || !request["op"].is_string())
        return "malformed JSON: a layout edit is {\"op\": \"add\"|\"duplicate\"|\"delete\"|\"forward\"|\"back\", "
               "\"control\": NAME} (add: \"widget\": NAME, \"x\", \"y\")";
    const std::string op = request["op"].get<std::string>();
    std::string control, widget;
    if (error e = read_string(request, "control", control); !e.empty()) return "a layout edit's " + e;
    if (error e = read_string(request, "widget", widget); !e.empty()) return "a layout edit's " + e;
    if (control.size() > max_name_bytes) return "a control's name is longer than " + std::to_string(max_name_bytes) + " bytes";
    if (op == "add") {
        std::optional<int> x, y;
        if (error e = read_int(request, "x", x); !e.empty()) return "an add's " + e;
        if (error e = read_int(request, "y", y); !e.empty()) return "an add's " + e;
        return add(widget, x, y, name);
    }
    if (op == "duplicate") return duplicate(control, name);
    if (op == "delete") return remove(control);
    if (op == "forward") return reorder(control, 1);
    if (op == "back") return reorder(control, -1);
    return "no layout edit " + quoted_escaped(op) + ": add, duplicate, delete, forward or back";
}

} // namespace pitwall::cli
