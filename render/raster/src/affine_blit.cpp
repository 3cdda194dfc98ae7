// Turned and scaled images, pixel by pixel. For each canvas row, the run of pixels whose sample can
// be other than transparent is walked in 16.16 fixed point through a copy of the image inside a
// transparent border. An unscaled quarter turn on whole pixels needs no resampling: each pixel is
// one texel, read straight from the image.
#include "affine_blit.h"
#include "pixel_arith.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace pitwall::raster {
namespace {

constexpr double fixed_one = 65536.0; // image coordinates are walked in 1/65536 texel
constexpr int weight_shift = 16 - 7;  // the bilinear weights are the top 7 fraction bits
constexpr uint32_t weight_one = 128;
constexpr uint32_t sum_half = 1u << 13; // the two weighted sums scale by 128 * 128

// The image inside a border of two transparent texels, so that a sample reads its four texels
// without a test: a sample whose left (upper) texel lies further out than -2 or past the last
// texel is moved onto the border, where it reads the transparent texels it would have found.
//
//      -2 -1  0        w-1  w  w+1
//     +--+--+------------+--+--+
//     |  :  |   image    |  :  |   texel (x, y) at pixels[(y + 2) * stride + x + 2]
//     +--+--+------------+--+--+
struct bordered_image {
    const uint32_t *pixels = nullptr;
    int64_t stride = 0;
    int width = 0, height = 0; // of the image inside
};
constexpr int border = 2;

// Kept between draws on each thread, unless an image too large for that needed it.
constexpr size_t kept_scratch_texels = size_t(1) << 18;
thread_local std::vector<uint32_t> scratch;

bordered_image with_border(const const_argb_view &img) {
    const int64_t stride = int64_t(img.width) + 2 * border, rows = int64_t(img.height) + 2 * border;
    scratch.resize(size_t(stride * rows));
    uint32_t *to = scratch.data();
    std::memset(to, 0, size_t(border * stride) * 4);
    for (int64_t y = 0; y < img.height; ++y) {
        uint32_t *row = to + (y + border) * stride;
        row[0] = row[1] = 0; // the border's two texels each side
        std::memcpy(row + border, img.pixels + y * img.stride, size_t(img.width) * 4);
        row[border + img.width] = row[border + img.width + 1] = 0;
    }
    std::memset(to + (img.height + border) * stride, 0, size_t(border * stride) * 4);
    return {to, stride, img.width, img.height};
}

// Where a run starts in the image (texel-centre coordinates, 16.16) and how far each pixel steps.
struct walk {
    int64_t u, v, du, dv;
};

struct quad {
    uint32_t tl, tr, bl, br;
};

// Down the columns first, then across: every channel (l * (128 - fx) + r * fx + 8192) >> 14.
uint32_t interpolate(const quad &q, uint32_t fx, uint32_t fy) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t l = (q.tl >> shift & 0xFF) * (weight_one - fy) + (q.bl >> shift & 0xFF) * fy;
        const uint32_t r = (q.tr >> shift & 0xFF) * (weight_one - fy) + (q.br >> shift & 0xFF) * fy;
        out |= ((l * (weight_one - fx) + r * fx + sum_half) >> 14) << shift;
    }
    return out;
}

uint32_t sample(const bordered_image &img, int64_t u, int64_t v) {
    const int64_t x = std::clamp<int64_t>(u >> 16, -border, img.width) + border;
    const int64_t y = std::clamp<int64_t>(v >> 16, -border, img.height) + border;
    const uint32_t *tl = img.pixels + y * img.stride + x;
    const auto fx = uint32_t(u >> weight_shift) & (weight_one - 1), fy = uint32_t(v >> weight_shift) & (weight_one - 1);
    return interpolate({tl[0], tl[1], tl[img.stride], tl[img.stride + 1]}, fx, fy);
}

void blend_one(uint32_t &d, uint32_t s, uint32_t alpha) {
    if (alpha != 255) s = arith::multiply(s, alpha);
    if (s == 0) return;
    d = s >= 0xFF000000u ? s : arith::over(s, d);
}

