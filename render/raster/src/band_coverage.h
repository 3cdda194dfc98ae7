// band_coverage.h - bands (closed polygons, filled and outlined in one colour) drawn with
// exact-area anti-aliasing.
#ifndef PITWALL_RASTER_BAND_COVERAGE_H
#define PITWALL_RASTER_BAND_COVERAGE_H

#include "coverage_sweep.h"
#include "pixel_blend.h"
#include "pitwall/raster_context.h"

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitwall::raster {

// What drawing a band reuses from one band to the next, kept by the context: a steady frame of
// bands allocates nothing.
class band_scratch {
public:
    band_scratch() = default;
    ~band_scratch();
    band_scratch(const band_scratch &) = delete;
    band_scratch &operator=(const band_scratch &) = delete;

    // Rows of coverage are painted a block at a time: fewer, larger blends.
    static constexpr int32_t block_rows = 16;

    // An A8 surface block_rows high and at least `width` pixels wide, all zero: the block of
    // coverage the colour is painted through. Null if Cairo cannot make one.
    cairo_surface_t *block_mask(int32_t width);

    // A stretch of coverage in one row of the block, [x1, x2) in canvas pixels.
    struct run {
        int64_t y, x1, x2;
    };

    coverage_sweep sweep;
    std::vector<point> polygon; // the band's points on the canvas, repeats dropped
    std::vector<point> outline; // the outer edge of the outline
    chain_set chains;           // the band drawn now, cut into chains
    std::vector<run> runs;      // the current block's

private:
    cairo_surface_t *mask_ = nullptr;
};

// Fill the band and outline it at the context's line width (half of it outside the polygon,
// round at the corners) as one area, and blend the colour through its coverage once at the
// context's alpha, so that a translucent band is not darker where fill and outline meet.
// The band's points are `count` doubles, x y pairs.
void draw_band(raster_context::state &s, const double *points, size_t count, uint32_t colour);

// The two halves of draw_band, for a band drawn again in several parts of the canvas: its area
// cut into chains once (translated by tx, ty, grown by half the line width when it is outlined),
// then painted inside the clip as often as needed.
void band_chains(band_scratch &b, const double *points, size_t count, double tx, double ty, double line_width,
                 chain_set &out);
void draw_band_chains(raster_context::state &s, const chain_set &chains, uint32_t colour);

// A band's coverage kept whole: an A8 surface of `box` (canvas pixels, inclusive) holding what the
// sweep gives each pixel, the very bytes draw_band_chains paints through. Painting the colour
// through it (paint_through_mask with band_source) gives a band's pixels without sweeping it
// again. Null when it is too large or there is no memory.
cairo_surface_t *band_mask(band_scratch &b, const chain_set &chains, const pixel_box &box);
// The colour at the alpha as the premultiplied canvas bytes a band is painted in.
uint32_t band_source(uint32_t colour, double alpha);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_BAND_COVERAGE_H
