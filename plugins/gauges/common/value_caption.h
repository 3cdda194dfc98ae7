// value_caption.h - the value text in the middle of the modern gauges.
//
// The `text` attribute is a caption with the placeholder "<channel value>" where the number goes:
//
//     "<channel value> km/h", decimals 1, value 42.26   ->  format "%.1f km/h"  ->  "42.3 km/h"
//     "Load <channel value> %", decimals 0, value 87.6  ->  format "Load %.0f %%" ->  "Load 88 %"
//
// Only the first placeholder becomes a number; every '%' of the caption is doubled so that it
// prints as itself. The text is formatted into a fixed 20-byte buffer at most 18 characters long.
#ifndef PITWALL_GAUGES_VALUE_CAPTION_H
#define PITWALL_GAUGES_VALUE_CAPTION_H

#include "frame.h"
#include "gauge_types.h"
#include "gre_host.h"

#include <cstdint>

namespace gauges {

inline constexpr char channel_placeholder[] = "<channel value>";
inline constexpr int32_t value_text_size = 20;  // bytes of the value text buffer
inline constexpr int32_t value_text_limit = 19; // bytes the formatter may write, terminator included
inline constexpr int32_t value_text_max = 18;   // characters kept
inline constexpr uint8_t max_decimals = 9;      // '0' + decimals must stay a digit

// Bytes the format of a caption needs: 1 + length + one per '%', 11 fewer with a placeholder.
int32_t value_format_size(const char *text);

// Write the format of a caption into `out` (value_format_size(text) bytes). Decimals above 9 are
// taken as 9, so the conversion is always a valid "%.Nf".
void write_value_format(const char *text, uint8_t decimals, char *out);

// Rebuild caption.value_format from `text`. False when `text` is unset or the buffer cannot be had
// (logged): the gauge's draw then fails and retries the whole recompute next time.
bool rebuild_value_format(value_caption &caption, const char *text, uint8_t decimals, gr_application_t *app);

// Format `value` into caption.value_text (allocated at the first call). When the buffer cannot be
// had the message is logged and the previous length stays.
void format_value_text(value_caption &caption, float value, gr_application_t *app);

// Free both buffers and zero the length.
void free_value_caption(value_caption &caption);

// How the value text is drawn by one gauge.
struct caption_style {
    const char *display_name;    // in the text-extent failure message
    bool (*font_ref)(gr_text_style_t *style, gr_context_t *ctx, gr_resources_t *resources,
                     const char *font_name, int32_t size, uint32_t colour);
};

// Draw the value text centred vertically in the gauge square shrunk by `inset` on every side,
// aligned by `alignment` (1 left, 2 centre, other right). False when the text cannot be measured
// (logged): the caller fails the frame. The clip stays narrowed until the frame restores it.
bool draw_value_caption(const kit::frame &frame, const caption_style &style, const value_caption &caption,
                        const gr_rect_t &square, uint16_t inset, const char *font, uint8_t font_size,
                        uint8_t alignment, uint32_t colour);

} // namespace gauges

#endif // PITWALL_GAUGES_VALUE_CAPTION_H
