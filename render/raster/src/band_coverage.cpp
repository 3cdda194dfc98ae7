// Bands: the polygon grown by half the line width into one contour, its exact coverage from the
// sweep, and the colour painted through it row by row.
//
// Cairo's image backend has no exact-area anti-aliasing (its scan converter samples 15 sub-rows
// per pixel, up to 7 % off along a nearly level edge), so bands are rasterised here.
#include "band_coverage.h"

#include "pixel_blend.h"
#include "raster_state.h"

#include <algorithm>
#include <cmath>

namespace pitwall::raster {
namespace {

// How far the polygon standing in for a rounded corner may lie outside its circle, in pixels:
// well below the 1/255 of a pixel a coverage byte can tell apart.
constexpr double arc_tolerance = 1.0 / 2048.0;
// Most points for one corner (a half turn at a line width of hundreds of pixels).
constexpr int max_arc_points = 256;

// Twice the signed area; its sign tells which way round the polygon runs.
double signed_area2(const std::vector<point> &polygon) {
    double sum = 0.0;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++)
        sum += polygon[j].x * polygon[i].y - polygon[i].x * polygon[j].y;
    return sum;
}

// An edge's direction and its normal pointing out of the polygon.
struct heading {
    double ux, uy; // unit direction
    double nx, ny; // unit normal, outwards
    double length;
};

heading heading_of(point a, point b, double sign) {
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    const double ux = dx / length, uy = dy / length;
    return {ux, uy, sign * uy, -sign * ux, length};
}

// The outline's outer edge: the polygon grown by `half` all round, as one contour.
//
//   - along each edge it runs `half` out, parallel to it;
//   - where the polygon turns outwards it rounds the corner about a circle of radius `half`,
//     as a polygon whose edges touch the circle (one mitre point where the turn is slight);
//   - where it turns inwards the two offset edges stop where they cross; when an edge is too
//     short for that (the crossing would lie beyond its middle), the contour goes in to the
//     corner and out again instead:
//
//         offset edge in   ----------+ . x          x  where long edges stop
//                                    |   :
//                      corner  ------+   :             (in, to the corner, out)
//                                    |   :
//                                        offset edge out
//
// Going in to a corner and out again leaves loops where the strips along the two edges overlap;
// so does a band whose ends come closer than the line width. The contour then winds more than
// once round some places, never less than once round any point within `half` of the polygon,
// and the sweep's non-zero rule takes the union.
void grow(const std::vector<point> &polygon, double half, double sign, std::vector<point> &out) {
    out.clear();
    const size_t n = polygon.size();
    // A turn of up to `turn` fits one mitre point when the point, half / cos(turn / 2) from the
    // corner, lies within the tolerance of the circle: cos(turn) >= 2 c^2 - 1.
    const double c = half / (half + arc_tolerance);
    const double mitre_cos = 2.0 * c * c - 1.0;
    const double arc_step = 2.0 * std::acos(c);
    heading in = heading_of(polygon[n - 1], polygon[0], sign);
    for (size_t i = 0; i < n; ++i) {
        const point b = polygon[i];
        const heading on = heading_of(b, polygon[(i + 1) % n], sign);
        const double cross = in.ux * on.uy - in.uy * on.ux, dot = in.ux * on.ux + in.uy * on.uy;
        const bool outwards = cross * sign > 0.0 || (cross == 0.0 && dot < 0.0); // a half turn rounds too
        const bool inwards = cross * sign < 0.0;
        // Both offset edges' lines pass through here (the normals' dot is the directions' dot).
        auto mitre = [&] {
            const double k = half / (1.0 + dot);
            return point{b.x + k * (in.nx + on.nx), b.y + k * (in.ny + on.ny)};
        };
        if (outwards && dot >= mitre_cos) {
            out.push_back(mitre());
        } else if (outwards) {
            const double turn = std::atan2(std::fabs(cross), dot);
            const int steps = std::clamp(int(std::ceil(turn / arc_step)), 2, max_arc_points);
            const double step = turn / steps, reach = half / std::cos(0.5 * step);
            // Normals from the incoming edge's round to the outgoing edge's, each point where the
            // tangents at two neighbouring normals meet.
            const double turn_cos = std::cos(sign * step), turn_sin = std::sin(sign * step);
            double dx = in.nx * std::cos(0.5 * sign * step) - in.ny * std::sin(0.5 * sign * step);
            double dy = in.nx * std::sin(0.5 * sign * step) + in.ny * std::cos(0.5 * sign * step);
            for (int k = 0; k < steps; ++k) {
                out.push_back({b.x + reach * dx, b.y + reach * dy});
                const double rx = dx * turn_cos - dy * turn_sin;
                dy = dx * turn_sin + dy * turn_cos;
                dx = rx;
            }
        } else if (inwards) {
            // The offset edges cross half * tan(turn / 2) back from their ends.
            const double back = half * std::sqrt((1.0 - dot) / (1.0 + dot));
            if (back <= 0.5 * in.length && back <= 0.5 * on.length) {
                out.push_back(mitre());
            } else {
                out.push_back({b.x + half * in.nx, b.y + half * in.ny});
                out.push_back(b);
                out.push_back({b.x + half * on.nx, b.y + half * on.ny});
            }
        } else {
            out.push_back({b.x + half * in.nx, b.y + half * in.ny}); // straight on
        }
        in = on;
    }
}

// The colour at the context's alpha as premultiplied canvas bytes, rounded as Cairo rounds a
// colour source (to 16 bits per channel, then the top 8), so a band blends as Cairo would.
uint32_t premultiplied(uint32_t colour, double alpha) {
    const double a = alpha / 255.0;
    auto channel = [a](uint32_t value) {
        return uint32_t(static_cast<uint16_t>(double(value) / 255.0 * a * 65535.0 + 0.5) >> 8);
    };
    return channel(255) << 24 | channel((colour >> 16) & 0xFF) << 16 | channel((colour >> 8) & 0xFF) << 8 |
           channel(colour & 0xFF);
}

// Each run of a row's coverage painted onto the canvas through the one-row mask it was written to.
class paint_rows final : public coverage_sink {
public:
    paint_rows(cairo_surface_t *canvas, cairo_surface_t *mask, int64_t mask_x, uint32_t colour)
        : canvas_(canvas), mask_(mask), mask_x_(mask_x), colour_(colour) {}

