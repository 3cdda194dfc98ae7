// Text turned by quarter turns. For a line w pixels long (its text_extent width) and L high (its
// font_metrics line height), drawn at P, the turned line fills exactly this box:
//
//     90 (reads downward)     180 (upside down)          270 (reads upward)
//     P +-----+               +-----------+ P + (L, 0)   +-----+
//       | top |               |  top is   |              | top |
//       | to  | w             |  at the   | L            | to  | w
//       | the |               |  bottom   |              | the |
//       |right|               +-----------+              |left |
//       +-----+                     w                  P +-----+
//          L                                                L
//
//   90: [P.x, P.x + L) x [P.y, P.y + w)        180: [P.x + L - w, P.x + L) x [P.y, P.y + L)
//  270: [P.x, P.x + L) x [P.y - w, P.y)
//
// so that a widget that computed the box of the turned text from w and L (and the point from the
// box) finds the text inside it. Turning glyph outlines with the font would hint and round them
// differently from the same text unturned; instead the line is drawn unturned into a coverage mask
// and that mask is placed turned, whole pixel onto whole pixel, so that the turned pixels are an
// exact transposition or flip of the unturned ones. Only the part of the line that can land on the
// canvas inside the clip is rendered, which keeps the mask small for very long texts.
#include "turned_text.h"

#include "pixel_blend.h"
#include "text_stamp.h"

#include <algorithm>
#include <cmath>

namespace pitwall::raster {
namespace {

// Where text-space point (u, v) lands on the canvas: X = xx u + xy v + x0, Y = yx u + yy v + y0,
// with each of xx, xy, yx, yy one of -1, 0, 1. Its inverse is its transpose.
struct quarter_turn {
    int xx, xy, yx, yy;
    int64_t x0, y0;
};

quarter_turn turn_at(int quarters, int64_t px, int64_t py, int64_t line_height) {
    switch (quarters) {
    case 1:
        return {0, -1, 1, 0, px + line_height, py};
    case 2:
        return {-1, 0, 0, -1, px + line_height, py + line_height};
    default:
        return {0, 1, -1, 0, px, py};
    }
}

// A half-open pixel rectangle [x1, x2) x [y1, y2).
struct span_rect {
    int64_t x1, y1, x2, y2;
    bool empty() const { return x2 <= x1 || y2 <= y1; }
};

span_rect intersect(const span_rect &a, const span_rect &b) {
    return {std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
}

// The canvas pixels that can change: the canvas, within the clip.
span_rect visible_area(const raster_context::state &s) {
    span_rect canvas{0, 0, s.width, s.height};
    if (!s.clip_set) return canvas;
    return intersect(canvas, {s.clip_x1, s.clip_y1, s.clip_x2 + 1, s.clip_y2 + 1});
}

// The text-space rectangle that lands on the canvas rectangle r.
span_rect to_text_space(const quarter_turn &t, const span_rect &r) {
    auto u = [&t](int64_t x, int64_t y) { return t.xx * (x - t.x0) + t.yx * (y - t.y0); };
    auto v = [&t](int64_t x, int64_t y) { return t.xy * (x - t.x0) + t.yy * (y - t.y0); };
    int64_t ua = u(r.x1, r.y1), ub = u(r.x2, r.y2);
    int64_t va = v(r.x1, r.y1), vb = v(r.x2, r.y2);
    return {std::min(ua, ub), std::min(va, vb), std::max(ua, ub), std::max(va, vb)};
}

// The canvas rectangle that text-space rectangle r lands on.
span_rect to_canvas(const quarter_turn &t, const span_rect &r) {
    auto x = [&t](int64_t u, int64_t v) { return t.xx * u + t.xy * v + t.x0; };
    auto y = [&t](int64_t u, int64_t v) { return t.yx * u + t.yy * v + t.y0; };
    int64_t xa = x(r.x1, r.y1), xb = x(r.x2, r.y2);
    int64_t ya = y(r.x1, r.y1), yb = y(r.x2, r.y2);
    return {std::min(xa, xb), std::min(ya, yb), std::max(xa, xb), std::max(ya, yb)};
}

} // namespace

int quarter_turns(double degrees) {
    if (!std::isfinite(degrees)) return -1;
    double turned = std::fmod(degrees, 360.0);
    if (turned < 0.0) turned += 360.0;
    for (int q = 0; q < 4; ++q)
        if (turned == 90.0 * q) return q;
    return -1;
}

void draw_turned_line(raster_context::state &s, int32_t x, int32_t y, const text_line &line, int quarters,
                      uint32_t colour) {
    if (quarters < 1 || quarters > 3 || line.count <= 0) return;
    const quarter_turn turn = turn_at(quarters, x + s.tx, y + s.ty, line.height);
    const span_rect part = intersect(to_text_space(turn, visible_area(s)), {0, 0, line.width, line.height});
    if (part.empty()) return;

    // The visible part is at most a canvas side long and a line high.
    cairo_surface_t *mask =
        cairo_image_surface_create(CAIRO_FORMAT_A8, int(part.x2 - part.x1), int(part.y2 - part.y1));
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(mask);
        return;
    }
    cairo_t *unturned = cairo_create(mask);
    cairo_translate(unturned, double(-part.x1), double(-part.y1));
    cairo_set_source_rgba(unturned, 1.0, 1.0, 1.0, 1.0);
    show_line(unturned, line);
    cairo_destroy(unturned);

