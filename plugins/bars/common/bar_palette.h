// bar_palette.h - the bar palette: index 1..7 names the image colour and gives two RGB colours,
// bright for tick marks and labels, dark for unlit segments.
#ifndef PITWALL_BARS_BAR_PALETTE_H
#define PITWALL_BARS_BAR_PALETTE_H

#include "palette.h"

#include <cstdint>

namespace bars {

struct bar_colour {
    uint32_t bright; // 0xRRGGBB
    uint32_t dark;
};

inline constexpr bar_colour bar_colours[7] = {
    {0xFFFFFF, 0x2C2C2C}, // white
    {0xFF0000, 0x370303}, // red
    {0xFFDE00, 0x2C2802}, // yellow
    {0xFF7200, 0x2C1C02}, // orange
    {0x4EEC00, 0x082208}, // green
    {0x00B4FF, 0x0A1E2C}, // blue
    {0xBA0065, 0x220817}, // violet
};

constexpr bool valid_bar_index(int32_t index) { return index >= 1 && index <= 7; }
constexpr const bar_colour &bar_colour_of(int32_t index) { return bar_colours[index - 1]; }
constexpr const char *bar_colour_name(int32_t index) { return kit::palette_name(kit::bar_palette, index); }

} // namespace bars

#endif // PITWALL_BARS_BAR_PALETTE_H
