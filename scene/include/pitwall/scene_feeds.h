// scene_feeds.h - what a scene says about live data: where it comes from, which channel drives
// which controls' attributes (scaled, offset, or written as text), how long a channel may stay
// quiet before its controls show it is stale and how, and how long without any live value before
// the scene's tracks play as a demo loop.
#ifndef PITWALL_SCENE_FEEDS_H
#define PITWALL_SCENE_FEEDS_H

#include "pitwall/value_format.h"

#include <optional>
#include <string>
#include <vector>

namespace pitwall {

// One attribute a channel drives: the attribute gets value * scale + offset, rounded for an
// integer attribute, written by the format (or "%g") for a text attribute.
struct feed_mapping {
    std::string control;
    std::string attribute;
    double scale = 1;
    double offset = 0;
    std::optional<value_format> format{};
    std::string where{}; // "LINE:COLUMN" of the mapping in its file
};

// What a quiet channel's numeric attributes show: the last value, the control's scale minimum
// (its value_min), or a fixed number.
enum class stale_show { hold, minimum, number };

struct feed_channel {
    std::string name;
    std::vector<feed_mapping> mappings;
    double timeout = default_timeout;          // seconds without a value before the channel is stale
    stale_show show = stale_show::hold;
    double stale_number = 0;                   // for stale_show::number
    std::optional<std::string> stale_text{};   // what its text attributes show while stale
    std::string stale_lamp{};                  // a control whose value is 1 while the channel is stale, 0 otherwise
    bool timeout_written = false;              // the scene gives the timeout (else a CAN message's cycle may)
    // A CAN signal the channel reads (can: and candump: feeds), by the names of the signal
    // database; the message may be left out when one message has a signal of that name.
    std::string signal{}, message{};
    std::string where{};

    static constexpr double default_timeout = 0.5;
};

struct scene_feeds {
    std::vector<std::string> sources;          // feed sources, as `pitwall run --feed` takes them
    std::string dbc;                           // the CAN signal database (absolute after loading)
    double demo_after = default_demo_after;    // seconds without live values before the demo loop plays
    std::vector<feed_channel> channels;

    static constexpr double default_demo_after = 3;
    static constexpr double longest_wait = 86400; // a timeout or demo_after of more is refused
};

} // namespace pitwall

#endif // PITWALL_SCENE_FEEDS_H
