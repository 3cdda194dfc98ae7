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
#include <cstring>

namespace pitwall::raster {
namespace {

// How far the polygon standing in for a rounded corner may lie outside its circle, in pixels:
// well below the 1/255 of a pixel a coverage byte can tell apart.
constexpr double arc_tolerance = 1.0 / 2048.0;
// Most points for one corner (a half turn at a line width of hundreds of pixels), and for all
// the corners of a band together, so that a polygon of thousands of sharp turns at a wide
// outline gets coarser corners rather than millions of points.
constexpr int max_arc_points = 256;
constexpr size_t arc_budget = size_t{1} << 18;

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
    const double dx = b.x - a.x, dy = b.y - a.y;
    // A plain root where the squares cannot overflow (every edge a widget draws): hypot's care
    // costs several times as much.
    const bool plain = std::fabs(dx) < 1e150 && std::fabs(dy) < 1e150;
    const double length = plain ? std::sqrt(dx * dx + dy * dy) : std::hypot(dx, dy);
    const double ux = dx / length, uy = dy / length;
    return {ux, uy, sign * uy, -sign * ux, length};
}

// The outline's outer edge: the polygon grown by `half` all round, as one contour.
//
//   - along each edge it runs `half` out, parallel to it;
//   - where the polygon turns outwards it rounds the corner about a circle of radius `half`,
//     as a polygon whose edges touch the circle (one mitre point where the turn is slight);
//   - where it turns inwards the two offset edges stop where they cross (x); when an edge is
//     too short for that (the crossing would lie beyond its middle), each offset edge runs on
//     to the corner's own offset point and the contour goes in to the corner (+) and out again.
//
//         # # # # # # # # #
//         # # # # # # # # #        # the polygon
//         # # # # + - - - - -      - | its edges, turning inwards at +
//         # # # # |  x . . . .     . the offset edges, meeting at x
//         # # # # |  .
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
    const int most_points = int(std::clamp<size_t>(arc_budget / n, 2, max_arc_points));
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
            const int steps = std::clamp(int(std::ceil(turn / arc_step)), 2, most_points);
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

} // namespace

// Rounded as Cairo rounds a colour source (to 16 bits per channel, then the top 8), so that a band
// blends as Cairo would.
uint32_t band_source(uint32_t colour, double alpha) {
    const double a = alpha / 255.0;
    auto channel = [a](uint32_t value) {
        return uint32_t(static_cast<uint16_t>(double(value) / 255.0 * a * 65535.0 + 0.5) >> 8);
    };
    return channel(255) << 24 | channel((colour >> 16) & 0xFF) << 16 | channel((colour >> 8) & 0xFF) << 8 |
           channel(colour & 0xFF);
}

namespace {

uint32_t premultiplied(uint32_t colour, double alpha) { return band_source(colour, alpha); }

// The coverage painted onto the canvas a block of rows at a time. The sweep writes each row into
// the block mask; when the block is done, each cluster of its runs (runs meeting across the rows,
// such as one side of a ring) is blended in one go, and the runs are cleared again, so the mask
// is all zero between blocks. Wholly covered stretches of an opaque colour are the colour
// itself, written directly.
class paint_blocks final : public coverage_sink {
public:
    paint_blocks(band_scratch &b, cairo_surface_t *canvas, cairo_surface_t *mask, int64_t x0, uint32_t colour)
        : runs_(b.runs), canvas_(canvas), mask_(mask), x0_(x0), colour_(colour),
          mask_pixels_(cairo_image_surface_get_data(mask)), mask_stride_(cairo_image_surface_get_stride(mask)) {
        runs_.clear();
        if (colour >= 0xFF000000u) {
            cairo_surface_flush(canvas);
            pixels_ = cairo_image_surface_get_data(canvas);
            stride_ = cairo_image_surface_get_stride(canvas);
        }
    }

