// nine_patch.h - stretchable images drawn as nine pieces.
//
//        sx     sx+sw
//   +----+-------+----+   Piece k is row k / 3, column k % 3. Corners keep their pixel size;
//   | 0  |   1   | 2  |   the middle column absorbs the width difference, the middle row the
//   +----+-------+----+ sy height difference:
//   | 3  |   4   | 5  |
//   +----+-------+----+ sy+sh    target middle x2 = source x2 + (w - iw)
//   | 6  |   7   | 8  |          target right   x1 = source x1 + (w - iw), x2 = w - 1
//   +----+-------+----+          (rows likewise with h - ih)
//
// Rectangles are inclusive; targets are relative to the top-left corner of the drawn area.
#ifndef PITWALL_KIT_NINE_PATCH_H
#define PITWALL_KIT_NINE_PATCH_H

#include "gre_host.h"

#include <cstdint>

namespace kit {

struct nine_patch {
    gr_rect_t source[9]; // image pixels
    gr_rect_t target[9]; // relative to the drawn area
};

// The stretch bands of an image (image_info id 0): first stretchable column and row and their
// counts. An image without a stretch description stretches as a whole.
struct stretch_bands {
    int16_t width, height;
    int16_t sx, sw, sy, sh;
};

// Query the image's size and bands; false when the engine cannot report them.
bool read_stretch_bands(gr_context_t *ctx, gr_image_t *image, stretch_bands *out);

// The nine source and target cells for a target of width x height (pure, 16-bit arithmetic).
void nine_patch_cells(const stretch_bands &bands, int16_t width, int16_t height, nine_patch *out);

// Lay the image out for a target size: 0, or -1 when its size cannot be read.
int nine_patch_layout(gr_context_t *ctx, gr_image_t *image, nine_patch *patch, int16_t width,
                      int16_t height);

// The nine part copies at the current origin, from a surface already queried.
void draw_nine_patch_parts(gr_context_t *ctx, gr_surface_t *surface, const nine_patch &patch);

// One surface query, translate to (x, y), nine part copies, untranslate.
void draw_nine_patch(gr_context_t *ctx, gr_image_t *image, const nine_patch *patch, int32_t x, int32_t y);

} // namespace kit

#endif // PITWALL_KIT_NINE_PATCH_H