void blend_run_portable(uint32_t *dst, int64_t n, walk w, const bordered_image &img, uint32_t alpha) {
    for (int64_t i = 0; i < n; ++i, w.u += w.du, w.v += w.dv) blend_one(dst[i], sample(img, w.u, w.v), alpha);
}

// n texels `step` apart from `first`, one per pixel.
void blend_texels_portable(uint32_t *dst, int64_t n, const uint32_t *first, int64_t step, uint32_t alpha) {
    for (int64_t i = 0; i < n; ++i) blend_one(dst[i], first[i * step], alpha);
}

#if defined(__SSE2__)

// Two samples, p and q, with the arithmetic of interpolate(): their texel pairs (tl tr above,
// bl br below) in 16-bit lanes, four channels of p then four of q, weighted down the columns by
// `down` (fy of p in p's lanes, of q in q's); then each left channel paired with its right one
// for a multiply-add across by (128 - fx, fx). The result: p's channels, then q's, in 16 bits.
__m128i interpolate_two(__m128i top_p, __m128i top_q, __m128i bottom_p, __m128i bottom_q, __m128i down,
                        __m128i across_p, __m128i across_q) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i t = _mm_unpacklo_epi32(top_p, top_q);       // tl_p tl_q tr_p tr_q
    const __m128i b = _mm_unpacklo_epi32(bottom_p, bottom_q); // bl_p bl_q br_p br_q
    const __m128i rest = _mm_sub_epi16(_mm_set1_epi16(int16_t(weight_one)), down);
    const __m128i left = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), rest),
                                       _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), down));
    const __m128i right = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), rest),
                                        _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), down));
    const __m128i half = _mm_set1_epi32(int32_t(sum_half));
    const __m128i p = _mm_madd_epi16(_mm_unpacklo_epi16(left, right), across_p);
    const __m128i q = _mm_madd_epi16(_mm_unpackhi_epi16(left, right), across_q);
    return _mm_packs_epi32(_mm_srli_epi32(_mm_add_epi32(p, half), 14), _mm_srli_epi32(_mm_add_epi32(q, half), 14));
}

// Four samples OVER the canvas at `to`, as blend_one() blends each.
void blend_four(uint32_t *to, __m128i s, const arith::four_pixels &blend, uint32_t alpha) {
    if (alpha == 255 && arith::four_pixels::all_opaque(s)) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to), s);
        return;
    }
    if (alpha != 255) s = blend.faded(s);
    if (arith::four_pixels::all_clear(s)) return;
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(to));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to), arith::four_pixels::over(s, d));
}

// Whether the vector loop's 32-bit coordinate lanes and 16-bit texel positions hold this walk.
bool fits_lanes(const bordered_image &img, const walk &w) {
    constexpr int64_t max_step = int64_t(1) << 26;
    return img.width <= 16384 && img.height <= 16384 && w.du >= -max_step && w.du <= max_step &&
           w.dv >= -max_step && w.dv <= max_step;
}

