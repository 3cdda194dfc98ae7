// Kept drawing: operations kept per control instead of drawn, compared with the control's previous
// list, and replayed inside a part of the canvas.
#include "band_coverage.h"
#include "pixel_blend.h"
#include "raster_state.h"

#include <algorithm>

namespace pitwall {
namespace raster {
namespace {

op_state state_now(const raster_context::state &s) {
    return {s.tx, s.ty, s.clip_set, s.clip_x1, s.clip_y1, s.clip_x2, s.clip_y2,
            s.alpha.value, s.rotation.value, s.line_width.value};
}

void put_state(raster_context::state &s, const op_state &k) {
    s.tx = k.tx, s.ty = k.ty;
    s.clip_set = k.clip_set;
    s.clip_x1 = k.clip_x1, s.clip_y1 = k.clip_y1, s.clip_x2 = k.clip_x2, s.clip_y2 = k.clip_y2;
    s.cr_clip_applied = false;
    s.alpha.value = k.alpha, s.rotation.value = k.rotation, s.line_width.value = k.line_width;
}

pixel_box canvas_box(const raster_context::state &s) { return {0, 0, s.width - 1, s.height - 1}; }

// What an operation can change: its own box within the clip in force and the canvas.
pixel_box within_clip(const raster_context::state &s, const pixel_box &box) {
    pixel_box b = meet(box, canvas_box(s));
    if (s.clip_set) b = meet(b, {s.clip_x1, s.clip_y1, s.clip_x2, s.clip_y2});
    return b;
}

kept_op &keep(raster_context::state &s, op_kind kind) {
    kept_op &op = s.keeping->ops.emplace_back();
    op.kind = kind;
    op.state = state_now(s);
    return op;
}

int16_t clamp16(int64_t v) { return int16_t(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

// A kept band's area cut into chains, once per list.
const chain_set &chains_of(raster_context::state &s, op_list &list, kept_op &op) {
    if (op.chains < 0) {
        if (list.prepared_used == list.prepared.size()) list.prepared.emplace_back();
        op.chains = int32_t(list.prepared_used++);
        band_chains(s.bands, list.points_of(op), op.count, double(op.state.tx), double(op.state.ty),
                    op.state.line_width, list.prepared[size_t(op.chains)]);
    }
    return list.prepared[size_t(op.chains)];
}

// A line that stays the same: its coverage kept whole, in the pool; -1 when it cannot be.
int32_t line_mask(raster_context::state &s, const double *points, const kept_op &op) {
    const int64_t w = op.box.x2 - op.box.x1 + 1, h = op.box.y2 - op.box.y1 + 1;
    if (w <= 0 || h <= 0 || w > raster_context::max_side || h > raster_context::max_side) return -1;
    cairo_surface_t *mask = cairo_image_surface_create(CAIRO_FORMAT_A8, int(w), int(h));
    cairo_t *cr = cairo_create(mask);
    const bool drawn = line_coverage(cr, points, op.count, double(op.state.tx), double(op.state.ty),
                                     op.state.line_width, op.box);
    cairo_destroy(cr);
    if (!drawn) {
        cairo_surface_destroy(mask);
        return -1;
    }
    return s.masks.add(mask);
}

} // namespace

void keep_rect(raster_context::state &s, op_kind kind, const gr_rect_t &rect, uint32_t colour) {
    kept_op &op = keep(s, kind);
    op.rect = rect;
    op.colour = colour;
    op.box = within_clip(s, {rect.x1 + s.tx, rect.y1 + s.ty, rect.x2 + s.tx, rect.y2 + s.ty});
}

pixel_box line_box(const raster_context::state &s, const double *points, size_t count) {
    return within_clip(s, path_box(points, count, state_now(s), false));
}

void keep_path(raster_context::state &s, bool band, const double *points, size_t count, uint32_t colour) {
    op_list &list = *s.keeping;
    kept_op &op = keep(s, band ? op_kind::band : op_kind::line);
    op.colour = colour;
    op.first = uint32_t(list.points.size());
    op.count = uint32_t(count);
    list.points.insert(list.points.end(), points, points + count);
    op.box = within_clip(s, path_box(points, count, op.state, band));
}

void keep_image(raster_context::state &s, const image *img, float x, float y, int dw, int dh, float pivot_x,
                float pivot_y) {
    kept_op &op = keep(s, op_kind::image);
    op.handle = img;
    op.pixels = img->pixels;
    op.x = x, op.y = y, op.pivot_x = pivot_x, op.pivot_y = pivot_y;
    op.draw_width = dw, op.draw_height = dh;
    op.box = within_clip(s, image_box(s, x, y, dw, dh, pivot_x, pivot_y));
}

void keep_image_part(raster_context::state &s, const image *img, const gr_rect_t &source, const gr_rect_t &target) {
    kept_op &op = keep(s, op_kind::image_part);
    op.handle = img;
    op.pixels = img->pixels;
    op.source = source;
    op.rect = target;
    op.box = within_clip(s, {target.x1 + s.tx, target.y1 + s.ty, target.x2 + s.tx, target.y2 + s.ty});
}

void keep_text(raster_context::state &s, int32_t x, int32_t y, const char *text, int32_t length,
               cairo_scaled_font_t *font, uint32_t colour) {
    const pixel_box box = within_clip(s, text_box(s, x, y, text, length, font));
    op_list &list = *s.keeping;
    kept_op &op = keep(s, op_kind::text);
    op.font = font;
    op.text_x = x, op.text_y = y;
    op.colour = colour;
    op.first = uint32_t(list.text.size());
    op.count = uint32_t(length);
    list.text.append(text, size_t(length));
    op.box = box;
}

void forget_image(raster_context::state &s, const image *img) {
    for (auto &[key, list] : s.lists)
        if (list.valid && list.uses(img)) list.valid = false;
    if (s.keeping != nullptr && s.keeping->uses(img)) s.keeping->valid = false;
}

} // namespace raster

void raster_context::begin_list(uint64_t key) {
    state &s = *state_;
    s.fresh.clear();
    s.keeping = &s.fresh;
    s.keeping_key = key;
}

bool raster_context::end_list(std::vector<gr_rect_t> &changed) {
    state &s = *state_;
    if (s.keeping == nullptr) return false;
    s.keeping = nullptr;
    auto kept = s.lists.find(s.keeping_key);
    bool compared = false;
    if (kept != s.lists.end() && kept->second.valid && s.fresh.valid) {
        s.changed.clear();
        raster::changed_boxes(kept->second, s.fresh, s.changed, s.same_ops);
        raster::pass_on_masks(kept->second, s.fresh, s.same_ops, s.masks);
        for (const raster::pixel_box &b : s.changed) {
            const raster::pixel_box on = raster::meet(b, raster::canvas_box(s));
            if (!on.empty()) changed.push_back({raster::clamp16(on.x1), raster::clamp16(on.y1), raster::clamp16(on.x2),
                                                raster::clamp16(on.y2)});
        }
        compared = true;
    }
    if (kept == s.lists.end()) kept = s.lists.emplace(s.keeping_key, raster::op_list{}).first;
    s.masks.release_all(kept->second); // what was not passed on
    // The new list is kept; the old one's buffers take the next list.
    std::swap(kept->second, s.fresh);
    return compared;
}

bool raster_context::replay(uint64_t key, const gr_rect_t &area) {
    state &s = *state_;
    auto kept = s.lists.find(key);
    if (kept == s.lists.end() || !kept->second.valid) return false;
    raster::op_list &list = kept->second;
    const raster::pixel_box inside = raster::meet({area.x1, area.y1, area.x2, area.y2}, raster::canvas_box(s));
    if (inside.empty()) return true;
    const raster::op_state before = raster::state_now(s);
    for (raster::kept_op &op : list.ops) {
        if (raster::meet(op.box, inside).empty()) continue;
        raster::op_state now = op.state;
        raster::pixel_box clip = inside;
        if (now.clip_set) clip = raster::meet(clip, {now.clip_x1, now.clip_y1, now.clip_x2, now.clip_y2});
        now.clip_set = true;
        now.clip_x1 = clip.x1, now.clip_y1 = clip.y1, now.clip_x2 = clip.x2, now.clip_y2 = clip.y2;
        raster::put_state(s, now);
        switch (op.kind) {
        case raster::op_kind::fill_rect:
            raster::fill_rect_now(s, op.rect, op.colour);
            break;
        case raster::op_kind::stroke_rect:
            raster::stroke_rect_now(s, op.rect, op.colour);
            break;
        case raster::op_kind::band:
            if (op.replays < UINT16_MAX) ++op.replays;
            if (op.mask < 0 && (op.steady > 0 || op.replays > 2) && s.masks.has_room()) {
                // The same band again: its coverage is kept whole, and painted through from now on.
                if (cairo_surface_t *m = raster::band_mask(s.bands, raster::chains_of(s, list, op), op.box))
                    op.mask = s.masks.add(m);
            }
            if (op.mask >= 0) {
                const raster::pixel_box part = raster::meet(op.box, clip);
                if (!part.empty())
                    raster::paint_through_mask(s.canvas, part, s.masks.get(op.mask), op.box.x1, op.box.y1,
                                               raster::band_source(op.colour, op.state.alpha));
                break;
            }
            // Cut once, painted in every rectangle the list is replayed in.
            raster::draw_band_chains(s, raster::chains_of(s, list, op), op.colour);
            break;
        case raster::op_kind::line:
            if (op.replays < UINT16_MAX) ++op.replays;
            if (op.mask < 0 && (op.steady > 0 || op.replays > 2) && s.masks.has_room())
                op.mask = raster::line_mask(s, list.points_of(op), op);
            if (op.mask >= 0)
                raster::paint_through_mask(s.canvas, raster::meet(op.box, clip), s.masks.get(op.mask), op.box.x1,
                                           op.box.y1, raster::band_source(op.colour, op.state.alpha));
            else // drawn whole into its coverage, painted inside the rectangle only
                raster::draw_line_in(s, list.points_of(op), op.count, op.colour, op.box, raster::meet(op.box, clip));
            break;
        case raster::op_kind::image:
            raster::draw_image_now(s, *op.pixels, op.x, op.y, op.draw_width, op.draw_height, op.pivot_x, op.pivot_y);
            break;
        case raster::op_kind::image_part:
            raster::draw_image_part_now(s, *op.pixels, op.source, op.rect);
            break;
        case raster::op_kind::text:
            raster::draw_text_now(s, op.text_x, op.text_y, list.text.data() + op.first, int32_t(op.count), op.font,
                                  op.colour);
            break;
        }
    }
    raster::put_state(s, before);
    return true;
}

void raster_context::drop_list(uint64_t key) {
    auto kept = state_->lists.find(key);
    if (kept == state_->lists.end()) return;
    state_->masks.release_all(kept->second);
    state_->lists.erase(kept);
}

void raster_context::drop_lists() {
    for (auto &[key, list] : state_->lists) state_->masks.release_all(list);
    state_->lists.clear();
}
int raster_context::kept_lists() const { return int(state_->lists.size()); }
int raster_context::kept_coverages() const { return state_->masks.count(); }

} // namespace pitwall
