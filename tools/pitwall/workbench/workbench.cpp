// The workbench: one scene on one engine, edited, played and saved; see workbench.h.
#include "workbench.h"
#include "workbench_loaded.h"

#include "commands.h"
#include "plugin_descriptions.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/default_dirs.h"
#include "pitwall/file_read.h"
#include "pitwall/file_write.h"
#include "pitwall/scene_tracks.h"
#include "pitwall/scene_value.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <type_traits>
#include <variant>

namespace pitwall::cli {
namespace fs = std::filesystem;
using json = nlohmann::json;

std::string quoted_escaped(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7f) {
            out += char(c);
            continue;
        }
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02x", c);
        out += code;
    }
    return out + "\"";
}

namespace {

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

// The name a scene gives a control: its own, or its widget's.
std::string control_name(const nlohmann::ordered_json &c) {
    if (auto n = c.find("name"); n != c.end() && n->is_string()) return n->get<std::string>();
    if (auto w = c.find("widget"); w != c.end() && w->is_string()) return w->get<std::string>();
    return {};
}

bool is_colour_name(const std::string &name) {
    auto starts = [&](const char *p) { return name.rfind(p, 0) == 0; };
    auto ends = [&](const std::string &s) { return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0; };
    return name == "color" || starts("lower_") || starts("color_") || starts("upper_") || ends("_color") || ends("colour");
}

std::optional<double> number_of(const nlohmann::ordered_json *attrs, const char *name) {
    if (attrs == nullptr) return std::nullopt;
    auto it = attrs->find(name);
    if (it == attrs->end() || !it->is_number()) return std::nullopt;
    return it->get<double>();
}

// A slider's range: the scale's own ends for the values on it, else a span around the value.
std::pair<double, double> float_range(const std::string &name, const nlohmann::ordered_json *attrs) {
    const bool on_scale = name == "value" || name == "lower_value" || name == "upper_value";
    std::optional<double> lo = number_of(attrs, "value_min"), hi = number_of(attrs, "value_max");
    if (on_scale && lo && hi && *lo != *hi) return {std::min(*lo, *hi), std::max(*lo, *hi)};
    if (name.find("angle") != std::string::npos) return {-360, 360};
    const double v = number_of(attrs, name.c_str()).value_or(0);
    const double span = std::max(std::fabs(v) * 2, 100.0);
    return v >= 0 ? std::pair{0.0, span} : std::pair{-span, span};
}

// What the page calls the version of a scene file: its size and a hash of its bytes (FNV-1a),
// so that any edit on disk, even one within the file system's time resolution, shows.
std::string content_version(const std::string &text) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3u;
    char out[48];
    std::snprintf(out, sizeof out, "%zu-%016llx", text.size(), static_cast<unsigned long long>(hash));
    return out;
}

// Names come from the page: a control character (a NUL above all, which would end the name
// where the file system reads it) is never part of one.
error check_name(const char *what, const std::string &name) {
    if (name.size() > workbench::max_name_bytes)
        return std::string(what) + " is longer than " + std::to_string(workbench::max_name_bytes) + " bytes";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f) return std::string(what) + " " + quoted_escaped(name) + " holds a control character";
    return {};
}

} // namespace


workbench::workbench(settings how) : settings_(std::move(how)) {}

workbench::~workbench() = default;

error workbench::load() {
    std::lock_guard lock(mutex_);
    return load_locked();
}

void workbench::look_at_file_locked() {
    std::error_code ec;
    file_time_ = fs::last_write_time(settings_.scene_path, ec);
    file_size_ = fs::file_size(settings_.scene_path, ec);
    if (ec) file_size_ = 0;
}

