// nine_patch_file.h - the one-pixel border of a ".9.png" file and the stretch bands it marks.
//
//      0 1 2 3 4 5 6 7        column 0 / row 0 hold the marks, never content;
//   0  . . . # # . . .        '#' on the top edge: stretchable columns (here sx 2, sw 2
//   1  . c c c c c c .        in content pixels, one less than the file column);
//   2  # c c c c c c .        '#' on the left edge: stretchable rows;
//   3  . c c c c c c .        the right and bottom edges (padding marks) are ignored.
//   4  . . . . . . . .
//
// A mark is an opaque pure-black pixel. Where an edge carries several runs the band spans from
// the first mark to the last; an edge without marks makes that whole axis stretchable.
#ifndef PITWALL_RASTER_NINE_PATCH_FILE_H
#define PITWALL_RASTER_NINE_PATCH_FILE_H

#include <cstddef>
#include <cstdint>

#include <string>

namespace pitwall::raster {

struct stretch_bands {
    int sx = 0, sw = 0; // first stretchable content column and their count
    int sy = 0, sh = 0; // first stretchable content row and their count
};

// True when the file name ends in ".9.png".
bool is_nine_patch_name(const std::string &path);

// The bands marked on the border of a bordered image of width x height pixels (0xAARRGGBB words,
// straight or premultiplied alike: a mark is opaque), row y at (char *)rows + y * stride_bytes.
// False when the image is too small to carry a border around at least one content pixel (3 x 3).
bool read_stretch_bands(const uint32_t *rows, size_t stride_bytes, int width, int height, stretch_bands *bands);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_NINE_PATCH_FILE_H
