// pixel_blend.h - an image surface blended onto the canvas pixel for pixel (no scaling, whole
// pixel offsets), computing exactly what Cairo's OVER at an opacity computes, to the rounding.
//
// Drawing through Cairo costs a source image and its clean-up record on the heap at every paint,
// and more setup than a small nine-patch piece has pixels; the image parts a frame draws are almost
// all such copies. Cairo composites premultiplied ARGB with pixman, which rounds a product of two
// 8-bit values as (t + (t >> 8)) >> 8 with t = a * b + 128 and saturates sums; the same arithmetic
// here gives identical pixels.
#ifndef PITWALL_RASTER_PIXEL_BLEND_H
#define PITWALL_RASTER_PIXEL_BLEND_H

#include <cairo/cairo.h> // the full path: the tests reach this header without Cairo's include flags

#include <cstdint>

namespace pitwall::raster {

// A box of canvas pixels, corners inclusive.
struct pixel_box {
    int64_t x1, y1, x2, y2;
    bool empty() const { return x2 < x1 || y2 < y1; }
};

// The pixels in both boxes.
inline pixel_box meet(const pixel_box &a, const pixel_box &b) {
    return {a.x1 > b.x1 ? a.x1 : b.x1, a.y1 > b.y1 ? a.y1 : b.y1, a.x2 < b.x2 ? a.x2 : b.x2, a.y2 < b.y2 ? a.y2 : b.y2};
}

// Blend `source` onto `canvas` inside `box`: canvas pixel (x, y) takes source pixel (x - dx, y - dy)
// over it at opacity alpha / 255 (0 to 255). Only pixels inside both surfaces are touched; both
// are premultiplied ARGB32 image surfaces.
void blend_onto(cairo_surface_t *canvas, pixel_box box, cairo_surface_t *source, int64_t dx, int64_t dy, int alpha);

// Paint the premultiplied `colour` through the A8 coverage `mask` onto `canvas` inside `box`:
// canvas pixel (x, y) takes colour IN mask (x - dx, y - dy) OVER it, as pixman composites a solid
// source through a glyph's mask.
void paint_through_mask(cairo_surface_t *canvas, pixel_box box, cairo_surface_t *mask, int64_t dx, int64_t dy,
                        uint32_t colour);

// The same with the mask read along a turned grid: canvas pixel (box.x1 + i, box.y1 + j) takes the
// coverage byte at first + i * step_x + j * step_y (steps in bytes, either sign). The caller keeps
// box inside the canvas and every byte read inside the mask.
void paint_through_stepped_mask(cairo_surface_t *canvas, pixel_box box, const unsigned char *first, int64_t step_x,
                                 int64_t step_y, uint32_t colour);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_PIXEL_BLEND_H
