// Elliptical bands: the polygon of a ring or pie sector, handed to the host as one closed path.
#include "ellipse.h"

#include "convert.h"

#include <cmath>
#include <cstdlib>

namespace gauges {
namespace {

// A buffer beyond this many points is refused: no gauge of a 16-bit size comes near it (a ring
// 32767 pixels wide has about 51 000), and a request that large can only come from wild input.
constexpr int64_t max_points = int64_t{1} << 20;

bool finite(float v) { return std::isfinite(v); }

// The point at angle `degrees` on the ellipse of radii (rx, ry). The trigonometry runs in double
// precision and is rounded to single before it is scaled, as every gauge places its points.
void put_point(float *points, int32_t index, float degrees, float rx, float ry, float cx, float cy) {
    const float r = degrees * degrees_to_radians;
    const float c = static_cast<float>(std::cos(static_cast<double>(r)));
    const float s = static_cast<float>(std::sin(static_cast<double>(r)));
    points[2 * index] = c * rx + cx;
    points[2 * index + 1] = s * ry + cy;
}

} // namespace

plan_result plan_ellipse(float width, float height, float start, float end, float thickness,
                         ellipse_plan *plan) {
    if (start > end) {
        const float swapped = start;
        start = end;
        end = swapped;
    }
    float span = end - start;
    if (span == 0.0f) return plan_result::nothing;
    // No number, no place on the screen: such a band has no area to fill.
    if (std::isnan(span) || !finite(width) || !finite(height) || !finite(thickness))
        return plan_result::nothing;
    if (span > 360.0f) {
        start = 0.0f;
        end = 360.0f;
        span = 360.0f;
    }
    const float rx = width * 0.5f, ry = height * 0.5f;
    // About one segment per 4 pixels of circumference, never fewer than 4.
    int32_t n = kit::trunc_to_int32((rx + ry) * 3.1415927f * 0.25f);
    if (n < 4) n = 4;
    const float step = 360.0f / (static_cast<float>(n) + 1.0f);
    const bool ring = thickness < rx && thickness < ry;
    const float irx = ring ? rx - thickness : 0.0f, iry = ring ? ry - thickness : 0.0f;
    const int64_t k = kit::trunc_to_int32(span / step);
    const bool both_inner = irx != 0.0f && iry != 0.0f;
    const int64_t capacity = both_inner ? 2 * k + 8 : span == 360.0f ? k + 5 : k + 4;
    if (capacity > max_points) return plan_result::too_large;
    *plan = {start, end, step, rx, ry, both_inner ? irx : 0.0f, both_inner ? iry : 0.0f,
             static_cast<int32_t>(capacity)};
    return plan_result::draw;
}

int32_t build_ellipse_points(const ellipse_plan &plan, float centre_x, float centre_y, float *points,
                             bool *complete) {
    const bool pie = plan.irx == 0.0f && plan.iry == 0.0f;
    int32_t written = 0;
    if (pie) {
        points[0] = centre_x;
        points[1] = centre_y;
        written = 1;
    }
    // Outer edge forwards. A regular point less than 0.01 degrees beyond `end` is still used as it
    // is; from there on `end` itself closes the edge.
    bool outer_done = false;
    for (int32_t i = 0; written < plan.capacity; ++i) {
        float a = plan.start + static_cast<float>(i) * plan.step;
        const bool last = static_cast<double>(a) >= static_cast<double>(plan.end) + 0.01;
        if (last) a = plan.end;
        put_point(points, written++, a, plan.rx, plan.ry, centre_x, centre_y);
        if (last) {
            outer_done = true;
            break;
        }
    }
    bool inner_done = pie;
    if (!pie && outer_done) {
        for (int32_t i = 0; written < plan.capacity; ++i) {
            float a = plan.end - static_cast<float>(i) * plan.step;
            const bool last = static_cast<double>(plan.start) + 0.01 >= static_cast<double>(a);
            if (last) a = plan.start;
            put_point(points, written++, a, plan.irx, plan.iry, centre_x, centre_y);
            if (last) {
                inner_done = true;
                break;
            }
        }
    }
    *complete = outer_done && inner_done;
    return written;
}

int32_t fill_ellipse_arc(gr_context_t *ctx, uint32_t colour, float width, float height, float start,
                         float end, float thickness, float centre_x, float centre_y) {
    ellipse_plan plan;
    const plan_result planned = plan_ellipse(width, height, start, end, thickness, &plan);
    if (planned == plan_result::nothing || !finite(centre_x) || !finite(centre_y)) return 0;
    float *points = planned == plan_result::draw
                        ? static_cast<float *>(std::malloc(static_cast<size_t>(plan.capacity) * 2 * sizeof(float)))
                        : nullptr;
    if (points == nullptr) {
        gre_app_log(ctx->app, GRE_LOG_ERROR, "Failed to allocate memory for ellipse path (OOM)");
        return -1;
    }
    bool complete = false;
    const int32_t count = build_ellipse_points(plan, centre_x, centre_y, points, &complete);
    if (!complete) gre_app_log(ctx->app, GRE_LOG_ERROR, "Failed to initialize all ellipse points - buffer full");

    gr_path_t *path = ctx->ops->create_path(ctx, GR_PATH_BAND, points, count, GR_PATH_FLAGS_BAND);
    if (path == nullptr) {
        gre_app_log(ctx->app, GRE_LOG_ERROR, "Failed to allocate memory for ellipse path");
        std::free(points);
        return -1;
    }
    ctx->ops->draw_path(ctx, path, colour, colour, 1);
    ctx->ops->free_path(ctx, path);
    std::free(points);
    return 0;
}

} // namespace gauges
