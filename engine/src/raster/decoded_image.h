// decoded_image.h - an image file decoded into a Cairo surface, as the raster context keeps it.
#ifndef PITWALL_RASTER_DECODED_IMAGE_H
#define PITWALL_RASTER_DECODED_IMAGE_H

#include "gre_host.h"

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

namespace pitwall::raster {

// The decoded pixels of one file at one requested size: premultiplied, with the nine-patch border
// already removed. Every handle loaded from the same file and size shares them.
struct decoded_image {
    cairo_surface_t *surface = nullptr;
    int width = 0;
    int height = 0;
    bool nine_patch = false;
    // The stretch description image_info hands out: the bands as int16 at GR_STRETCH_*_OFFSET.
    alignas(8) unsigned char stretch[GR_STRETCH_SIZE] = {};

    decoded_image() = default;
    ~decoded_image();
    decoded_image(const decoded_image &) = delete;
    decoded_image &operator=(const decoded_image &) = delete;
};

// Load a PNG (a nine-patch when the name ends in ".9.png"), optionally scaled once to
// width x height. Null for a missing, unreadable or non-PNG file or a size below 1 pixel, with
// the reason alone in `why` (the caller names the file).
std::unique_ptr<decoded_image> load_image_file(const std::string &path, const int32_t *size, std::string *why);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_DECODED_IMAGE_H
