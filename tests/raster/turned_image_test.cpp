// Images drawn through an affine map (affine_blit.h) against Cairo drawing the same map with a
// bilinear filter and EXTEND_NONE; the SSE2 and portable loops against each other; quarter turns
// against texels placed by hand; nothing written outside the clip. Then through the raster
// context: a turned image against Cairo's translate, rotate about the pivot and scale, and an
// image at an image_set size resampled once and kept.
#include "affine_blit.h"
#include "image_compare.h"
#include "raster_fixture.h"

#include <cairo/cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

using raster::affine_map;
using raster::blit_loop;
using raster::canvas_box;

// An owned premultiplied ARGB32 Cairo surface, filled by `fill(x, y)`.
struct surface {
    cairo_surface_t *s;
    template <class F> surface(int w, int h, F fill) : s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) row(y)[x] = fill(x, y);
        cairo_surface_mark_dirty(s);
    }
    surface(const surface &) = delete;
    surface &operator=(const surface &) = delete;
    ~surface() { cairo_surface_destroy(s); }

    int width() const { return cairo_image_surface_get_width(s); }
    int height() const { return cairo_image_surface_get_height(s); }
    int64_t stride() const { return cairo_image_surface_get_stride(s) / 4; }
    uint32_t *row(int y) const {
        return reinterpret_cast<uint32_t *>(cairo_image_surface_get_data(s) + size_t(y) * size_t(stride()) * 4);
    }
    raster::argb_view view() const { return {row(0), stride(), width(), height()}; }
    raster::const_argb_view source() const { return {row(0), stride(), width(), height()}; }
};

// A needle-like image: an opaque core, a soft edge of partial alphas, transparent corners and a
// few odd channels, premultiplied; the same every run.
uint32_t needle_texel(int x, int y, int w, int h) {
    const double across = std::fabs(y + 0.5 - h / 2.0) / (h / 2.0), along = (x + 0.5) / w;
    const double a = std::clamp(1.5 - 1.6 * across - 0.3 * along, 0.0, 1.0);
    const auto alpha = uint32_t(std::lround(a * 255));
    const uint32_t r = alpha, g = alpha * uint32_t(x * 37 % 256) / 255, b = alpha * uint32_t((x + y) % 5 * 60) / 255;
    return alpha << 24 | r << 16 | g << 8 | b;
}

// An opaque background with detail, so that blending shows.
uint32_t background(int x, int y) { return 0xFF000000u | uint32_t(x * 5 % 256) << 16 | uint32_t(y * 3 % 256) << 8 | 0x40u; }

// Image to canvas: Cairo's own translate (x + px, y + py), rotate, translate (-px, -py), scale.
// The sine of a quarter turn comes out as 1e-16, not 0; it is put to 0, as the raster context
// does, so that quarter turns on whole pixels are tried as the exact copies they are.
affine_map placement(double degrees, double sx, double sy, double x, double y, double px, double py) {
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, x + px, y + py);
    cairo_matrix_rotate(&m, degrees * std::numbers::pi / 180.0);
    cairo_matrix_translate(&m, -px, -py);
    cairo_matrix_scale(&m, sx, sy);
    for (double *v : {&m.xx, &m.yx, &m.xy, &m.yy})
        if (std::fabs(*v) < 1e-12) *v = 0;
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

struct picture_difference {
    int max_channel = 0;
    int differing = 0; // pixels with a channel off by more than one
};

picture_difference compare(const surface &a, const surface &b) {
    picture_difference d;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            int most = 0;
            for (int shift = 0; shift < 32; shift += 8)
                most = std::max(most, std::abs(int(a.row(y)[x] >> shift & 0xFF) - int(b.row(y)[x] >> shift & 0xFF)));
            d.max_channel = std::max(d.max_channel, most);
            d.differing += most > 1;
        }
    return d;
}

struct turn_case {
    const char *name;
    double degrees, sx, sy, x, y, px, py;
    bool clipped; // to the canvas box 20..69 x 15..59
    int alpha;
};

