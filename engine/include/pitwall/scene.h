// scene.h - scenes: a canvas, an application directory with its font map, and controls each
// holding one widget with its attributes. The JSON format is documented in docs/scene-format.md.
#ifndef PITWALL_SCENE_H
#define PITWALL_SCENE_H

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pitwall {

struct scene_control {
    std::string widget; // display name of the render extension
    std::string name;   // optional, for messages
    int16_t x = 0, y = 0, width = 0, height = 0;
    std::vector<std::pair<std::string, attr_value>> attributes; // in scene order
};

// An image the recording context should know (trace runs only; the raster context reads files).
struct scene_image {
    std::string path;
    recorded_image info;
};

struct scene {
    int16_t width = 800, height = 480;
    uint32_t background = 0xff000000; // 0xAARRGGBB
    std::string base_dir;             // absolute after loading; empty: the build's example application
    std::vector<std::pair<std::string, std::string>> fonts; // resource name -> font file
    std::vector<scene_image> images;
    std::vector<scene_control> controls;
};

// Parse a scene file. Relative paths in it are relative to the scene file's folder.
bool load_scene(const std::string &path, scene &out, error *err);
bool parse_scene(const std::string &json_text, const std::string &folder, scene &out, error *err);

// A draw that did not return 0: which control, which widget, what it returned.
struct draw_failure {
    std::string control; // the control's name in the scene
    std::string widget;  // the plug-in's display name
    int result;
};

// A scene's widgets, created and configured on an engine.
class scene_run {
public:
    // Create one instance per control and set its attributes; register the font map.
    error build(engine &eng, const scene &s);
    // Draw every control in scene order; returns the number of draws that returned nonzero.
    int draw(gr_context_t *ctx);
    // The draws of the last draw() that returned nonzero, in scene order.
    const std::vector<draw_failure> &failures() const { return failures_; }
    size_t size() const { return instances_.size(); }
    instance &at(size_t i) { return *instances_[i]; }
    // Destroy the instances (before their engine unloads the plug-ins).
    void clear() { instances_.clear(); }

private:
    gr_canvas_t canvas_{};
    std::vector<gr_control_t> controls_;
    std::vector<std::unique_ptr<instance>> instances_;
    std::vector<std::string> names_; // per instance, the control's name
    std::vector<draw_failure> failures_;
};

// The build's own plug-in folder and example application folder.
std::string default_plugin_dir();
std::string default_app_dir();

} // namespace pitwall

#endif // PITWALL_SCENE_H
