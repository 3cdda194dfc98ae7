// decoded_image.h - an image file decoded into a Cairo surface, as the raster context keeps it.
#ifndef PITWALL_RASTER_DECODED_IMAGE_H
#define PITWALL_RASTER_DECODED_IMAGE_H

#include "gre_host.h"

#include <cairo.h>

#include <cstddef>
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
    size_t bytes = 0; // the pixel memory behind the surface (a nine-patch's border included)
    // The stretch description image_info hands out: the bands as int16 at GR_STRETCH_*_OFFSET.
    alignas(8) unsigned char stretch[GR_STRETCH_SIZE] = {};

    decoded_image() = default;
    ~decoded_image();
    decoded_image(const decoded_image &) = delete;
    decoded_image &operator=(const decoded_image &) = delete;
};

// How much decoded pixel memory a load may add: one image at most per_image bytes, and what is
// already held plus the new image at most total bytes.
struct image_budget {
    size_t per_image = 0;
    size_t total = 0;
    size_t held = 0;
};

// Load a PNG (a nine-patch when the name ends in ".9.png"), optionally scaled once to
// width x height. The sizes are checked against the budget from the file's header, before any
// pixel memory is allocated; the pixels are decoded straight into the surface's own memory.
// Null for a missing, unreadable or non-PNG file, a size below 1 pixel or a size the budget
// refuses, with the reason alone in `why` (the caller names the file).
std::unique_ptr<decoded_image> load_image_file(const std::string &path, const int32_t *size,
                                               const image_budget &budget, std::string *why);

// "256 MiB", "48 KiB" or "40000 bytes": an amount of memory as a budget message gives it.
std::string memory_amount(size_t bytes);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_DECODED_IMAGE_H
