// text_lines.h - texts of several lines, separated by the marker "<br>", walked in place.
//
//     "Oil<br>Water<br><br>Fuel<br>"  ->  "Oil", "Water", "", "Fuel"   (no line after a final marker)
//
// A walk looks at the bytes in place: no copy, no heap work.
#ifndef PITWALL_KIT_TEXT_LINES_H
#define PITWALL_KIT_TEXT_LINES_H

#include <cstdint>

namespace kit {

inline constexpr char line_marker[] = "<br>";
inline constexpr int32_t line_marker_length = 4;

struct text_line {
    const char *start;
    int32_t length; // bytes, without the marker
};

// Lines of text[0..length): each call yields the next line until the text is used up.
class line_walker {
public:
    line_walker(const char *text, int32_t length) : cur_(text), end_(text + (length > 0 ? length : 0)) {}

    bool done() const { return cur_ >= end_; }

    // The next line up to the next marker (or the rest of the text when `split` is false).
    text_line next(bool split = true);

private:
    const char *cur_;
    const char *end_;
};

} // namespace kit

#endif // PITWALL_KIT_TEXT_LINES_H
