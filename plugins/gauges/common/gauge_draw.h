// gauge_draw.h - drawing steps the round gauges share: the tick scale and the needle.
#ifndef PITWALL_GAUGES_GAUGE_DRAW_H
#define PITWALL_GAUGES_GAUGE_DRAW_H

#include "gauge_types.h"
#include "gre_host.h"

#include <cstdint>

namespace gauges {

using font_ref_fn = bool (*)(gr_text_style_t *style, gr_context_t *ctx, gr_resources_t *resources,
                             const char *font_name, int32_t size, uint32_t colour);

// How one gauge draws its scale.
struct scale_style {
    float label_inset;           // labels sit on the circle of radius c - label_inset
    bool labels;                 // false for tick_mode 1: marks only
    const char *font;            // tick label font, null or empty for the default
    int32_t colours[3];          // tick colour (0xRRGGBB) per zone
    font_ref_fn font_ref;        // with the gauge's own messages
};

// Marks (two-pixel lines, zone by zone) and labels (size 16, centred on their tick, bottom on the
// label circle), relative to the gauge square's top-left corner (left, top); c is half its size.
void draw_scale(gr_context_t *ctx, const gauge_ticks &t, uint8_t subsections, int16_t left, int16_t top,
                float c, const scale_style &style);

// A needle can be drawn only at a positive size: very small gauges draw without one rather than
// ask the host for an empty image.
inline bool needle_drawable(const needle_geometry &n) { return n.width > 0 && n.height > 0; }

// Load a needle image at its final size: "<base_dir>/<dir><file>". Null when it cannot be had.
gr_image_t *load_needle(gr_context_t *ctx, const char *dir, const char *file, const needle_geometry &n);

// Draw the needle turned by `degrees` (clockwise) about its pivot, the image placed at the
// needle's position in the gauge square whose top-left corner is (left, top).
void draw_needle(gr_context_t *ctx, gr_image_t *image, int16_t left, int16_t top, const needle_geometry &n,
                 float degrees);

} // namespace gauges

#endif // PITWALL_GAUGES_GAUGE_DRAW_H
