// feed_spec.h - a feed as the command line and a scene's "sources" name it, and the feed it opens.
//
//     udp:PORT  udp:ADDRESS:PORT  udp:[IPV6]:PORT    each optionally ?from=ADDRESS: only that sender
//     stdin                                          lines of standard input
//     csv:FILE                                       a telemetry log replayed, ?loop, ?speed=2,
//                                                    or both joined by '&': ?loop&speed=0.5
//
// Addresses are numeric. Options begin at the first '?'.
#ifndef PITWALL_FEED_SPEC_H
#define PITWALL_FEED_SPEC_H

#include "pitwall/live_feed.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pitwall {

struct feed_spec {
    enum class kind { udp, stdin_lines, csv } what = kind::udp;
    std::string address = "0.0.0.0"; // udp: where to listen
    uint16_t port = 0;               // udp: 0 (any free port) to 65535
    std::string from;                // udp: the one sender taken; empty: any
    std::string file;                // csv
    bool loop = false;               // csv
    double speed = 1;                // csv: above 0, at most csv_feed::max_speed
    std::string text;                // the spec as written
};

// The spec `text` read, or nothing with `why` naming the spec, saying what is wrong and listing the
// forms.
std::optional<feed_spec> parse_feed_spec(std::string_view text, std::string *why);

// The feed opened (its socket bound, its file read and checked), not started; nullptr with `why`
// naming the spec otherwise.
std::unique_ptr<live_feed> open_feed(const feed_spec &spec, std::string *why);

} // namespace pitwall

#endif // PITWALL_FEED_SPEC_H