    // The colour goes through the mask exactly as it goes through the glyphs of unturned text,
    // so that partly covered pixels blend alike at any alpha.
    canvas_op op(s);
    cairo_t *cr = op.cr();
    cairo_identity_matrix(cr);
    cairo_matrix_t to_canvas;
    cairo_matrix_init(&to_canvas, turn.xx, turn.yx, turn.xy, turn.yy, double(turn.x0), double(turn.y0));
    cairo_set_matrix(cr, &to_canvas);
    cairo_pattern_t *coverage = cairo_pattern_create_for_surface(mask);
    cairo_matrix_t from_text;
    cairo_matrix_init_translate(&from_text, double(-part.x1), double(-part.y1));
    cairo_pattern_set_matrix(coverage, &from_text);
    cairo_pattern_set_filter(coverage, CAIRO_FILTER_NEAREST);
    set_colour(cr, colour, s.opacity());
    cairo_mask(cr, coverage);
    cairo_pattern_destroy(coverage);
    cairo_surface_destroy(mask);
}

bool draw_turned_stamp(raster_context::state &s, int32_t x, int32_t y, text_layout &run, double ascent,
                       int64_t line_height, int quarters, uint32_t colour) {
    if (quarters < 1 || quarters > 3) return false;
    if (!run.stamp_tried) make_stamp(run, ascent, s.glyph_cover);
    if (!run.stamp) return false;
    cairo_surface_t *stamp = run.stamp.get();
    const quarter_turn turn = turn_at(quarters, x + s.tx, y + s.ty, line_height);
    // What the mask route draws: the line's box, inside the clip; the stamp holds all of its ink.
    const span_rect stamped{run.stamp_x, run.stamp_y, run.stamp_x + cairo_image_surface_get_width(stamp),
                            run.stamp_y + cairo_image_surface_get_height(stamp)};
    const span_rect part = intersect(intersect(to_text_space(turn, visible_area(s)), {0, 0, run.width, line_height}),
                                     stamped);
    if (part.empty()) return true;
    const span_rect area = to_canvas(turn, part);
    cairo_surface_flush(stamp);
    const unsigned char *data = cairo_image_surface_get_data(stamp);
    if (data == nullptr) return false;
    const int64_t stride = cairo_image_surface_get_stride(stamp);
    // Canvas pixel (X, Y) shows the text pixel under its centre: u = xx (X - x0) + yx (Y - y0), and
    // v likewise with xy and yy, taken at X + 1/2 and Y + 1/2 and rounded down (doubled, to stay whole).
    const int64_t cx = 2 * (area.x1 - turn.x0) + 1, cy = 2 * (area.y1 - turn.y0) + 1;
    const int64_t u = (turn.xx * cx + turn.yx * cy) >> 1, v = (turn.xy * cx + turn.yy * cy) >> 1;
    const unsigned char *first = data + (v - run.stamp_y) * stride + (u - run.stamp_x);
    paint_through_stepped_mask(s.canvas, {area.x1, area.y1, area.x2 - 1, area.y2 - 1}, first, turn.xx + turn.xy * stride,
                               turn.yx + turn.yy * stride, 0xFF000000u | (colour & 0xFFFFFFu));
    return true;
}

} // namespace pitwall::raster
