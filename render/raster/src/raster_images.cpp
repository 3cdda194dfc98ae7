// Image operations: loading, size queries, and drawing whole images or scaled parts of them.
// Handles share the decoded pixels of one file and size (image_library.h). What lands on whole
// pixels unscaled is blended by pixel_blend.h; a stretched part, and a whole image at an
// image_set size, is resampled once per placement and size and blended from there afterwards
// (piece_cache.h); a turned image, or one between pixels, is sampled bilinearly straight onto the
// canvas (affine_blit.h).
//
// draw_image under rotation (attribute 3, degrees clockwise):
//
//   (x, y) +--------+            the image turns about (x + pivot_x, y + pivot_y), which may
//          |   P    |            lie outside the image (a needle turns about the dial's centre);
//          +--------+            a pivot of (-1, -1) means the centre of the drawn size
#include "affine_blit.h"
#include "pixel_blend.h"
#include "raster_state.h"

#include "pitwall/engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace pitwall::raster {
namespace {

bool is_empty(const gr_rect_t &r) { return r.x2 < r.x1 || r.y2 < r.y1; }

// A position that lands on whole canvas pixels (and that a pixel index can hold).
bool is_whole(float v) { return std::fabs(v) < 1e9f && v == std::floor(v); }

// Widgets name their images "<base_dir>/images/...": the part after the application directory is
// what a scene's author recognises.
std::string shown_path(const std::string &path, const std::string &base_dir) {
    if (base_dir.empty()) return path;
    std::string prefix = base_dir.back() == '/' ? base_dir : base_dir + "/";
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
    return path;
}

// The canvas pixels inside x1..x2, y1..y2 (relative to the translation) that the clip lets
// through; the canvas bounds are left to the drawing.
pixel_box visible_part(const raster_context::state &s, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    pixel_box box{x1 + s.tx, y1 + s.ty, x2 + s.tx, y2 + s.ty};
    if (s.clip_set) {
        box.x1 = std::max(box.x1, s.clip_x1);
        box.y1 = std::max(box.y1, s.clip_y1);
        box.x2 = std::min(box.x2, s.clip_x2);
        box.y2 = std::min(box.y2, s.clip_y2);
    }
    return box;
}

// `surface` with its top-left corner at (x, y), relative to the translation, blended pixel for
// pixel inside `area` (canvas pixels).
void paint_placed(raster_context::state &s, cairo_surface_t *surface, int64_t x, int64_t y, const pixel_box &area) {
    blend_onto(s.canvas, area, surface, x + s.tx, y + s.ty, int(std::lround(s.alpha.value)));
}

// The context's source, scaled by its matrix with Cairo's good filter and edges padded (no
// transparent fringe): blended at `opacity`, or copied as it is (`copy`).
void paint_scaled_source(cairo_t *cr, double opacity, bool copy) {
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    if (copy) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
    } else {
        cairo_paint_with_alpha(cr, opacity);
    }
}

// The piece stretched over the target, on a context that has the state's clip and origin:
// blended at `opacity`, or copied as it is (`copy`) onto a surface that keeps it.
void paint_stretched(cairo_t *cr, const decoded_image &pixels, const gr_rect_t &source, const gr_rect_t &target,
                     double opacity, bool copy) {
    const int sw = source.x2 - source.x1 + 1, sh = source.y2 - source.y1 + 1;
    const int tw = target.x2 - target.x1 + 1, th = target.y2 - target.y1 + 1;
    // The piece alone, so that scaling never samples its neighbours in the image.
    cairo_surface_t *piece = cairo_surface_create_for_rectangle(pixels.surface, source.x1, source.y1, sw, sh);
    cairo_rectangle(cr, target.x1, target.y1, tw, th);
    cairo_clip(cr);
    cairo_translate(cr, target.x1, target.y1);
    cairo_scale(cr, double(tw) / sw, double(th) / sh);
    cairo_set_source_surface(cr, piece, 0, 0);
    paint_scaled_source(cr, opacity, copy);
    cairo_surface_destroy(piece);
}

