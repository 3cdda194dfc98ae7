// What the round gauges draw through the raster context: filled bands built from arcs, tick
// lines, and needle images turned about a pivot that may lie outside the image.
#include "raster_fixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace pitwall::testing {
namespace {

constexpr double k_degree = std::numbers::pi / 180.0;

// A band outline built the way a gauge builds one: the outer arc forwards in steps of a degree,
// then the inner arc backwards (a ring sector); with no inner radius the centre comes first and
// the polygon closes back to it (a pie).
std::vector<float> band_outline(double cx, double cy, double outer, double inner, double start, double end) {
    std::vector<float> points;
    auto add = [&](double radius, double degrees) {
        points.push_back(float(cx + radius * std::cos(degrees * k_degree)));
        points.push_back(float(cy + radius * std::sin(degrees * k_degree)));
    };
    if (inner <= 0.0) add(0.0, 0.0);
    for (double a = start; a < end; a += 1.0) add(outer, a);
    add(outer, end);
    if (inner > 0.0) {
        for (double a = end; a > start; a -= 1.0) add(inner, a);
        add(inner, start);
    }
    return points;
}

class raster_gauge_ops : public raster_test {
protected:
    void band(const std::vector<float> &points, uint32_t colour) {
        gr_path_t *path =
            ops->create_path(ctx, GR_PATH_BAND, points.data(), int32_t(points.size() / 2), GR_PATH_FLAGS_BAND);
        ASSERT_NE(path, nullptr);
        ops->draw_path(ctx, path, colour, colour, 1);
        ops->free_path(ctx, path);
    }

