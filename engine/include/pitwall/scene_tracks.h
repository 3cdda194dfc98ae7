// scene_tracks.h - attributes that change over time: keyframe tracks written in the scene, or
// channels of a CSV telemetry log mapped to controls' attributes. A player asks for the changes at
// a time and hands them to scene_run like a step's changes.
#ifndef PITWALL_SCENE_TRACKS_H
#define PITWALL_SCENE_TRACKS_H

#include "pitwall/engine.h"

#include <string>
#include <utility>
#include <vector>

namespace pitwall {

struct scene;
struct control_change;

enum class track_interpolation { linear, step };

struct track_key {
    double time = 0; // seconds from the start
    attr_value value;
};

// One attribute of one control over time. Numbers (and colours, channel by channel) interpolate
// linearly or hold until the next key; strings always hold (step).
struct track {
    std::string control;   // the control's name in the scene
    std::string attribute; // its attribute name
    track_interpolation interpolation = track_interpolation::linear;
    std::vector<track_key> keys; // by ascending time
};

// The value of a track at a time: before the first key the first value, after the last the last.
attr_value track_value(const track &t, double seconds);

// The changes every track of the scene asks for at a time, one control_change per control (in
// the order the controls first appear in the tracks).
std::vector<std::pair<std::string, control_change>> track_changes(const scene &s, double seconds);

// The time of the last key of any track (0 without tracks).
double tracks_duration(const scene &s);

} // namespace pitwall

#endif // PITWALL_SCENE_TRACKS_H
