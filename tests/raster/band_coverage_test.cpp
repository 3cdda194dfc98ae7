// Band coverage against an independent reference. A band is its polygon (non-zero winding) and
// everything within half the line width of one of its edges; the reference counts, for every
// pixel, how many of a 256 x 256 grid of sample points lie in that set. Drawn white on black at
// full alpha, a pixel's red channel is its coverage byte, which must be within 1 of the count
// scaled to 255 (the grid itself is good to about 1/512 of a pixel along an edge).
#include "raster_fixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

constexpr int k_grid = 256; // sample points per pixel, each way
constexpr double k_degree = std::numbers::pi / 180.0;

struct vec {
    double x, y;
};

struct interval {
    double lo, hi;
};

// The stretch of the line at height y within `half` of the segment a-b (a capsule: a rectangle
// along the segment and a disc at each end), if the line meets it.
bool capsule_at(vec a, vec b, double half, double y, interval &out) {
    bool met = false;
    auto take = [&](double x) {
        out.lo = met ? std::min(out.lo, x) : x;
        out.hi = met ? std::max(out.hi, x) : x;
        met = true;
    };
    for (vec c : {a, b}) {
        const double dy = y - c.y;
        if (std::fabs(dy) > half) continue;
        const double s = std::sqrt(half * half - dy * dy);
        take(c.x - s);
        take(c.x + s);
    }
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (length > 0.0) {
        const vec n{-(b.y - a.y) / length * half, (b.x - a.x) / length * half};
        const vec corners[4] = {{a.x + n.x, a.y + n.y}, {b.x + n.x, b.y + n.y}, {b.x - n.x, b.y - n.y}, {a.x - n.x, a.y - n.y}};
        for (int k = 0; k < 4; ++k) {
            const vec p = corners[k], q = corners[(k + 1) % 4];
            if ((p.y <= y) == (q.y <= y) && p.y != y) continue;
            take(p.y == q.y ? p.x : p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y));
            if (p.y == q.y) take(q.x);
        }
    }
    return met;
}

// Coverage 0 to 1 of each pixel of a width x height canvas, row by row.
std::vector<double> reference_coverage(const std::vector<vec> &polygon, double half, int width, int height) {
    std::vector<double> coverage(size_t(width) * size_t(height), 0.0);
    std::vector<long> counts(static_cast<size_t>(width), 0);
    std::vector<interval> spans;
    std::vector<std::pair<double, int>> crossings;
    std::vector<size_t> near;
    const size_t n = polygon.size();
    for (int py = 0; py < height; ++py) {
        near.clear();
        for (size_t i = 0; i < n; ++i) {
            const vec a = polygon[i], b = polygon[(i + 1) % n];
            if (std::min(a.y, b.y) - half <= py + 1 && std::max(a.y, b.y) + half >= py) near.push_back(i);
        }
        std::fill(counts.begin(), counts.end(), 0);
        for (int s = 0; s < k_grid; ++s) {
            const double y = py + (s + 0.5) / k_grid;
            spans.clear();
            crossings.clear();
            for (size_t i : near) {
                const vec a = polygon[i], b = polygon[(i + 1) % n];
                if ((a.y <= y) != (b.y <= y))
                    crossings.emplace_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), b.y > a.y ? 1 : -1);
                interval around{};
                if (half > 0.0 && capsule_at(a, b, half, y, around)) spans.push_back(around);
            }
            std::sort(crossings.begin(), crossings.end());
            int winding = 0;
            double start = 0.0;
            for (const auto &[x, turn] : crossings) {
                if (winding == 0) start = x;
                winding += turn;
                if (winding == 0) spans.push_back({start, x});
            }
            // Sample j of the row lies at x = (j + 0.5) / k_grid; overlapping spans count it once.
            std::sort(spans.begin(), spans.end(), [](const interval &p, const interval &q) { return p.lo < q.lo; });
            const double last = double(width) * k_grid - 1.0;
            long counted = 0; // samples below this one are counted
            for (const interval &span : spans) {
                long j = std::max(counted, long(std::clamp(std::ceil(span.lo * k_grid - 0.5), 0.0, last + 1.0)));
                const auto j_hi = long(std::clamp(std::floor(span.hi * k_grid - 0.5), -1.0, last));
                counted = std::max(counted, j_hi + 1);
                while (j <= j_hi) {
                    const long pixel = j / k_grid, end = std::min(j_hi, pixel * k_grid + k_grid - 1);
                    counts[size_t(pixel)] += end - j + 1;
                    j = end + 1;
                }
            }
        }
        for (int px = 0; px < width; ++px)
            coverage[size_t(py) * size_t(width) + size_t(px)] = double(counts[size_t(px)]) / (k_grid * k_grid);
    }
    return coverage;
}