const turn_case turn_cases[] = {
    {"upright, between pixels", 0, 1, 1, 30.25, 20.5, 0, 0, false, 255},
    {"a degree", 1, 1, 1, 20, 30, 5, 3, false, 255},
    {"an eighth, about the middle", 45, 1, 1, 30, 30, 17.5, 4, false, 255},
    {"a quarter on whole pixels", 90, 1, 1, 40, 10, 0, 0, false, 255},
    {"a quarter between pixels", 90, 1, 1, 40.5, 10.25, 0, 0, false, 200},
    {"137.5 about a far pivot", 137.5, 1, 1, 70, 20, -20, 4, false, 255},
    {"a half about a half-pixel pivot", 180, 1, 1, 20, 30, 17.5, 4.5, false, 255},
    {"-30, faded", -30, 1, 1, 25, 45, 0, 4, false, 128},
    {"45, shrunk", 45, 0.6, 0.6, 35, 30, 17.5, 4, false, 255},
    {"137.5, stretched unevenly", 137.5, 1.7, 1.3, 50, 30, 10, 4, false, 255},
    {"1, clipped", 1, 1.4, 1.4, 10, 30, 0, 0, true, 255},
    {"-30, clipped across", -30, 1, 1, 10, 40, 35, 4, true, 255},
};

// Cairo's bilinear filter and ours both weigh texels in 1/128ths but round the sums and the
// opacity differently: a unit apart is common, two on a handful of pixels. A misplaced or
// misweighted sample would differ by tens (a texel of the needle against the next).
constexpr int k_channel_tolerance = 2;
constexpr int k_differing_allowed = 8; // pixels two units apart, of 6750

TEST(turned_image, matches_cairo_bilinear_with_transparent_edges) {
    const int cw = 90, ch = 75, iw = 35, ih = 9;
    const surface image(iw, ih, [&](int x, int y) { return needle_texel(x, y, iw, ih); });
    for (const turn_case &c : turn_cases) {
        SCOPED_TRACE(c.name);
        const affine_map map = placement(c.degrees, c.sx, c.sy, c.x, c.y, c.px, c.py);
        const canvas_box clip = c.clipped ? canvas_box{20, 15, 69, 59} : canvas_box{0, 0, cw - 1, ch - 1};

        const surface expected(cw, ch, background);
        cairo_t *cr = cairo_create(expected.s);
        cairo_rectangle(cr, double(clip.x1), double(clip.y1), double(clip.x2 - clip.x1 + 1), double(clip.y2 - clip.y1 + 1));
        cairo_clip(cr);
        const cairo_matrix_t m{map.xx, map.yx, map.xy, map.yy, map.x0, map.y0};
        cairo_set_matrix(cr, &m);
        cairo_set_source_surface(cr, image.s, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_NONE);
        cairo_paint_with_alpha(cr, c.alpha / 255.0);
        cairo_destroy(cr);
        cairo_surface_flush(expected.s);

        const surface actual(cw, ch, background);
        raster::draw_mapped(actual.view(), clip, image.source(), map, c.alpha);
        const picture_difference d = compare(actual, expected);
        EXPECT_LE(d.max_channel, k_channel_tolerance);
        EXPECT_LE(d.differing, k_differing_allowed);
        const surface untouched(cw, ch, background);
        EXPECT_GT(compare(actual, untouched).differing, 40) << "the image was drawn";
    }
}

TEST(turned_image, sse2_and_portable_loops_give_the_same_pixels) {
    if (raster::native_blit_loop != blit_loop::sse2) GTEST_SKIP() << "built without SSE2: the portable loop alone";
    const int cw = 90, ch = 75;
    // Widths that leave every count of pixels after the last group of four.
    for (const int iw : {35, 6, 1}) {
        const int ih = iw == 1 ? 3 : 9;
        const surface image(iw, ih, [&](int x, int y) { return needle_texel(x, y, iw, ih); });
        for (const turn_case &c : turn_cases) {
            SCOPED_TRACE(std::string(c.name) + ", width " + std::to_string(iw));
            const affine_map map = placement(c.degrees, c.sx, c.sy, c.x, c.y, c.px, c.py);
            const canvas_box clip = c.clipped ? canvas_box{20, 15, 69, 59} : canvas_box{0, 0, cw - 1, ch - 1};
            const surface sse2(cw, ch, background), portable(cw, ch, background);
            const canvas_box a = raster::draw_mapped(sse2.view(), clip, image.source(), map, c.alpha, blit_loop::sse2);
            const canvas_box b =
                raster::draw_mapped(portable.view(), clip, image.source(), map, c.alpha, blit_loop::portable);
            EXPECT_EQ(compare(sse2, portable).max_channel, 0);
            EXPECT_TRUE(a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2);
        }
    }
}

