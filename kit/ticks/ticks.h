// ticks.h - the `ticks` attribute of scales (level bars, gauges): parse, range filter, sort, zones.
//
// Text format: entries separated by '|', each "position;value;label". Empty fields and entries are
// kept as empty (never merged), so ";50;half" has no explicit position. Example of three labelled
// ticks: "0;0;0|;50;50|;100;100".
//
// A parse fills the plug-in's scratch of `tick_limit` entries (a kit static: the kit is linked into
// each plug-in, so every plug-in has its own), then the kept entries are moved into an array the
// instance owns. Parses run one at a time on the engine's drawing thread.
#ifndef PITWALL_KIT_TICKS_H
#define PITWALL_KIT_TICKS_H

#include "gre_host.h"

#include <cstdint>
#include <cstdlib>

namespace kit {

// At most this many ticks per scale (the "%u" of the limit message).
inline constexpr uint32_t tick_limit = 50;

// One kept tick, in the order the level bars keep it.
struct tick_entry {
    float pos;   // percent of the scale (0 = value_min end), -1.0 when it cannot be computed;
                 // widgets convert it in place to pixels or degrees after the parse
    float value; // in the unit of `value`
    char *label; // owned, or null
    uint8_t zone; // 0 lower, 1 normal, 2 upper (zone of `value` against the stored thresholds)
};

// The three log lines of a parse. Each function passes one literal of the widget, beginning with
// its display name, to gre_app_log, so the compiler checks the literal against its arguments.
// Build one per widget with KIT_TICK_MESSAGES("Display Name").
struct tick_messages {
    void (*string_memory)(gr_application_t *app);            // level 0
    void (*too_many)(gr_application_t *app, unsigned limit); // level 1
    void (*tick_memory)(gr_application_t *app);              // level 0
};

#define KIT_TICK_MESSAGES(display_name)                                                            \
    kit::tick_messages {                                                                           \
        [](gr_application_t *app) {                                                                \
            gre_app_log(app, GRE_LOG_ERROR, display_name ": Failed to allocate string memory!");   \
        },                                                                                         \
        [](gr_application_t *app, unsigned limit) {                                                \
            gre_app_log(app, GRE_LOG_WARNING, display_name ": More than %u ticks are not supported!", \
                        limit);                                                                    \
        },                                                                                         \
        [](gr_application_t *app) {                                                                \
            gre_app_log(app, GRE_LOG_ERROR, display_name ": Failed to allocate tick memory!");     \
        }                                                                                          \
    }

// How field 1 (the explicit position) is read.
enum class tick_position_unit : uint8_t {
    percent, // a percentage of the scale, taken as it is (level bars)
    span     // in the unit of `span` (degrees of a gauge's angle_span): pos * 100 / span, 0 for span 0
};

// What a parse needs of the widget.
struct tick_scale {
    float value_min;
    float value_max;
    float lower_threshold; // the thresholds the same relayout has just stored
    float upper_threshold;
    bool explicit_positions; // field 1 counts (tick_mode 3 and above)
    tick_position_unit unit;
    float span;
};

// Position in percent of a value on the scale: -1.0 outside [value_min, value_max], for an empty
// or inverted range, or when it is not a finite number.
float tick_percent(float value, float value_min, float value_max);

// Zone of a fixed value: 2 at or above the upper threshold, 0 at or below the lower one, else 1.
uint8_t tick_zone(float value, float lower_threshold, float upper_threshold);

// Parse `text` into the plug-in's scratch. Returns the number of kept entries (sorted by value,
// unique), 0 for null text, or -1 when the string copy failed (logged). The kept entries own their
// labels until take_ticks moves them out or discard_scratch frees them.
int32_t parse_ticks(const char *text, const tick_scale &scale, gr_application_t *app,
                    const tick_messages &messages);

// The plug-in's scratch, read by take_ticks.
tick_entry *tick_scratch();

// Free the labels of the first n scratch entries.
void discard_scratch(int32_t n);

// Free a tick list with its labels (null-safe) and zero the owner's pointer and count.
template <typename Entry>
void free_tick_list(Entry **list, int32_t *count) {
    if (*list != nullptr)
        for (int32_t i = 0; i < *count; ++i) std::free((*list)[i].label);
    std::free(*list);
    *list = nullptr;
    *count = 0;
}

// Move the first n scratch entries into a new heap array of the widget's own entry type (which has
// at least pos, value, label and zone; the other fields start at zero). On allocation failure the
// labels are freed, "Failed to allocate tick memory!" is logged and null is returned.
template <typename Entry>
Entry *take_ticks(int32_t n, gr_application_t *app, const tick_messages &messages) {
    if (n <= 0) return nullptr;
    auto *list = static_cast<Entry *>(std::calloc(static_cast<size_t>(n), sizeof(Entry)));
    if (list == nullptr) {
        discard_scratch(n);
        messages.tick_memory(app);
        return nullptr;
    }
    const tick_entry *scratch = tick_scratch();
    for (int32_t i = 0; i < n; ++i) {
        list[i].pos = scratch[i].pos;
        list[i].value = scratch[i].value;
        list[i].label = scratch[i].label;
        list[i].zone = scratch[i].zone;
        tick_scratch()[i].label = nullptr; // ownership moved
    }
    return list;
}

} // namespace kit

#endif // PITWALL_KIT_TICKS_H
