// A whole scene on the raster context, frame after frame (see scene_frames.h).
#include "scene_frames.h"

#include "pitwall/default_dirs.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <variant>
#include <vector>

namespace bench {
namespace {

// The value a scene gives a control's "value" attribute, whole or fractional; 0 when absent.
double scene_value(const pitwall::scene_control &c) {
    for (const auto &[name, value] : c.state.attributes) {
        if (name != "value") continue;
        if (const double *d = std::get_if<double>(&value)) return *d;
        if (const int64_t *i = std::get_if<int64_t>(&value)) return static_cast<double>(*i);
    }
    return 0.0;
}

std::string one_decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string describe(const std::vector<pitwall::draw_result> &failures) {
    std::string why = "the first frame failed:";
    for (const pitwall::draw_result &f : failures)
        why += " control \"" + f.control + "\" (" + f.widget + ") returned " + std::to_string(f.result) + ";";
    return why;
}

} // namespace

std::string scene_frames::open(const std::string &path) {
    pitwall::error err;
    if (!pitwall::load_scene(path, scene_, &err)) return err;
    if (scene_.base_dir.empty()) scene_.base_dir = pitwall::default_app_dir();
    engine_ = std::make_unique<pitwall::engine>(scene_.base_dir);
    std::vector<pitwall::error> plugin_errors;
    if (engine_->load_plugin_dir(PITWALL_PLUGIN_DIR, &plugin_errors).empty())
        return "no plug-in could be loaded from " PITWALL_PLUGIN_DIR;
    canvas_ = std::make_unique<pitwall::raster_context>(*engine_, scene_.width, scene_.height, scene_.background);
    kept_ = std::make_unique<pitwall::kept_drawing_of<pitwall::raster_context>>(*canvas_);
    if (err = run_.build(*engine_, scene_); !err.empty()) return path + ": " + err;

    for (size_t i = 0; i < scene_.controls.size() && box_ == nullptr; ++i) {
        if (scene_.controls[i].widget != "Basic Box") continue;
        box_ = &run_.at(i);
        values_[0] = scene_value(scene_.controls[i]);
        values_[1] = values_[0] + 0.1;
        texts_[0] = one_decimal(values_[0]);
        texts_[1] = one_decimal(values_[1]);
    }
    if (box_ == nullptr && scene_.tracks.empty()) return path + ": no \"Basic Box\" control or track to change";
    player_ = std::make_unique<pitwall::track_player>(scene_);

    repaint_ = [this](const gr_rect_t &area) { canvas_->clear(area, scene_.background); };
    if (run_.draw(canvas_->context()) != 0) return path + ": " + describe(run_.failures());
    return {};
}

scene_frames::~scene_frames() {
    // Instances and plug-ins go while the canvas is still the engine's render context, so that
    // destroy and fini release their images through it.
    run_.clear();
    if (engine_) engine_->unload_all();
    canvas_.reset();
}

int scene_frames::full_frame() {
    last_full_ = true;
    canvas_->clear(scene_.background);
    return run_.draw(canvas_->context());
}

int scene_frames::partial_frame() {
    last_full_ = false;
    return run_.draw_changed(canvas_->context(), repaint_, {}, kept_.get());
}

int64_t scene_frames::repainted() const {
    if (last_full_) return int64_t(canvas_->width()) * canvas_->height();
    int64_t pixels = 0;
    for (const gr_rect_t &r : run_.damage()) pixels += int64_t(r.x2 - r.x1 + 1) * (r.y2 - r.y1 + 1);
    return pixels;
}

// The first track frame sets every tracked value (the player's first step), the later ones only
// what changed.
int scene_frames::track_frame() {
    const double duration = pitwall::tracks_duration(scene_);
    time_ = time_ + track_step_seconds > duration + 1e-9 ? 0 : time_ + track_step_seconds;
    if (!run_.apply(player_->step_at(time_)).empty()) return 1;
    return partial_frame();
}

void scene_frames::change_value() {
    shown_ = 1 - shown_;
    if (chosen_ != nullptr) {
        (void)chosen_->set(chosen_attribute_, chosen_values_[shown_]);
        return;
    }
    if (box_ == nullptr) return;
    (void)box_->set("value", values_[shown_]);
    (void)box_->set("render_text", texts_[shown_]);
}

std::string scene_frames::choose_change(const std::string &control, const std::string &attribute,
                                        const std::string &first, const std::string &second) {
    auto value_of = [](const std::string &text) -> pitwall::attr_value {
        char *end = nullptr;
        const double number = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0') return text;
        if (text.find_first_of(".eE") == std::string::npos) return static_cast<int64_t>(number);
        return number;
    };
    for (size_t i = 0; i < scene_.controls.size(); ++i) {
        if (scene_.controls[i].name != control) continue;
        chosen_ = &run_.at(i);
        chosen_attribute_ = attribute;
        chosen_values_[0] = value_of(first);
        chosen_values_[1] = value_of(second);
        // Both values set and drawn once: a value the widget refuses is said here, and the
        // measured frames find fonts and images loaded.
        for (int k = 0; k < 2; ++k) {
            shown_ = 1 - shown_;
            if (pitwall::error e = chosen_->set(attribute, chosen_values_[shown_]); !e.empty()) return e;
            if (partial_frame() != 0) return "control \"" + control + "\" failed to draw";
        }
        return {};
    }
    return "no control named \"" + control + "\"";
}

} // namespace bench
