// palette.h - palettes of themed image sets: a 1-based palette index names the colour that forms
// part of an image file name ("images/CommonBar/" + "green" + "_fill_v.9.png").
#ifndef PITWALL_KIT_PALETTE_H
#define PITWALL_KIT_PALETTE_H

#include <cstdint>

namespace kit {

struct palette {
    const char *const *names; // index - 1 -> colour name
    int32_t size;
};

// The colour name of a 1-based index, or null for 0, a negative index or one past the end.
constexpr const char *palette_name(const palette &p, int32_t index) {
    return index >= 1 && index <= p.size ? p.names[index - 1] : nullptr;
}

namespace palette_data {
inline constexpr const char *bars[] = {"white", "red", "yellow", "orange", "green", "blue", "violet"};
inline constexpr const char *modern_alarm_box[] = {"white", "red",  "yellow", "orange",
                                                   "green", "blue", "violet", "grey"};
inline constexpr const char *modern_box[] = {"white", "red",    "yellow", "orange", "green",
                                             "blue",  "violet", "grey",   "black"};
inline constexpr const char *classic[] = {"white1", "white2", "red",  "yellow", "orange", "green",
                                          "blue",   "violet", "grey", "black1", "black2"};
} // namespace palette_data

// Level bars and classic gauges.
inline constexpr palette bar_palette{palette_data::bars, 7};
// The Modern Alarm's box images.
inline constexpr palette modern_alarm_palette{palette_data::modern_alarm_box, 8};
// The Modern Box, and the alarm icons of both alarm lamps.
inline constexpr palette modern_box_palette{palette_data::modern_box, 9};
// The Classic Alarm and the Classic Box.
inline constexpr palette classic_palette{palette_data::classic, 11};

} // namespace kit

#endif // PITWALL_KIT_PALETTE_H
