// A line's coverage, glyph by glyph, kept only where the glyphs lie apart.
#include "text_stamp.h"

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
    const size_t bytes = size_t(cairo_image_surface_get_stride(coverage.get())) * size_t(height);
    for (size_t i = 0; i < count; ++i) {
        cairo_surface_flush(glyph.get());
        unsigned char *one = cairo_image_surface_get_data(glyph.get());
        std::memset(one, 0, bytes);
        cairo_surface_mark_dirty(glyph.get());
        cairo_t *cr = cairo_create(glyph.get());
        cairo_set_scaled_font(cr, layout.font);
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
        // Where the draw puts it (x, ascent + y from the line's top-left), less the box's corner:
        // whole pixels apart, so the glyph lands on the same pixels relative to the line.
        cairo_glyph_t placed = layout.glyphs[i];
        placed.y += ascent;
        placed.x -= left;
        placed.y -= top;
        cairo_show_glyphs(cr, &placed, 1);
        const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(cr);
        if (!drawn) return false;
        cairo_surface_flush(glyph.get());
        for (size_t p = 0; p < bytes; ++p) {
            if (one[p] == 0) continue;
            if (all[p] != 0) return false; // two glyphs meet: Cairo's order of blending matters
            all[p] = one[p];
        }
    }
    cairo_surface_mark_dirty(coverage.get());
    layout.stamp = std::move(coverage);
    layout.stamp_x = int(left);
    layout.stamp_y = int(top);
    return true;
}

} // namespace pitwall::raster