error workbench::load_locked() {
    look_at_file_locked();
    auto fail = [&](error why) {
        load_error_ = why;
        ++revision_;
        return why;
    };

    options opts;
    opts.plugins = settings_.plugins;
    opts.no_default_plugins = settings_.no_default_plugins;
    // Described plug-ins first: the scene may write their named values.
    read_plugin_descriptions(opts);
    scene s;
    error err;
    if (!load_scene(settings_.scene_path, s, &err)) return fail(err);
    if (!settings_.app.empty()) s.base_dir = settings_.app;
    else if (s.base_dir.empty()) s.base_dir = default_app_dir();
    if (s.width > raster_context::max_side || s.height > raster_context::max_side)
        return fail("a " + std::to_string(s.width) + "x" + std::to_string(s.height) + " canvas is larger than " +
                    std::to_string(raster_context::max_side) + " pixels a side");
    // The loader has read it as JSON already; this copy keeps the file's key order for saving.
    std::string text, why;
    if (!read_regular_file(settings_.scene_path, max_scene_bytes, text, &why))
        return fail(settings_.scene_path + ": " + why);
    nlohmann::ordered_json document = nlohmann::ordered_json::parse(text, nullptr, false);
    if (document.is_discarded()) return fail(settings_.scene_path + ": changed while it was read");

    // A plug-in library serves one engine at a time: the old one goes before the new one loads.
    now_.reset();
    auto next = std::make_unique<loaded>();
    next->eng = make_engine(opts, s.base_dir);
    if (!next->eng) return fail("no plug-in could be loaded");
    next->eng->set_log_echo(stderr);
    next->canvas = std::make_unique<raster_context>(*next->eng, s.width, s.height, s.background);
    next->kept = std::make_unique<kept_drawing_of<raster_context>>(*next->canvas);
    next->s = std::move(s);
    if (error e = next->run.build(*next->eng, next->s); !e.empty()) return fail(e);
    next->player = std::make_unique<track_player>(next->s);

    now_ = std::move(next);
    // What the reload replaced stays one undo away: a reload never loses an edit.
    nlohmann::ordered_json before = std::move(document_);
    document_ = std::move(document);
    saved_ = document_;
    version_ = content_version(text);
    conflict_.clear();
    load_error_.clear();
    time_ = 0;
    ++revision_;
    if (!before.is_null() && before != document_) remember_locked("reload from disk", std::move(before));
    unsaved_ = false;
    draw_all_locked();
    return {};
}

bool workbench::reload_if_changed() {
    std::lock_guard lock(mutex_);
    std::error_code ec;
    const fs::file_time_type t = fs::last_write_time(settings_.scene_path, ec);
    if (ec) return false; // gone for a moment while an editor replaces it
    const std::uintmax_t size = fs::file_size(settings_.scene_path, ec);
    if (t == file_time_ && !ec && size == file_size_) return false;
    if (!unsaved_) {
        load_locked();
        return true;
    }
    // Edits on show that the file does not hold: reloading would lose them. Only a change of
    // contents is a conflict (an editor may rewrite the same bytes).
    look_at_file_locked();
    std::string text, why;
    if (read_regular_file(settings_.scene_path, max_scene_bytes, text, &why) && content_version(text) == version_) {
        conflict_.clear();
        return false;
    }
    conflict_ = settings_.scene_path + " changed on disk; your unsaved edits are kept: reload to take the file as it "
                "is now, or save them under another name";
    return false;
}

error workbench::reload() {
    std::lock_guard lock(mutex_);
    return load_locked();
}

void workbench::draw_all_locked() {
    const auto start = std::chrono::steady_clock::now();
    now_->canvas->clear(now_->s.background);
    draws_ = 0;
    now_->run.draw(now_->canvas->context(), [&](const draw_result &) { ++draws_; });
    frame_ms_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    now_->failures = now_->run.failures();
    damage_ = {gr_rect_t{0, 0, int16_t(now_->s.width - 1), int16_t(now_->s.height - 1)}};
    ++frame_;
}

