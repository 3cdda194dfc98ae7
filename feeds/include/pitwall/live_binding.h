// live_binding.h - a scene's feed channels applied to its controls, frame by frame.
//
// At the start of each frame the binding reads the table of latest values and says what to change:
// each new value scaled into the attributes its channel drives; a channel quiet for longer than
// its timeout shown as stale the way the scene chooses (and shown live again when values return);
// and, while no live value has come for the scene's demo_after seconds (or none ever came), the
// scene's tracks played as a demo loop, which stops the moment a live value arrives.
//
// It never waits: it reads the table and works out changes, nothing else. Time is given to it (a
// steady clock's nanoseconds), so that it can be driven step by step.
#ifndef PITWALL_LIVE_BINDING_H
#define PITWALL_LIVE_BINDING_H

#include "pitwall/latest_values.h"
#include "pitwall/scene.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pitwall {

class live_binding {
public:
    // The channel names a scene's feeds read, for the table of latest values.
    static std::vector<std::string> channel_names(const scene &s);

    // Every mapping checked against the engine's plug-ins: a control the scene has (one of that
    // name), an attribute of its widget, a format only for a text attribute. Empty when bound,
    // else the first mistake with its place. The scene and the table must outlive the binding.
    error bind(const engine &eng, const scene &s, const latest_values &table);

    // A channel's values that have names (a CAN signal's value table): a text attribute it drives
    // without a format shows the name of such a value instead of the number. After bind().
    void name_values(const std::string &channel_name, std::vector<std::pair<double, std::string>> names);

    struct frame {
        scene_step step;                // the changes to apply before this frame's draw
        std::vector<std::string> notes; // what changed state: a channel stale or live again, the demo loop
        std::vector<int64_t> arrivals;  // arrival times of the values first shown by this frame
    };
    // What the frame at `now_ns` shows. `out` is cleared and refilled (its capacity reused).
    void at(int64_t now_ns, frame &out);

    bool playing_demo() const { return demo_; }
    // When the picture next changes with no new value: INT64_MIN (every frame) while the demo
    // plays, otherwise the time the next channel goes stale or the demo loop starts; INT64_MAX
    // when never.
    int64_t next_change() const;

private:
    enum class kind { text, number, integer };
    struct target {
        std::string control, attribute;
        kind type = kind::number;
        int64_t low = 0, high = 0; // an integer attribute's range
        double scale = 1, offset = 0;
        const value_format *format = nullptr;
        attr_value written;        // what the scene writes, restored when the mode changes
        bool has_written = false;
        double minimum = 0;        // the control's value_min, for stale "minimum"
        const std::vector<std::pair<double, std::string>> *names = nullptr; // the channel's named values
    };
    struct channel {
        const feed_channel *config = nullptr; // the scene's channel
        size_t index = 0;          // in the table
        std::vector<target> targets;
        std::vector<std::pair<double, std::string>> names;
        uint64_t seen = 0;         // the table's count when last read
        int64_t last_ns = 0;       // arrival of its latest value
        double value = 0;
        bool has_value = false;    // a value came since live data began
        bool fresh = false;        // a new value this frame
        bool stale = false;
    };
    struct lamp {
        std::string control;
        attr_value written;
        int stale_channels = 0;
    };
    void set(scene_step &step, const std::string &control, const std::string &attribute, attr_value value);
    void show(const target &t, double value, scene_step &step);
    static const std::string *name_of(const target &t, double value);
    void go_stale(channel &c, frame &out);
    void recover(channel &c, frame &out);
    void restore_all(scene_step &step);
    void start_demo(int64_t now_ns, frame &out);
    void start_live(int64_t now_ns, frame &out);

    const scene *scene_ = nullptr;
    const latest_values *table_ = nullptr;
    std::vector<channel> channels_;
    std::vector<lamp> lamps_;
    std::unique_ptr<track_player> player_;
    bool has_demo_ = false;
    bool demo_ = false;
    bool started_ = false;
    int64_t demo_began_ = 0, live_began_ = 0, last_live_ = 0;
    int64_t demo_after_ns_ = 0;
    std::string text_; // a formatted value, its capacity reused
};

} // namespace pitwall

#endif // PITWALL_LIVE_BINDING_H