// A band as a gauge builds one: the outer arc forwards in steps of `step` degrees, then the
// inner arc back (a ring sector); with no inner radius the centre comes first (a pie).
std::vector<vec> arc_band(vec centre, double outer, double inner, double start, double end, double step = 1.0) {
    std::vector<vec> points;
    auto add = [&](double radius, double degrees) {
        points.push_back({centre.x + radius * std::cos(degrees * k_degree), centre.y + radius * std::sin(degrees * k_degree)});
    };
    if (inner <= 0.0) add(0.0, 0.0);
    for (double a = start; a < end; a += step) add(outer, a);
    add(outer, end);
    if (inner > 0.0) {
        for (double a = end; a > start; a -= step) add(inner, a);
        add(inner, start);
    }
    return points;
}

struct band_case {
    std::string what;
    std::vector<vec> points;
    int32_t line_width;
    int width, height;
    int32_t dx = 0, dy = 0;                   // translation
    bool clipped = false;                     // clip rectangle (relative to the translation)
    int16_t clip_x1 = 0, clip_y1 = 0, clip_x2 = 0, clip_y2 = 0;
};

class band_coverage : public raster_test {
protected:
    // Draws the case white on black and returns the largest difference from the reference,
    // in coverage bytes, with where it is; `lit` counts the pixels the reference covers at all.
    int worst_difference(const band_case &c, std::string &where, int &lit) {
        make_canvas(c.width, c.height);
        std::vector<float> flat;
        for (vec p : c.points) {
            flat.push_back(float(p.x));
            flat.push_back(float(p.y));
        }
        ops->translate(ctx, c.dx, c.dy);
        if (c.clipped) {
            const gr_rect_t clip{c.clip_x1, c.clip_y1, c.clip_x2, c.clip_y2};
            ops->set_clip(ctx, &clip);
        }
        ops->set_attr(ctx, GR_ATTR_LINE_WIDTH, &c.line_width, 4);
        gr_path_t *path = ops->create_path(ctx, GR_PATH_BAND, flat.data(), int32_t(flat.size() / 2), GR_PATH_FLAGS_BAND);
        EXPECT_NE(path, nullptr) << c.what;
        if (path == nullptr) return 255;
        ops->draw_path(ctx, path, 0xFFFFFF, 0xFFFFFF, 1);
        ops->free_path(ctx, path);

        // The reference sees the points as the context does: single precision, translated.
        std::vector<vec> placed;
        for (size_t i = 0; i + 1 < flat.size(); i += 2) placed.push_back({double(flat[i]) + c.dx, double(flat[i + 1]) + c.dy});
        const std::vector<double> expected = reference_coverage(placed, c.line_width * 0.5, c.width, c.height);
        int worst = 0;
        lit = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const bool in_clip = !c.clipped || (x >= c.clip_x1 + c.dx && x <= c.clip_x2 + c.dx &&
                                                    y >= c.clip_y1 + c.dy && y <= c.clip_y2 + c.dy);
                const double cover = in_clip ? expected[size_t(y) * size_t(c.width) + size_t(x)] : 0.0;
                lit += cover > 0.0;
                const int want = int(std::lround(cover * 255.0));
                const int got = channel(at(x, y), 16);
                if (std::abs(got - want) > worst) {
                    worst = std::abs(got - want);
                    where = "pixel (" + std::to_string(x) + ", " + std::to_string(y) + "): drawn " + std::to_string(got) +
                            ", reference " + std::to_string(cover * 255.0);
                }
            }
        return worst;
    }
};