error workbench::redraw_changed_locked() {
    const auto start = std::chrono::steady_clock::now();
    loaded &l = *now_;
    draws_ = 0;
    std::vector<draw_result> failed;
    l.run.draw_changed(
        l.canvas->context(), [&](const gr_rect_t &r) { l.canvas->clear(r, l.s.background); },
        [&](const draw_result &r) {
            ++draws_;
            if (r.result != 0) failed.push_back(r);
        },
        l.kept.get());
    frame_ms_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    l.failures = std::move(failed);
    damage_ = l.run.damage();
    ++frame_;
    return {};
}

error workbench::apply_request(const std::string &body) {
    // Parsed without exceptions: a number past a double's range (1e309) is malformed too.
    const json request = json::parse(body, nullptr, false);
    if (request.is_discarded()) return "malformed JSON: a change is {\"control\": NAME, \"attribute\": NAME, \"value\": VALUE}";
    if (!request.is_object() || !request.contains("control") || !request["control"].is_string() ||
        !request.contains("attribute") || !request["attribute"].is_string() || !request.contains("value"))
        return "a change names \"control\" and \"attribute\" (strings) and gives a \"value\"";
    // "merge": the page's next value of one gesture (a slider dragged), one undo step with the last.
    bool merge = false;
    if (auto m = request.find("merge"); m != request.end()) {
        if (!m->is_boolean()) return "a change's \"merge\" is true or false";
        merge = m->get<bool>();
    }
    // {"format": F} writes a number value as text (a lap time for a box's render_text).
    if (auto f = request.find("format"); f != request.end()) {
        if (!f->is_string() || !request["value"].is_number())
            return "a \"format\" (a string) writes a \"value\" that is a number as text";
        error why;
        std::optional<value_format> format = value_format::parse(f->get<std::string>(), &why);
        if (!format)
            return "control " + quoted_escaped(request["control"].get<std::string>()) + ": attribute " +
                   quoted_escaped(request["attribute"].get<std::string>()) + ": " + why;
        return set_attribute(request["control"].get<std::string>(), request["attribute"].get<std::string>(),
                             (*format)(request["value"].get<double>()), merge);
    }
    return set_attribute(request["control"].get<std::string>(), request["attribute"].get<std::string>(),
                         request["value"], merge);
}

error workbench::set_attribute(const std::string &control, const std::string &attribute, const json &value) {
    return set_attribute(control, attribute, value, false);
}

error workbench::set_attribute(const std::string &control, const std::string &attribute, const json &value,
                               bool merge) {
    if (error e = check_name("control", control); !e.empty()) return e;
    if (error e = check_name("attribute", attribute); !e.empty()) return e;
    if (value.is_string() && value.get_ref<const std::string &>().size() > max_string_bytes)
        return "control " + quoted(control) + ": attribute " + quoted(attribute) + ": a value is at most " +
               std::to_string(max_string_bytes) + " bytes long";
    std::lock_guard lock(mutex_);
    if (!now_) return "no scene is loaded" + (load_error_.empty() ? "" : ": " + load_error_);
    attr_value v;
    if (!attr_value_from_json(value, v))
        return "control " + quoted(control) + ": attribute " + quoted(attribute) +
               " must be a string, number, boolean or null";
    // Through a step's change, so that the value is converted exactly as a scene file's.
    control_change change;
    change.attributes.emplace_back(attribute, v);
    scene_step step;
    step.changes.emplace_back(control, std::move(change));
    if (error e = now_->run.apply(step); !e.empty()) return e;

    nlohmann::ordered_json before = document_;
    if (auto controls = document_.find("controls"); controls != document_.end() && controls->is_array())
        for (auto &c : *controls)
            if (c.is_object() && control_name(c) == control) {
                c["attributes"][attribute] = value;
                break;
            }
    remember_locked("set " + quoted(attribute) + " of " + quoted(control), std::move(before), merge);
    return redraw_changed_locked();
}