// Four pixels at a time, their coordinates in 32-bit lanes, their texel positions in 16-bit ones.
// The last group of a run may hold fewer: it is blended on a copy of its pixels.
void blend_run_sse2(uint32_t *dst, int64_t n, walk w, const bordered_image &img, uint32_t alpha) {
    if (!fits_lanes(img, w)) {
        blend_run_portable(dst, n, w, img, alpha);
        return;
    }
    const arith::four_pixels blend(alpha);
    const auto du = int32_t(w.du), dv = int32_t(w.dv);
    // Within the run the coordinates stay within a few texels of the image; past its end they
    // may wrap, which moves those samples onto the border like any other.
    __m128i u = _mm_add_epi32(_mm_set1_epi32(int32_t(w.u)), _mm_setr_epi32(0, du, 2 * du, 3 * du));
    __m128i v = _mm_add_epi32(_mm_set1_epi32(int32_t(w.v)), _mm_setr_epi32(0, dv, 2 * dv, 3 * dv));
    const __m128i step_u = _mm_set1_epi32(4 * du), step_v = _mm_set1_epi32(4 * dv);
    const __m128i weight_mask = _mm_set1_epi32(int32_t(weight_one - 1)), one = _mm_set1_epi32(int32_t(weight_one));
    const __m128i lowest = _mm_set1_epi16(-border), to_border = _mm_set1_epi16(border);
    const __m128i last_x = _mm_set1_epi16(int16_t(img.width)), last_y = _mm_set1_epi16(int16_t(img.height));
    const __m128i row_step = _mm_set1_epi32(int32_t(img.stride) | 1 << 16); // y * stride + x
    const int64_t below = img.stride;
    auto pair = [](const uint32_t *texels) { return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(texels)); };
    for (int64_t i = 0; i < n; i += 4, u = _mm_add_epi32(u, step_u), v = _mm_add_epi32(v, step_v)) {
        const __m128i whole_u = _mm_srai_epi32(u, 16), whole_v = _mm_srai_epi32(v, 16);
        __m128i x = _mm_packs_epi32(whole_u, whole_u), y = _mm_packs_epi32(whole_v, whole_v);
        x = _mm_add_epi16(_mm_min_epi16(_mm_max_epi16(x, lowest), last_x), to_border);
        y = _mm_add_epi16(_mm_min_epi16(_mm_max_epi16(y, lowest), last_y), to_border);
        alignas(16) int32_t offset[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(offset), _mm_madd_epi16(_mm_unpacklo_epi16(y, x), row_step));
        const uint32_t *t0 = img.pixels + offset[0], *t1 = img.pixels + offset[1];
        const uint32_t *t2 = img.pixels + offset[2], *t3 = img.pixels + offset[3];
        // fy of pixel k in lane k, then in the four lanes of each pixel's channels.
        __m128i down = _mm_and_si128(_mm_srli_epi32(v, weight_shift), weight_mask);
        down = _mm_packs_epi32(down, down);
        down = _mm_unpacklo_epi16(down, down); // fy0 fy0 fy1 fy1 fy2 fy2 fy3 fy3
        // (128 - fx, fx) of pixel k in lane k, then in every lane.
        const __m128i fx = _mm_and_si128(_mm_srli_epi32(u, weight_shift), weight_mask);
        const __m128i across = _mm_or_si128(_mm_sub_epi32(one, fx), _mm_slli_epi32(fx, 16));
        const __m128i s = _mm_packus_epi16(
            interpolate_two(pair(t0), pair(t1), pair(t0 + below), pair(t1 + below), _mm_unpacklo_epi32(down, down),
                            _mm_shuffle_epi32(across, 0x00), _mm_shuffle_epi32(across, 0x55)),
            interpolate_two(pair(t2), pair(t3), pair(t2 + below), pair(t3 + below), _mm_unpackhi_epi32(down, down),
                            _mm_shuffle_epi32(across, 0xAA), _mm_shuffle_epi32(across, 0xFF)));
        if (n - i >= 4) {
            blend_four(dst + i, s, blend, alpha);
            continue;
        }
        uint32_t last[4] = {};
        std::copy(dst + i, dst + n, last);
        blend_four(last, s, blend, alpha);
        std::copy(last, last + (n - i), dst + i);
    }
}

// Texels four at a time; half a turn reads four backwards in one load.
void blend_texels_sse2(uint32_t *dst, int64_t n, const uint32_t *first, int64_t step, uint32_t alpha) {
    const arith::four_pixels blend(alpha);
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const uint32_t *at = first + i * step;
        const __m128i s = step == -1
                              ? _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at - 3)), 0x1B)
                              : _mm_setr_epi32(int32_t(at[0]), int32_t(at[step]), int32_t(at[2 * step]),
                                               int32_t(at[3 * step]));
        blend_four(dst + i, s, blend, alpha);
    }
    if (i < n) blend_texels_portable(dst + i, n - i, first + i * step, step, alpha);
}

#endif

// v rounded to the nearest integer, halves up; |v| well inside int64_t.
int64_t round_half_up(double v) {
    const double t = v + 0.5;
    const auto i = int64_t(t);
    return i - (double(i) > t);
}

// The largest whole number at most v, or lo or hi when v lies outside them (NaN: lo).
int64_t floor_within(double v, int64_t lo, int64_t hi) {
    if (!(v > double(lo))) return lo;
    if (!(v < double(hi))) return hi;
    const auto i = int64_t(v);
    return i - (double(i) > v);
}