// The visible part of the stretched piece, exactly as paint_stretched would blend it onto the
// canvas: drawn at the same canvas coordinates with the same clip, on a surface that reaches just
// as far as that part, then cut out. Null when there is no memory for it.
cairo_surface_t *resample_visible(const raster_context::state &s, const decoded_image &pixels,
                                  const gr_rect_t &source, const gr_rect_t &target, const piece_key &key) {
    cairo_surface_t *drawn = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, key.vx2 + 1, key.vy2 + 1);
    cairo_surface_t *piece =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, key.vx2 - key.vx1 + 1, key.vy2 - key.vy1 + 1);
    bool made = cairo_surface_status(drawn) == CAIRO_STATUS_SUCCESS &&
                cairo_surface_status(piece) == CAIRO_STATUS_SUCCESS;
    if (made) {
        cairo_t *cr = cairo_create(drawn);
        apply_clip_and_origin(cr, s);
        paint_stretched(cr, pixels, source, target, 1.0, true);
        made = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(cr);
    }
    if (made) {
        cairo_surface_flush(drawn);
        cairo_surface_flush(piece);
        const unsigned char *from = cairo_image_surface_get_data(drawn);
        unsigned char *to = cairo_image_surface_get_data(piece);
        const int from_stride = cairo_image_surface_get_stride(drawn);
        const int to_stride = cairo_image_surface_get_stride(piece);
        const size_t row_bytes = size_t(key.vx2 - key.vx1 + 1) * 4;
        for (int y = key.vy1; y <= key.vy2; ++y)
            std::memcpy(to + size_t(y - key.vy1) * size_t(to_stride),
                        from + size_t(y) * size_t(from_stride) + size_t(key.vx1) * 4, row_bytes);
        cairo_surface_mark_dirty(piece);
    }
    cairo_surface_destroy(drawn);
    if (made) return piece;
    cairo_surface_destroy(piece);
    return nullptr;
}

// Where a stretched draw of `target` (relative to the translation) lands and what of it the
// canvas and the clip let through; false when nothing.
bool place_piece(const raster_context::state &s, const gr_rect_t &target, piece_key &key) {
    pixel_box box = visible_part(s, target.x1, target.y1, target.x2, target.y2);
    box.x1 = std::max<int64_t>(box.x1, 0);
    box.y1 = std::max<int64_t>(box.y1, 0);
    box.x2 = std::min<int64_t>(box.x2, s.width - 1);
    box.y2 = std::min<int64_t>(box.y2, s.height - 1);
    if (box.empty()) return false;
    key.x = s.tx + target.x1;
    key.y = s.ty + target.y1;
    key.vx1 = int32_t(box.x1);
    key.vy1 = int32_t(box.y1);
    key.vx2 = int32_t(box.x2);
    key.vy2 = int32_t(box.y2);
    return true;
}

// `surface` (premultiplied ARGB32) blended onto the canvas through `map`, inside the clip.
void paint_mapped(raster_context::state &s, cairo_surface_t *surface, const affine_map &map) {
    canvas_box clip{0, 0, s.width - 1, s.height - 1};
    if (s.clip_set) clip = {s.clip_x1, s.clip_y1, s.clip_x2, s.clip_y2};
    cairo_surface_flush(s.canvas);
    cairo_surface_flush(surface);
    auto *to = reinterpret_cast<uint32_t *>(cairo_image_surface_get_data(s.canvas));
    const auto *from = reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(surface));
    if (to == nullptr || from == nullptr) return;
    const argb_view canvas{to, cairo_image_surface_get_stride(s.canvas) / 4, s.width, s.height};
    const const_argb_view source{from, cairo_image_surface_get_stride(surface) / 4,
                                 cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface)};
    const canvas_box touched = draw_mapped(canvas, clip, source, map, int(std::lround(s.alpha.value)));
    if (!touched.empty())
        cairo_surface_mark_dirty_rectangle(s.canvas, int(touched.x1), int(touched.y1), int(touched.x2 - touched.x1 + 1),
                                           int(touched.y2 - touched.y1 + 1));
}

// Image pixels to canvas for an image at (left, top) on the canvas, scaled by sx, sy and then
// turned by `degrees` clockwise about (left + px, top + py): Cairo's translate, rotate about the
// pivot, scale. Quarter turns are exact, so that a half-turned image lands on whole pixels.
affine_map turned(double left, double top, double px, double py, double degrees, double sx, double sy) {
    const double turn = std::remainder(degrees, 360.0);
    double c = std::cos(turn * std::numbers::pi / 180.0), sn = std::sin(turn * std::numbers::pi / 180.0);
    if (turn == 90 || turn == -90) {
        c = 0;
        sn = turn / 90;
    } else if (turn == 180 || turn == -180) {
        c = -1;
        sn = 0;
    }
    return {c * sx, sn * sx, -sn * sy, c * sy, left + px - c * px + sn * py, top + py - sn * px - c * py};
}

