// scene_reader.h - the reader of one scene document, shared by the files that read its parts
// (scene.cpp the canvas, controls, steps, tracks and telemetry; scene_feeds.cpp the live feeds).
#ifndef PITWALL_SCENE_READER_H
#define PITWALL_SCENE_READER_H

#include "located_json.h"
#include "pitwall/scene.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pitwall {

struct widget_info;

inline std::string absolute(const std::string &folder, const std::string &path) {
    if (path.empty() || path[0] == '/' || folder.empty()) return path;
    return folder + "/" + path;
}

inline bool is_i16(const json &j) {
    if (j.is_number_unsigned()) return j.get<uint64_t>() <= 32767;
    return j.is_number_integer() && j.get<int64_t>() >= -32768 && j.get<int64_t>() <= 32767;
}

inline bool is_i32(const json &j) {
    if (j.is_number_unsigned()) return j.get<uint64_t>() <= uint64_t(INT32_MAX);
    return j.is_number_integer() && j.get<int64_t>() >= INT32_MIN && j.get<int64_t>() <= INT32_MAX;
}

// Reads one scene document; every failure names where in the file it was found.
class scene_reader {
public:
    scene_reader(const located_json &doc, const std::string &folder, error *err, std::vector<error> *attribute_errors)
        : doc_(doc), folder_(folder), err_(err), attribute_errors_(attribute_errors) {}

    bool read(scene &out);

private:
    bool fail(const json &at, const std::string &why) {
        if (err_ != nullptr) *err_ = doc_.where(at) + ": " + why;
        return false;
    }
    // Keys outside the expected set are refused (a misspelt key would otherwise be ignored);
    // keys starting with '_' are free for comments.
    bool only_keys(const json &object, std::initializer_list<std::string_view> known, const std::string &what) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            const std::string &k = it.key();
            if (!k.empty() && k[0] == '_') continue;
            if (std::find(known.begin(), known.end(), k) == known.end())
                return fail(*it, what + ": unknown key \"" + k + "\"");
        }
        return true;
    }
    // A 16-bit integer under key when present.
    bool get_i16(const json &j, const char *key, std::optional<int16_t> &out, const std::string &what) {
        auto it = j.find(key);
        if (it == j.end()) return true;
        if (!is_i16(*it)) return fail(*it, what + ": \"" + key + "\" must be an integer from -32768 to 32767");
        out = static_cast<int16_t>(it->get<int64_t>());
        return true;
    }
    bool get_i16(const json &j, const char *key, int16_t &inout, const std::string &what) {
        std::optional<int16_t> v;
        if (!get_i16(j, key, v, what)) return false;
        if (v) inout = *v;
        return true;
    }
    bool read_canvas(const json &c, scene &out);
    bool read_image(const std::string &path, const json &j, scene_image &out);
    bool read_images(const json &images, scene_staging &out, bool removals);
    bool read_stage(const json &j, scene_staging &out);
    bool read_styles(const json &styles);
    bool read_change(const json &j, const widget_info *widget, control_change &out, const std::string &what);
    bool add_attribute(const widget_info *widget, const std::string &name, const json &value, control_change &out,
                       const std::string &what);
    bool read_control(const json &j, const scene &s, scene_control &out);
    // The widget of a control a step names, from the scene's controls and the clones so far.
    bool known_control(const json &at, const std::string &name, const std::string &what, std::string *widget);
    // A track's or a telemetry channel's control, checked against the scene's controls and the
    // clones its steps make, and its attribute against the control's widget (a text attribute when
    // there is a format); names in the keys of a track (`keys` null for a channel) become their
    // numbers. Each error is at its place in the scene and names the track or the channel.
    bool check_driven(const json &j, const std::string &control, const std::string &attribute, std::vector<track_key> *keys,
                      const std::string &what);
    // A mistake in a track or a channel: the end of the read, or one more error for lint.
    bool refuse_driven(const json &at, const std::string &why) {
        if (attribute_errors_ == nullptr) return fail(at, why);
        attribute_errors_->push_back(doc_.where(at) + ": " + why);
        return false;
    }
    // How errors name the log's channel: telemetry "lap.csv" channel "rpm".
    static std::string channel_name(const json &telemetry, const std::string &column) {
        auto file = telemetry.find("file");
        return "telemetry " + (file != telemetry.end() && file->is_string() ? "\"" + file->get<std::string>() + "\" " : "") +
               "channel \"" + column + "\"";
    }
    bool read_step(const json &j, size_t number, scene_step &out);
    bool read_interpolation(const json &j, std::optional<track_interpolation> &out, const std::string &what);
    bool read_track(const json &j, size_t number, track &out);
    bool read_log(const json &j, scene &out);
    // A "format" key of j, when present, into out.
    bool read_format(const json &j, std::optional<value_format> &out, const std::string &what);
    // The live feeds (scene_feeds.cpp).
    bool read_feeds(const json &j, scene_feeds &out);
    bool read_feed_channel(const std::string &name, const json &j, double timeout, feed_channel &out);
    bool read_feed_mapping(const json &j, const std::string &what, feed_mapping &out);
    bool read_stale(const json &j, const std::string &what, feed_channel &out);
    // A number of seconds under key, from 0 to scene_feeds::longest_wait.
    bool read_seconds(const json &j, const char *key, double &out, const std::string &what);

    const located_json &doc_;
    const std::string &folder_;
    error *err_;
    std::vector<error> *attribute_errors_; // null: the first one ends the read
    std::vector<std::pair<std::string, const json *>> styles_;  // name -> attributes
    std::vector<std::pair<std::string, std::string>> controls_; // name -> widget, clones included
};

} // namespace pitwall

#endif // PITWALL_SCENE_READER_H
