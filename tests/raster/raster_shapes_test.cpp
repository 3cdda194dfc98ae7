// The raster context's state and shape operations, asserted on pixels of small canvases.
#include "raster_fixture.h"

#include <cmath>
#include <limits>

namespace pitwall::testing {
namespace {

using raster_shapes = raster_test;

TEST_F(raster_shapes, filled_rectangle_covers_exactly_its_inclusive_pixels) {
    make_canvas(10, 10);
    gr_rect_t r{2, 3, 5, 6}; // 4 x 4 pixels
    ops->fill_rect(ctx, &r, 0xFFFFFF);
    EXPECT_EQ(count_in(k_white, 2, 3, 5, 6), 16);
    EXPECT_EQ(count_all(k_white), 16);

    gr_rect_t single{8, 8, 8, 8};
    ops->fill_rect(ctx, &single, 0x00FF00);
    EXPECT_EQ(at(8, 8), 0xFF00FF00u);
    EXPECT_EQ(at(7, 8), k_black);
    EXPECT_EQ(at(9, 9), k_black);
}

TEST_F(raster_shapes, colour_top_byte_is_not_an_alpha) {
    make_canvas(4, 4);
    gr_rect_t r{0, 0, 3, 3};
    ops->fill_rect(ctx, &r, 0x00FF0000); // top byte 0: still opaque red
    EXPECT_EQ(at(1, 1), 0xFFFF0000u);
    ops->fill_rect(ctx, &r, 0x800000FF); // top byte 0x80: still opaque blue
    EXPECT_EQ(at(1, 1), 0xFF0000FFu);
}

TEST_F(raster_shapes, inverted_rectangles_draw_nothing) {
    make_canvas(8, 8);
    gr_rect_t backwards{5, 1, 2, 4}, upside{1, 5, 4, 2};
    ops->fill_rect(ctx, &backwards, 0xFFFFFF);
    ops->fill_rect(ctx, &upside, 0xFFFFFF);
    ops->stroke_rect(ctx, &backwards, 0xFFFFFF);
    EXPECT_EQ(count_all(k_white), 0);
}

TEST_F(raster_shapes, stroked_rectangle_outlines_its_edge_pixels) {
    make_canvas(8, 7);
    gr_rect_t r{1, 1, 6, 5}; // 6 x 5: edges of 6 + 6 + 3 + 3 = 18 pixels
    ops->stroke_rect(ctx, &r, 0xFFFFFF);
    EXPECT_EQ(count_all(k_white), 18);
    for (int x = 1; x <= 6; ++x) {
        EXPECT_EQ(at(x, 1), k_white) << x;
        EXPECT_EQ(at(x, 5), k_white) << x;
    }
    for (int y = 1; y <= 5; ++y) {
        EXPECT_EQ(at(1, y), k_white) << y;
        EXPECT_EQ(at(6, y), k_white) << y;
    }
    EXPECT_EQ(count_in(k_black, 2, 2, 5, 4), 12); // the inside stays untouched
}

TEST_F(raster_shapes, degenerate_stroked_rectangles_are_one_pixel_lines) {
    make_canvas(8, 8);
    gr_rect_t row{1, 4, 6, 4}, column{3, 0, 3, 2}, narrow{0, 6, 1, 7};
    ops->stroke_rect(ctx, &row, 0xFFFFFF);
    EXPECT_EQ(count_in(k_white, 1, 4, 6, 4), 6);
    ops->stroke_rect(ctx, &column, 0xFFFFFF);
    EXPECT_EQ(count_in(k_white, 3, 0, 3, 2), 3);
    ops->stroke_rect(ctx, &narrow, 0xFFFFFF); // 2 x 2: all four pixels are edge pixels
    EXPECT_EQ(count_in(k_white, 0, 6, 1, 7), 4);
    EXPECT_EQ(count_all(k_white), 6 + 3 + 4);
}

TEST_F(raster_shapes, clip_and_translation_compose) {
    make_canvas(12, 12);
    gr_rect_t out;
    EXPECT_NE(ops->get_clip(ctx, &out), 0) << "a new canvas has no clip";

    ops->translate(ctx, 2, 1);
    ops->translate(ctx, 1, 1); // cumulative: origin at (3, 2)
    gr_rect_t clip{0, 0, 3, 3};
    ops->set_clip(ctx, &clip); // canvas pixels 3..6 x 2..5
    gr_rect_t everything{-50, -50, 50, 50};
    ops->fill_rect(ctx, &everything, 0xFFFFFF);
    EXPECT_EQ(count_in(k_white, 3, 2, 6, 5), 16);
    EXPECT_EQ(count_all(k_white), 16);

    ASSERT_EQ(ops->get_clip(ctx, &out), 0);
    EXPECT_EQ(out.x1, 0);
    EXPECT_EQ(out.y1, 0);
    EXPECT_EQ(out.x2, 3);
    EXPECT_EQ(out.y2, 3);

    ops->untranslate(ctx, 3, 2); // the clip stays where it was set on the canvas
    ASSERT_EQ(ops->get_clip(ctx, &out), 0);
    EXPECT_EQ(out.x1, 3);
    EXPECT_EQ(out.y1, 2);
    EXPECT_EQ(out.x2, 6);
    EXPECT_EQ(out.y2, 5);
    gr_rect_t inside{5, 5, 9, 9};
    ops->fill_rect(ctx, &inside, 0xFF0000);
    EXPECT_EQ(count_all(0xFFFF0000u), 2 * 1) << "only (5, 5) and (6, 5) lie in the clip";

    ops->clear_clip(ctx);
    EXPECT_NE(ops->get_clip(ctx, &out), 0);
    ops->fill_rect(ctx, &inside, 0x0000FF);
    EXPECT_EQ(count_all(0xFF0000FFu), 25);
}

TEST_F(raster_shapes, an_inverted_clip_admits_nothing) {
    make_canvas(6, 6);
    gr_rect_t empty{4, 4, 1, 1};
    ops->set_clip(ctx, &empty);
    gr_rect_t all{0, 0, 5, 5};
    ops->fill_rect(ctx, &all, 0xFFFFFF);
    EXPECT_EQ(count_all(k_white), 0);
}

// Gauges set the alpha for several bands in a row and restore it once: the restore brings back
// what was in force before the first of those sets.
TEST_F(raster_shapes, alpha_blends_while_set_and_one_restore_undoes_every_set_since_the_last) {
    make_canvas(4, 1);
    gr_rect_t p0{0, 0, 0, 0}, p1{1, 0, 1, 0}, p2{2, 0, 2, 0}, p3{3, 0, 3, 0};
    int32_t half = 128, quarter = 64;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &half, 4);
    ops->fill_rect(ctx, &p0, 0xFFFFFF); // white at 128/255 over black: 128
    ops->set_attr(ctx, GR_ATTR_ALPHA, &quarter, 4);
    ops->fill_rect(ctx, &p1, 0xFFFFFF); // 64
    ops->restore_attr(ctx, GR_ATTR_ALPHA);
    ops->fill_rect(ctx, &p2, 0xFFFFFF); // opaque again
    ops->restore_attr(ctx, GR_ATTR_ALPHA); // nothing left to undo
    ops->set_attr(ctx, GR_ATTR_ALPHA, &quarter, 4);
    ops->restore_attr(ctx, GR_ATTR_ALPHA);
    ops->fill_rect(ctx, &p3, 0xFFFFFF);
    EXPECT_NEAR(channel(at(0, 0), 16), 128, 1);
    EXPECT_NEAR(channel(at(1, 0), 16), 64, 1);
    EXPECT_EQ(at(2, 0), k_white);
    EXPECT_EQ(at(3, 0), k_white);
}

TEST_F(raster_shapes, half_alpha_mixes_two_colours_evenly) {
    make_canvas(3, 3, 0xFF0000FF); // blue
    int32_t half = 128;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &half, 4);
    gr_rect_t r{0, 0, 2, 2};
    ops->fill_rect(ctx, &r, 0xFF0000); // red at 128/255 over blue
    uint32_t p = at(1, 1);
    EXPECT_NEAR(channel(p, 16), 128, 1);
    EXPECT_NEAR(channel(p, 0), 127, 1);
    EXPECT_EQ(channel(p, 8), 0);
    EXPECT_EQ(channel(p, 24), 255);
}

