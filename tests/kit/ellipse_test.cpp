// Elliptical bands: how a band is sized, which points its polygon gets, and what reaches the host.
#include "ellipse.h"

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr float nan_f = std::numeric_limits<float>::quiet_NaN();
constexpr float cx = 50.0f, cy = 60.0f;
constexpr auto draw = gauges::plan_result::draw, nothing = gauges::plan_result::nothing;

struct band {
    const char *name;
    float width, height, start, end, thickness;
    gauges::plan_result result;
    float plan_start, plan_end, step, irx, iry;
    int32_t capacity, written;
    // Points by index: at `degrees` on radii (rx, ry) about (cx, cy); radii 0 for the centre.
    std::vector<std::vector<float>> points; // {index, degrees, rx, ry}
};

// n = trunc((rx + ry) * pi / 4), at least 4; step = 360 / (n + 1); k = trunc(span / step).
const std::vector<band> k_bands = {
    {"equal angles", 100, 100, 30, 30, 5, nothing, 0, 0, 0, 0, 0, 0, 0, {}},
    {"an angle that is no number", 100, 100, nan_f, 30, 5, nothing, 0, 0, 0, 0, 0, 0, 0, {}},
    {"an infinite width", INFINITY, 100, 0, 30, 5, nothing, 0, 0, 0, 0, 0, 0, 0, {}},
    {"over a million points", 1e9f, 100, 0, 90, 5, gauges::plan_result::too_large, 0, 0, 0, 0, 0, 0, 0, {}},
    // n = 282, step 360/283, k = 283: ring of 2k + 8. Outer: i = 0..283 regular (283 lies within 0.01
    // of 450), 450 closes: 285 points; inner 450 back to 90: 284.
    {"full ring of 360", 360, 360, 90, 450, 10, draw, 90, 450, 360.0f / 283.0f, 170, 170, 574, 569,
     {{0, 90, 180, 180}, {283, 450, 180, 180}, {284, 450, 180, 180}, {285, 450, 170, 170}, {568, 90, 170, 170}}},
    // n = 3 -> 4, step 72, k = 1; thickness 10 is not below rx 2: pie of k + 4.
    {"tiny pie", 4, 4, 0, 90, 10, draw, 0, 90, 72, 0, 0, 5, 4,
     {{0, 0, 0, 0}, {1, 0, 2, 2}, {2, 72, 2, 2}, {3, 90, 2, 2}}},
    {"start after end", 4, 4, 90, 0, 10, draw, 0, 90, 72, 0, 0, 5, 4,
     {{0, 0, 0, 0}, {1, 0, 2, 2}, {2, 72, 2, 2}, {3, 90, 2, 2}}},
    // Beyond 360 degrees is the whole turn 0..360: n = 31, step 11.25, k = 32, ring of 72; outer
    // 0..360 (33 regular, 360 again) 34 points, inner 360..0 33.
    {"span 400 from 30", 40, 40, 30, 430, 5, draw, 0, 360, 11.25f, 15, 15, 72, 67,
     {{0, 0, 20, 20}, {33, 360, 20, 20}, {34, 360, 15, 15}, {66, 0, 15, 15}}},
    {"span 370, backwards", 40, 40, 300, -70, 5, draw, 0, 360, 11.25f, 15, 15, 72, 67, {{0, 0, 20, 20}}},
    {"infinite end", 40, 40, 0, INFINITY, 25, draw, 0, 360, 11.25f, 0, 0, 37, 35, {}},
    // Thickness = rx 20 is a pie: n = 47, step 7.5, k = 24, capacity 28; centre, 0..180 (25 regular:
    // 180 is not 0.01 beyond the end), 180 again.
    {"thickness equal to rx", 40, 80, 0, 180, 20, draw, 0, 180, 7.5f, 0, 0, 28, 27,
     {{0, 0, 0, 0}, {1, 0, 20, 40}, {25, 180, 20, 40}, {26, 180, 20, 40}}},
    // The regular point 180 lies 0.005 beyond the end 179.995: used as it is, then the end closes;
    // k = 23, so that closing point fills the last of 27 slots.
    {"regular point just beyond the end", 40, 80, 0, 179.995f, 20, draw, 0, 179.995f, 7.5f, 0, 0, 27, 27,
     {{25, 180, 20, 40}, {26, 179.995f, 20, 40}}},
    // Inner radii equal the outer: n = 23, step 15, k = 6, ring of 20; outer 0..90 and 90 again, inner 90..0.
    {"thickness zero", 40, 20, 0, 90, 0, draw, 0, 90, 15, 20, 10, 20, 15,
     {{0, 0, 20, 10}, {7, 90, 20, 10}, {8, 90, 20, 10}, {14, 0, 20, 10}}},
    // Full disc: pie of k + 5 = 37; centre, 33 regular points, 360 again.
    {"full disc", 40, 40, 0, 360, 25, draw, 0, 360, 11.25f, 0, 0, 37, 35,
     {{0, 0, 0, 0}, {1, 0, 20, 20}, {33, 360, 20, 20}, {34, 360, 20, 20}}},
};

