// band_coverage.h - bands (closed polygons, filled and outlined in one colour) drawn with
// exact-area anti-aliasing.
#ifndef PITWALL_RASTER_BAND_COVERAGE_H
#define PITWALL_RASTER_BAND_COVERAGE_H

#include "raster_state.h"

#include <cstdint>

namespace pitwall::raster {

// Fill (and outline, at a line width above 0) the band into an A8 mask, then blend the colour
// through it once at the context's alpha, so a translucent band is not darker at its edge.
void draw_band(raster_context::state &s, cairo_t *cr, const path &p, uint32_t colour);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_BAND_COVERAGE_H
