// feed_source.h - a feed as the command line and a scene's "sources" name it, and the feed it opens.
//
//     udp:PORT  udp:ADDRESS:PORT  udp:[IPV6]:PORT    each optionally ?from=ADDRESS: only that sender
//     stdin                                          lines of standard input
//     csv:FILE                                       a telemetry log replayed, ?loop, ?speed=2,
//                                                    or both joined by '&': ?loop&speed=0.5
//     can:IFACE                                      a CAN bus through SocketCAN: can:can0
//     candump:FILE                                   a `candump -l` log replayed, ?loop, ?speed=2
//
// The CAN feeds decode frames through a signal database (feed_context).
//
// Addresses are numeric. Options begin at the first '?'.
#ifndef PITWALL_FEED_SOURCE_H
#define PITWALL_FEED_SOURCE_H

#include "pitwall/live_feed.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pitwall {

namespace can {
struct database;
}
class candump_recorder;

struct feed_source {
    enum class kind { udp, stdin_lines, csv, can, candump } what = kind::udp;
    std::string address = "0.0.0.0"; // udp: where to listen
    uint16_t port = 0;               // udp: 0 (any free port) to 65535
    std::string from;                // udp: the one sender taken; empty: any
    std::string file;                // csv, candump
    bool loop = false;               // csv, candump
    double speed = 1;                // csv, candump: above 0, at most max_replay_speed
    std::string iface;               // can: 1 to 15 of A-Z a-z 0-9 _ . -
    std::string text;                // the source as written
};

// A scene's channel read from a CAN signal: the signal of that message (empty: the one message
// of the database that has a signal of that name) goes to the channel.
struct signal_channel {
    std::string channel, message, signal;
};

// What the CAN feeds need beyond their source.
struct feed_context {
    const can::database *dbc = nullptr;  // needed by can: and candump:; only read while opening
    std::vector<signal_channel> signals; // the scene's channels that name a signal
    candump_recorder *raw = nullptr;     // records the frames heard, when set; outlives the feeds
};

// The source `text` read, or nothing with `why` naming the source, saying what is wrong and listing the
// forms.
std::optional<feed_source> parse_feed_source(std::string_view text, std::string *why);

// The feed opened (its socket bound, its file read and checked), not started; nullptr with `why`
// naming the source otherwise. The first form opens no CAN feed: it has no signal database.
std::unique_ptr<live_feed> open_feed(const feed_source &source, std::string *why);
std::unique_ptr<live_feed> open_feed(const feed_source &source, const feed_context &context, std::string *why);

} // namespace pitwall

#endif // PITWALL_FEED_SOURCE_H