// Texel (u, v) of a 3 x 2 image at (10, 20), turned: where each lands, worked out on paper.
TEST(turned_image, quarter_turns_on_whole_pixels_copy_each_texel_once) {
    const surface image(3, 2, [](int x, int y) { return 0xFF000000u | uint32_t(y * 3 + x + 1); });
    struct landing {
        const char *name;
        affine_map map;
        int x_of[2][3], y_of[2][3]; // canvas pixel of texel (u, v), as [v][u]
        int columns;                // that the image covers
    };
    // A quarter turn clockwise about the corner (10, 20) sends (u, v) to (10 - v - 1, 20 + u); a
    // half turn to (10 - u - 1, 20 - v - 1); a quarter back to (10 + v, 20 - u - 1).
    const landing turns[] = {
        {"quarter", {0, 1, -1, 0, 10, 20}, {{9, 9, 9}, {8, 8, 8}}, {{20, 21, 22}, {20, 21, 22}}, 2},
        {"half", {-1, 0, 0, -1, 10, 20}, {{9, 8, 7}, {9, 8, 7}}, {{19, 19, 19}, {18, 18, 18}}, 3},
        {"quarter back", {0, -1, 1, 0, 10, 20}, {{10, 10, 10}, {11, 11, 11}}, {{19, 18, 17}, {19, 18, 17}}, 2},
    };
    for (const blit_loop loop : {blit_loop::portable, raster::native_blit_loop})
        for (const landing &t : turns) {
            SCOPED_TRACE(t.name);
            const surface canvas(24, 28, [](int, int) { return 0xFF000000u; });
            const canvas_box touched = raster::draw_mapped(canvas.view(), {0, 0, 23, 27}, image.source(), t.map, 255, loop);
            int drawn = 0;
            for (int y = 0; y < 28; ++y)
                for (int x = 0; x < 24; ++x) drawn += canvas.row(y)[x] != 0xFF000000u;
            EXPECT_EQ(drawn, 6);
            for (int v = 0; v < 2; ++v)
                for (int u = 0; u < 3; ++u)
                    EXPECT_EQ(canvas.row(t.y_of[v][u])[t.x_of[v][u]], 0xFF000000u | uint32_t(v * 3 + u + 1))
                        << "texel " << u << ", " << v;
            EXPECT_EQ(touched.x2 - touched.x1 + 1, t.columns);
        }
}

// A large image turned over a canvas whose rows are longer than its width (a clip inside it, and
// spare pixels past each row's end): only the clip's pixels change, for both loops.
TEST(turned_image, writes_nothing_outside_the_clip) {
    const uint32_t sentinel = 0xFF123456u;
    const surface image(60, 50, [](int x, int y) { return needle_texel(x, y, 60, 50); });
    for (const blit_loop loop : {blit_loop::portable, raster::native_blit_loop}) {
        const surface wide(40, 30, [&](int, int) { return sentinel; });
        const raster::argb_view narrower{wide.row(0), wide.stride(), 31, 30}; // columns 31..39 are past the end
        const canvas_box clip{5, 4, 25, 20};
        const canvas_box touched =
            raster::draw_mapped(narrower, clip, image.source(), placement(33, 1.2, 1.2, -10, -15, 30, 25), 255, loop);
        EXPECT_TRUE(touched.x1 >= 5 && touched.y1 >= 4 && touched.x2 <= 25 && touched.y2 <= 20);
        int inside_changed = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = x >= 5 && x <= 25 && y >= 4 && y <= 20;
                if (inside)
                    inside_changed += wide.row(y)[x] != sentinel;
                else
                    EXPECT_EQ(wide.row(y)[x], sentinel) << x << ", " << y;
            }
        EXPECT_GT(inside_changed, 200);
    }
}

