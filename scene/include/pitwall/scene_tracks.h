// scene_tracks.h - attributes that change over time: keyframe tracks written in the scene, or
// channels of a CSV telemetry log mapped to controls' attributes. A player asks for the changes at
// a time and hands them to scene_run like a step's changes.
#ifndef PITWALL_SCENE_TRACKS_H
#define PITWALL_SCENE_TRACKS_H

#include "pitwall/engine.h"
#include "pitwall/value_format.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pitwall {

struct scene;
struct scene_control;
struct control_change;
struct scene_step; // scene.h, which includes this header for the scene's tracks

enum class track_interpolation { linear, step };

struct track_key {
    double time = 0; // seconds from the start
    attr_value value;
};

// One attribute of one control over time. Numbers (and colours, channel by channel) interpolate
// linearly or hold until the next key; strings always hold (step). A track with a format has
// numbers for keys and gives text: the number at the time (a fraction, even between integer
// keys) written by the format, for a text attribute.
struct track {
    std::string control;   // the control's name in the scene
    std::string attribute; // its attribute name
    track_interpolation interpolation = track_interpolation::linear;
    std::vector<track_key> keys; // by ascending time
    std::optional<value_format> format{};
    // How errors name it ("track 2", "telemetry \"lap.csv\" channel \"rpm\"") and where the scene
    // writes it ("LINE:COLUMN"); empty for a track made in code.
    std::string origin{};
    std::string where{};
};

// The value of a track at a time: before the first key the first value, after the last the last.
attr_value track_value(const track &t, double seconds);

// The changes every track of the scene asks for at a time, one control_change per control (in
// the order the controls first appear in the tracks).
std::vector<std::pair<std::string, control_change>> track_changes(const scene &s, double seconds);

// The time of the last key of any track (0 without tracks).
double tracks_duration(const scene &s);

// The one control of the scene named `control` and its widget's attribute `attribute`, as the
// engine's plug-ins register it; empty when so, else why not (the control missing or named twice,
// no plug-in for its widget, no such attribute). For what drives attributes: tracks, feeds.
struct driven_attribute {
    const scene_control *control = nullptr;
    const gr_attribute_t *attribute = nullptr;
};
error find_driven(const engine &eng, const scene &s, const std::string &control, const std::string &attribute,
                  driven_attribute &out);

// Every track names a control the scene has (exactly one of that name) and an attribute its
// widget has, a text attribute when the track has a format; empty when so, else the first
// mistake, naming the track by its origin and its place. Called once the engine has the
// plug-ins, before playing (the scene reader has checked what the attribute catalog describes).
error check_tracks(const engine &eng, const scene &s);

// Plays a scene's tracks frame by frame: each call gives the changes at a time, holding only the
// attributes whose value differs from what the previous call gave, so that a widget which counts
// every set as a change is not redrawn for a value that stayed. The scene must outlive it.
class track_player {
public:
    explicit track_player(const scene &s) : scene_(s) {}
    // The changes at `seconds` (the first call gives every track's value), ready for
    // scene_run::apply.
    scene_step step_at(double seconds);

private:
    const scene &scene_;
    std::vector<attr_value> last_; // per track, what the previous call gave
};

} // namespace pitwall

#endif // PITWALL_SCENE_TRACKS_H