void workbench::play(bool on) {
    std::lock_guard lock(mutex_);
    playing_ = on;
}

void workbench::step() {
    std::lock_guard lock(mutex_);
    step_locked(step_seconds);
}

void workbench::tick() {
    std::lock_guard lock(mutex_);
    if (playing_) step_locked(step_seconds * speed_);
}

void workbench::seek(double seconds) {
    std::lock_guard lock(mutex_);
    playing_ = false;
    if (!now_) return;
    const double duration = tracks_duration(now_->s);
    time_ = std::isfinite(seconds) ? std::clamp(seconds, 0.0, duration) : 0;
    apply_tracks_locked();
}

error workbench::set_speed(double speed) {
    if (!std::isfinite(speed) || speed < 0.01 || speed > 100) return "a speed is from 0.01 to 100 times the scene's pace";
    std::lock_guard lock(mutex_);
    speed_ = speed;
    return {};
}

void workbench::step_locked(double seconds) {
    if (!now_) return;
    const double duration = tracks_duration(now_->s);
    // The player loops: past the last key it starts again at 0.
    time_ = time_ + seconds > duration + 1e-9 ? 0 : time_ + seconds;
    apply_tracks_locked();
}

void workbench::apply_tracks_locked() {
    scene_step at_time = now_->player->step_at(time_);
    if (at_time.changes.empty()) return;
    if (error e = now_->run.apply(at_time); !e.empty()) {
        load_error_ = "tracks at " + std::to_string(time_) + " s: " + e;
        playing_ = false;
        return;
    }
    redraw_changed_locked();
}

fs::path workbench::save_target(const std::string &name, error *err) const {
    const fs::path scene_file(settings_.scene_path);
    if (name.empty()) return scene_file;
    if (error e = check_name("a file name", name); !e.empty()) {
        *err = "cannot save: " + e;
        return {};
    }
    const fs::path wanted(name);
    auto refuse = [&](const std::string &why) {
        *err = "cannot save as " + quoted(name) + ": " + why;
        return fs::path();
    };
    if (wanted.is_absolute()) return refuse("give a name inside the scene's folder, not an absolute path");
    for (const fs::path &part : wanted)
        if (part == "..") return refuse("\"..\" would leave the scene's folder");
    if (!name.ends_with(".json") || wanted.extension() != ".json") return refuse("a scene is saved as a .json file");

    std::error_code ec;
    const fs::path folder = fs::canonical(scene_file.has_parent_path() ? scene_file.parent_path() : ".", ec);
    if (ec) return refuse(ec.message());
    const fs::path target = folder / wanted;
    // Links are followed to where they lead: that must still be inside the folder.
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) return refuse(ec.message());
    if (fs::is_symlink(fs::symlink_status(resolved, ec)))
        return refuse("it is a link that leads nowhere");
    auto [in_folder, in_resolved] = std::mismatch(folder.begin(), folder.end(), resolved.begin(), resolved.end());
    if (in_folder != folder.end() || in_resolved == resolved.end())
        return refuse("it leads out of the scene's folder");
    if (fs::is_directory(resolved, ec)) return refuse("it is a folder");
    return resolved;
}

