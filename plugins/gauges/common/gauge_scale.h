// gauge_scale.h - the scale of a round gauge: ticks at angles, their marks, and the map from a
// value to a needle angle (linear, or piecewise-linear through the ticks).
//
// A tick sits at `angle_start` + its percentage of `angle_span`; with tick_mode 3 or more an
// explicit position (degrees from the start, clockwise) places it instead. Marks run radially
// between two radii measured inwards from the square's half-size c:
//
//        c - outer  ---|          major mark at every tick,
//        c - inner  ---|          subsections - 1 shorter minor marks in every gap
//                      |
//                   centre
#ifndef PITWALL_GAUGES_GAUGE_SCALE_H
#define PITWALL_GAUGES_GAUGE_SCALE_H

#include "gauge_types.h"
#include "ticks.h"

#include <cstdint>

namespace gauges {

// Inward distances from c of a gauge's marks (pixels).
struct mark_radii {
    float major_inner, major_outer;
    float minor_inner, minor_outer;
};

// What a rebuild needs of the gauge's attributes.
struct scale_input {
    const char *ticks;      // the tick list, or null
    uint8_t tick_mode;      // 3 or more: explicit positions count; exactly 3: piecewise map
    uint8_t subsections;
    float angle_start;      // stored, drawing convention
    float angle_span;
    float value_min, value_max;
    float lower_threshold, upper_threshold;
    int16_t gauge_size;
};

// Intervals between two ticks: 0 counts as 1.
int32_t subsection_count(uint8_t subsections);
// Marks of a list of `tick_count` ticks (0 without ticks).
int32_t mark_count(int32_t tick_count, uint8_t subsections);

// Free the ticks with their labels, the segments and the marks; zero the counts.
void free_gauge_ticks(gauge_ticks &t);

// Parse the tick list, place the ticks and their marks, build the map and count the marks per
// zone. False on an allocation failure (logged where the gauge logs it): everything is freed.
bool rebuild_gauge_ticks(gauge_ticks &t, const scale_input &in, const mark_radii &radii,
                         gr_application_t *app, const kit::tick_messages &messages);

// Marks per zone; a minor mark between ticks of different zones takes the zone of its own value.
void count_mark_zones(gauge_ticks &t, uint8_t subsections, float lower_threshold, float upper_threshold);

} // namespace gauges

#endif // PITWALL_GAUGES_GAUGE_SCALE_H
