// image_library.h - decoded images shared between handles: a file loaded again at the same
// requested size is not decoded again, and its pixels live until the last handle on them goes.
// Everything it holds decoded stays within its budget: one image at most per_image bytes, all of
// them together at most total bytes.
#ifndef PITWALL_RASTER_IMAGE_LIBRARY_H
#define PITWALL_RASTER_IMAGE_LIBRARY_H

#include "decoded_image.h"
#include "pitwall/raster_context.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pitwall::raster {

class image_library {
public:
    image_library() = default;
    image_library(const image_library &) = delete;
    image_library &operator=(const image_library &) = delete;

    // The pixels of `path` at `size` (width, height; null for the file's own size): shared when
    // a holder already has them, decoded otherwise. Null with the reason in `why` when the file
    // does not load or does not fit the budget. The caller holds the pixels until it calls release.
    decoded_image *acquire(const std::string &path, const int32_t *size, std::string *why);
    // One holder fewer. True when it was the last: the pixels are freed, and anything made from
    // them must go too.
    bool release(const decoded_image *pixels);

    int count() const { return int(entries_.size()); }
    size_t bytes() const { return bytes_; } // the pixel memory of every decoded image held

    // Applies to later loads; what is held already stays.
    void set_budget(size_t per_image, size_t total) {
        per_image_ = per_image;
        total_ = total;
    }

private:
    // Keyed by the request as made: a different path or size string is a different request.
    struct entry {
        std::string path;
        bool sized = false;
        int32_t width = 0, height = 0;
        int holders = 0;
        std::unique_ptr<decoded_image> pixels;
    };
    std::vector<entry> entries_;
    size_t bytes_ = 0;
    size_t per_image_ = raster_context::max_image_bytes;
    size_t total_ = raster_context::max_decoded_image_bytes;
};

} // namespace pitwall::raster

#endif // PITWALL_RASTER_IMAGE_LIBRARY_H
