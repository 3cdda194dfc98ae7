// box_text.h - the steps the value boxes share: the value-dependent recompute, the title measure,
// and the placement of title and value text in their rectangles.
//
// The three boxes differ in small roundings, held in a box_text_style:
//
//                      title x centring            value margins (left/right)   value y centring
//   Basic Box          (W - tw) / 2                5 / 5                        (H - lh) / 2
//   Modern Box         (W - tw + 1) / 2            3 / 2                        (H - lh + 1) / 2
//   Classic Box        (W - tw) / 2                3 / 3                        (H - lh) / 2
//
// where W and H are the rectangle's x2 - x1 and y2 - y1. Divisions truncate toward zero.
#ifndef PITWALL_BOXES_BOX_TEXT_H
#define PITWALL_BOXES_BOX_TEXT_H

#include "box_record.h"
#include "convert.h"
#include "frame.h"
#include "text.h"

#include <cstdint>

namespace boxes {

using font_ref_fn = bool (*)(gr_text_style_t *style, gr_context_t *ctx, gr_resources_t *resources,
                             const char *font_name, int32_t size, uint32_t colour);

struct box_text_style {
    font_ref_fn font_ref;              // with the box's own messages
    int32_t title_offset_base;         // title_offset = base - trunc(title_size * 0.4)
    int32_t title_centring_bias;       // added to W - tw before halving
    kit::text_alignment value_alignment;
    int32_t value_centring_bias;       // added to H - lh before halving
};

using kit::s16;

// Level 0 measures the title; levels 0 and 1 evaluate the state (flag-tested rule) and measure the
// value text. The widget does its own level-0 work before.
void recompute_box(box_head &head, const box_tail &tail);

// The title as measured for one draw; all zero without a title.
struct title_measure {
    gr_text_style_t style;
    int16_t width, height;
    int32_t offset; // text top below the title rectangle's top
};

// Look up the title's font and measure it, when there is a title. False when the font cannot be
// had (logged): the draw then fails before anything is drawn.
bool measure_title(gr_context_t *ctx, const box_head &head, const box_texts &texts, const box_tail &tail,
                   const box_text_style &style, title_measure *out);

// The colour of a triple for the current state.
uint32_t state_colour(const box_head &head, int32_t lower, int32_t normal, int32_t upper);

// Draw the measured title centred in `area` (within the clip in force before the draw).
void draw_title_text(const kit::frame &frame, const box_head &head, const title_measure &title, const gr_rect_t &area,
                     const box_text_style &style);

// Draw the value text aligned and centred vertically in `area`; nothing when the area is upside
// down, lies outside the clip in force before the draw, or the font cannot be had.
void draw_value_text(const kit::frame &frame, const box_head &head, const box_texts &texts, const gr_rect_t &area,
                     const box_text_style &style);

} // namespace boxes

#endif // PITWALL_BOXES_BOX_TEXT_H
