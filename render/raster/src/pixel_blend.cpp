// Premultiplied OVER with pixman's rounding, two channels at a time.
#include "pixel_blend.h"
#include "pixel_arith.h"

#include <algorithm>
#include <cstring>

namespace pitwall::raster {
namespace {

using arith::multiply;
using arith::over;

// One pixel at a time, from `i` on.
void blend_pixels(uint32_t *dst, const uint32_t *src, int64_t i, int64_t n, uint32_t alpha) {
    if (alpha == 255) {
        for (; i < n; ++i) {
            const uint32_t s = src[i];
            if (s >= 0xFF000000u)
                dst[i] = s;
            else if (s != 0)
                dst[i] = over(s, dst[i]);
        }
        return;
    }
    for (; i < n; ++i)
        if (const uint32_t s = multiply(src[i], alpha); s != 0) dst[i] = over(s, dst[i]);
}

#if defined(__SSE2__)

using arith::four_pixels;

void blend_row(uint32_t *dst, const uint32_t *src, int64_t n, uint32_t alpha) {
    const four_pixels blend(alpha);
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        if (alpha == 255 && four_pixels::all_opaque(s)) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), s);
            continue;
        }
        if (alpha != 255) s = blend.faded(s);
        if (four_pixels::all_clear(s)) continue;
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), four_pixels::over(s, d));
    }
    blend_pixels(dst, src, i, n, alpha);
}

#endif

// The colour IN each coverage byte OVER the pixel, one pixel at a time from `i` on.
void paint_pixels(uint32_t *dst, const unsigned char *mask, int64_t i, int64_t n, uint32_t colour) {
    for (; i < n; ++i) {
        const uint32_t m = mask[i];
        if (m == 0) continue;
        if (m == 255 && colour >= 0xFF000000u)
            dst[i] = colour;
        else
            dst[i] = over(m == 255 ? colour : multiply(colour, m), dst[i]);
    }
}

#if defined(__SSE2__)

// Four pixels at a time: the colour widened once, each pixel's coverage spread over its lanes.
void paint_row(uint32_t *dst, const unsigned char *mask, int64_t n, uint32_t colour) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i wide = _mm_unpacklo_epi8(_mm_set1_epi32(int32_t(colour)), zero);
    const __m128i half = _mm_set1_epi16(0x0080), unit = _mm_set1_epi16(0x0101);
    auto times = [&](__m128i cover) {
        return _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(wide, cover), half), unit);
    };
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint32_t four;
        std::memcpy(&four, mask + i, 4);
        if (four == 0) continue;
        __m128i cover = _mm_cvtsi32_si128(int32_t(four));
        cover = _mm_unpacklo_epi8(cover, cover);   // each byte twice
        cover = _mm_unpacklo_epi16(cover, cover);  // each byte four times: one pixel's lanes
        const __m128i s = _mm_packus_epi16(times(_mm_unpacklo_epi8(cover, zero)), times(_mm_unpackhi_epi8(cover, zero)));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), four_pixels::over(s, d));
    }
    paint_pixels(dst, mask, i, n, colour);
}

#else

void blend_row(uint32_t *dst, const uint32_t *src, int64_t n, uint32_t alpha) { blend_pixels(dst, src, 0, n, alpha); }
void paint_row(uint32_t *dst, const unsigned char *mask, int64_t n, uint32_t colour) {
    paint_pixels(dst, mask, 0, n, colour);
}

#endif

} // namespace

