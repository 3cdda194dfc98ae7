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

bool make_stamp(text_layout &layout, double ascent) {
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
    surface_ptr coverage = coverage_surface(width, height), glyph = coverage_surface(width, height);
    if (!coverage || !glyph) return false;
    cairo_surface_flush(coverage.get());
    unsigned char *all = cairo_image_surface_get_data(coverage.get());
    const int64_t stride = cairo_image_surface_get_stride(coverage.get());
    for (size_t i = 0; i < count; ++i) {
        // Where the draw puts it (x, ascent + y from the line's top-left), less the box's corner:
        // whole pixels apart, so the glyph lands on the same pixels relative to the line.
        cairo_glyph_t placed = layout.glyphs[i];
        placed.y += ascent;
        placed.x -= left;
        placed.y -= top;
        // Only the glyph's own box (its ink, two pixels about it for hinting and rounding) is
        // cleared, drawn into and merged: a line's stamp costs its glyphs' areas, not their count
        // times the line's.
        cairo_text_extents_t own{};
        cairo_scaled_font_glyph_extents(layout.font, &placed, 1, &own);
        if (own.width <= 0 || own.height <= 0) continue; // no ink (a space)
        if (!std::isfinite(own.x_bearing) || !std::isfinite(own.y_bearing) || !std::isfinite(own.width) ||
            !std::isfinite(own.height))
            return false;
        const int64_t gx1 = std::max<int64_t>(0, int64_t(std::floor(placed.x + own.x_bearing)) - 2);
        const int64_t gy1 = std::max<int64_t>(0, int64_t(std::floor(placed.y + own.y_bearing)) - 2);
        const int64_t gx2 = std::min<int64_t>(width, int64_t(std::ceil(placed.x + own.x_bearing + own.width)) + 2);
        const int64_t gy2 = std::min<int64_t>(height, int64_t(std::ceil(placed.y + own.y_bearing + own.height)) + 2);
        if (gx2 <= gx1 || gy2 <= gy1) continue;
        cairo_surface_flush(glyph.get());
        unsigned char *one = cairo_image_surface_get_data(glyph.get());
        for (int64_t y = gy1; y < gy2; ++y) std::memset(one + y * stride + gx1, 0, size_t(gx2 - gx1));
        cairo_surface_mark_dirty(glyph.get());
        cairo_t *cr = cairo_create(glyph.get());
        cairo_rectangle(cr, double(gx1), double(gy1), double(gx2 - gx1), double(gy2 - gy1));
        cairo_clip(cr);
        cairo_set_scaled_font(cr, layout.font);
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
        cairo_show_glyphs(cr, &placed, 1);
        const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(cr);
        if (!drawn) return false;
        cairo_surface_flush(glyph.get());
        for (int64_t y = gy1; y < gy2; ++y)
            for (int64_t x = gx1; x < gx2; ++x) {
                const unsigned char c = one[y * stride + x];
                if (c == 0) continue;
                unsigned char &to = all[y * stride + x];
                if (to != 0) return false; // two glyphs meet: Cairo's order of blending matters
                to = c;
            }
    }
    cairo_surface_mark_dirty(coverage.get());
    layout.stamp = std::move(coverage);
    layout.stamp_x = int(left);
    layout.stamp_y = int(top);
    return true;
}

} // namespace pitwall::raster
