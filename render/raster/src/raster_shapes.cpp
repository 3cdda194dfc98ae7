// Rectangles and paths.
//
//   fill_rect (1, 1, 3, 2)        stroke_rect (1, 1, 4, 3)      stroke_rect (1, 2, 4, 2)
//     0 1 2 3 4                     0 1 2 3 4 5                   0 1 2 3 4 5
//   0 . . . . .                   0 . . . . . .                 1 . . . . . .
//   1 . # # # .                   1 . # # # # .                 2 . # # # # .
//   2 . # # # .                   2 . # . . # .                 3 . . . . . .
//   3 . . . . .                   3 . # # # # .                 (a degenerate rectangle is a line)
//
// A band is a closed polygon, filled and outlined in one colour. The outline reaches half the line
// width outside every edge and is round at the corners, so the band grows by no more than that
// anywhere (here at line width 2):
//
//     . . . . . . . . . .
//   .  +---------------+  .      +---+  the polygon
//   .  |               |  .      . . .  the outer edge of the outline, 1 pixel out
//   .  +---------------+  .
//     . . . . . . . . . .
//
// Bands are rasterised by band_coverage.cpp rather than by Cairo, for exact-area coverage: the
// corners are round to within 1/2048 of a pixel.
#include "band_coverage.h"
#include "pixel_blend.h"
#include "raster_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pitwall::raster {
namespace {

bool is_empty(const gr_rect_t &r) { return r.x2 < r.x1 || r.y2 < r.y1; }

void add_rect(cairo_t *cr, int x1, int y1, int x2, int y2) {
    cairo_rectangle(cr, x1, y1, double(x2 - x1 + 1), double(y2 - y1 + 1));
}

// More points than any band or line a widget builds (a band round the largest canvas has about
// 13 000); a larger count is a caller's fault, and would cost memory in proportion.
constexpr int32_t max_path_points = 1 << 16;

// Freed paths kept for reuse: more than a frame of widgets holds at once.
constexpr size_t max_spare_paths = 64;

} // namespace

// An opaque rectangle replaces the pixels it covers with one colour, which is what Cairo gives too
// (an opaque colour over anything is that colour); written directly, it skips Cairo's path,
// clip and compositing machinery, most of what a value box's frame costs. False, with nothing
// done, under a translucent alpha: then the blend is Cairo's.
bool fill_opaque(raster_context::state &s, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t colour) {
    if (s.alpha.value != 255.0) return false;
    x1 += s.tx, x2 += s.tx, y1 += s.ty, y2 += s.ty;
    if (s.clip_set) {
        x1 = std::max(x1, s.clip_x1), y1 = std::max(y1, s.clip_y1);
        x2 = std::min(x2, s.clip_x2), y2 = std::min(y2, s.clip_y2);
    }
    x1 = std::max<int64_t>(x1, 0), y1 = std::max<int64_t>(y1, 0);
    x2 = std::min<int64_t>(x2, s.width - 1), y2 = std::min<int64_t>(y2, s.height - 1);
    if (x2 < x1 || y2 < y1) return true;
    cairo_surface_flush(s.canvas);
    unsigned char *data = cairo_image_surface_get_data(s.canvas);
    if (data == nullptr) return false;
    const size_t stride = size_t(cairo_image_surface_get_stride(s.canvas));
    const size_t span = size_t(x2 - x1 + 1);
    const uint32_t pixel = 0xff000000u | (colour & 0xffffffu);
    auto *first = reinterpret_cast<uint32_t *>(data + size_t(y1) * stride) + x1;
    if (span <= 8) {
        // A narrow strip (a frame's side): a call per row would cost more than the pixels.
        for (int64_t y = y1; y <= y2; ++y) {
            uint32_t *row = reinterpret_cast<uint32_t *>(data + size_t(y) * stride) + x1;
            for (size_t i = 0; i < span; ++i) row[i] = pixel;
        }
    } else {
        std::fill(first, first + span, pixel);
        for (int64_t y = y1 + 1; y <= y2; ++y)
            std::memcpy(reinterpret_cast<uint32_t *>(data + size_t(y) * stride) + x1, first, span * 4);
    }
    cairo_surface_mark_dirty_rectangle(s.canvas, int(x1), int(y1), int(span), int(y2 - y1 + 1));
    return true;
}

