// Text turned by quarter turns on the raster context, with DejaVu Sans Mono at 20 pixels: a
// 12-pixel advance and a 24-pixel line (see raster_text_test.cpp), so "Ab1" is w = 36 by L = 24.
//
// Where the turned line must land, drawn at P:
//    90: [P.x, P.x + 24) x [P.y, P.y + 36), unturned pixel (u, v) at (P.x + 23 - v, P.y + u)
//   180: [P.x - 12, P.x + 24) x [P.y, P.y + 24), (u, v) at (P.x + 23 - u, P.y + 23 - v)
//   270: [P.x, P.x + 24) x [P.y - 36, P.y), (u, v) at (P.x + v, P.y - 1 - u)
// and its pixels must be exactly those of the same line drawn unturned, moved there.
#include "raster_fixture.h"

#include "pitwall/resources.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace pitwall::testing {
namespace {

constexpr int k_w = 36; // "Ab1"
constexpr int k_l = 24;
constexpr const char *k_text = "Ab1";

struct point {
    int x, y;
};

// A turned rendering: its angle, drawing point and box (half-open, derived above), and where
// unturned pixel (u, v) goes: origin + u * du + v * dv.
struct turned_case {
    const char *name;
    float degrees;
    point p;
    int x1, y1, x2, y2;
    point origin, du, dv;

    point of(int u, int v) const { return {origin.x + u * du.x + v * dv.x, origin.y + u * du.y + v * dv.y}; }
};

// Unturned at (4, 4): [4, 40) x [4, 28). The turned ones side by side on a 160 x 50 canvas.
constexpr point k_unturned{4, 4};
const turned_case k_turns[] = {
    {"90", 90.0f, {50, 4}, 50, 4, 74, 40, {50 + 23, 4}, {0, 1}, {-1, 0}},
    {"180", 180.0f, {96, 4}, 84, 4, 120, 28, {96 + 23, 4 + 23}, {-1, 0}, {0, -1}},
    {"270", 270.0f, {130, 44}, 130, 8, 154, 44, {130, 43}, {0, -1}, {1, 0}},
};

class raster_turned_text : public raster_test {
protected:
    gr_font f20{"fonts/CPMono_v07 Plain.otf", k_mono_font, 20};
    gr_text_style_t style{};

    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(k_mono_font)) << k_mono_font << " missing: install fonts-dejavu-core";
        style.font = &f20;
        style.one = 1;
        style.size = 20;
        style.colour = 0xFFFFFF;
    }

    void draw(point p, float degrees, const std::string &text = k_text) {
        ops->set_attr(ctx, GR_ATTR_ROTATION, &degrees, 4);
        ops->draw_text(ctx, p.x, p.y, text.data(), int32_t(text.size()), &style);
        ops->restore_attr(ctx, GR_ATTR_ROTATION);
    }

    // The unturned line and the three turns, each angle given (unturned first).
    argb_image scene(float unturned, float a90, float a180, float a270) {
        make_canvas(160, 50);
        draw(k_unturned, unturned);
        draw(k_turns[0].p, a90);
        draw(k_turns[1].p, a180);
        draw(k_turns[2].p, a270);
        return canvas->snapshot();
    }

    bool lit(int x, int y) const { return at(x, y) != k_black; }

    // Every turned pixel of `t` against the unturned line at k_unturned on the same canvas.
    void expect_turned_copy(const turned_case &t) {
        int differing = 0, inked = 0;
        for (int v = 0; v < k_l; ++v)
            for (int u = 0; u < k_w; ++u) {
                point q = t.of(u, v);
                uint32_t want = at(k_unturned.x + u, k_unturned.y + v);
                differing += at(q.x, q.y) != want;
                inked += want != k_black;
            }
        EXPECT_EQ(differing, 0) << t.name;
        EXPECT_GT(inked, 50) << "the line has ink to compare";
    }
};

TEST_F(raster_turned_text, quarter_turns_fill_their_boxes_with_the_unturned_pixels_moved) {
    make_canvas(8, 8);
    int16_t extent[2] = {0, 0};
    ASSERT_EQ(ops->text_extent(ctx, k_text, 3, &style, extent), 0);
    ASSERT_EQ(extent[0], k_w);
    ASSERT_EQ(extent[1], k_l);

    scene(0.0f, 90.0f, 180.0f, 270.0f);
    // No ink outside the four boxes.
    int stray = 0;
    for (int y = 0; y < canvas->height(); ++y)
        for (int x = 0; x < canvas->width(); ++x) {
            bool inside = x >= k_unturned.x && x < k_unturned.x + k_w && y >= k_unturned.y && y < k_unturned.y + k_l;
            for (const turned_case &t : k_turns) inside = inside || (x >= t.x1 && x < t.x2 && y >= t.y1 && y < t.y2);
            stray += lit(x, y) && !inside;
        }
    EXPECT_EQ(stray, 0);

    for (const turned_case &t : k_turns) {
        SCOPED_TRACE(t.name);
        // Ink near both ends of the run: "A" fills most of its first cell, "1" stands in the middle
        // of its last one, so each end has ink within 6 pixels.
        int first = 0, last = 0;
        for (int v = 0; v < k_l; ++v)
            for (int u = 0; u < 6; ++u) {
                point a = t.of(u, v), b = t.of(k_w - 1 - u, v);
                first += lit(a.x, a.y);
                last += lit(b.x, b.y);
            }
        EXPECT_GT(first, 0);
        EXPECT_GT(last, 0);
        // The mapping's corners are the box's corners.
        point start = t.of(0, 0), end = t.of(k_w - 1, k_l - 1);
        EXPECT_EQ(std::min(start.x, end.x), t.x1);
        EXPECT_EQ(std::max(start.x, end.x), t.x2 - 1);
        EXPECT_EQ(std::min(start.y, end.y), t.y1);
        EXPECT_EQ(std::max(start.y, end.y), t.y2 - 1);
        // Anti-aliased edges included: the same glyph images, placed pixel for pixel.
        expect_turned_copy(t);
    }
}