// The whole image scaled to dw x dh with its top-left corner at (x, y), as draw_image draws it
// upright at an image_set size: blended at `opacity`, or copied as it is (`copy`).
void paint_sized(cairo_t *cr, const decoded_image &pixels, double x, double y, int dw, int dh, double opacity,
                 bool copy) {
    cairo_translate(cr, x, y);
    cairo_rectangle(cr, 0, 0, dw, dh);
    cairo_clip(cr);
    cairo_scale(cr, double(dw) / pixels.width, double(dh) / pixels.height);
    cairo_set_source_surface(cr, pixels.surface, 0, 0);
    paint_scaled_source(cr, opacity, copy);
}

// A canvas coordinate as a whole pixel and the fraction past it, in 1/65536 of a pixel.
struct split_position {
    int64_t whole;
    uint16_t phase;
};

split_position split(double v) {
    double whole = std::floor(v);
    auto phase = int64_t(std::lround((v - whole) * 65536.0));
    if (phase == 65536) { // rounds up to the next pixel
        whole += 1;
        phase = 0;
    }
    return {int64_t(whole), uint16_t(phase)};
}

// The whole image scaled to dw x dh as it lands at the fractions (phase_x, phase_y) of a pixel
// past a whole one: one pixel wider (taller) when the fraction spills into the next. Kept among
// the stretched pieces, so that it goes with the pixels and stays within the pieces' budget; for
// whole pixels its key is that of the stretched piece of the whole image at the canvas origin,
// which has the same pixels. Null when it is too large to keep or there is no memory.
cairo_surface_t *sized_copy(raster_context::state &s, const decoded_image &pixels, int dw, int dh, uint16_t phase_x,
                            uint16_t phase_y) {
    const int cw = dw + (phase_x != 0), ch = dh + (phase_y != 0);
    const gr_rect_t whole{0, 0, int16_t(pixels.width - 1), int16_t(pixels.height - 1)};
    const piece_key key{&pixels, whole, 0, 0, dw, dh, 0, 0, cw - 1, ch - 1, phase_x, phase_y};
    if (cairo_surface_t *kept = s.pieces.find(key)) return kept;
    if (size_t(cw) * size_t(ch) * 4 > piece_cache::max_piece_bytes) return nullptr;
    cairo_surface_t *made = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cw, ch);
    if (cairo_surface_status(made) == CAIRO_STATUS_SUCCESS) {
        cairo_t *cr = cairo_create(made);
        paint_sized(cr, pixels, phase_x / 65536.0, phase_y / 65536.0, dw, dh, 1.0, true);
        const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(cr);
        if (drawn) {
            cairo_surface_flush(made);
            s.pieces.add(key, made);
            return made;
        }
    }
    cairo_surface_destroy(made);
    return nullptr;
}

} // namespace

gr_image_t *op_load_image(gr_context_t *ctx, const char *path, uint32_t flags, const int32_t *size, int32_t zero) {
    (void)flags; // every plug-in passes the same value; it selects nothing here
    (void)zero;
    raster_context::state &s = state_of(ctx);
    if (path == nullptr) {
        s.owner.report("cannot load image: no path given");
        return nullptr;
    }
    std::string why;
    decoded_image *pixels = s.library.acquire(path, size, &why);
    if (pixels == nullptr) {
        s.owner.report("cannot load image \"" + shown_path(path, s.owner.base_dir()) + "\": " + why);
        return nullptr;
    }
    auto handle = std::make_unique<image>();
    handle->pixels = pixels;
    s.images.push_back(std::move(handle));
    return reinterpret_cast<gr_image_t *>(s.images.back().get());
}

void op_release_image(gr_context_t *ctx, gr_image_t *handle) {
    raster_context::state &s = state_of(ctx);
    for (auto it = s.images.begin(); it != s.images.end(); ++it)
        if (reinterpret_cast<gr_image_t *>(it->get()) == handle) {
            const decoded_image *pixels = (*it)->pixels;
            forget_image(s, it->get()); // kept drawing of it cannot be replayed any more
            s.images.erase(it);
            if (s.library.release(pixels)) s.pieces.forget(pixels);
            return;
        }
}

