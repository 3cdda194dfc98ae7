// glyph_coverage.h - single glyphs' coverage, rendered by Cairo once per font, glyph and fraction of
// a pixel, so that a line's coverage (text_stamp.h) is put together from copies.
//
// Cairo places a glyph's image at whole pixels from where the glyph lies, so a glyph's coverage
// depends only on the fractions of a pixel past the whole pixels of its position; rendered once at
// those fractions, it can be copied to any whole-pixel place.
#ifndef PITWALL_RASTER_GLYPH_COVERAGE_H
#define PITWALL_RASTER_GLYPH_COVERAGE_H

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitwall::raster {

// A glyph's coverage: `width` x `height` bytes, row by row, whose top-left lies (dx, dy) pixels from
// the whole pixel the glyph's position falls in.
struct glyph_image {
    std::vector<uint8_t> cover;
    int width = 0, height = 0;
    int64_t dx = 0, dy = 0;
};

class glyph_coverage {
public:
    glyph_coverage() = default;
    ~glyph_coverage();
    glyph_coverage(const glyph_coverage &) = delete;
    glyph_coverage &operator=(const glyph_coverage &) = delete;

    // Glyphs kept: more than the characters of a dashboard's fonts and sizes; the oldest go first.
    static constexpr size_t capacity = 1024;

    // Glyph `index` of `font` at a position whose fractions past whole pixels are fx and fy (0 to
    // 1); null when Cairo cannot render it. An empty image is a glyph without ink (a space).
    const glyph_image *get(cairo_scaled_font_t *font, unsigned long index, double fx, double fy);

private:
    struct entry {
        cairo_scaled_font_t *font; // kept by the font cache, which outlives this one
        unsigned long index;
        double fx, fy;
        glyph_image image;
    };
    bool render(cairo_scaled_font_t *font, unsigned long index, double fx, double fy, glyph_image &out);

    std::vector<entry> entries_;
    size_t next_ = 0; // the entry replaced next once full
    cairo_surface_t *scratch_ = nullptr;
    cairo_t *cr_ = nullptr;
};

} // namespace pitwall::raster

#endif // PITWALL_RASTER_GLYPH_COVERAGE_H