error workbench::save(const save_request &request, save_outcome *outcome) {
    auto result = [&](save_outcome how, error why) {
        if (outcome != nullptr) *outcome = how;
        return why;
    };
    std::lock_guard lock(mutex_);
    if (document_.is_null()) return result(save_outcome::refused, "no scene is loaded");
    error err;
    const fs::path target = save_target(request.name, &err);
    if (!err.empty()) return result(save_outcome::refused, err);
    // A conflict stays on show (state()'s "conflict") until a reload or a save settles it.
    auto conflict = [&](error why) {
        conflict_ = why;
        return result(save_outcome::conflict, why);
    };
    if (!request.version.empty() && request.version != version_)
        return conflict("the scene was reloaded since this page showed it: reload the page");

    std::error_code ec;
    const bool over_scene = request.name.empty() || fs::equivalent(target, settings_.scene_path, ec);
    if (over_scene) {
        // The file must still hold what was loaded: an edit made on disk since (or one whose
        // reload failed) would otherwise be lost without a word.
        std::string text, why;
        const bool there = read_regular_file(settings_.scene_path, max_scene_bytes, text, &why);
        if (there ? content_version(text) != version_ : fs::exists(fs::symlink_status(settings_.scene_path, ec)))
            return conflict(settings_.scene_path +
                            " changed on disk since it was loaded: reload it, or save your edits under another name");
    } else if (!request.overwrite && fs::exists(fs::symlink_status(target, ec))) {
        return result(save_outcome::exists, target.filename().string() + " exists already");
    }

    const std::string text = document_.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    std::string why;
    if (!replace_file(target.string(), text, &why)) return result(save_outcome::refused, target.string() + ": " + why);
    // The edits are on disk now. Saved over the scene file, what is on show is what it says.
    unsaved_ = false;
    saved_ = document_;
    conflict_.clear();
    if (over_scene) {
        version_ = content_version(text);
        look_at_file_locked();
    }
    return result(save_outcome::saved, {});
}

std::string workbench::frame_png() {
    std::lock_guard lock(mutex_);
    if (now_ && png_frame_ != frame_) {
        std::string bytes, why;
        if (!now_->canvas->encode_png(1, bytes, &why)) std::fprintf(stderr, "pitwall serve: %s\n", why.c_str());
        else {
            png_ = std::move(bytes);
            png_frame_ = frame_;
        }
    }
    return png_;
}

json workbench::state() {
    std::lock_guard lock(mutex_);
    json out = {{"scene", settings_.scene_path}, {"revision", revision_}, {"version", version_},
                {"frame", frame_},               {"time", time_},         {"playing", playing_},
                {"frame_ms", frame_ms_},         {"error", load_error_},  {"unsaved", unsaved_},
                {"conflict", conflict_},         {"duration", 0},         {"controls", json::array()},
                {"failures", json::array()}};
    if (!now_) return out;
    out["duration"] = tracks_duration(now_->s);
    out["width"] = now_->s.width;
    out["height"] = now_->s.height;
    out["speed"] = speed_;
    out["undo"] = undo_.empty() ? json(nullptr) : json(undo_.back().what);
    out["redo"] = redo_.empty() ? json(nullptr) : json(redo_.back().what);
    out["damage"] = json::array();
    for (const gr_rect_t &r : damage_) out["damage"].push_back({r.x1, r.y1, r.x2, r.y2});
    for (const scene_control &c : now_->s.controls)
        out["controls"].push_back({{"name", c.name}, {"widget", c.widget}, {"x", c.x}, {"y", c.y},
                                   {"width", c.width}, {"height", c.height}});
    for (const draw_result &f : now_->failures)
        out["failures"].push_back({{"control", f.control}, {"widget", f.widget}, {"result", f.result}});
    return out;
}

