// text_layouts.h - the glyph runs of texts recently drawn or measured.
//
// A dashboard shows the same few texts frame after frame (titles, units, a value that changes a
// few times a second), and turning a text into glyphs and measuring it costs more than drawing
// it. So the run of each text in each font is kept, placed on the baseline y = 0, with its
// advance; a small round-robin table is enough for a screen's texts and bounds the memory.
#ifndef PITWALL_RASTER_TEXT_LAYOUTS_H
#define PITWALL_RASTER_TEXT_LAYOUTS_H

#include <cairo.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pitwall::raster {

struct surface_release {
    void operator()(cairo_surface_t *surface) const { cairo_surface_destroy(surface); }
};

struct text_layout {
    cairo_scaled_font_t *font = nullptr; // owned by the font cache, which outlives the table
    std::string text;                    // UTF-8
    std::vector<cairo_glyph_t> glyphs;   // on the baseline y = 0, from x = 0
    int width = 0;                       // the advance, rounded, at most 32767
    // The line's coverage (see text_stamp.h), made at its first upright draw when it can be.
    std::unique_ptr<cairo_surface_t, surface_release> stamp;
    int stamp_x = 0, stamp_y = 0; // its top-left from the line's top-left
    bool stamp_tried = false;
    // The glyphs' ink about the baseline's start (left, top, right, bottom, whole pixels), once known.
    double ink[4] = {0, 0, 0, 0};
    bool ink_known = false;
};

class text_layouts {
public:
    static constexpr size_t capacity = 128;
    // Texts longer than this are laid out every time: kept, they would hold much memory for little.
    static constexpr size_t max_text = 256;

    text_layout *find(cairo_scaled_font_t *font, std::string_view text);
    // Keep a layout, replacing the oldest one when the table is full; returns the kept copy.
    text_layout *keep(text_layout &&layout);

private:
    std::vector<text_layout> entries_;
    size_t next_ = 0; // the entry replaced next once the table is full
};

} // namespace pitwall::raster

#endif // PITWALL_RASTER_TEXT_LAYOUTS_H