    uint8_t *row(int64_t y) override {
        if (y >= block_ + band_scratch::block_rows) {
            paint_block();
            block_ = y;
        }
        return mask_pixels_ + (y - block_) * mask_stride_;
    }

    void run(int64_t y, int64_t x, int32_t count, const uint8_t *) override {
        runs_.push_back({y, x, x + count});
    }

    bool full(int64_t y, int64_t x, int32_t count) override {
        if (pixels_ == nullptr) return false;
        // Four pixels a store: a plain fill loop is not vectorised at -O2.
        unsigned char *row = pixels_ + y * stride_ + x * 4;
        const uint32_t four[4] = {colour_, colour_, colour_, colour_};
        int32_t i = 0;
        for (; i + 4 <= count; i += 4) std::memcpy(row + i * 4, four, sizeof four);
        for (; i < count; ++i) std::memcpy(row + i * 4, &colour_, 4);
        lo_ = std::min(lo_, y), hi_ = std::max(hi_, y);
        return true;
    }

    // The last block, and what full() wrote, for Cairo to know.
    void finish(int64_t x1) {
        paint_block();
        if (hi_ >= lo_) cairo_surface_mark_dirty_rectangle(canvas_, int(x0_), int(lo_), int(x1 - x0_), int(hi_ - lo_ + 1));
    }

private:
    void paint_block() {
        if (runs_.empty()) return;
        std::sort(runs_.begin(), runs_.end(), [](const band_scratch::run &a, const band_scratch::run &b) { return a.x1 < b.x1; });
        pixel_box cluster{runs_[0].x1, runs_[0].y, runs_[0].x2 - 1, runs_[0].y};
        for (size_t i = 1; i <= runs_.size(); ++i) {
            if (i < runs_.size() && runs_[i].x1 <= cluster.x2 + 1 + cluster_gap) {
                cluster.x2 = std::max(cluster.x2, runs_[i].x2 - 1);
                cluster.y1 = std::min(cluster.y1, runs_[i].y), cluster.y2 = std::max(cluster.y2, runs_[i].y);
                continue;
            }
            paint_through_mask(canvas_, cluster, mask_, x0_, block_, colour_);
            if (i < runs_.size()) cluster = {runs_[i].x1, runs_[i].y, runs_[i].x2 - 1, runs_[i].y};
        }
        for (const band_scratch::run &r : runs_)
            std::memset(mask_pixels_ + (r.y - block_) * mask_stride_ + (r.x1 - x0_), 0, size_t(r.x2 - r.x1));
        runs_.clear();
    }

    // Runs closer than this are blended as one box: skipping the zeros between costs less than
    // a blend call.
    static constexpr int64_t cluster_gap = 64;

    std::vector<band_scratch::run> &runs_;
    cairo_surface_t *canvas_;
    cairo_surface_t *mask_;
    int64_t x0_;
    uint32_t colour_;
    uint8_t *mask_pixels_;
    int64_t mask_stride_;
    int64_t block_ = INT64_MIN / 2; // the first row of the block being written
    unsigned char *pixels_ = nullptr; // the canvas, when the colour is opaque
    int64_t stride_ = 0;
    int64_t lo_ = INT64_MAX, hi_ = INT64_MIN; // rows full() wrote to
};

} // namespace

band_scratch::~band_scratch() {
    if (mask_ != nullptr) cairo_surface_destroy(mask_);
}

cairo_surface_t *band_scratch::block_mask(int32_t width) {
    if (mask_ != nullptr && cairo_image_surface_get_width(mask_) >= width) return mask_;
    if (mask_ != nullptr) cairo_surface_destroy(mask_);
    mask_ = cairo_image_surface_create(CAIRO_FORMAT_A8, width, block_rows);
    if (cairo_surface_status(mask_) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_data(mask_) == nullptr) {
        cairo_surface_destroy(mask_);
        mask_ = nullptr;
        return nullptr;
    }
    std::memset(cairo_image_surface_get_data(mask_), 0,
                size_t(cairo_image_surface_get_stride(mask_)) * size_t(block_rows));
    return mask_;
}

