// scene.h - scenes: a canvas, an application directory with its font map, and controls each
// holding one widget with its attributes; optionally steps, the frames after the first, tracks
// (attributes over time), and what the recording context should stage. The JSON format is
// documented in docs/scene-format.md.
#ifndef PITWALL_SCENE_H
#define PITWALL_SCENE_H

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"
#include "pitwall/scene_feeds.h"
#include "pitwall/scene_tracks.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pitwall {

// What a scene or a step sets on a control; absent fields stay as they are.
struct control_change {
    std::optional<int16_t> x, y, width, height;
    std::optional<uint32_t> visible;
    std::optional<float> inhibit;
    // The clip in force before the control's draw, in canvas coordinates; a present but empty
    // value means no clip.
    std::optional<std::optional<gr_rect_t>> clip;
    std::vector<std::pair<std::string, attr_value>> attributes; // in scene order
    std::vector<std::string> attribute_where; // "LINE:COLUMN" of each attribute's value, when read from a file
};

struct scene_control {
    std::string widget; // display name of the render extension
    std::string name;   // optional, for messages; the widget's name when not given
    std::string where;  // "LINE:COLUMN" of the control in its file
    int16_t x = 0, y = 0, width = 0, height = 0;
    control_change state; // visible, inhibit, clip and the attributes
};

// An image the recording context should know (trace runs only; the raster context reads files).
struct scene_image {
    std::string path;
    recorded_image info;
};

enum class font_fault { none, lookup, font }; // none clears a staged fault

// What the recording context is told before a frame (trace runs only).
struct scene_staging {
    std::optional<int32_t> text_advance;                           // pixels per byte
    std::vector<std::pair<int32_t, int32_t>> line_heights;         // font size -> line height
    std::vector<std::pair<std::string, std::array<int16_t, 2>>> text_extents; // text -> width, height
    std::optional<bool> fail_text_extent;
    std::optional<bool> fail_create_path;
    std::vector<std::pair<std::string, font_fault>> font_faults;  // resource name -> fault
    std::vector<scene_image> images;                               // added or replaced
    std::vector<std::string> removed_images;                       // no longer loadable
};

// One frame after the first: staging, clones, destroys and changes, applied in that order.
struct scene_step {
    std::string label;
    scene_staging stage;
    std::vector<std::pair<std::string, std::string>> clones; // new control name, control cloned
    std::vector<std::string> destroys;
    std::vector<std::pair<std::string, control_change>> changes; // control name -> change
};

struct scene {
    int16_t width = 800, height = 480;
    uint32_t background = 0xff000000; // 0xAARRGGBB
    std::string base_dir;             // absolute after loading; empty: the build's example application
    std::vector<std::pair<std::string, std::string>> fonts; // resource name -> font file
    scene_staging stage;              // before the first frame
    std::vector<scene_control> controls;
    std::vector<scene_step> steps;
    std::vector<track> tracks;        // keyframe tracks, then the telemetry log's channels
    scene_feeds feeds;                // live data (pitwall run)
};

// Parse a scene file. Relative paths in it are relative to the scene file's folder. Errors read
// "PATH:LINE:COLUMN: cause" (parse_scene gives "LINE:COLUMN: cause").
// The largest scene file the loader reads.
inline constexpr size_t max_scene_bytes = 16u << 20;

// With `attribute_errors`, a value an attribute cannot take is left out and its error ("PATH:LINE:
// COLUMN: cause") kept there instead of ending the read, so that a checker can go on (lint).
bool load_scene(const std::string &path, scene &out, error *err, std::vector<error> *attribute_errors = nullptr);
bool parse_scene(const std::string &json_text, const std::string &folder, scene &out, error *err,
                 std::vector<error> *attribute_errors = nullptr);

// A colour "#rrggbb" (opaque: top byte 0xff) or "#aarrggbb" as 0xAARRGGBB.
bool parse_colour(const std::string &text, uint32_t &out);

} // namespace pitwall

#endif // PITWALL_SCENE_H