json workbench::control_form(const std::string &control, error *err) {
    std::lock_guard lock(mutex_);
    if (!now_) {
        *err = "no scene is loaded";
        return {};
    }
    const scene_control *found = nullptr;
    for (const scene_control &c : now_->s.controls)
        if (c.name == control) found = &c;
    if (found == nullptr) {
        *err = "no control named " + quoted(control);
        return {};
    }
    const plugin *p = now_->eng->find_plugin(found->widget);
    const nlohmann::ordered_json *attrs = nullptr;
    if (auto cs = document_.find("controls"); cs != document_.end() && cs->is_array())
        for (const auto &c : *cs)
            if (control_name(c) == control)
                if (auto a = c.find("attributes"); a != c.end() && a->is_object()) attrs = &*a;

    json form = {{"control", control},        {"widget", found->widget}, {"attributes", json::array()},
                 {"x", found->x},             {"y", found->y},           {"width", found->width},
                 {"height", found->height},   {"time", time_}};
    const widget_info *described = find_widget_info(found->widget);
    for (const gr_attribute_t &a : p->attributes()) {
        const std::string name = a.name, type = a.type;
        json field = {{"name", name}, {"id", a.id}, {"type", type}, {"common", a.id <= 11}, {"value", nullptr}};
        if (attrs != nullptr)
            if (auto v = attrs->find(name); v != attrs->end()) field["value"] = json::parse(v->dump());
        // A tracked attribute shows the track's value at the player's time, and is not edited.
        for (const track &t : now_->s.tracks)
            if (t.control == control && t.attribute == name) {
                field["tracked"] = true;
                field["value"] = std::visit(
                    [](const auto &v) -> json {
                        using T = std::decay_t<decltype(v)>;
                        if constexpr (std::is_same_v<T, null_string>) return nullptr;
                        else return v;
                    },
                    track_value(t, time_));
            }
        // The catalog's description: what it does, its kind, range and unit, and its default.
        const attribute_info *info = described != nullptr ? described->find(name) : nullptr;
        if (info != nullptr) {
            const bool with_default = described->built_in() || !info->default_value.empty();
            field["help"] = info->what + (info->what.empty() ? "(" : " (") + info->kind_text() +
                            (with_default ? "; default " + info->default_value : std::string()) + ")";
        } else if (a.id > 11) {
            // The engine describes the common ones; a plug-in's own attribute is its author's to.
            field["help"] = "undescribed";
            field["undescribed"] = true;
        }
        if (type == GR_TYPE_STRING) {
            field["kind"] = "string";
            // A drawn text may be set from a number through a format (fonts, images and ticks not).
            if (info == nullptr || info->kind == attribute_kind::text) field["takes_format"] = true;
        } else if (type == GR_TYPE_FLOAT) {
            auto [lo, hi] = float_range(name, attrs);
            field["kind"] = "float";
            field["min"] = lo;
            field["max"] = hi;
        } else if (info != nullptr && info->kind == attribute_kind::palette) {
            field["kind"] = "palette";
            json options = json::array();
            for (const named_value &c : info->values)
                options.push_back({{"index", c.value}, {"name", c.name}, {"rgb", c.rgb}});
            field["palette"] = std::move(options);
        } else if (info != nullptr && info->kind == attribute_kind::choice) {
            // Named values as a select; the page sends the number, which every reader takes.
            field["kind"] = "choice";
            json options = json::array();
            for (const named_value &c : info->values) options.push_back({{"value", c.value}, {"name", c.name}});
            field["choices"] = std::move(options);
        } else if (info != nullptr ? info->kind == attribute_kind::rgb || info->kind == attribute_kind::argb
                                   : type != GR_TYPE_UINT8 && is_colour_name(name)) {
            field["kind"] = "colour";
        } else {
            field["kind"] = "int";
            if (type == GR_TYPE_UINT8) {
                field["min"] = 0;
                field["max"] = 255;
            }
            if (info != nullptr && info->range) {
                field["min"] = info->range->first;
                field["max"] = info->range->second;
            }
        }
        if (info != nullptr && !info->unit.empty()) field["unit"] = info->unit;
        form["attributes"].push_back(std::move(field));
    }
    return form;
}

std::vector<gr_rect_t> workbench::last_damage() {
    std::lock_guard lock(mutex_);
    return damage_;
}

uint32_t workbench::pixel(int x, int y) {
    std::lock_guard lock(mutex_);
    return now_ ? now_->canvas->pixel(x, y) : 0;
}

int workbench::draws_in_last_frame() {
    std::lock_guard lock(mutex_);
    return draws_;
}

double workbench::time() {
    std::lock_guard lock(mutex_);
    return time_;
}

} // namespace pitwall::cli
