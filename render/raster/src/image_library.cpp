// Shared decoded images, counted by their holders.
#include "image_library.h"

#include <algorithm>

namespace pitwall::raster {

decoded_image *image_library::acquire(const std::string &path, const int32_t *size, std::string *why) {
    const bool sized = size != nullptr;
    const int32_t width = sized ? size[0] : 0, height = sized ? size[1] : 0;
    for (entry &e : entries_)
        if (e.sized == sized && e.width == width && e.height == height && e.path == path) {
            e.holders += 1;
            return e.pixels.get();
        }
    std::unique_ptr<decoded_image> decoded = load_image_file(path, size, image_budget{per_image_, total_, bytes_}, why);
    if (decoded == nullptr) return nullptr; // a failure is not kept: the next load tries again
    bytes_ += decoded->bytes;
    entries_.push_back(entry{path, sized, width, height, 1, std::move(decoded)});
    return entries_.back().pixels.get();
}

bool image_library::release(const decoded_image *pixels) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [pixels](const entry &e) { return e.pixels.get() == pixels; });
    if (it == entries_.end()) return false;
    if (--it->holders > 0) return false;
    bytes_ -= it->pixels->bytes;
    entries_.erase(it);
    return true;
}

} // namespace pitwall::raster
