// Image operations: loading, size queries, and drawing whole images or scaled parts of them.
//
// draw_image under rotation (attribute 3, degrees clockwise):
//
//   (x, y) +--------+            the image turns about (x + pivot_x, y + pivot_y), which may
//          |   P    |            lie outside the image (a needle turns about the dial's centre);
//          +--------+            a pivot of (-1, -1) means the centre of the drawn size
#include "raster_state.h"

#include "pitwall/engine.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace pitwall::raster {
namespace {

bool is_empty(const gr_rect_t &r) { return r.x2 < r.x1 || r.y2 < r.y1; }

// Widgets name their images "<base_dir>/images/...": the part after the application directory is
// what a scene's author recognises.
std::string shown_path(const std::string &path, const std::string &base_dir) {
    if (base_dir.empty()) return path;
    std::string prefix = base_dir.back() == '/' ? base_dir : base_dir + "/";
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
    return path;
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
    std::unique_ptr<image> loaded = load_image_file(path, size, &why);
    if (loaded == nullptr) {
        s.owner.report("cannot load image \"" + shown_path(path, s.owner.base_dir()) + "\": " + why);
        return nullptr;
    }
    s.images.push_back(std::move(loaded));
    return reinterpret_cast<gr_image_t *>(s.images.back().get());
}

void op_release_image(gr_context_t *ctx, gr_image_t *handle) {
    raster_context::state &s = state_of(ctx);
    for (auto it = s.images.begin(); it != s.images.end(); ++it)
        if (reinterpret_cast<gr_image_t *>(it->get()) == handle) {
            s.images.erase(it);
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
        info->width = int16_t(img->width);
        info->height = int16_t(img->height);
        info->stretch = img->nine_patch ? img->stretch : nullptr;
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
    int dw = img->draw_size_set ? img->draw_width : img->width;
    int dh = img->draw_size_set ? img->draw_height : img->height;
    if (dw < 1 || dh < 1) return;

    cairo_t *cr = s.begin();
    cairo_translate(cr, x, y);
    const bool rotated = s.rotation.value != 0.0;
    if (rotated) {
        double px = pivot_x, py = pivot_y;
        if (pivot_x == -1.0f && pivot_y == -1.0f) {
            px = dw * 0.5;
            py = dh * 0.5;
        }
        cairo_translate(cr, px, py);
        cairo_rotate(cr, s.rotation.value * std::numbers::pi / 180.0);
        cairo_translate(cr, -px, -py);
    }
    cairo_rectangle(cr, 0, 0, dw, dh);
    cairo_clip(cr);
    cairo_scale(cr, double(dw) / img->width, double(dh) / img->height);
    cairo_set_source_surface(cr, img->surface, 0, 0);
    // A turning needle is sampled bilinearly, so that its edges and any detail along it stay
    // smooth at every angle instead of stepping from pixel to pixel; the outline of the turned
    // image is anti-aliased by the clip above. Upright, GOOD copies pixel for pixel at the
    // loaded size and resamples smoothly at an image_set size.
    cairo_pattern_set_filter(cairo_get_source(cr), rotated ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, s.opacity());
    cairo_destroy(cr);
}

void op_draw_image_part(gr_context_t *ctx, gr_surface_t *surface, const gr_rect_t *source, int32_t zero,
                        const gr_rect_t *target) {
    (void)zero;
    raster_context::state &s = state_of(ctx);
    image *img = s.find_image(surface);
    if (img == nullptr || source == nullptr || target == nullptr || is_empty(*source) || is_empty(*target))
        return;
    if (source->x1 < 0 || source->y1 < 0 || source->x2 >= img->width || source->y2 >= img->height) return;
    int sw = source->x2 - source->x1 + 1, sh = source->y2 - source->y1 + 1;
    int tw = target->x2 - target->x1 + 1, th = target->y2 - target->y1 + 1;

    // The piece alone, so that scaling never samples its neighbours in the image.
    cairo_surface_t *piece = cairo_surface_create_for_rectangle(img->surface, source->x1, source->y1, sw, sh);
    cairo_t *cr = s.begin();
    cairo_rectangle(cr, target->x1, target->y1, tw, th);
    cairo_clip(cr);
    cairo_translate(cr, target->x1, target->y1);
    cairo_scale(cr, double(tw) / sw, double(th) / sh);
    cairo_set_source_surface(cr, piece, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), (tw == sw && th == sh) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, s.opacity());
    cairo_destroy(cr);
    cairo_surface_destroy(piece);
}

} // namespace pitwall::raster
