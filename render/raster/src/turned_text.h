// turned_text.h - text turned by an exact quarter turn: drawn unturned into a coverage mask and
// placed by whole pixels, so that it is exactly as crisp as text that is not turned.
#ifndef PITWALL_RASTER_TURNED_TEXT_H
#define PITWALL_RASTER_TURNED_TEXT_H

#include "raster_state.h"
#include "text_layouts.h"

#include <cairo.h>

#include <cstdint>

namespace pitwall::raster {

// One line of text laid out unturned: glyphs placed from x 0 with the top of the line at y 0
// (the baseline one ascent lower).
struct text_line {
    cairo_scaled_font_t *font = nullptr;
    const cairo_glyph_t *glyphs = nullptr;
    int count = 0;
    int64_t width = 0;  // the advance text_extent reports
    int64_t height = 0; // the line height font_metrics reports
};

// Every rendering of a line, turned or not, goes through here, so that both see the same glyph
// images from the same hinted font.
inline void show_line(cairo_t *cr, const text_line &line) {
    cairo_set_scaled_font(cr, line.font);
    cairo_show_glyphs(cr, const_cast<cairo_glyph_t *>(line.glyphs), line.count);
}

// The quarter turns (1 to 3) of a clockwise angle in degrees taken modulo 360, 0 for an angle
// that is a whole turn, and -1 for one that is not a whole number of quarter turns.
int quarter_turns(double degrees);

// Draws the line at (x, y), relative to the current translation, turned by 1, 2 or 3 quarter
// turns, in `colour` at the context's alpha and inside its clip.
void draw_turned_line(raster_context::state &s, int32_t x, int32_t y, const text_line &line, int quarters,
                      uint32_t colour);

// The same for an opaque colour through the line's kept coverage (see text_stamp.h), turned pixel
// for pixel: the very pixels draw_turned_line gives, without a mask made at every draw. False when
// the line has no kept coverage, and nothing is drawn.
bool draw_turned_stamp(raster_context::state &s, int32_t x, int32_t y, text_layout &run, double ascent,
                       int64_t line_height, int quarters, uint32_t colour);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_TURNED_TEXT_H
