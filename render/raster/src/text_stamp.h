// text_stamp.h - an upright line of text drawn through its kept coverage instead of by Cairo.
//
// Cairo composites a line glyph by glyph: each glyph's 8-bit coverage, placed at whole pixels, takes
// the colour OVER the canvas. When no two glyphs of a line cover the same pixel, doing that once
// through the line's whole coverage gives the very same pixels, and the coverage can be kept with
// the line's glyph run: later draws of the line skip Cairo's per-glyph lookups and set-up, most of
// what a short value text costs.
#ifndef PITWALL_RASTER_TEXT_STAMP_H
#define PITWALL_RASTER_TEXT_STAMP_H

#include "glyph_coverage.h"
#include "text_layouts.h"

#include <cstdint>

namespace pitwall::raster {

// Lines of more glyphs are left to Cairo: the coverage is made glyph by glyph over the whole line.
constexpr size_t max_stamp_glyphs = 64;

// Make the layout's coverage for a line whose baseline lies `ascent` below its top, from the
// glyphs' kept coverage; false (and no stamp) when glyphs share pixels, the line is too long or
// memory runs out.
bool make_stamp(text_layout &layout, double ascent, glyph_coverage &glyphs);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_TEXT_STAMP_H