TEST_F(band_coverage, every_pixel_is_within_one_level_of_the_supersampled_area) {
    std::vector<band_case> cases = {
        {"thin ring sector", arc_band({50.3, 48.7}, 40.0, 38.5, 10.0, 170.0), 1, 100, 100},
        {"thin ring sector, no outline", arc_band({50.3, 48.7}, 40.0, 38.5, 10.0, 170.0), 0, 100, 100},
        {"thick outline round a ring sector", arc_band({60.0, 60.0}, 45.0, 25.0, -30.0, 200.0), 9, 120, 120},
        {"tiny pie", arc_band({5.4, 6.7}, 2.2, 0.0, 0.0, 300.0, 20.0), 1, 12, 12},
        {"sliver smaller than a pixel", {{3.2, 3.1}, {3.5, 3.15}, {3.3, 3.4}}, 0, 8, 8},
        {"sliver smaller than a pixel, outlined", {{3.2, 3.1}, {3.5, 3.15}, {3.3, 3.4}}, 1, 8, 8},
        {"huge ring crossing the canvas", arc_band({50.0, 3050.0}, 3010.0, 2990.0, 250.0, 290.0), 1, 100, 100},
        {"near-closed ring, ends closer than the outline", arc_band({40.0, 40.0}, 30.0, 20.0, 0.0, 359.7), 1, 80, 80},
        {"near-closed ring, ends apart", arc_band({40.0, 40.0}, 30.0, 20.0, 0.0, 356.0), 1, 80, 80},
        {"full ring", arc_band({40.0, 40.0}, 30.0, 20.0, 0.0, 360.0), 1, 80, 80},
        {"full ring, no outline", arc_band({40.0, 40.0}, 30.0, 20.0, 0.0, 360.0), 0, 80, 80},
        {"narrow pie", arc_band({10.0, 10.0}, 50.0, 0.0, 0.0, 20.0), 1, 64, 32},
        {"pie past a half turn, thick outline", arc_band({30.0, 30.0}, 22.0, 0.0, 0.0, 290.0, 10.0), 3, 64, 64},
        {"notch narrower than the outline", {{10, 10}, {50, 10}, {50, 50}, {31, 50}, {30, 40}, {29, 50}, {10, 50}}, 8, 64, 64},
        {"saw teeth shorter than the outline",
         {{4, 20}, {6, 16}, {8, 20}, {10, 16}, {12, 20}, {14, 16}, {16, 20}, {16, 28}, {4, 28}}, 6, 24, 36},
        {"star crossing itself", {{30, 4}, {45, 52}, {5, 22}, {55, 22}, {15, 52}}, 2, 60, 60},
        {"a line there and back", {{10.5, 10.2}, {30.7, 20.9}, {10.5, 10.2}}, 4, 40, 32},
        {"clipped and translated ring", arc_band({30.0, 30.0}, 28.0, 18.0, 0.0, 270.0), 2, 80, 70, 7, -5, true, 10, 12, 60, 50},
        {"partly off the top left", arc_band({-20.0, -15.0}, 50.0, 40.0, -10.0, 120.0), 2, 50, 50},
        {"partly off the bottom right", arc_band({55.0, 50.0}, 30.0, 10.0, 0.0, 360.0), 1, 60, 60},
        {"wholly off the canvas", arc_band({-80.0, 30.0}, 30.0, 10.0, 0.0, 360.0), 1, 40, 40},
    };
    for (const band_case &c : cases) {
        std::string where;
        int lit = 0;
        EXPECT_LE(worst_difference(c, where, lit), 1) << c.what << ", " << where;
        if (c.what.find("wholly off") == std::string::npos) {
            EXPECT_GT(lit, 0) << c.what << ": the case covers something";
        }
    }
}

// Bands no widget draws: thousands of random points, a zigzag of thousands of turns inside one
// row, corners a thousand billion billion pixels away, at line widths up to the largest. Drawn
// under a clip on a patterned canvas, they may change nothing outside it; the one whose corners
// lie far beyond every side covers the whole clip.
TEST_F(band_coverage, absurd_bands_change_nothing_outside_the_clip) {
    constexpr uint32_t k_pattern[2] = {0xFF123456u, 0xFF654321u};
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> anywhere(-20.0f, 84.0f);
    std::vector<float> scattered, zigzag;
    for (int i = 0; i < 1200; ++i) {
        scattered.push_back(anywhere(rng));
        scattered.push_back(anywhere(rng));
    }
    for (int i = 0; i < 2000; ++i) {
        zigzag.push_back(10.0f + 0.02f * float(i));
        zigzag.push_back(i % 2 == 0 ? 30.1f : 30.4f);
    }
    for (float corner : {50.0f, 40.0f, 10.0f, 40.0f}) zigzag.push_back(corner);
    const std::vector<float> far = {-1e30f, -1e30f, 1e30f, 5.0f, 20.0f, 1e30f};
    struct absurd {
        const char *what;
        const std::vector<float> *points;
        int32_t line_width;
        bool fills_clip;
    };
    const absurd cases[] = {
        {"scattered points", &scattered, 0, false},   {"scattered points, wide outline", &scattered, 40, false},
        {"zigzag inside one row", &zigzag, 6, false}, {"corners far away", &far, 0, true},
        {"corners far away, widest outline", &far, 1024, true},
    };
    for (const absurd &c : cases) {
        make_canvas(64, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const gr_rect_t pixel{int16_t(x), int16_t(y), int16_t(x), int16_t(y)};
                ops->fill_rect(ctx, &pixel, k_pattern[(x + y) % 2] & 0xFFFFFFu);
            }
        const gr_rect_t clip{16, 16, 47, 47};
        ops->set_clip(ctx, &clip);
        ops->set_attr(ctx, GR_ATTR_LINE_WIDTH, &c.line_width, 4);
        gr_path_t *path =
            ops->create_path(ctx, GR_PATH_BAND, c.points->data(), int32_t(c.points->size() / 2), GR_PATH_FLAGS_BAND);
        ASSERT_NE(path, nullptr) << c.what;
        ops->draw_path(ctx, path, 0xFFFFFF, 0xFFFFFF, 1);
        ops->free_path(ctx, path);
        int changed_outside = 0, changed_inside = 0, white_inside = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool inside = x >= 16 && x <= 47 && y >= 16 && y <= 47;
                const bool changed = at(x, y) != k_pattern[(x + y) % 2];
                (inside ? changed_inside : changed_outside) += changed;
                white_inside += inside && at(x, y) == k_white;
            }
        EXPECT_EQ(changed_outside, 0) << c.what;
        EXPECT_GT(changed_inside, 0) << c.what;
        if (c.fills_clip) {
            EXPECT_EQ(white_inside, 32 * 32) << c.what;
        }
    }
}

} // namespace
} // namespace pitwall::testing