void blend_onto(cairo_surface_t *canvas, pixel_box box, cairo_surface_t *source, int64_t dx, int64_t dy, int alpha) {
    if (alpha <= 0) return;
    const int64_t sw = cairo_image_surface_get_width(source), sh = cairo_image_surface_get_height(source);
    box.x1 = std::max({box.x1, int64_t(0), dx});
    box.y1 = std::max({box.y1, int64_t(0), dy});
    box.x2 = std::min({box.x2, int64_t(cairo_image_surface_get_width(canvas)) - 1, dx + sw - 1});
    box.y2 = std::min({box.y2, int64_t(cairo_image_surface_get_height(canvas)) - 1, dy + sh - 1});
    if (box.empty()) return;
    cairo_surface_flush(canvas);
    cairo_surface_flush(source);
    unsigned char *to = cairo_image_surface_get_data(canvas);
    const unsigned char *from = cairo_image_surface_get_data(source);
    if (to == nullptr || from == nullptr) return;
    const int64_t to_stride = cairo_image_surface_get_stride(canvas);
    const int64_t from_stride = cairo_image_surface_get_stride(source);
    for (int64_t y = box.y1; y <= box.y2; ++y) {
        auto *dst = reinterpret_cast<uint32_t *>(to + y * to_stride) + box.x1;
        const auto *src = reinterpret_cast<const uint32_t *>(from + (y - dy) * from_stride) + (box.x1 - dx);
        blend_row(dst, src, box.x2 - box.x1 + 1, uint32_t(std::min(alpha, 255)));
    }
    cairo_surface_mark_dirty_rectangle(canvas, int(box.x1), int(box.y1), int(box.x2 - box.x1 + 1),
                                       int(box.y2 - box.y1 + 1));
}

void paint_through_mask(cairo_surface_t *canvas, pixel_box box, cairo_surface_t *mask, int64_t dx, int64_t dy,
                        uint32_t colour) {
    if (colour == 0) return;
    const int64_t mw = cairo_image_surface_get_width(mask), mh = cairo_image_surface_get_height(mask);
    box.x1 = std::max({box.x1, int64_t(0), dx});
    box.y1 = std::max({box.y1, int64_t(0), dy});
    box.x2 = std::min({box.x2, int64_t(cairo_image_surface_get_width(canvas)) - 1, dx + mw - 1});
    box.y2 = std::min({box.y2, int64_t(cairo_image_surface_get_height(canvas)) - 1, dy + mh - 1});
    if (box.empty()) return;
    cairo_surface_flush(canvas);
    cairo_surface_flush(mask);
    unsigned char *to = cairo_image_surface_get_data(canvas);
    const unsigned char *from = cairo_image_surface_get_data(mask);
    if (to == nullptr || from == nullptr) return;
    const int64_t to_stride = cairo_image_surface_get_stride(canvas);
    const int64_t from_stride = cairo_image_surface_get_stride(mask);
    for (int64_t y = box.y1; y <= box.y2; ++y) {
        auto *dst = reinterpret_cast<uint32_t *>(to + y * to_stride) + box.x1;
        const unsigned char *cover = from + (y - dy) * from_stride + (box.x1 - dx);
        paint_row(dst, cover, box.x2 - box.x1 + 1, colour);
    }
    cairo_surface_mark_dirty_rectangle(canvas, int(box.x1), int(box.y1), int(box.x2 - box.x1 + 1),
                                       int(box.y2 - box.y1 + 1));
}

void paint_through_stepped_mask(cairo_surface_t *canvas, pixel_box box, const unsigned char *first, int64_t step_x,
                                 int64_t step_y, uint32_t colour) {
    if (colour == 0 || box.empty()) return;
    cairo_surface_flush(canvas);
    unsigned char *to = cairo_image_surface_get_data(canvas);
    if (to == nullptr) return;
    const int64_t to_stride = cairo_image_surface_get_stride(canvas);
    // A row's coverage is gathered a chunk at a time, then painted as a straight row is.
    constexpr int64_t chunk = 256;
    unsigned char cover[chunk];
    for (int64_t y = box.y1; y <= box.y2; ++y) {
        const unsigned char *from = first + (y - box.y1) * step_y;
        auto *dst = reinterpret_cast<uint32_t *>(to + y * to_stride) + box.x1;
        for (int64_t done = 0, n = box.x2 - box.x1 + 1; done < n; done += chunk) {
            const int64_t count = std::min(chunk, n - done);
            for (int64_t i = 0; i < count; ++i) cover[i] = from[(done + i) * step_x];
            paint_row(dst + done, cover, count, colour);
        }
    }
    cairo_surface_mark_dirty_rectangle(canvas, int(box.x1), int(box.y1), int(box.x2 - box.x1 + 1),
                                       int(box.y2 - box.y1 + 1));
}

} // namespace pitwall::raster
