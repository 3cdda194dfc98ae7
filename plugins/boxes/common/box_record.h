// box_record.h - what the three value boxes (Basic, Modern, Classic) keep alike: the head and tail
// of their instance records and one attribute table shape.
//
//   record:  box_head | widget's own layout fields | box_texts | [Basic Box: background triple] | box_tail
//   ids:     12 value, 13 render_title, 14 render_text, 15 font_size, 16 cfg, 17 font, 18 alignment,
//            19..24 text and title colours, 25..27 box colours, [28..30 background], the six limits,
//            title_size
#ifndef PITWALL_BOXES_BOX_RECORD_H
#define PITWALL_BOXES_BOX_RECORD_H

#include "renderext.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace boxes {

// The first fields of every box record.
struct box_head {
    float value;
    char *render_title;      // owned; null or empty: no title
    char *render_text;       // owned; drawn unchanged
    int16_t font_size;       // value text pixel size, read as unsigned 16 bits
    int32_t title_len;       // bytes of render_title, measured at relayout
    int32_t text_len;        // bytes of render_text, measured at relayout and on value changes
    int32_t threshold_state; // 0 lower, 1 normal, 2 upper
    int32_t level;           // recompute level
};

// Font, alignment and the colour triples every box has.
struct box_texts {
    char *font;        // owned; null or empty: the default font
    uint8_t alignment; // value text: 1 left, 2 centre, other right
    int32_t lower_text, color_text, upper_text;    // value text, 0xRRGGBB
    int32_t lower_title, color_title, upper_title; // title text, 0xRRGGBB
    int32_t lower_box, color_box, upper_box;       // Basic Box: outline colour; others: palette index
};

// The last fields of every box record.
struct box_tail {
    uint8_t title_size; // title pixel size
    uint8_t lower_limit, upper_limit;
    float lower_value, upper_value, lower_hyst, upper_hyst;
};

// How a box's attributes lower its recompute level where the boxes differ.
struct box_levels {
    int32_t box_colours; // Classic Box: 0 (its images depend on them); others 1
};

inline constexpr int32_t box_attribute_count = 23;       // without a background triple
inline constexpr int32_t basic_box_attribute_count = 26; // with it

// The attribute table of a box record. Records with a `background` triple (the Basic Box) list it
// as ids 28..30 and shift the limits and title_size by three.
template <typename Record, size_t N>
constexpr std::array<kit::attr_def, N> box_attributes(box_levels levels) {
    using kit::attr_float, kit::attr_int, kit::attr_string, kit::attr_u8;
    constexpr int32_t relayout = kit::level_relayout, state = kit::level_state;
    constexpr size_t head = offsetof(Record, head), texts = offsetof(Record, texts), tail = offsetof(Record, tail);
    std::array<kit::attr_def, N> a{};
    size_t i = 0;
    a[i++] = attr_float(12, "value", head + offsetof(box_head, value), state);
    a[i++] = attr_string(13, "render_title", head + offsetof(box_head, render_title), relayout);
    a[i++] = attr_string(14, "render_text", head + offsetof(box_head, render_text), state);
    a[i++] = attr_int(15, "font_size", head + offsetof(box_head, font_size), relayout, kit::store::int16);
    a[i++] = kit::attr_ignored(16, "cfg");
    a[i++] = attr_string(17, "font", texts + offsetof(box_texts, font), state);
    a[i++] = attr_int(18, "alignment", texts + offsetof(box_texts, alignment), state, kit::store::uint8);
    const char *const colour_names[] = {"lower_text",  "color_text",  "upper_text", "lower_title", "color_title",
                                        "upper_title", "lower_box",   "color_box",  "upper_box"};
    for (int32_t c = 0; c < 9; ++c)
        a[i++] = attr_int(19 + c, colour_names[c], texts + offsetof(box_texts, lower_text) + 4 * static_cast<size_t>(c),
                          c < 6 ? state : levels.box_colours);
    int32_t id = 28;
    if constexpr (N == basic_box_attribute_count) {
        const char *const background[] = {"lower_bg", "color_bg", "upper_bg"};
        for (int32_t c = 0; c < 3; ++c)
            a[i++] = attr_int(id++, background[c], offsetof(Record, background) + 4 * static_cast<size_t>(c), state);
    }
    a[i++] = attr_u8(id++, "lower_limit", tail + offsetof(box_tail, lower_limit), state);
    a[i++] = attr_u8(id++, "upper_limit", tail + offsetof(box_tail, upper_limit), state);
    a[i++] = attr_float(id++, "lower_value", tail + offsetof(box_tail, lower_value), state);
    a[i++] = attr_float(id++, "upper_value", tail + offsetof(box_tail, upper_value), state);
    a[i++] = attr_float(id++, "lower_hyst", tail + offsetof(box_tail, lower_hyst), state);
    a[i++] = attr_float(id++, "upper_hyst", tail + offsetof(box_tail, upper_hyst), state);
    a[i++] = attr_int(id, "title_size", tail + offsetof(box_tail, title_size), relayout, kit::store::uint8);
    return a;
}

template <typename Record>
constexpr int32_t box_level_offset() {
    return static_cast<int32_t>(offsetof(Record, head) + offsetof(box_head, level));
}

} // namespace boxes

#endif // PITWALL_BOXES_BOX_RECORD_H
