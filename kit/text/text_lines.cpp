// Walking "<br>"-separated lines in place.
#include "text_lines.h"

#include <cstring>

namespace kit {

text_line line_walker::next(bool split) {
    const char *start = cur_;
    if (split) {
        // The marker is searched within the text's own bytes only.
        const char *p = start;
        while (end_ - p >= line_marker_length) {
            const void *open = std::memchr(p, '<', static_cast<size_t>(end_ - p - (line_marker_length - 1)));
            if (open == nullptr) break;
            p = static_cast<const char *>(open);
            if (std::memcmp(p, line_marker, line_marker_length) == 0) {
                cur_ = p + line_marker_length;
                return {start, static_cast<int32_t>(p - start)};
            }
            ++p;
        }
    }
    cur_ = end_;
    return {start, static_cast<int32_t>(end_ - start)};
}

} // namespace kit
