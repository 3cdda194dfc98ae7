// The blends of pixel_blend.h against a pixel-at-a-time model built from pixel_arith.h's one-pixel
// arithmetic. Where the build has SSE2, the blends take four pixels at a time and leave the rest of
// a row to the one-pixel loop, so this holds the two paths to the same bits; elsewhere (ARM) the
// one-pixel loop alone runs and must still be the model. Every source alpha against every channel
// value at a spread of opacities, and every coverage byte against a table of colours.
#include "pixel_arith.h"
#include "pixel_blend.h"

#include <cairo/cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

using raster::arith::multiply;
using raster::arith::over;

// An owned Cairo image surface of `format`, written through its rows.
struct surface {
    cairo_surface_t *s;
    surface(cairo_format_t format, int w, int h) : s(cairo_image_surface_create(format, w, h)) {}
    surface(const surface &) = delete;
    surface &operator=(const surface &) = delete;
    ~surface() { cairo_surface_destroy(s); }
    int width() const { return cairo_image_surface_get_width(s); }
    int height() const { return cairo_image_surface_get_height(s); }
    int stride() const { return cairo_image_surface_get_stride(s); }
    unsigned char *bytes(int y) const { return cairo_image_surface_get_data(s) + size_t(y) * size_t(stride()); }
    uint32_t *row(int y) const { return reinterpret_cast<uint32_t *>(bytes(y)); }
};

uint32_t pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// Destination pixel (x, y): every channel value along a row, different in each channel.
uint32_t destination(int x, int y) {
    return pack(uint32_t(255 - x % 256), uint32_t(x % 256), uint32_t((x * 7 + y) % 256), uint32_t((x ^ y) % 256));
}

void fill_destination(const surface &d) {
    for (int y = 0; y < d.height(); ++y)
        for (int x = 0; x < d.width(); ++x) d.row(y)[x] = destination(x, y);
    cairo_surface_mark_dirty(d.s);
}

// The one-pixel rule of blend_onto: an opaque source at full opacity replaces, a clear one leaves.
uint32_t blended(uint32_t s, uint32_t d, uint32_t alpha) {
    if (alpha == 255) return s >= 0xFF000000u ? s : s == 0 ? d : over(s, d);
    const uint32_t faded = multiply(s, alpha);
    return faded == 0 ? d : over(faded, d);
}

// The one-pixel rule of the masked paints: the colour IN the coverage OVER the pixel.
uint32_t painted(uint32_t colour, uint32_t m, uint32_t d) {
    if (m == 0) return d;
    if (m == 255 && colour >= 0xFF000000u) return colour;
    return over(m == 255 ? colour : multiply(colour, m), d);
}

// The first pixel where `actual` and the model differ, or an empty string.
template <class Model> std::string first_difference(const surface &actual, Model model) {
    cairo_surface_flush(actual.s);
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (const uint32_t want = model(x, y); actual.row(y)[x] != want) {
                char text[96];
                std::snprintf(text, sizeof text, "pixel (%d, %d): %08x, the model %08x", x, y, actual.row(y)[x], want);
                return text;
            }
    return "";
}

TEST(pixel_paths, blend_onto_equals_the_one_pixel_model_for_every_alpha_and_channel) {
    // Source pixel (x, y): alpha y, every channel min(x, y), so that each premultiplied pair occurs;
    // 259 columns leave three pixels after the last group of four.
    const int w = 259, h = 256;
    const surface source(CAIRO_FORMAT_ARGB32, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto c = uint32_t(x < y ? x : y);
            source.row(y)[x] = pack(uint32_t(y), c, c * 3 / 4, c / 2);
        }
    cairo_surface_mark_dirty(source.s);
    struct placement {
        const char *name;
        int64_t dx, dy;
        raster::pixel_box box;
    };
    const placement placements[] = {
        {"whole", 0, 0, {0, 0, w - 1, h - 1}},
        {"moved and clipped to odd edges", 3, -5, {1, 2, w - 3, h - 2}},
    };
    for (const int alpha : {255, 254, 200, 128, 127, 77, 1}) {
        for (const placement &p : placements) {
            SCOPED_TRACE(std::string(p.name) + ", opacity " + std::to_string(alpha));
            const surface canvas(CAIRO_FORMAT_ARGB32, w, h);
            fill_destination(canvas);
            raster::blend_onto(canvas.s, p.box, source.s, p.dx, p.dy, alpha);
            EXPECT_EQ(first_difference(canvas,
                                       [&](int x, int y) {
                                           const int64_t sx = x - p.dx, sy = y - p.dy;
                                           const bool inside = x >= p.box.x1 && x <= p.box.x2 && y >= p.box.y1 &&
                                                               y <= p.box.y2 && sx >= 0 && sx < w && sy >= 0 && sy < h;
                                           return inside ? blended(source.row(int(sy))[sx], destination(x, y), uint32_t(alpha))
                                                         : destination(x, y);
                                       }),
                      "");
        }
    }
}

// Premultiplied colours for the masked paints: opaque, translucent, nearly clear, odd channels.
const uint32_t k_colours[] = {0xFFFFFFFFu, 0xFFE01010u, 0xFF000000u, 0x80804020u, 0x7F7F0000u,
                              0x40102030u, 0x01010101u, 0x01000000u, 0xC0C0C0C0u};

TEST(pixel_paths, masked_paints_equal_the_one_pixel_model_for_every_coverage) {
    // Mask byte (x, y): every coverage value along each row, shifted from row to row, 263 wide.
    const int w = 263, h = 8;
    const surface mask(CAIRO_FORMAT_A8, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) mask.bytes(y)[x] = (unsigned char)((x + y * 37) % 256);
    cairo_surface_mark_dirty(mask.s);
    const auto coverage = [&](int64_t x, int64_t y) { return uint32_t(mask.bytes(int(y))[x]); };
    for (const uint32_t colour : k_colours) {
        char name[16];
        std::snprintf(name, sizeof name, "%08x", colour);
        SCOPED_TRACE(name);
        {
            const surface canvas(CAIRO_FORMAT_ARGB32, w, h);
            fill_destination(canvas);
            raster::paint_through_mask(canvas.s, {0, 0, w - 1, h - 1}, mask.s, 0, 0, colour);
            EXPECT_EQ(first_difference(canvas,
                                       [&](int x, int y) { return painted(colour, coverage(x, y), destination(x, y)); }),
                      "")
                << "through the mask";
        }
        {
            // Read back to front and bottom to top: canvas (i, j) takes mask (w - 1 - i, h - 1 - j).
            const surface canvas(CAIRO_FORMAT_ARGB32, w, h);
            fill_destination(canvas);
            cairo_surface_flush(canvas.s);
            const unsigned char *last = mask.bytes(h - 1) + (w - 1);
            raster::paint_through_stepped_mask(canvas.s, {0, 0, w - 1, h - 1}, last, -1, -mask.stride(), colour);
            EXPECT_EQ(first_difference(canvas,
                                       [&](int x, int y) {
                                           return painted(colour, coverage(w - 1 - x, h - 1 - y), destination(x, y));
                                       }),
                      "")
                << "through the stepped mask";
        }
    }
}

} // namespace
} // namespace pitwall::testing
