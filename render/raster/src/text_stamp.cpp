// A line's coverage, glyph by glyph, kept only where the glyphs lie apart.
#include "text_stamp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pitwall::raster {
namespace {

using surface_ptr = std::unique_ptr<cairo_surface_t, surface_release>;

surface_ptr coverage_surface(int width, int height) {
    surface_ptr s(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    return s;
}

} // namespace

bool make_stamp(text_layout &layout, double ascent, glyph_coverage &glyphs) {
    layout.stamp_tried = true;
    layout.stamp.reset();
    const size_t count = layout.glyphs.size();
    if (count == 0 || count > max_stamp_glyphs) return false;
    cairo_text_extents_t ink{};
    cairo_scaled_font_glyph_extents(layout.font, layout.glyphs.data(), int(count), &ink);
    if (!std::isfinite(ink.x_bearing) || !std::isfinite(ink.y_bearing) || !std::isfinite(ink.width) ||
        !std::isfinite(ink.height) || !std::isfinite(ascent))
        return false;
    // The ink box with a margin for the rounding of glyph positions.
    const double left = std::floor(ink.x_bearing) - 2, top = std::floor(ascent + ink.y_bearing) - 2;
    const double right = std::ceil(ink.x_bearing + ink.width) + 2, bottom = std::ceil(ascent + ink.y_bearing + ink.height) + 2;
    if (!(right - left <= 4096 && bottom - top <= 4096)) return false;
    const int width = int(right - left), height = int(bottom - top);
    surface_ptr coverage = coverage_surface(width, height);
    if (!coverage) return false;
    cairo_surface_flush(coverage.get());
    unsigned char *all = cairo_image_surface_get_data(coverage.get());
    const int64_t stride = cairo_image_surface_get_stride(coverage.get());
    for (size_t i = 0; i < count; ++i) {
        // Where the draw puts it (x, ascent + y from the line's top-left), less the box's corner:
        // whole pixels apart, so the glyph lands on the same pixels relative to the line.
        const double x = layout.glyphs[i].x - left, y = layout.glyphs[i].y + ascent - top;
        const double wx = std::floor(x), wy = std::floor(y);
        const glyph_image *g = glyphs.get(layout.font, layout.glyphs[i].index, x - wx, y - wy);
        if (g == nullptr) return false;
        for (int r = 0; r < g->height; ++r) {
            const int64_t row = int64_t(wy) + g->dy + r;
            for (int c = 0; c < g->width; ++c) {
                const uint8_t cover = g->cover[size_t(r) * size_t(g->width) + size_t(c)];
                if (cover == 0) continue;
                const int64_t column = int64_t(wx) + g->dx + c;
                if (row < 0 || row >= height || column < 0 || column >= width) return false; // outside the box
                unsigned char &to = all[row * stride + column];
                if (to != 0) return false; // two glyphs meet: Cairo's order of blending matters
                to = cover;
            }
        }
    }
    cairo_surface_mark_dirty(coverage.get());
    layout.stamp = std::move(coverage);
    layout.stamp_x = int(left);
    layout.stamp_y = int(top);
    return true;
}

} // namespace pitwall::raster