TEST_F(raster_shapes, stroked_corners_are_blended_once) {
    make_canvas(6, 6);
    int32_t half = 128;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &half, 4);
    gr_rect_t r{1, 1, 4, 4};
    ops->stroke_rect(ctx, &r, 0xFFFFFF);
    EXPECT_EQ(at(1, 1), at(2, 1)) << "a corner pixel is as bright as an edge pixel";
    EXPECT_NEAR(channel(at(1, 1), 16), 128, 1);
}

TEST_F(raster_shapes, alpha_zero_draws_nothing) {
    make_canvas(3, 3);
    int32_t none = 0;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &none, 4);
    gr_rect_t r{0, 0, 2, 2};
    ops->fill_rect(ctx, &r, 0xFFFFFF);
    EXPECT_EQ(count_all(k_black), 9);
}

TEST_F(raster_shapes, line_paths_are_stroked_at_the_line_width) {
    make_canvas(12, 12);
    float points[] = {0.0f, 6.0f, 12.0f, 6.0f}; // along the boundary between rows 5 and 6
    int32_t two = 2, four = 4;
    ops->set_attr(ctx, GR_ATTR_LINE_WIDTH, &two, 4);
    gr_path_t *line = ops->create_path(ctx, GR_PATH_LINE, points, 2, GR_PATH_FLAGS_LINE);
    ASSERT_NE(line, nullptr);
    ops->draw_path(ctx, line, 0xFFFFFF, 0xFFFFFF, 1);
    // Width 2 centred on y = 6.0 covers [5, 7): rows 5 and 6, nothing else.
    EXPECT_EQ(count_in(k_white, 0, 5, 11, 6), 24);
    EXPECT_EQ(count_all(k_white), 24);

    ops->set_attr(ctx, GR_ATTR_LINE_WIDTH, &four, 4);
    ops->draw_path(ctx, line, 0xFF0000, 0xFF0000, 1); // [4, 8): rows 4 to 7
    EXPECT_EQ(count_in(0xFFFF0000u, 0, 4, 11, 7), 48);
    ops->free_path(ctx, line);
    EXPECT_EQ(canvas->live_paths(), 0);

    ops->restore_attr(ctx, GR_ATTR_LINE_WIDTH); // default width 1: [5.5, 6.5) half-covers rows 5 and 6
    float vertical[] = {2.0f, 0.0f, 2.0f, 12.0f};
    gr_path_t *thin = ops->create_path(ctx, GR_PATH_LINE, vertical, 2, GR_PATH_FLAGS_LINE);
    ops->draw_path(ctx, thin, 0x00FF00, 0x00FF00, 1);
    ops->free_path(ctx, thin);
    EXPECT_NEAR(channel(at(1, 0), 8), 128, 2);
    EXPECT_NEAR(channel(at(2, 0), 8), 128, 2);
    EXPECT_EQ(channel(at(0, 0), 8), 0);
}