TEST(ellipse_band, plan_and_points_follow_the_band) {
    constexpr size_t guard = 32; // floats on each side of the buffer that must stay untouched
    for (const band &b : k_bands) {
        SCOPED_TRACE(b.name);
        gauges::ellipse_plan plan{};
        ASSERT_EQ(gauges::plan_ellipse(b.width, b.height, b.start, b.end, b.thickness, &plan), b.result);
        if (b.result != draw) continue;
        EXPECT_EQ(plan.start, b.plan_start);
        EXPECT_EQ(plan.end, b.plan_end);
        EXPECT_FLOAT_EQ(plan.step, b.step);
        EXPECT_EQ(plan.irx, b.irx);
        EXPECT_EQ(plan.iry, b.iry);
        ASSERT_EQ(plan.capacity, b.capacity);

        std::vector<float> block(2 * static_cast<size_t>(plan.capacity) + 2 * guard, -12345.0f);
        float *points = block.data() + guard;
        bool complete = false;
        ASSERT_EQ(gauges::build_ellipse_points(plan, cx, cy, points, &complete), b.written);
        EXPECT_TRUE(complete);
        for (size_t i = 0; i < guard; ++i)
            EXPECT_TRUE(block[i] == -12345.0f && block[block.size() - 1 - i] == -12345.0f) << "guard " << i;
        for (const std::vector<float> &p : b.points) {
            const auto at = static_cast<size_t>(2 * p[0]);
            const double r = p[1] * std::numbers::pi / 180.0;
            EXPECT_NEAR(points[at], cx + p[2] * std::cos(r), 1e-3) << "x of point " << p[0];
            EXPECT_NEAR(points[at + 1], cy + p[3] * std::sin(r), 1e-3) << "y of point " << p[0];
        }
    }
}

TEST(ellipse_band, host_calls_results_and_messages) {
    pitwall::engine eng{"/app"};
    pitwall::recording_context rec{eng};
    struct outcome {
        const char *name;
        float width, start, end; // height twice the width, thickness 20
        bool refuse_path;
        int32_t result;
        std::vector<std::string> trace; // a create_path line by its head
    };
    const std::vector<outcome> cases = {
        {"equal angles", 40, 30, 30, false, 0, {}},
        {"angle that is no number", 40, 0, nan_f, false, 0, {}},
        {"width that is no number", nan_f, 0, 90, false, 0, {}},
        {"over a million points", 1e9f, 0, 90, false, -1, {"log 0 Failed to allocate memory for ellipse path (OOM)"}},
        {"host refuses the path", 4, 0, 90, true, -1,
         {"create_path 2 flags=3 count=4 [", "log 0 Failed to allocate memory for ellipse path"}},
        // The closing point lands in the last slot: complete, no message.
        {"exact fit", 40, 0, 179.995f, false, 0,
         {"create_path 2 flags=3 count=27 [50,60 70,60 ", "draw_path path1 #12ab34 #12ab34 1", "free_path path1"}},
    };
    for (const outcome &c : cases) {
        SCOPED_TRACE(c.name);
        rec.clear_trace();
        eng.clear_log();
        rec.fail_create_path(c.refuse_path);
        ASSERT_EQ(gauges::fill_ellipse_arc(rec.context(), 0x12ab34, c.width, c.width * 2, c.start, c.end, 20, cx, cy),
                  c.result);
        ASSERT_EQ(rec.trace().size(), c.trace.size()) << rec.trace_text();
        for (size_t i = 0; i < c.trace.size(); ++i)
            EXPECT_EQ(rec.trace()[i].rfind(c.trace[i], 0), 0u) << rec.trace()[i];
        EXPECT_EQ(rec.live_paths(), 0);
        EXPECT_EQ(eng.log().size(), c.result == 0 ? 0u : 1u);
        for (const pitwall::log_line &l : eng.log()) EXPECT_EQ(l.level, 0);
    }
}

} // namespace
