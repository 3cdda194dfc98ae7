// pixel_arith.h - premultiplied OVER and opacity on 0xAARRGGBB pixels, rounded as pixman rounds,
// so that pixels blended here equal Cairo's: a product of two 8-bit values is (t + (t >> 8)) >> 8
// with t = a * b + 128, and sums saturate at 255. One pixel at a time in two lanes of a word, and
// (with SSE2) four pixels at a time in 16-bit lanes; both give the same bits.
#ifndef PITWALL_RASTER_PIXEL_ARITH_H
#define PITWALL_RASTER_PIXEL_ARITH_H

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pitwall::raster::arith {

inline constexpr uint32_t rb_mask = 0x00FF00FFu;     // red and blue (or alpha and green, shifted down)
inline constexpr uint32_t rb_half = 0x00800080u;     // 128 in each
inline constexpr uint32_t rb_overflow = 0x10000100u; // one past 255 in each

// Each channel times a / 255, rounded.
inline uint32_t multiply(uint32_t x, uint32_t a) {
    uint32_t rb = (x & rb_mask) * a + rb_half;
    rb = ((rb + ((rb >> 8) & rb_mask)) >> 8) & rb_mask;
    uint32_t ag = ((x >> 8) & rb_mask) * a + rb_half;
    ag = (ag + ((ag >> 8) & rb_mask)) & ~rb_mask;
    return rb | ag;
}

// Each channel summed, at most 255.
inline uint32_t add_saturated(uint32_t x, uint32_t y) {
    uint32_t rb = (x & rb_mask) + (y & rb_mask);
    rb = (rb | (rb_overflow - ((rb >> 8) & rb_mask))) & rb_mask;
    uint32_t ag = ((x >> 8) & rb_mask) + ((y >> 8) & rb_mask);
    ag = (ag | (rb_overflow - ((ag >> 8) & rb_mask))) & rb_mask;
    return rb | ag << 8;
}

// s OVER d.
inline uint32_t over(uint32_t s, uint32_t d) { return add_saturated(multiply(d, 255 - (s >> 24)), s); }

#if defined(__SSE2__)

// Four pixels at a time with the same arithmetic: the channels of two pixels widened to eight
// 16-bit lanes, where (t * 257) >> 16 equals (t + (t >> 8)) >> 8 for every product t + 128.
class four_pixels {
public:
    explicit four_pixels(uint32_t alpha) : alpha_(_mm_set1_epi16(int16_t(alpha))) {}

    static bool all_opaque(__m128i s) {
        const __m128i alpha_bits = _mm_set1_epi32(int32_t(0xFF000000u));
        return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alpha_bits), alpha_bits)) == 0xFFFF;
    }
    static bool all_clear(__m128i s) { return _mm_movemask_epi8(_mm_cmpeq_epi32(s, _mm_setzero_si128())) == 0xFFFF; }

    // The source at the opacity.
    __m128i faded(__m128i s) const {
        const __m128i zero = _mm_setzero_si128();
        return _mm_packus_epi16(multiply(_mm_unpacklo_epi8(s, zero), alpha_),
                                multiply(_mm_unpackhi_epi8(s, zero), alpha_));
    }

    // s OVER d.
    static __m128i over(__m128i s, __m128i d) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i clear = _mm_xor_si128(s, _mm_set1_epi32(-1)); // 255 - alpha in each alpha byte
        const __m128i lo = multiply(_mm_unpacklo_epi8(d, zero), spread_alpha(_mm_unpacklo_epi8(clear, zero)));
        const __m128i hi = multiply(_mm_unpackhi_epi8(d, zero), spread_alpha(_mm_unpackhi_epi8(clear, zero)));
        return _mm_adds_epu8(_mm_packus_epi16(lo, hi), s);
    }

private:
    static __m128i multiply(__m128i x, __m128i a) {
        const __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, a), _mm_set1_epi16(0x0080));
        return _mm_mulhi_epu16(t, _mm_set1_epi16(0x0101));
    }
    // Each pixel's alpha lane into all four of its lanes.
    static __m128i spread_alpha(__m128i x) {
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    }

    __m128i alpha_;
};

#endif

} // namespace pitwall::raster::arith

#endif // PITWALL_RASTER_PIXEL_ARITH_H