void fill_rect_now(raster_context::state &s, const gr_rect_t &rect, uint32_t colour) {
    if (fill_opaque(s, rect.x1, rect.y1, rect.x2, rect.y2, colour)) return;
    canvas_op op(s);
    cairo_t *cr = op.cr();
    add_rect(cr, rect.x1, rect.y1, rect.x2, rect.y2);
    set_colour(cr, colour, s.opacity());
    cairo_fill(cr);
}

void stroke_rect_now(raster_context::state &s, const gr_rect_t &r, uint32_t colour) {
    if (s.alpha.value == 255.0) {
        // The edge pixels as four opaque strips: top and bottom rows, then the sides between them.
        fill_opaque(s, r.x1, r.y1, r.x2, r.y1, colour);
        if (r.y2 > r.y1) fill_opaque(s, r.x1, r.y2, r.x2, r.y2, colour);
        if (r.y2 - r.y1 >= 2) {
            fill_opaque(s, r.x1, r.y1 + 1, r.x1, r.y2 - 1, colour);
            if (r.x2 > r.x1) fill_opaque(s, r.x2, r.y1 + 1, r.x2, r.y2 - 1, colour);
        }
        return;
    }
    canvas_op op(s);
    cairo_t *cr = op.cr();
    // The edge pixels as one even-odd area, so that corners are not blended twice under alpha.
    add_rect(cr, r.x1, r.y1, r.x2, r.y2);
    if (r.x2 - r.x1 >= 2 && r.y2 - r.y1 >= 2) add_rect(cr, r.x1 + 1, r.y1 + 1, r.x2 - 1, r.y2 - 1);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    set_colour(cr, colour, s.opacity());
    cairo_fill(cr);
}

bool line_coverage(cairo_t *cr, const double *points, size_t count, double tx, double ty, double line_width,
                   const pixel_box &box) {
    if (line_width <= 0.0 || count < 4 || box.empty()) return false;
    cairo_surface_t *mask = cairo_get_target(cr);
    cairo_surface_flush(mask);
    unsigned char *pixels = cairo_image_surface_get_data(mask);
    if (pixels == nullptr || cairo_status(cr) != CAIRO_STATUS_SUCCESS) return false;
    const int64_t w = box.x2 - box.x1 + 1, h = box.y2 - box.y1 + 1;
    const size_t stride = size_t(cairo_image_surface_get_stride(mask));
    for (int64_t y = 0; y < h; ++y) std::memset(pixels + size_t(y) * stride, 0, size_t(w));
    cairo_surface_mark_dirty(mask);
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, double(w), double(h));
    cairo_clip(cr);
    // Whole pixels from the canvas: the stroke lands on the same pixels relative to the box.
    cairo_translate(cr, tx - double(box.x1), ty - double(box.y1));
    cairo_move_to(cr, points[0], points[1]);
    for (size_t i = 2; i + 1 < count; i += 2) cairo_line_to(cr, points[i], points[i + 1]);
    cairo_set_line_width(cr, line_width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_stroke(cr);
    cairo_restore(cr);
    cairo_surface_flush(mask);
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS;
}