// Narrow the pixels from..to of a row to those X with lo < c + a X < hi; `per` is 1 / a.
void narrow(double c, double a, double per, double lo, double hi, int64_t &from, int64_t &to) {
    if (a == 0) {
        if (!(lo < c && c < hi)) to = from - 1;
        return;
    }
    double x1 = (lo - c) * per, x2 = (hi - c) * per;
    if (a < 0) std::swap(x1, x2);
    const int64_t first = floor_within(x1, from - 1, to + 1) + 1;
    const int64_t last = -floor_within(-x2, -to - 1, -from + 1) - 1; // ceil(x2) - 1
    from = std::max(from, first);
    to = std::min(to, last);
}

// `box` narrowed to the canvas and the clip.
canvas_box within(canvas_box box, const canvas_box &clip, const argb_view &canvas) {
    box.x1 = std::max({box.x1, clip.x1, int64_t(0)});
    box.y1 = std::max({box.y1, clip.y1, int64_t(0)});
    box.x2 = std::min({box.x2, clip.x2, int64_t(canvas.width) - 1});
    box.y2 = std::min({box.y2, clip.y2, int64_t(canvas.height) - 1});
    return box;
}

bool is_unit(double v) { return v == 0 || v == 1 || v == -1; }

// An unscaled quarter turn (or mirror, or none) moved by whole pixels puts a texel centre on
// every pixel centre, where the bilinear sample is that texel alone: each row of the canvas reads
// a row or a column of the image, forwards or backwards. The inverse of such a map is its
// transpose, and the image covers whole pixels.
canvas_box draw_quarter_turn(argb_view canvas, const canvas_box &clip, const_argb_view image, const affine_map &m,
                             uint32_t alpha, blit_loop loop) {
    const auto w = int64_t(image.width), h = int64_t(image.height);
    const auto x0 = int64_t(m.x0), y0 = int64_t(m.y0);
    const auto xx = int64_t(m.xx), xy = int64_t(m.xy), yx = int64_t(m.yx), yy = int64_t(m.yy);
    // Texel (tx, ty) of canvas pixel (X, Y): tx = xx (X - x0) + yx (Y - y0) + (xx + yx - 1) / 2,
    // the last term placing a reversed axis's texel one back.
    const int64_t kx = (xx + yx - 1) / 2, ky = (xy + yy - 1) / 2;
    const int64_t ex = xx * w + xy * h, ey = yx * w + yy * h; // the far corner, from (x0, y0)
    const canvas_box box = within({std::min(x0, x0 + ex), std::min(y0, y0 + ey), std::max(x0, x0 + ex) - 1,
                                   std::max(y0, y0 + ey) - 1},
                                  clip, canvas);
    if (box.empty()) return {};
    const int64_t step = xx + xy * image.stride;
    for (int64_t y = box.y1; y <= box.y2; ++y) {
        const int64_t tx = xx * (box.x1 - x0) + yx * (y - y0) + kx, ty = xy * (box.x1 - x0) + yy * (y - y0) + ky;
        const uint32_t *first = image.pixels + ty * image.stride + tx;
        uint32_t *row = canvas.pixels + y * canvas.stride + box.x1;
#if defined(__SSE2__)
        if (loop == blit_loop::sse2) {
            blend_texels_sse2(row, box.x2 - box.x1 + 1, first, step, alpha);
            continue;
        }
#endif
        blend_texels_portable(row, box.x2 - box.x1 + 1, first, step, alpha);
    }
    (void)loop;
    return box;
}

} // namespace