void op_image_set(gr_context_t *ctx, gr_image_t *handle, int32_t id, const void *value, int32_t size) {
    image *img = state_of(ctx).find_image(handle);
    if (img == nullptr || id != GR_IMAGE_SET_SIZE || value == nullptr || size < 4) return;
    int16_t wh[2];
    std::memcpy(wh, value, sizeof wh);
    img->draw_width = wh[0];
    img->draw_height = wh[1];
    img->draw_size_set = true;
}

int op_image_info(gr_context_t *ctx, gr_image_t *handle, int32_t id, void *out, int32_t size) {
    (void)size;
    image *img = state_of(ctx).find_image(handle);
    if (img == nullptr || out == nullptr) return -1;
    if (id == GR_IMAGE_INFO_SIZE) {
        auto *info = static_cast<gr_image_size_t *>(out);
        info->width = int16_t(img->pixels->width);
        info->height = int16_t(img->pixels->height);
        info->stretch = img->pixels->nine_patch ? img->pixels->stretch : nullptr;
        return 0;
    }
    if (id == GR_IMAGE_INFO_SURFACE) {
        // The surface handle is the image itself; draw_image_part takes it back.
        *static_cast<gr_surface_t **>(out) = reinterpret_cast<gr_surface_t *>(img);
        return 0;
    }
    return -1;
}

void op_draw_image(gr_context_t *ctx, gr_image_t *handle, float x, float y, int32_t width, int32_t height,
                   float pivot_x, float pivot_y) {
    (void)width; // drawn at its own size, or at the size image_set gave
    (void)height;
    raster_context::state &s = state_of(ctx);
    image *img = s.find_image(handle);
    if (img == nullptr || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(pivot_x) ||
        !std::isfinite(pivot_y))
        return;
    const decoded_image &pixels = *img->pixels;
    int dw = img->draw_size_set ? img->draw_width : pixels.width;
    int dh = img->draw_size_set ? img->draw_height : pixels.height;
    if (dw < 1 || dh < 1) return;
    if (s.keeping != nullptr) {
        keep_image(s, img, x, y, dw, dh, pivot_x, pivot_y);
        return;
    }
    draw_image_now(s, pixels, x, y, dw, dh, pivot_x, pivot_y);
}

void draw_image_now(raster_context::state &s, const decoded_image &pixels, float x, float y, int dw, int dh,
                    float pivot_x, float pivot_y) {
    const bool own_size = dw == pixels.width && dh == pixels.height;
    const double left = double(x) + double(s.tx), top = double(y) + double(s.ty); // on the canvas

    if (s.rotation.value != 0.0) {
        // A turning needle is sampled bilinearly from the pixels as loaded, so that its edges and
        // any detail along it stay smooth at every angle instead of stepping from pixel to pixel.
        double px = pivot_x, py = pivot_y;
        if (pivot_x == -1.0f && pivot_y == -1.0f) {
            px = dw * 0.5;
            py = dh * 0.5;
        }
        paint_mapped(s, pixels.surface, turned(left, top, px, py, s.rotation.value, double(dw) / pixels.width,
                                               double(dh) / pixels.height));
        return;
    }
    if (!own_size) {
        // At an image_set size (an alarm's pictogram): resampled once for its size and the
        // fraction of a pixel it lands at, and copied from then on.
        if (!(std::fabs(x) < 1e9f && std::fabs(y) < 1e9f)) return; // nowhere near the canvas
        const split_position sx = split(double(x)), sy = split(double(y));
        if (cairo_surface_t *kept = sized_copy(s, pixels, dw, dh, sx.phase, sy.phase)) {
            const int64_t ix = sx.whole, iy = sy.whole;
            paint_placed(s, kept, ix, iy,
                         visible_part(s, ix, iy, ix + cairo_image_surface_get_width(kept) - 1,
                                      iy + cairo_image_surface_get_height(kept) - 1));
            return;
        }
        canvas_op op(s);
        paint_sized(op.cr(), pixels, x, y, dw, dh, s.opacity(), false);
        return;
    }
    if (is_whole(x) && is_whole(y)) {
        // At its own size on whole pixels, what Cairo would draw is a plain copy.
        const auto ix = int64_t(x), iy = int64_t(y);
        paint_placed(s, pixels.surface, ix, iy, visible_part(s, ix, iy, ix + dw - 1, iy + dh - 1));
        return;
    }
    // At its own size between pixels: sampled bilinearly, as Cairo samples it.
    paint_mapped(s, pixels.surface, affine_map{1, 0, 0, 1, left, top});
}

