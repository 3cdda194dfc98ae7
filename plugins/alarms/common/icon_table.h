// icon_table.h - the pictograms an alarm lamp can show, by `icon_idx` - 1, with their drawing size
// at full scale (pixels). Files: "images/Icons/<name>_<colour>.png".
#ifndef PITWALL_ALARMS_ICON_TABLE_H
#define PITWALL_ALARMS_ICON_TABLE_H

#include <cstdint>

namespace alarms {

struct icon_entry {
    char name[32];
    int32_t width, height;
};

inline constexpr icon_entry icon_table[] = {
    {"cross", 75, 75},
    {"plus", 75, 75},
    {"minus", 75, 23},
    {"warning_filled", 75, 65},
    {"warning_lights", 75, 65},
    {"turn_indicator_left", 47, 45},
    {"turn_indicator_right", 47, 45},
    {"water_temp", 75, 68},
    {"oil", 75, 32},
    {"mil_engine", 75, 53},
    {"gear", 75, 75},
    {"gear_warning", 75, 75},
    {"fuelstation", 68, 68},
    {"high_beam_lights", 75, 68},
    {"low_beam_lights", 75, 68},
    {"sidelight", 72, 39},
    {"light", 75, 69},
    {"lap_stopwatch", 62, 70},
    {"speedo", 61, 61},
    {"signalhorn", 75, 47},
    {"windshield", 74, 74},
    {"windshield_washer_fluid", 73, 58},
};
inline constexpr uint32_t icon_count = sizeof icon_table / sizeof icon_table[0];
static_assert(icon_count == 22, "22 pictograms");

} // namespace alarms

#endif // PITWALL_ALARMS_ICON_TABLE_H
