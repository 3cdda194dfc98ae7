// affine_blit.h - an image drawn through an affine map (turned, scaled, or moved by a fraction of a
// pixel), straight onto the canvas's pixels: Cairo's general compositing path costs thousands of
// instructions per pixel for a turned image, this a few dozen.
//
// Every canvas pixel the image can reach is mapped back into the image and sampled bilinearly:
//
//     canvas                           image (texel i covers u = i .. i + 1)
//     +---------------------+          +----+----+----+
//     |    pixel (X, Y) .   |  map^-1  | tl | tr |    |   (u, v) = map^-1 (X + 0.5, Y + 0.5);
//     |         /\          |  ----->  +----*----+----+   tl is the texel whose centre is the last
//     |        /  \         |          | bl | br |    |   at or before (u - 0.5, v - 0.5)
//     +---------------------+          +----+----+----+
//
// The weights are the fractions in 1/128ths; texels outside the image are transparent, so that
// the image's outline fades out over one texel as Cairo's bilinear filter with EXTEND_NONE does.
// The sample is taken at the opacity and blended OVER the canvas, premultiplied.
//
// The inner loop has two versions, SSE2 and portable, giving the same bits; the build uses SSE2
// where the compiler targets it. The header needs nothing from Cairo, so that tests can reach it.
#ifndef PITWALL_RASTER_AFFINE_BLIT_H
#define PITWALL_RASTER_AFFINE_BLIT_H

#include <cstdint>

namespace pitwall::raster {

// Premultiplied 0xAARRGGBB pixels, rows `stride` pixels apart.
struct argb_view {
    uint32_t *pixels = nullptr;
    int64_t stride = 0;
    int width = 0, height = 0;
};
struct const_argb_view {
    const uint32_t *pixels = nullptr;
    int64_t stride = 0;
    int width = 0, height = 0;
};

// Image point (u, v) to canvas point (xx * u + xy * v + x0, yx * u + yy * v + y0), as
// cairo_matrix_t orders it.
struct affine_map {
    double xx = 1, yx = 0, xy = 0, yy = 1, x0 = 0, y0 = 0;
};

// Canvas pixels x1..x2, y1..y2, corners inclusive.
struct canvas_box {
    int64_t x1 = 0, y1 = 0, x2 = -1, y2 = -1;
    bool empty() const { return x2 < x1 || y2 < y1; }
};

enum class blit_loop { portable, sse2 };

#if defined(__SSE2__)
inline constexpr blit_loop native_blit_loop = blit_loop::sse2;
#else
inline constexpr blit_loop native_blit_loop = blit_loop::portable;
#endif

// Draw `image` onto `canvas` through `map` at opacity alpha / 255 (0 to 255), touching only
// pixels inside `clip` and the canvas. Returns the box of canvas pixels that may have changed
// (empty when none). A map that cannot be inverted, or one far off the canvas, draws nothing;
// asked for `sse2` where the build has no SSE2, the portable loop is used.
canvas_box draw_mapped(argb_view canvas, canvas_box clip, const_argb_view image, const affine_map &map,
                       int alpha, blit_loop loop = native_blit_loop);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_AFFINE_BLIT_H