// Through the raster context: an image file drawn with the rotation attribute, against Cairo
// drawing the same file (loaded by Cairo) with the transformation the context documents.
class turned_on_canvas : public raster_test {
protected:
    std::string dir = scratch_dir();

    // The needle image written as a PNG (straight alpha, as files hold it).
    std::string write_needle(int w, int h) {
        argb_image img(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t p = needle_texel(x, y, w, h), a = p >> 24;
                auto straight = [a](uint32_t c) { return a == 0 ? 0u : (c * 255 + a / 2) / a; };
                img.at(x, y) = a << 24 | straight(p >> 16 & 0xFF) << 16 | straight(p >> 8 & 0xFF) << 8 | straight(p & 0xFF);
            }
        const std::string path = dir + "/needle.png";
        std::string why;
        EXPECT_TRUE(write_png(path, img, &why)) << why;
        return path;
    }
};

TEST_F(turned_on_canvas, a_turned_image_lands_where_cairo_puts_it) {
    struct placed {
        const char *name;
        float degrees, x, y, pivot_x, pivot_y;
        int16_t width, height; // image_set size, or 0
        int32_t dx, dy;        // translation
        int alpha;
    };
    const placed cases[] = {
        {"about a far pivot", 214.667f, 40.0f, 33.625f, 10.0f, -14.375f, 0, 0, 0, 0, 255},
        {"about its centre", 19.4f, 20.0f, 30.0f, -1.0f, -1.0f, 0, 0, 0, 0, 255},
        {"translated and faded", 291.0f, 12.0f, 9.155f, -3.5f, 6.25f, 0, 0, 15, 20, 160},
        {"at an image_set size", 137.5f, 30.0f, 30.0f, 20.0f, 6.0f, 40, 12, 0, 0, 255},
    };
    const std::string path = write_needle(35, 9);
    for (const placed &c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t back = 0xFF203040u;
        make_canvas(90, 75, back);
        gr_image_t *image = ops->load_image(ctx, path.c_str(), GR_LOAD_IMAGE_FLAGS, nullptr, 0);
        ASSERT_NE(image, nullptr);
        const int dw = c.width != 0 ? c.width : 35, dh = c.height != 0 ? c.height : 9;
        if (c.width != 0) {
            const int16_t wh[2] = {c.width, c.height};
            ops->image_set(ctx, image, GR_IMAGE_SET_SIZE, wh, 4);
        }
        ops->translate(ctx, c.dx, c.dy);
        const int32_t alpha = c.alpha;
        ops->set_attr(ctx, GR_ATTR_ALPHA, &alpha, 4);
        ops->set_attr(ctx, GR_ATTR_ROTATION, &c.degrees, 4);
        ops->draw_image(ctx, image, c.x, c.y, dw, dh, c.pivot_x, c.pivot_y);
        ops->restore_attr(ctx, GR_ATTR_ROTATION);
        ops->restore_attr(ctx, GR_ATTR_ALPHA);
        ops->untranslate(ctx, c.dx, c.dy);
        const argb_image actual = canvas->snapshot();

        cairo_surface_t *file = cairo_image_surface_create_from_png(path.c_str());
        const surface expected(90, 75, [&](int, int) { return back; });
        cairo_t *cr = cairo_create(expected.s);
        const bool centre = c.pivot_x == -1.0f && c.pivot_y == -1.0f;
        const double px = centre ? dw / 2.0 : c.pivot_x, py = centre ? dh / 2.0 : c.pivot_y;
        cairo_translate(cr, c.dx + c.x + px, c.dy + c.y + py);
        cairo_rotate(cr, c.degrees * std::numbers::pi / 180.0);
        cairo_translate(cr, -px, -py);
        cairo_scale(cr, dw / 35.0, dh / 9.0);
        cairo_set_source_surface(cr, file, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
        cairo_paint_with_alpha(cr, c.alpha / 255.0);
        cairo_destroy(cr);
        cairo_surface_destroy(file);
        cairo_surface_flush(expected.s);
        argb_image reference(90, 75);
        for (int y = 0; y < 75; ++y)
            for (int x = 0; x < 90; ++x) reference.at(x, y) = expected.row(y)[x]; // opaque: straight as it is

        // The file's premultiplication by the loader and by Cairo may round a unit apart.
        const image_difference d = compare_images(actual, reference, k_channel_tolerance + 1);
        EXPECT_EQ(d.differing, 0) << "largest channel difference " << d.max_channel;
        EXPECT_GT(compare_images(actual, argb_image(90, 75, back), 0).differing, 100) << "the image was drawn";
        ops->release_image(ctx, image);
    }
}

// An alarm's pictogram: an image drawn upright at an image_set size is resampled once for that
// size (and the fraction of a pixel it lands at) and kept with the stretched pieces; later draws
// copy it. It matches Cairo scaling the image in place, goes when its pixels go, and one too large
// to keep is still drawn.
TEST_F(turned_on_canvas, an_image_set_size_is_resampled_once_and_kept) {
    const std::string path = write_needle(35, 9);
    auto draw_sized = [&](gr_image_t *image, int16_t w, int16_t h, float x, float y) {
        const int16_t wh[2] = {w, h};
        ops->image_set(ctx, image, GR_IMAGE_SET_SIZE, wh, 4);
        ops->draw_image(ctx, image, x, y, w, h, -1.0f, -1.0f);
    };
    auto cairo_sized = [&](int w, int h, double x, double y) {
        cairo_surface_t *file = cairo_image_surface_create_from_png(path.c_str());
        const surface expected(60, 40, [](int, int) { return k_black; });
        cairo_t *cr = cairo_create(expected.s);
        cairo_translate(cr, x, y);
        cairo_rectangle(cr, 0, 0, w, h);
        cairo_clip(cr);
        cairo_scale(cr, w / 35.0, h / 9.0);
        cairo_set_source_surface(cr, file, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(file);
        cairo_surface_flush(expected.s);
        argb_image reference(60, 40);
        for (int row = 0; row < 40; ++row)
            for (int column = 0; column < 60; ++column) reference.at(column, row) = expected.row(row)[column];
        return reference;
    };

    make_canvas(60, 40);
    gr_image_t *image = ops->load_image(ctx, path.c_str(), GR_LOAD_IMAGE_FLAGS, nullptr, 0);
    ASSERT_NE(image, nullptr);
    struct sized {
        int16_t w, h;
        float x, y;
    };
    for (const sized &s : {sized{16, 4, 5.0f, 6.0f}, sized{16, 4, 20.0f, 12.747f}, sized{50, 13, 3.5f, 20.25f}}) {
        SCOPED_TRACE(std::to_string(s.w) + " at " + std::to_string(s.x) + ", " + std::to_string(s.y));
        canvas->clear(k_black);
        draw_sized(image, s.w, s.h, s.x, s.y);
        const int kept = canvas->cached_pieces();
        const argb_image first = canvas->snapshot();
        // Cairo maps canvas to image in 16.16 fixed point, rounded by where the image lies: the copy
        // made at the same fraction of a pixel elsewhere may land a unit or two apart.
        EXPECT_EQ(compare_images(first, cairo_sized(s.w, s.h, s.x, s.y), 2).differing, 0);
        canvas->clear(k_black);
        draw_sized(image, s.w, s.h, s.x, s.y);
        EXPECT_EQ(canvas->cached_pieces(), kept) << "drawn again from what was kept";
        EXPECT_EQ(compare_images(canvas->snapshot(), first, 0).differing, 0);
    }
    EXPECT_EQ(canvas->cached_pieces(), 3);
    ops->release_image(ctx, image);
    EXPECT_EQ(canvas->cached_pieces(), 0);
    EXPECT_EQ(canvas->cached_piece_bytes(), 0u);

    // 2000 x 600 pixels take more than a quarter of the pieces' budget: drawn, not kept.
    image = ops->load_image(ctx, path.c_str(), GR_LOAD_IMAGE_FLAGS, nullptr, 0);
    canvas->clear(k_black);
    draw_sized(image, 2000, 600, -1970.0f, -280.0f);
    EXPECT_EQ(canvas->cached_pieces(), 0);
    EXPECT_EQ(compare_images(canvas->snapshot(), cairo_sized(2000, 600, -1970, -280), 0).differing, 0);
    EXPECT_GT(count_all(k_black), 60) << "the image's end, fading";
}

} // namespace
} // namespace pitwall::testing