    void set(int32_t id, int32_t value) { ops->set_attr(ctx, id, &value, 4); }
};

// A quarter ring (outer radius 100, inner 80) about (20, 20), from 3 o'clock to 6 o'clock. Pixels
// whose centre lies more than 1.5 pixels inside it are the band's colour; more than 1.5 outside,
// the background (half a pixel of outline plus up to 0.71 from a pixel's centre to its corner).
TEST_F(raster_gauge_ops, a_ring_sector_is_solid_inside_and_leaves_the_outside_alone) {
    make_canvas(130, 130);
    band(band_outline(20.0, 20.0, 100.0, 80.0, 0.0, 90.0), 0x20C040);
    int inside = 0, wrong_inside = 0, wrong_outside = 0;
    for (int y = 0; y < 130; ++y)
        for (int x = 0; x < 130; ++x) {
            double dx = x + 0.5 - 20.0, dy = y + 0.5 - 20.0, r = std::hypot(dx, dy);
            if (dx > 1.5 && dy > 1.5 && r > 81.5 && r < 98.5) {
                ++inside;
                wrong_inside += at(x, y) != 0xFF20C040u;
            } else if (dx < -1.5 || dy < -1.5 || r < 78.5 || r > 101.5) {
                wrong_outside += at(x, y) != k_black;
            }
        }
    EXPECT_GT(inside, 2000); // a quarter of pi * (98.5^2 - 81.5^2) is about 2400
    EXPECT_EQ(wrong_inside, 0);
    EXPECT_EQ(wrong_outside, 0);
}

// Coverage of single edge pixels, white on black, so that red = 255 * the covered area. The
// outline adds half the line width outside the polygon:
//   square     top edge y = 10.5: row 10 half covered by the fill; line width 1 covers [10, 11);
//              width 2 covers [9.5, 11.5), so row 9 is half covered.
//   trapezoid  level top edge y = 5.5 between slanted and upright edges, whose ends lie in row 5:
//              row 5 half covered; upright left edge x = 10.5: as the square, across columns.
//   triangle   edge along y = x, filled below it: pixel (25, 25) is cut corner to corner. Pixel
//              (26, 25) lies outside; with u, v its inner coordinates x - y = 1 + u - v, and an
//              outline of width w covers x - y < w / (2 * sqrt 2): for w = 1, v - u > 0.293, a
//              triangle of area 0.707^2 / 2 = 0.25; for w = 2, v - u > -0.414, area
//              1 - 0.586^2 / 2 = 0.828. Pixel (27, 25) at w = 2: v - u > 0.586, area 0.086.
//   pie        centre (60, 60), radius 50, 0 to 20 degrees: the outline keeps within half a
//              width of the narrow centre corner, so pixel (58, 59), whose nearest point is 1
//              from the centre, stays dark (a mitre would reach 0.5 / sin 10 = 2.9 past it).
TEST_F(raster_gauge_ops, edge_pixels_are_covered_by_area_and_the_outline_adds_half_its_width) {
    const std::vector<float> square = {10.0f, 10.5f, 40.0f, 10.5f, 40.0f, 40.0f, 10.0f, 40.0f};
    const std::vector<float> trapezoid = {10.5f, 5.5f, 35.0f, 5.5f, 45.0f, 45.0f, 10.5f, 45.0f};
    const std::vector<float> triangle = {5.0f, 5.0f, 45.0f, 45.0f, 5.0f, 45.0f};
    const std::vector<float> pie = band_outline(60.0, 60.0, 50.0, 0.0, 0.0, 20.0);
    struct probe {
        const std::vector<float> *shape;
        int32_t line_width;
        int x, y;
        double covered;
    };
    const probe probes[] = {
        {&square, 0, 25, 10, 0.5},    {&square, 0, 25, 9, 0.0},     {&square, 0, 25, 11, 1.0},
        {&square, 1, 25, 10, 1.0},    {&square, 1, 25, 9, 0.0},     {&square, 2, 25, 9, 0.5},
        {&square, 2, 25, 8, 0.0},     {&trapezoid, 0, 10, 25, 0.5}, {&trapezoid, 1, 10, 25, 1.0},
        {&trapezoid, 1, 9, 25, 0.0},  {&trapezoid, 2, 9, 25, 0.5},  {&triangle, 0, 25, 25, 0.5},
        {&triangle, 0, 26, 25, 0.0},  {&triangle, 1, 26, 25, 0.25}, {&triangle, 2, 26, 25, 0.828},
        {&triangle, 2, 27, 25, 0.086}, {&trapezoid, 0, 20, 5, 0.5}, {&pie, 1, 58, 59, 0.0},
    };
    for (const probe &p : probes) {
        make_canvas(120, 120);
        set(GR_ATTR_LINE_WIDTH, p.line_width);
        band(*p.shape, 0xFFFFFF);
        EXPECT_NEAR(channel(at(p.x, p.y), 16), 255.0 * p.covered, 2.0)
            << "pixel (" << p.x << ", " << p.y << ") at line width " << p.line_width;
    }
}

// Orange 0xF0A030 at alpha 160 over 0x204060: each channel moves 160/255 = 0.627 of the way,
// red 32 + 0.627 * 208 = 162.5, green 64 + 0.627 * 96 = 124.2, blue 96 - 0.627 * 48 = 65.9. The
// quarter ring's edge at 3 o'clock runs along y = 20: row 20 is covered by fill and outline
// together and must match the inside (blended once, not twice); row 19 only by half the outline.
TEST_F(raster_gauge_ops, a_translucent_band_blends_once_over_the_background) {
    make_canvas(130, 130, 0xFF204060u);
    set(GR_ATTR_ALPHA, 160);
    band(band_outline(20.0, 20.0, 100.0, 80.0, 0.0, 90.0), 0xF0A030);
    ops->restore_attr(ctx, GR_ATTR_ALPHA);
    uint32_t inside = at(83, 83); // radius 90 at 45 degrees
    EXPECT_NEAR(channel(inside, 16), 162.5, 2.0);
    EXPECT_NEAR(channel(inside, 8), 124.2, 2.0);
    EXPECT_NEAR(channel(inside, 0), 65.9, 2.0);
    for (int shift : {16, 8, 0}) EXPECT_NEAR(channel(at(110, 20), shift), channel(inside, shift), 1.0) << shift;
    EXPECT_NEAR(channel(at(110, 19), 16), 32 + 0.5 * 0.627 * 208, 2.0);
    EXPECT_EQ(at(110, 17), 0xFF204060u);
}

// Two bands meeting at 37 degrees, as the value arc and the rest of the ring meet at the needle.
// Each pixel the shared edge crosses is partly covered by both; drawn one over the other without
// the outlines they would let a quarter of the background through (0.5 + 0.5 * 0.5).
TEST_F(raster_gauge_ops, bands_sharing_an_edge_leave_no_seam) {
    make_canvas(130, 130);
    band(band_outline(20.0, 20.0, 100.0, 80.0, 0.0, 37.0), 0xFFFFFF);
    band(band_outline(20.0, 20.0, 100.0, 80.0, 37.0, 90.0), 0xFFFFFF);
    int darkest = 255;
    for (double r = 82.0; r <= 98.0; r += 0.25) {
        int x = int(20.0 + r * std::cos(37.0 * k_degree)), y = int(20.0 + r * std::sin(37.0 * k_degree));
        darkest = std::min(darkest, channel(at(x, y), 8));
    }
    EXPECT_GE(darkest, 253);
}

TEST_F(raster_gauge_ops, a_full_ring_stays_open_in_the_middle_and_a_pie_is_filled) {
    struct shape {
        const char *what;
        double inner, start, end;
        int x, y; // probed pixel
        bool filled;
    };
    const shape shapes[] = {
        {"full ring, centre", 80.0, 0.0, 360.0, 120, 120, false},
        {"full ring, at 0 degrees", 80.0, 0.0, 360.0, 210, 120, true},
        {"full ring, at 270 degrees", 80.0, 0.0, 360.0, 120, 30, true},
        {"full ring, at 135 degrees", 80.0, 0.0, 360.0, 56, 183, true},
        {"full disc, centre", 0.0, 0.0, 360.0, 120, 120, true},
        {"quarter pie, inside", 0.0, 0.0, 90.0, 150, 150, true},
        {"quarter pie, opposite quarter", 0.0, 0.0, 90.0, 90, 90, false},
    };
    for (const shape &s : shapes) {
        make_canvas(240, 240);
        band(band_outline(120.0, 120.0, 100.0, s.inner, s.start, s.end), 0xFFFFFF);
        EXPECT_EQ(at(s.x, s.y), s.filled ? k_white : k_black) << s.what;
    }
}

// A tick from (10, 20) to (50, 20) at line width 2 covers y in [19, 21) and, with butt ends, x in
// [10, 50): rows 19 and 20, columns 10 to 49, shifted by the translation.
TEST_F(raster_gauge_ops, a_tick_line_covers_whole_rows_at_width_two_relative_to_the_translation) {
    const float tick[] = {10.0f, 20.0f, 50.0f, 20.0f};
    struct setting {
        int32_t dx, dy, alpha;
        uint32_t lit; // what a covered pixel becomes: white, or half way to it at alpha 128
    };
    const setting settings[] = {{0, 0, 255, k_white}, {5, 7, 255, k_white}, {0, 0, 128, 0xFF808080u}};
    for (const setting &s : settings) {
        make_canvas(70, 40);
        ops->translate(ctx, s.dx, s.dy);
        set(GR_ATTR_LINE_WIDTH, 2);
        set(GR_ATTR_ALPHA, s.alpha);
        gr_path_t *line = ops->create_path(ctx, GR_PATH_LINE, tick, 2, GR_PATH_FLAGS_LINE);
        ASSERT_NE(line, nullptr);
        ops->draw_path(ctx, line, 0xFFFFFF, 0xFFFFFF, 1);
        ops->free_path(ctx, line);
        int x1 = 10 + s.dx, y1 = 19 + s.dy;
        EXPECT_EQ(count_in(s.lit, x1, y1, x1 + 39, y1 + 1), 80) << s.dx << ", " << s.dy << " at " << s.alpha;
        EXPECT_EQ(count_all(k_black), 70 * 40 - 80) << "rows " << y1 - 1 << " and " << y1 + 2 << " stay dark";
    }
}

// A needle: 40 x 4 pixels, its rows 1 and 2 white and rows 0 and 3 transparent (as needle artwork
// fades at its sides), loaded from a 20 x 4 file at the requested size. It is drawn with its
// top-left corner at (60, 30); the image point (60 + u, 30 + v) turns about the pivot.
class raster_needle : public raster_gauge_ops {
protected:
    std::string file = scratch_dir() + "/needle.png";