void band_chains(band_scratch &b, const double *points, size_t count, double tx, double ty, double line_width,
                 chain_set &out) {
    out.clear();
    b.polygon.clear();
    for (size_t i = 0; i + 1 < count; i += 2) {
        const point q{points[i] + tx, points[i + 1] + ty};
        if (b.polygon.empty() || q.x != b.polygon.back().x || q.y != b.polygon.back().y) b.polygon.push_back(q);
    }
    while (b.polygon.size() > 1 && b.polygon.front().x == b.polygon.back().x &&
           b.polygon.front().y == b.polygon.back().y)
        b.polygon.pop_back(); // repeated points give an edge no direction
    if (b.polygon.size() < 2) return;
    if (line_width > 0.0) {
        const double sign = signed_area2(b.polygon) < 0.0 ? -1.0 : 1.0;
        grow(b.polygon, line_width * 0.5, sign, b.outline);
        out.add_contour(b.outline.data(), b.outline.size());
        if (b.outline.capacity() > arc_budget) std::vector<point>().swap(b.outline);
    } else {
        out.add_contour(b.polygon.data(), b.polygon.size());
    }
}

void draw_band_chains(raster_context::state &s, const chain_set &chains, uint32_t colour) {
    const uint32_t source = premultiplied(colour, s.alpha.value);
    if (source == 0 || chains.runs.empty()) return; // fully transparent, or no area: nothing changes

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
    b.sweep.reset(x0, y0, x1, y1);
    b.sweep.add_chains(chains);
    cairo_surface_t *mask = b.block_mask(int32_t(x1 - x0));
    if (mask != nullptr) {
        cairo_surface_flush(mask);
        paint_blocks painter(b, s.canvas, mask, x0, source);
        b.sweep.render(painter);
        painter.finish(x1);
    }
    b.sweep.trim();
}

namespace {

// Coverage bytes written straight into an A8 surface (zero where nothing covers).
class mask_writer final : public coverage_sink {
public:
    mask_writer(unsigned char *pixels, int64_t stride, int64_t y0) : pixels_(pixels), stride_(stride), y0_(y0) {}
    uint8_t *row(int64_t y) override { return pixels_ + (y - y0_) * stride_; }
    void run(int64_t, int64_t, int32_t, const uint8_t *) override {}

private:
    unsigned char *pixels_;
    int64_t stride_, y0_;
};

} // namespace

cairo_surface_t *band_mask(band_scratch &b, const chain_set &chains, const pixel_box &box) {
    if (box.empty() || chains.runs.empty()) return nullptr;
    const int64_t w = box.x2 - box.x1 + 1, h = box.y2 - box.y1 + 1;
    if (w > raster_context::max_side || h > raster_context::max_side) return nullptr;
    cairo_surface_t *mask = cairo_image_surface_create(CAIRO_FORMAT_A8, int(w), int(h));
    unsigned char *pixels = cairo_image_surface_get_data(mask);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS || pixels == nullptr) {
        cairo_surface_destroy(mask);
        return nullptr;
    }
    cairo_surface_flush(mask);
    b.sweep.reset(box.x1, box.y1, box.x2 + 1, box.y2 + 1);
    b.sweep.add_chains(chains);
    mask_writer writer(pixels, cairo_image_surface_get_stride(mask), box.y1);
    b.sweep.render(writer);
    b.sweep.trim();
    cairo_surface_mark_dirty(mask);
    return mask;
}

void draw_band(raster_context::state &s, const double *points, size_t count, uint32_t colour) {
    if (premultiplied(colour, s.alpha.value) == 0) return;
    band_scratch &b = s.bands;
    band_chains(b, points, count, double(s.tx), double(s.ty), s.line_width.value, b.chains);
    draw_band_chains(s, b.chains, colour);
    if (b.chains.vertices.capacity() > arc_budget) b.chains = chain_set{};
}

} // namespace pitwall::raster
