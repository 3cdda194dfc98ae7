// Kept operations compared: which canvas pixels a new draw changes.
#include "op_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pitwall::raster {
namespace {

bool same_rect(const gr_rect_t &a, const gr_rect_t &b) {
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
}

// The plug-ins' points are floats widened to doubles: the same point is exactly equal.
bool same_point(const double *a, const double *b) { return a[0] == b[0] && a[1] == b[1]; }

// The box of the points added, as the canvas pixels whose area comes within `reach` of it (and one
// more on each side for the rounding of the coverage).
struct box_builder {
    double x1 = INFINITY, y1 = INFINITY, x2 = -INFINITY, y2 = -INFINITY;
    void add(const double *p) {
        x1 = std::min(x1, p[0]), y1 = std::min(y1, p[1]);
        x2 = std::max(x2, p[0]), y2 = std::max(y2, p[1]);
    }
    bool empty() const { return !(x1 <= x2 && y1 <= y2); }
    pixel_box pixels(const op_state &s, double reach) const {
        if (empty()) return {0, 0, -1, -1};
        auto clamp = [](double v) { return std::clamp(v, -1e9, 1e9); };
        return {int64_t(std::floor(clamp(x1 + double(s.tx) - reach))) - 1,
                int64_t(std::floor(clamp(y1 + double(s.ty) - reach))) - 1,
                int64_t(std::ceil(clamp(x2 + double(s.tx) + reach))),
                int64_t(std::ceil(clamp(y2 + double(s.ty) + reach)))};
    }
};

double reach_of(const op_state &s) { return s.line_width > 0.0 ? s.line_width * 0.5 : 0.0; }

pixel_box either(const pixel_box &a, const pixel_box &b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return {std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
}

void push(std::vector<pixel_box> &out, const pixel_box &b) {
    if (!b.empty()) out.push_back(b);
}

// Vertices walked in one band from one shared vertex to the next, through those that differ.
struct walk {
    const double *points;
    size_t count;   // vertices in the band
    size_t from;    // the first vertex walked
    size_t length;  // vertices walked
    const double *at(size_t i) const { return points + 2 * ((from + std::min(i, length - 1)) % count); }
};

// Two bands under the same state and colour whose points differ in part. Going round both from the
// last point they share before the difference to the first they share after it, the two walks and
// the rungs joining their i-th vertices cut the area between the bands into cells; each cell lies
// within the box of its vertices, so those boxes (grown by the outline's reach) cover every pixel
// the change can touch. Cells of a few vertices keep the boxes close to the edges that moved.
void band_change(const double *a, size_t n, const double *b, size_t m, const op_state &s, const pixel_box &within,
                 std::vector<pixel_box> &out) {
    size_t p = 0;
    while (p < n && p < m && same_point(a + 2 * p, b + 2 * p)) ++p;
    size_t q = 0;
    while (q < n - p && q < m - p && same_point(a + 2 * (n - 1 - q), b + 2 * (m - 1 - q))) ++q;
    walk old{a, n, 0, 0}, now{b, m, 0, 0};
    if (p == 0 && q == 0) {
        // Nothing shared: each band all the way round, back to its first vertex.
        old.length = n + 1;
        now.length = m + 1;
    } else {
        old.from = (p + n - 1) % n, old.length = n - q - p + 2;
        now.from = (p + m - 1) % m, now.length = m - q - p + 2;
    }
    constexpr size_t cell = 8;
    const double reach = reach_of(s);
    const size_t longest = std::max(old.length, now.length);
    for (size_t i = 0; i + 1 < longest; i += cell) {
        box_builder box;
        for (size_t k = i; k <= i + cell && k < longest; ++k) {
            box.add(old.at(k));
            box.add(now.at(k));
        }
        push(out, meet(box.pixels(s, reach), within));
    }
}

} // namespace

bool kept_op::same_arguments(const kept_op &o) const {
    return kind == o.kind && state == o.state && colour == o.colour && same_rect(rect, o.rect) &&
           same_rect(source, o.source) && x == o.x && y == o.y && pivot_x == o.pivot_x && pivot_y == o.pivot_y &&
           draw_width == o.draw_width && draw_height == o.draw_height && handle == o.handle && pixels == o.pixels &&
           font == o.font && text_x == o.text_x && text_y == o.text_y && count == o.count;
}

void op_list::clear() {
    ops.clear();
    points.clear();
    text.clear();
    valid = true;
    prepared_used = 0;
}

bool op_list::uses(const image *h) const {
    return std::any_of(ops.begin(), ops.end(), [h](const kept_op &op) { return op.handle == h; });
}

bool op_list::same(const kept_op &a, const op_list &other, const kept_op &b) const {
    if (!a.same_arguments(b)) return false;
    switch (a.kind) {
    case op_kind::band:
    case op_kind::line:
        return std::equal(points.begin() + a.first, points.begin() + a.first + a.count, other.points.begin() + b.first);
    case op_kind::text:
        return text.compare(a.first, a.count, other.text, b.first, b.count) == 0;
    default:
        return true;
    }
}

pixel_box path_box(const double *points, size_t count, const op_state &state, bool band) {
    if (!band && state.line_width <= 0.0) return {0, 0, -1, -1}; // a line of no width draws nothing
    box_builder box;
    for (size_t i = 0; i + 1 < count; i += 2) box.add(points + i);
    return box.pixels(state, reach_of(state));
}

void changed_boxes(const op_list &before, const op_list &after, std::vector<pixel_box> &changed, op_pairs &same) {
    const size_t n = before.ops.size(), m = after.ops.size();
    size_t head = 0;
    while (head < n && head < m && before.same(before.ops[head], after, after.ops[head])) ++head;
    size_t tail = 0;
    while (tail < n - head && tail < m - head &&
           before.same(before.ops[n - 1 - tail], after, after.ops[m - 1 - tail]))
        ++tail;
    same.clear();
    for (size_t i = 0; i < head; ++i) same.emplace_back(uint32_t(i), uint32_t(i));
    for (size_t k = 0; k < tail; ++k) same.emplace_back(uint32_t(n - 1 - k), uint32_t(m - 1 - k));
    // What lies between changed; taken pairwise, a band that kept its state and colour changed
    // only where its points differ.
    for (size_t i = head; i < n - tail || i < m - tail; ++i) {
        const kept_op *was = i < n - tail ? &before.ops[i] : nullptr;
        const kept_op *is = i < m - tail ? &after.ops[i] : nullptr;
        if (was != nullptr && is != nullptr && before.same(*was, after, *is)) {
            same.emplace_back(uint32_t(i), uint32_t(i));
            continue;
        }
        if (was != nullptr && is != nullptr && was->kind == op_kind::band && is->kind == op_kind::band &&
            was->state == is->state && was->colour == is->colour && was->count >= 6 && is->count >= 6) {
            band_change(before.points_of(*was), was->count / 2, after.points_of(*is), is->count / 2, is->state,
                        either(was->box, is->box), changed);
            continue;
        }
        if (was != nullptr) push(changed, was->box);
        if (is != nullptr) push(changed, is->box);
    }
}

mask_pool::~mask_pool() {
    for (cairo_surface_t *m : masks_)
        if (m != nullptr) cairo_surface_destroy(m);
}

int32_t mask_pool::add(cairo_surface_t *mask) {
    bytes_ += size_t(cairo_image_surface_get_stride(mask)) * size_t(cairo_image_surface_get_height(mask));
    if (!free_.empty()) {
        const int32_t slot = free_.back();
        free_.pop_back();
        masks_[size_t(slot)] = mask;
        return slot;
    }
    masks_.push_back(mask);
    return int32_t(masks_.size() - 1);
}

void mask_pool::release(int32_t slot) {
    cairo_surface_t *&m = masks_[size_t(slot)];
    if (m == nullptr) return;
    bytes_ -= size_t(cairo_image_surface_get_stride(m)) * size_t(cairo_image_surface_get_height(m));
    cairo_surface_destroy(m);
    m = nullptr;
    free_.push_back(slot);
}

void mask_pool::release_all(op_list &list) {
    for (kept_op &op : list.ops)
        if (op.mask >= 0) {
            release(op.mask);
            op.mask = -1;
        }
}

void pass_on_masks(op_list &before, op_list &after, const op_pairs &same, mask_pool &pool) {
    auto pass = [](kept_op &from, kept_op &to) {
        if (from.kind != op_kind::band && from.kind != op_kind::line) return;
        to.mask = from.mask;
        to.steady = uint16_t(std::min<int>(from.steady + 1, 1000));
        to.replays = from.replays;
        from.mask = -1;
    };
    for (const auto &[was, is] : same) pass(before.ops[was], after.ops[is]);
    pool.release_all(before);
}

} // namespace pitwall::raster
