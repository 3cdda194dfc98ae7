// piece_cache.h - stretched pieces of decoded images, resampled once and then copied.
//
// A nine-patch drawn at the same place and size stretches the same pieces the same way at every
// draw, and resampling (filter kernels built, every target pixel filtered) is most of what drawing
// it costs. So a stretched piece is resampled once into a surface of its own, and later draws copy
// that surface onto the canvas:
//
//     image (decoded)          kept piece: the visible part         canvas
//     +---+-------+---+        of the target, resampled             +----------------------+
//     |   |source |   |  --->  +----------------+          copy     |  target +------------+
//     +---+-------+---+        |                |        ------>    |         |visible part|
//                              +----------------+                   +---------+------------+
//
// Cairo maps canvas pixels to image pixels in 16.16 fixed point and rounds in a way that depends on
// where on the canvas the target lies and on the part of it that is drawn. A piece resampled
// anywhere else could be a unit off here and there from the same piece drawn directly, so a piece
// is kept per placement and visible part, sampled exactly as the direct draw samples it.
//
// The pieces of an image are dropped before its pixels are freed, so that other pixels decoded
// later at the same address never find them. The cache holds at most budget_bytes of pixels and
// max_pieces pieces, letting the least recently used go first.
#ifndef PITWALL_RASTER_PIECE_CACHE_H
#define PITWALL_RASTER_PIECE_CACHE_H

#include "decoded_image.h"
#include "pitwall/raster_context.h"

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace pitwall::raster {

// Everything that decides a stretched piece's pixels.
struct piece_key {
    const decoded_image *pixels = nullptr;
    gr_rect_t source{};                     // in the image, corners inclusive
    int64_t x = 0, y = 0;                   // the target's top-left pixel on the canvas
    int32_t width = 0, height = 0;          // the target's size
    int32_t vx1 = 0, vy1 = 0, vx2 = 0, vy2 = 0; // its visible part on the canvas, corners inclusive
    // How far right and down of (x, y) the target's corner lies, in 1/65536 of a pixel: nonzero
    // only for a whole image drawn upright at an image_set size.
    uint16_t phase_x = 0, phase_y = 0;

    bool operator==(const piece_key &other) const;
};

class piece_cache {
public:
    static constexpr size_t budget_bytes = raster_context::max_cached_piece_bytes;
    static constexpr size_t max_pieces = 4096;
    // A larger piece is not kept (it would push out everything else) but drawn directly.
    static constexpr size_t max_piece_bytes = budget_bytes / 4;

    piece_cache() = default;
    ~piece_cache();
    piece_cache(const piece_cache &) = delete;
    piece_cache &operator=(const piece_cache &) = delete;

    // The piece kept for `key`, or null.
    cairo_surface_t *find(const piece_key &key);
    // Keep `piece` (an image surface, which the cache then owns) for `key`, making room first.
    void add(const piece_key &key, cairo_surface_t *piece);
    // Drop every piece made from `pixels`, before they are freed.
    void forget(const decoded_image *pixels);

    int count() const { return int(pieces_.size()); }
    size_t bytes() const { return bytes_; }

private:
    struct key_hash {
        size_t operator()(const piece_key &k) const;
    };
    struct piece {
        cairo_surface_t *surface;
        size_t bytes;
        uint64_t last_use;
    };

    void make_room(size_t bytes);

    std::unordered_map<piece_key, piece, key_hash> pieces_;
    size_t bytes_ = 0;
    uint64_t clock_ = 0; // counts uses; a piece's last_use orders the evictions
};

} // namespace pitwall::raster

#endif // PITWALL_RASTER_PIECE_CACHE_H