    void run(int64_t y, int64_t x, int32_t count, const uint8_t *) override {
        paint_through_mask(canvas_, pixel_box{x, y, x + count - 1, y}, mask_, mask_x_, y, colour_);
    }

private:
    cairo_surface_t *canvas_;
    cairo_surface_t *mask_;
    int64_t mask_x_;
    uint32_t colour_;
};

} // namespace

band_scratch::~band_scratch() {
    if (mask_ != nullptr) cairo_surface_destroy(mask_);
}

cairo_surface_t *band_scratch::row_mask(int32_t width) {
    if (mask_ != nullptr && cairo_image_surface_get_width(mask_) >= width) return mask_;
    if (mask_ != nullptr) cairo_surface_destroy(mask_);
    mask_ = cairo_image_surface_create(CAIRO_FORMAT_A8, width, 1);
    if (cairo_surface_status(mask_) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_data(mask_) == nullptr) {
        cairo_surface_destroy(mask_);
        mask_ = nullptr;
    }
    return mask_;
}

void draw_band(raster_context::state &s, const path &p, uint32_t colour) {
    const uint32_t source = premultiplied(colour, s.alpha.value);
    if (source == 0) return; // fully transparent: nothing changes

    // The pixels that may change: the canvas, within the clip.
    int64_t x0 = 0, y0 = 0, x1 = s.width, y1 = s.height;
    if (s.clip_set) {
        x0 = std::max(x0, s.clip_x1);
        y0 = std::max(y0, s.clip_y1);
        x1 = std::min(x1, s.clip_x2 + 1);
        y1 = std::min(y1, s.clip_y2 + 1);
    }
    if (x1 <= x0 || y1 <= y0) return;

    band_scratch &b = s.bands;
    b.polygon.clear();
    for (size_t i = 0; i + 1 < p.points.size(); i += 2) {
        const point q{p.points[i] + double(s.tx), p.points[i + 1] + double(s.ty)};
        if (b.polygon.empty() || q.x != b.polygon.back().x || q.y != b.polygon.back().y) b.polygon.push_back(q);
    }
    while (b.polygon.size() > 1 && b.polygon.front().x == b.polygon.back().x &&
           b.polygon.front().y == b.polygon.back().y)
        b.polygon.pop_back(); // repeated points give an edge no direction
    if (b.polygon.size() < 2) return;

    b.sweep.reset(x0, y0, x1, y1);
    if (s.line_width.value > 0.0) {
        const double sign = signed_area2(b.polygon) < 0.0 ? -1.0 : 1.0;
        grow(b.polygon, s.line_width.value * 0.5, sign, b.outline);
        b.sweep.add_contour(b.outline.data(), b.outline.size());
    } else {
        b.sweep.add_contour(b.polygon.data(), b.polygon.size());
    }

    cairo_surface_t *mask = b.row_mask(int32_t(x1 - x0));
    if (mask != nullptr) {
        cairo_surface_flush(mask);
        paint_rows painter(s.canvas, mask, x0, source);
        b.sweep.render(painter, cairo_image_surface_get_data(mask));
    }
    b.sweep.trim();
}

} // namespace pitwall::raster