TEST_F(raster_shapes, band_paths_are_filled_and_outlined_in_one_colour) {
    make_canvas(12, 12);
    float square[] = {2.0f, 2.0f, 9.0f, 2.0f, 9.0f, 9.0f, 2.0f, 9.0f};
    gr_path_t *band = ops->create_path(ctx, GR_PATH_BAND, square, 4, GR_PATH_FLAGS_BAND);
    ASSERT_NE(band, nullptr);
    ops->draw_path(ctx, band, 0xFFFFFF, 0xFFFFFF, 1);
    // Fill [2, 9) plus a 1-pixel outline centred on the edge: pixels 2..8 full, 1 and 9 half.
    EXPECT_EQ(count_in(k_white, 2, 2, 8, 8), 49);
    EXPECT_NEAR(channel(at(1, 5), 16), 128, 2);
    EXPECT_NEAR(channel(at(9, 5), 16), 128, 2);
    EXPECT_EQ(at(0, 5), k_black);
    EXPECT_EQ(at(10, 5), k_black);

    ops->free_path(ctx, band);

    // Under alpha the outline does not darken the edge: fill and outline blend once.
    make_canvas(12, 12);
    band = ops->create_path(ctx, GR_PATH_BAND, square, 4, GR_PATH_FLAGS_BAND);
    int32_t half = 128;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &half, 4);
    ops->draw_path(ctx, band, 0xFFFFFF, 0xFFFFFF, 1);
    EXPECT_NEAR(channel(at(5, 5), 16), 128, 1);
    EXPECT_EQ(at(2, 5), at(5, 5));
    ops->free_path(ctx, band);
}