canvas_box draw_mapped(argb_view canvas, canvas_box clip, const_argb_view image, const affine_map &m, int alpha,
                       blit_loop loop) {
    if (alpha <= 0 || canvas.pixels == nullptr || image.pixels == nullptr || image.width < 1 || image.height < 1)
        return {};
    const auto alpha8 = uint32_t(std::min(alpha, 255));
    const double det = m.xx * m.yy - m.xy * m.yx;
    if (!std::isfinite(det) || det == 0 || !std::isfinite(m.x0) || !std::isfinite(m.y0)) return {};
    constexpr double far_off = 1e12; // beyond this nothing reaches a canvas
    if (is_unit(m.xx) && is_unit(m.xy) && is_unit(m.yx) && is_unit(m.yy) && std::fabs(det) == 1 &&
        std::fabs(m.x0) < far_off && std::fabs(m.y0) < far_off && m.x0 == std::floor(m.x0) &&
        m.y0 == std::floor(m.y0))
        return draw_quarter_turn(canvas, clip, image, m, alpha8, loop);

    // The inverse, from canvas to image: u = a (X - x0) + b (Y - y0), v = c (X - x0) + d (Y - y0).
    const double a = m.yy / det, b = -m.xy / det, c = -m.yx / det, d = m.xx / det;
    // Beyond this one pixel steps past any image a canvas can hold, and the fixed point would
    // lose its range.
    constexpr double max_step = double(1 << 24);
    if (!(std::fabs(a) < max_step && std::fabs(b) < max_step && std::fabs(c) < max_step && std::fabs(d) < max_step))
        return {};

    // The canvas box of the image grown by a texel all round, where its fading outline ends.
    const double w = image.width, h = image.height;
    double left = HUGE_VAL, top = HUGE_VAL, right = -HUGE_VAL, bottom = -HUGE_VAL;
    const double corners[4][2] = {{-1, -1}, {w + 1, -1}, {-1, h + 1}, {w + 1, h + 1}};
    for (const auto &[u, v] : corners) {
        const double x = m.xx * u + m.xy * v + m.x0, y = m.yx * u + m.yy * v + m.y0;
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
    const canvas_box box =
        within({floor_within(left, -1, canvas.width), floor_within(top, -1, canvas.height),
                -floor_within(-right, -canvas.width, 1), -floor_within(-bottom, -canvas.height, 1)},
               clip, canvas);
    if (box.empty()) return {};

    bordered_image source;
    try {
        source = with_border(image);
    } catch (const std::bad_alloc &) {
        return {};
    }
    const walk step{0, 0, round_half_up(a * fixed_one), round_half_up(c * fixed_one)};
    // Each fixed-point step is up to half a unit off: what a run can drift by, so that no pixel
    // with a visible sample is left out of it. (Pixels let in by the margin sample transparent.)
    const double drift = double(box.x2 - box.x1 + 2) / fixed_one;
    const double per_a = a != 0 ? 1 / a : 0, per_c = c != 0 ? 1 / c : 0;
    canvas_box touched{};
    for (int64_t y = box.y1; y <= box.y2; ++y) {
        // Texel-centre coordinates of pixel X of this row: u0 + a X, v0 + c X.
        const double dy = double(y) + 0.5 - m.y0;
        const double u0 = a * (0.5 - m.x0) + b * dy - 0.5, v0 = c * (0.5 - m.x0) + d * dy - 0.5;
        int64_t x1 = box.x1, x2 = box.x2;
        narrow(u0, a, per_a, -1 - drift, w + drift, x1, x2);
        narrow(v0, c, per_c, -1 - drift, h + drift, x1, x2);
        if (x2 < x1) continue;
        walk run = step;
        run.u = round_half_up(std::clamp(u0 + a * double(x1), -2 - w, w + 2) * fixed_one);
        run.v = round_half_up(std::clamp(v0 + c * double(x1), -2 - h, h + 2) * fixed_one);
        uint32_t *row = canvas.pixels + y * canvas.stride + x1;
#if defined(__SSE2__)
        if (loop == blit_loop::sse2)
            blend_run_sse2(row, x2 - x1 + 1, run, source, alpha8);
        else
#endif
            blend_run_portable(row, x2 - x1 + 1, run, source, alpha8);
        if (touched.empty()) touched = {x1, y, x2, y};
        touched.x1 = std::min(touched.x1, x1);
        touched.x2 = std::max(touched.x2, x2);
        touched.y2 = y;
    }
    (void)loop;
    if (scratch.capacity() > kept_scratch_texels) std::vector<uint32_t>().swap(scratch);
    return touched;
}

} // namespace pitwall::raster
