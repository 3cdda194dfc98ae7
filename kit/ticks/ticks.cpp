// The tick-list parse: walk the entries, filter by range, keep at most tick_limit, sort by value
// with duplicates dropped (the earlier entry in the text wins).
#include "ticks.h"

#include "renderext.h"
#include "threshold.h"
#include "tick_fields.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kit {
namespace {

// Plug-in-wide: one scratch for every instance of the plug-in (parses never overlap).
tick_entry g_scratch[tick_limit];

float explicit_percent(const char *field, const tick_scale &scale) {
    float pos = static_cast<float>(std::atof(field));
    if (scale.unit == tick_position_unit::span)
        pos = scale.span == 0.0f ? 0.0f : pos * 100.0f / scale.span;
    // A position that is no number cannot be placed; -1.0 is the "cannot be computed" mark.
    return std::isfinite(pos) ? pos : -1.0f;
}

bool outside_range(float value, const tick_scale &scale) {
    // The bounds belong to the range. A value that is not finite has no place on a scale, and a
    // range with a bound that is no number holds nothing.
    return !std::isfinite(value) || !(value >= scale.value_min && value <= scale.value_max);
}

// Fill scratch slot `slot` from one entry; false when the entry is discarded.
bool read_entry(char *entry, const tick_scale &scale, tick_entry &slot) {
    char *cursor = entry;
    char *position = cut_field(&cursor, ';');
    char *value = cut_field(&cursor, ';');
    char *label = cut_field(&cursor, ';');
    slot.label = nullptr;
    // An entry without a value field (empty, or a position alone) has no tick to place.
    if (value == nullptr) return false;

    bool has_position = position[0] != '\0';
    if (has_position) slot.pos = explicit_percent(position, scale);
    slot.value = static_cast<float>(std::atof(value)); // an empty field gives 0
    if (!has_position || !scale.explicit_positions)
        slot.pos = tick_percent(slot.value, scale.value_min, scale.value_max);
    slot.zone = tick_zone(slot.value, scale.lower_threshold, scale.upper_threshold);
    if (outside_range(slot.value, scale)) return false;
    if (label != nullptr) slot.label = copy_string(label); // a failed copy leaves no label
    return true;
}

// Insertion sort of scratch[0..n) by value in text order; an equal value already placed wins.
int32_t sort_unique(int32_t n) {
    int32_t placed = 0;
    for (int32_t i = 0; i < n; ++i) {
        tick_entry entry = g_scratch[i];
        int32_t at = 0;
        while (at < placed && g_scratch[at].value < entry.value) ++at;
        if (at < placed && g_scratch[at].value == entry.value) {
            std::free(entry.label);
            g_scratch[i].label = nullptr;
            continue;
        }
        std::memmove(&g_scratch[at + 1], &g_scratch[at], static_cast<size_t>(placed - at) * sizeof entry);
        g_scratch[at] = entry;
        ++placed;
    }
    for (int32_t i = placed; i < n; ++i) g_scratch[i].label = nullptr; // moved or freed above
    return placed;
}

} // namespace

float tick_percent(float value, float value_min, float value_max) {
    float diff = value - value_min;
    float range = value_max - value_min;
    if (diff > range || diff < 0.0f || range <= 0.0f) return -1.0f;
    float pos = (100.0f / range) * diff;
    return std::isfinite(pos) ? pos : -1.0f;
}

uint8_t tick_zone(float value, float lower_threshold, float upper_threshold) {
    return static_cast<uint8_t>(zone_of(value, thresholds{lower_threshold, upper_threshold}));
}

int32_t parse_ticks(const char *text, const tick_scale &scale, gr_application_t *app,
                    const tick_messages &messages) {
    if (text == nullptr) return 0;
    char *copy = copy_string(text);
    if (copy == nullptr) {
        messages.string_memory(app);
        return -1;
    }
    int32_t kept = 0;
    char *cursor = copy;
    while (kept < static_cast<int32_t>(tick_limit)) {
        char *entry = cut_field(&cursor, '|');
        if (entry == nullptr) break;
        if (read_entry(entry, scale, g_scratch[kept])) ++kept;
    }
    bool unread = kept == static_cast<int32_t>(tick_limit) && cursor != nullptr;
    std::free(copy);

    kept = sort_unique(kept);
    if (kept == static_cast<int32_t>(tick_limit) && unread) messages.too_many(app, tick_limit);
    return kept;
}

tick_entry *tick_scratch() { return g_scratch; }

void discard_scratch(int32_t n) {
    for (int32_t i = 0; i < n && i < static_cast<int32_t>(tick_limit); ++i) {
        std::free(g_scratch[i].label);
        g_scratch[i].label = nullptr;
    }
}

} // namespace kit