TEST_F(raster_shapes, paths_refuse_what_cannot_be_drawn) {
    make_canvas(4, 4);
    float one_point[] = {1.0f, 1.0f};
    float nan_point[] = {0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(), 2.0f, 3.0f, 3.0f};
    float inf_point[] = {0.0f, 0.0f, 3.0f, std::numeric_limits<float>::infinity()};
    float triangle[] = {0.0f, 0.0f, 3.0f, 0.0f, 0.0f, 3.0f};
    EXPECT_EQ(ops->create_path(ctx, GR_PATH_LINE, one_point, 1, GR_PATH_FLAGS_LINE), nullptr);
    EXPECT_EQ(ops->create_path(ctx, GR_PATH_BAND, triangle, 2, GR_PATH_FLAGS_BAND), nullptr);
    EXPECT_EQ(ops->create_path(ctx, GR_PATH_BAND, nan_point, 3, GR_PATH_FLAGS_BAND), nullptr);
    EXPECT_EQ(ops->create_path(ctx, GR_PATH_LINE, inf_point, 2, GR_PATH_FLAGS_LINE), nullptr);
    EXPECT_EQ(ops->create_path(ctx, 1, triangle, 3, 0), nullptr);
    EXPECT_EQ(ops->create_path(ctx, GR_PATH_LINE, nullptr, 2, GR_PATH_FLAGS_LINE), nullptr);
    EXPECT_EQ(canvas->live_paths(), 0);

    // Handles the context never gave out are ignored.
    int not_a_path = 0;
    ops->draw_path(ctx, reinterpret_cast<gr_path_t *>(&not_a_path), 0xFFFFFF, 0xFFFFFF, 1);
    ops->free_path(ctx, reinterpret_cast<gr_path_t *>(&not_a_path));
    ops->draw_path(ctx, nullptr, 0xFFFFFF, 0xFFFFFF, 1);
    EXPECT_EQ(count_all(k_black), 16);
}

TEST_F(raster_shapes, background_and_readback_are_straight_argb) {
    make_canvas(3, 2, 0x80FF8000); // half-transparent orange
    uint32_t p = at(0, 0);
    EXPECT_EQ(channel(p, 24), 0x80);
    EXPECT_NEAR(channel(p, 16), 0xFF, 1);
    EXPECT_NEAR(channel(p, 8), 0x80, 1);
    EXPECT_EQ(channel(p, 0), 0);
    EXPECT_EQ(at(3, 0), 0u) << "outside the canvas";
    EXPECT_EQ(at(-1, 0), 0u);
    argb_image snap = canvas->snapshot();
    EXPECT_EQ(snap.width, 3);
    EXPECT_EQ(snap.at(2, 1), p);
}

TEST_F(raster_shapes, render_context_outside_draws_is_installed_while_the_canvas_lives) {
    make_canvas(2, 2);
    EXPECT_EQ(eng.app()->services->render, ctx);
    canvas.reset();
    EXPECT_EQ(eng.app()->services->render, nullptr);
}

TEST_F(raster_shapes, magnified_png_repeats_every_pixel) {
    make_canvas(2, 1);
    gr_rect_t left{0, 0, 0, 0};
    ops->fill_rect(ctx, &left, 0xFFFFFF);
    std::string dir = scratch_dir();
    std::string path = dir + "/zoom.png";
    std::string why;
    ASSERT_TRUE(canvas->write_png(path, 3, &why)) << why;
    argb_image png;
    ASSERT_TRUE(read_png(path, &png, &why)) << why;
    ASSERT_EQ(png.width, 6);
    ASSERT_EQ(png.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(png.at(x, y), x < 3 ? k_white : k_black) << x << "," << y;

    EXPECT_FALSE(canvas->write_png(path, 0, &why));
    EXPECT_FALSE(canvas->write_png(path, raster_context::max_scale + 1, &why));
    EXPECT_FALSE(canvas->write_png(dir + "/no/such/folder/x.png", 1, &why));
    EXPECT_FALSE(why.empty());
}

} // namespace
} // namespace pitwall::testing