pixel_box image_box(const raster_context::state &s, float x, float y, int dw, int dh, float pivot_x, float pivot_y) {
    const double left = double(x) + double(s.tx), top = double(y) + double(s.ty);
    double corners[4][2] = {{left, top}, {left + dw, top}, {left, top + dh}, {left + dw, top + dh}};
    if (s.rotation.value != 0.0) {
        double px = pivot_x, py = pivot_y;
        if (pivot_x == -1.0f && pivot_y == -1.0f) {
            px = dw * 0.5;
            py = dh * 0.5;
        }
        const double turn = s.rotation.value * std::numbers::pi / 180.0, c = std::cos(turn), sn = std::sin(turn);
        for (auto &p : corners) {
            const double u = p[0] - (left + px), v = p[1] - (top + py);
            p[0] = left + px + u * c - v * sn;
            p[1] = top + py + u * sn + v * c;
        }
    }
    double x1 = corners[0][0], y1 = corners[0][1], x2 = x1, y2 = y1;
    for (const auto &p : corners) {
        x1 = std::min(x1, p[0]), y1 = std::min(y1, p[1]);
        x2 = std::max(x2, p[0]), y2 = std::max(y2, p[1]);
    }
    if (!(x1 > -1e9 && y1 > -1e9 && x2 < 1e9 && y2 < 1e9)) return {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    // A pixel on either side for the bilinear filter and the rounding of a turned place.
    return {int64_t(std::floor(x1)) - 1, int64_t(std::floor(y1)) - 1, int64_t(std::ceil(x2)), int64_t(std::ceil(y2))};
}

void op_draw_image_part(gr_context_t *ctx, gr_surface_t *surface, const gr_rect_t *source, int32_t zero,
                        const gr_rect_t *target) {
    (void)zero;
    raster_context::state &s = state_of(ctx);
    image *img = s.find_image(surface);
    if (img == nullptr || source == nullptr || target == nullptr || is_empty(*source) || is_empty(*target))
        return;
    const decoded_image &pixels = *img->pixels;
    if (source->x1 < 0 || source->y1 < 0 || source->x2 >= pixels.width || source->y2 >= pixels.height) return;
    if (s.keeping != nullptr) {
        keep_image_part(s, img, *source, *target);
        return;
    }
    draw_image_part_now(s, pixels, *source, *target);
}

void draw_image_part_now(raster_context::state &s, const decoded_image &pixels, const gr_rect_t &source,
                         const gr_rect_t &target) {
    const int sw = source.x2 - source.x1 + 1, sh = source.y2 - source.y1 + 1;
    const int tw = target.x2 - target.x1 + 1, th = target.y2 - target.y1 + 1;
    if (tw == sw && th == sh) {
        paint_placed(s, pixels.surface, target.x1 - source.x1, target.y1 - source.y1,
                     visible_part(s, target.x1, target.y1, target.x2, target.y2));
        return;
    }
    piece_key key{&pixels, source, 0, 0, tw, th};
    if (!place_piece(s, target, key)) return;
    const pixel_box visible{key.vx1, key.vy1, key.vx2, key.vy2};
    if (cairo_surface_t *kept = s.pieces.find(key)) {
        paint_placed(s, kept, key.vx1 - s.tx, key.vy1 - s.ty, visible);
        return;
    }
    const size_t bytes = size_t(key.vx2 - key.vx1 + 1) * size_t(key.vy2 - key.vy1 + 1) * 4;
    cairo_surface_t *made = bytes <= piece_cache::max_piece_bytes ? resample_visible(s, pixels, source, target, key)
                                                                   : nullptr;
    if (made == nullptr) {
        canvas_op op(s);
        paint_stretched(op.cr(), pixels, source, target, s.opacity(), false);
        return;
    }
    s.pieces.add(key, made);
    paint_placed(s, made, key.vx1 - s.tx, key.vy1 - s.ty, visible);
}

} // namespace pitwall::raster