TEST_F(raster_turned_text, angles_are_taken_modulo_a_whole_turn) {
    argb_image plain = scene(0.0f, 90.0f, 180.0f, 270.0f);
    struct equivalent {
        float unturned, a90, a180, a270;
    };
    for (equivalent e : {equivalent{360.0f, 450.0f, -180.0f, -90.0f}, equivalent{-720.0f, -270.0f, 540.0f, 630.0f}}) {
        argb_image other = scene(e.unturned, e.a90, e.a180, e.a270);
        int differing = 0;
        for (int y = 0; y < plain.height; ++y)
            for (int x = 0; x < plain.width; ++x) differing += other.at(x, y) != plain.at(x, y);
        EXPECT_EQ(differing, 0) << e.unturned << " " << e.a90 << " " << e.a180 << " " << e.a270;
    }
}

TEST_F(raster_turned_text, a_clip_cuts_turned_text_without_moving_it) {
    for (const turned_case &t : k_turns) {
        SCOPED_TRACE(t.name);
        make_canvas(160, 50);
        draw(t.p, t.degrees);
        argb_image whole = canvas->snapshot();

        // A clip across the middle of the run, given relative to a translation: only the pixels
        // of the middle of the line remain, where they were.
        make_canvas(160, 50);
        point mid_a = t.of(10, 0), mid_b = t.of(25, k_l - 1);
        int cx1 = std::min(mid_a.x, mid_b.x), cx2 = std::max(mid_a.x, mid_b.x);
        int cy1 = std::min(mid_a.y, mid_b.y), cy2 = std::max(mid_a.y, mid_b.y);
        ops->translate(ctx, 3, 2);
        gr_rect_t clip{int16_t(cx1 - 3), int16_t(cy1 - 2), int16_t(cx2 - 3), int16_t(cy2 - 2)};
        ops->set_clip(ctx, &clip);
        draw({t.p.x - 3, t.p.y - 2}, t.degrees);

        int wrong = 0, kept = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 160; ++x) {
                bool in_clip = x >= cx1 && x <= cx2 && y >= cy1 && y <= cy2;
                uint32_t want = in_clip ? whole.at(x, y) : k_black;
                wrong += at(x, y) != want;
                kept += in_clip && want != k_black;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(kept, 20) << "the middle of the line has ink";
    }
}

TEST_F(raster_turned_text, alpha_applies_to_turned_text) {
    make_canvas(160, 50);
    int32_t half = 128;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &half, 4);
    draw(k_unturned, 0.0f);
    for (const turned_case &t : k_turns) draw(t.p, t.degrees);
    ops->restore_attr(ctx, GR_ATTR_ALPHA);
    // White at 128/255 over black: a fully covered pixel is 128 in each channel, none brighter.
    for (const turned_case &t : k_turns) {
        SCOPED_TRACE(t.name);
        EXPECT_GT(count_in(0xFF808080u, t.x1, t.y1, t.x2 - 1, t.y2 - 1), 10);
        int brighter = 0;
        for (int y = t.y1; y < t.y2; ++y)
            for (int x = t.x1; x < t.x2; ++x) brighter += channel(at(x, y), 16) > 128;
        EXPECT_EQ(brighter, 0);
        expect_turned_copy(t);
    }

    make_canvas(160, 50);
    int32_t none = 0;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &none, 4);
    for (const turned_case &t : k_turns) draw(t.p, t.degrees);
    EXPECT_EQ(count_all(k_black), 160 * 50);
}

TEST_F(raster_turned_text, a_line_far_longer_than_the_canvas_draws_its_visible_part) {
    // 65536 advances would be 786432 pixels; text_extent reports its int16 limit, 32767.
    const std::string longest(65536, 'M');
    struct run {
        float degrees;
        point p;
        int x1, y1, x2, y2; // where its ink may be on the 40 x 60 canvas
    };
    for (run r : {run{90.0f, {8, 10}, 8, 10, 32, 60}, run{270.0f, {8, 50}, 8, 0, 32, 50}}) {
        make_canvas(40, 60);
        draw(r.p, r.degrees, longest);
        int stray = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 40; ++x)
                stray += lit(x, y) && !(x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2);
        EXPECT_EQ(stray, 0) << r.degrees;
        // "M" has ink in every 12-pixel cell: the far end of the visible run is lit.
        int far_row = r.degrees == 90.0f ? r.y2 - 1 : r.y1;
        int lit_far = 0;
        for (int y = std::max(r.y1, far_row - 6); y <= std::min(r.y2 - 1, far_row + 6); ++y)
            for (int x = r.x1; x < r.x2; ++x) lit_far += lit(x, y);
        EXPECT_GT(lit_far, 0) << r.degrees;
    }
}

} // namespace
} // namespace pitwall::testing