void draw_line_in(raster_context::state &s, const double *points, size_t count, uint32_t colour,
                  const pixel_box &box, const pixel_box &part) {
    const uint32_t source = band_source(colour, s.alpha.value);
    if (source == 0 || part.empty()) return;
    const int64_t w = box.x2 - box.x1 + 1, h = box.y2 - box.y1 + 1;
    if (w <= 0 || h <= 0 || w > raster_context::max_side || h > raster_context::max_side) return;
    if (s.line_scratch == nullptr || cairo_image_surface_get_width(s.line_scratch) < w ||
        cairo_image_surface_get_height(s.line_scratch) < h) {
        if (s.line_cr != nullptr) cairo_destroy(s.line_cr);
        if (s.line_scratch != nullptr) cairo_surface_destroy(s.line_scratch);
        s.line_scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, int(std::max<int64_t>(w, 64)),
                                                    int(std::max<int64_t>(h, 64)));
        s.line_cr = cairo_create(s.line_scratch);
    }
    if (!line_coverage(s.line_cr, points, count, double(s.tx), double(s.ty), s.line_width.value, box)) return;
    paint_through_mask(s.canvas, part, s.line_scratch, box.x1, box.y1, source);
}

void op_fill_rect(gr_context_t *ctx, const gr_rect_t *rect, uint32_t colour) {
    if (rect == nullptr || is_empty(*rect)) return;
    raster_context::state &s = state_of(ctx);
    if (s.keeping != nullptr) {
        keep_rect(s, op_kind::fill_rect, *rect, colour);
        return;
    }
    fill_rect_now(s, *rect, colour);
}

void op_stroke_rect(gr_context_t *ctx, const gr_rect_t *rect, uint32_t colour) {
    if (rect == nullptr || is_empty(*rect)) return;
    raster_context::state &s = state_of(ctx);
    if (s.keeping != nullptr) {
        keep_rect(s, op_kind::stroke_rect, *rect, colour);
        return;
    }
    stroke_rect_now(s, *rect, colour);
}

gr_path_t *op_create_path(gr_context_t *ctx, int32_t kind, const float *points, int32_t count, int32_t flags) {
    (void)flags; // the kind alone decides how a path is drawn
    if (points == nullptr || count > max_path_points) return nullptr;
    if ((kind == GR_PATH_LINE && count < 2) || (kind == GR_PATH_BAND && count < 3)) return nullptr;
    if (kind != GR_PATH_LINE && kind != GR_PATH_BAND) return nullptr;
    for (int32_t i = 0; i < count * 2; ++i)
        if (!std::isfinite(points[i])) return nullptr; // Cairo cannot draw through NaN or infinity
    raster_context::state &s = state_of(ctx);
    // Widgets make and free their paths at every draw: a freed one is filled again, so that its
    // point storage is reused.
    std::unique_ptr<path> created;
    if (s.spare_paths.empty()) {
        created = std::make_unique<path>();
    } else {
        created = std::move(s.spare_paths.back());
        s.spare_paths.pop_back();
    }
    created->kind = kind;
    created->points.assign(points, points + size_t(count) * 2);
    s.paths.push_back(std::move(created));
    return reinterpret_cast<gr_path_t *>(s.paths.back().get());
}

void op_free_path(gr_context_t *ctx, gr_path_t *handle) {
    raster_context::state &s = state_of(ctx);
    for (auto it = s.paths.begin(); it != s.paths.end(); ++it)
        if (reinterpret_cast<gr_path_t *>(it->get()) == handle) {
            if (s.spare_paths.size() < max_spare_paths) s.spare_paths.push_back(std::move(*it));
            s.paths.erase(it);
            return;
        }
}

void op_draw_path(gr_context_t *ctx, gr_path_t *handle, uint32_t fill, uint32_t stroke, int32_t one) {
    (void)one;
    raster_context::state &s = state_of(ctx);
    const path *p = s.find_path(handle);
    if (p == nullptr) return;
    // Widgets pass one colour as both for a band: the outline is part of the band's single area,
    // painted onto the canvas directly (Cairo's context is not used).
    const bool band = p->kind == GR_PATH_BAND;
    const uint32_t colour = band ? fill : stroke;
    if (s.keeping != nullptr) {
        keep_path(s, band, p->points.data(), p->points.size(), colour);
        return;
    }
    if (band) {
        draw_band(s, p->points.data(), p->points.size(), colour);
        return;
    }
    const pixel_box box = line_box(s, p->points.data(), p->points.size());
    draw_line_in(s, p->points.data(), p->points.size(), colour, box, box);
}

} // namespace pitwall::raster