    void SetUp() override {
        argb_image pixels(20, 4, 0x00000000u);
        for (int x = 0; x < 20; ++x) pixels.at(x, 1) = pixels.at(x, 2) = k_white;
        std::string why;
        ASSERT_TRUE(write_png(file, pixels, &why)) << why;
    }

    // A fresh canvas with the needle drawn on it.
    void draw(float degrees, float pivot_x, float pivot_y) {
        make_canvas(120, 100);
        const int32_t size[2] = {40, 4};
        gr_image_t *needle = ops->load_image(ctx, file.c_str(), GR_LOAD_IMAGE_FLAGS, size, 0);
        ASSERT_NE(needle, nullptr);
        ops->set_attr(ctx, GR_ATTR_ROTATION, &degrees, 4);
        ops->draw_image(ctx, needle, 60.0f, 30.0f, 40, 4, pivot_x, pivot_y);
        ops->restore_attr(ctx, GR_ATTR_ROTATION);
    }
};

// The white part, image x in [0, 40) and y in [1, 3), lands on whole pixels at these angles:
//   0:    where it was drawn: columns 60 to 99, rows 31 and 32.
//   90:   pivot (-20, 2), at (40, 32). The point is (u + 20, v - 2) from it, turned clockwise
//         (dx, dy) -> (-dy, dx) to (2 - v, u + 20): canvas (42 - v, 52 + u), so columns 39 and 40,
//         rows 52 to 91. The tip, 60 from the pivot, is at (40 + 60 cos 90, 32 + 60 sin 90) =
//         (40, 92): row 91 is the last one lit.
//   -90:  pivot (5, 30), below the image, at (65, 60). (u - 5, v - 30) turned anticlockwise
//         (dx, dy) -> (dy, -dx) to (v - 30, 5 - u): canvas (35 + v, 65 - u), so columns 36 and
//         37, rows 25 to 64.
TEST_F(raster_needle, turns_about_a_pivot_outside_the_image_at_its_loaded_size) {
    struct turn {
        float degrees, pivot_x, pivot_y;
        int x1, y1, x2, y2; // the white pixels
    };
    const turn turns[] = {
        {0.0f, -20.0f, 2.0f, 60, 31, 99, 32},
        {90.0f, -20.0f, 2.0f, 39, 52, 40, 91},
        {-90.0f, 5.0f, 30.0f, 36, 25, 37, 64},
    };
    for (const turn &t : turns) {
        draw(t.degrees, t.pivot_x, t.pivot_y);
        EXPECT_EQ(count_in(k_white, t.x1, t.y1, t.x2, t.y2), 80) << t.degrees;
        EXPECT_EQ(count_all(k_black), 120 * 100 - 80) << t.degrees << ": nothing else is touched";
    }
}

// At 45 degrees about (40, 32) the needle's axis runs along (1, 1) / sqrt 2. Pixel (78, 70) has
// its centre on the axis 54.4 from the pivot (inside the white part); pixel (83, 75) lies wholly
// beyond the tip (its nearest corner is 86 / sqrt 2 = 60.8 along the axis). Along the middle of
// the needle, pixels whose centre is 0.5 to 1.5 from the axis fall between a white and a
// transparent row of the image: sampled bilinearly they are partly lit, where a nearest-pixel
// copy would show only fully lit or dark pixels.
TEST_F(raster_needle, turned_at_45_degrees_it_is_sampled_smoothly) {
    draw(45.0f, -20.0f, 2.0f);
    EXPECT_GE(channel(at(78, 70), 8), 254);
    EXPECT_EQ(at(83, 75), k_black);
    int partly_lit = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 120; ++x) {
            double dx = x + 0.5 - 40.0, dy = y + 0.5 - 32.0;
            double along = (dx + dy) / std::numbers::sqrt2;
            int g = channel(at(x, y), 8);
            partly_lit += along > 25.0 && along < 55.0 && g > 0 && g < 255;
        }
    // Two strips a pixel wide and 30 long hold about 60 pixel centres.
    EXPECT_GE(partly_lit, 40);
}

} // namespace
} // namespace pitwall::testing
