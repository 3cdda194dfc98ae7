// Resampled pieces, kept by image, source rectangle, placement and visible part.
#include "piece_cache.h"

#include <functional>

namespace pitwall::raster {
namespace {

size_t mix(size_t h, uint64_t v) { return (h ^ std::hash<uint64_t>{}(v)) * 0x100000001B3ull; }

uint64_t pack(int32_t a, int32_t b) { return uint64_t(uint32_t(a)) | uint64_t(uint32_t(b)) << 32; }

} // namespace

bool piece_key::operator==(const piece_key &o) const {
    return pixels == o.pixels && source.x1 == o.source.x1 && source.y1 == o.source.y1 && source.x2 == o.source.x2 &&
           source.y2 == o.source.y2 && x == o.x && y == o.y && width == o.width && height == o.height &&
           vx1 == o.vx1 && vy1 == o.vy1 && vx2 == o.vx2 && vy2 == o.vy2 && phase_x == o.phase_x &&
           phase_y == o.phase_y;
}

size_t piece_cache::key_hash::operator()(const piece_key &k) const {
    size_t h = std::hash<const void *>{}(k.pixels);
    h = mix(h, pack(k.source.x1, k.source.y1) ^ pack(k.source.x2, k.source.y2) << 16);
    h = mix(h, uint64_t(k.x) * 31 + uint64_t(k.y));
    h = mix(h, pack(k.width, k.height));
    h = mix(h, pack(k.vx1, k.vy1));
    h = mix(h, pack(k.vx2, k.vy2));
    return mix(h, uint64_t(k.phase_x) << 16 | k.phase_y);
}

piece_cache::~piece_cache() {
    for (auto &entry : pieces_) cairo_surface_destroy(entry.second.surface);
}

cairo_surface_t *piece_cache::find(const piece_key &key) {
    auto it = pieces_.find(key);
    if (it == pieces_.end()) return nullptr;
    it->second.last_use = ++clock_;
    return it->second.surface;
}

void piece_cache::add(const piece_key &key, cairo_surface_t *surface) {
    const size_t bytes =
        size_t(cairo_image_surface_get_stride(surface)) * size_t(cairo_image_surface_get_height(surface));
    make_room(bytes);
    if (!pieces_.emplace(key, piece{surface, bytes, ++clock_}).second) {
        cairo_surface_destroy(surface); // one is kept already: the caller did not look first
        return;
    }
    bytes_ += bytes;
}

void piece_cache::make_room(size_t bytes) {
    while (!pieces_.empty() && (bytes_ + bytes > budget_bytes || pieces_.size() >= max_pieces)) {
        auto oldest = pieces_.begin();
        for (auto it = pieces_.begin(); it != pieces_.end(); ++it)
            if (it->second.last_use < oldest->second.last_use) oldest = it;
        bytes_ -= oldest->second.bytes;
        cairo_surface_destroy(oldest->second.surface);
        pieces_.erase(oldest);
    }
}

void piece_cache::forget(const decoded_image *pixels) {
    for (auto it = pieces_.begin(); it != pieces_.end();) {
        if (it->first.pixels != pixels) {
            ++it;
            continue;
        }
        bytes_ -= it->second.bytes;
        cairo_surface_destroy(it->second.surface);
        it = pieces_.erase(it);
    }
}

} // namespace pitwall::raster
