// feed_datagram.h - one datagram of live values (or one line of standard input): a JSON object of
// numbers, {"rpm": 8720, "water": 92.4}, or name=value pairs separated by commas, semicolons or
// line ends, rpm=8720,water=92.4. Each value of a known channel is stored in the table as it is
// read; everything else is counted, never fatal.
#ifndef PITWALL_FEED_DATAGRAM_H
#define PITWALL_FEED_DATAGRAM_H

#include "pitwall/latest_values.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pitwall {

struct datagram_counts {
    size_t stored = 0;    // values stored
    size_t unknown = 0;   // names that are no channel
    size_t bad = 0;       // values that are not finite numbers, pairs without a '='
    bool refused = false; // the whole datagram: too long, not a JSON object, nothing in it
};

// The largest UDP payload over IPv4; a longer datagram (or line) is refused whole.
constexpr size_t max_datagram_bytes = 65507;

datagram_counts read_datagram(std::string_view bytes, latest_values &into, int64_t arrived_ns);

} // namespace pitwall

#endif // PITWALL_FEED_DATAGRAM_H
