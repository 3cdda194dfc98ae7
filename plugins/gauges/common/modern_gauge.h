// modern_gauge.h - what the two modern gauges share: the head of their records, the value update,
// the ring drawing and the needle.
//
// The large and the small gauge differ in their geometry (design size, band width, needle
// artwork) and in what they draw besides (ticks and a white edge on the large one, an opaque cover
// over the ring outside the scale on the small one); the rest is here.
#ifndef PITWALL_GAUGES_MODERN_GAUGE_H
#define PITWALL_GAUGES_MODERN_GAUGE_H

#include "gauge_types.h"
#include "gre_host.h"

#include <cstdint>

namespace gauges {

// The first fields of both modern records, in the engine's order.
struct modern_head {
    float value;
    value_caption caption;
    int32_t threshold_state;
    int32_t level; // recompute level
    float lower_threshold, upper_threshold;
    int16_t cached_width, cached_height, gauge_size;
    float gauge_scale;
    gr_image_t *needle;
    needle_geometry needle_at;
};

// A new widget size: cache it, take its smaller side as gauge_size and gauge_scale =
// (gauge_size - base) / divisor (1 at the design size), and ask for a full recompute. Returns the
// gauge size as a float for the needle's geometry, which each gauge places itself.
float lay_out_head(modern_head &head, int32_t width, int32_t height, float base, float divisor);

// The threshold state of the value (stored thresholds) and its text; the head is then up to date.
void update_modern_value(gr_context_t *ctx, modern_head &head, float lower_hyst, float upper_hyst);

// The ring around a gauge square's centre.
struct ring {
    float cx, cy;     // canvas pixels
    float diameter;   // outer
    float band;       // radial width of the value band
};
ring ring_of(const modern_head &head, const gr_rect_t &square, float diameter, float band);

// The end of the dark remainder: a whole turn from the start, in the scale's direction.
float full_turn_from(float angle_start, float angle_span);

// The dark translucent remainder from the needle round to the start (alpha 160), then the value arc
// in `colour` from the start to the needle (alpha 255). The alpha stays set.
void draw_value_arc(gr_context_t *ctx, const ring &r, float needle_angle, float angle_start, float angle_span,
                    uint32_t colour);

// A faint shadow ring (alpha 38) from the inner edge of the value band out to `diameter`; then the
// alpha is restored.
void draw_shadow(gr_context_t *ctx, const ring &r, float diameter);

// Load the needle if none is held and draw it turned to the needle angle. False when it cannot be
// loaded (retried at the next draw). A gauge too small for a needle draws none.
bool draw_modern_needle(gr_context_t *ctx, modern_head &head, const gr_rect_t &square, float needle_angle,
                        const char *dir, const char *file);

} // namespace gauges

#endif // PITWALL_GAUGES_MODERN_GAUGE_H
