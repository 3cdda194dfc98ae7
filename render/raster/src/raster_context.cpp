// The raster context: canvas, lifetime, read-back, and the state operations (attributes, clip,
// translation). Drawing lives in raster_shapes.cpp, raster_images.cpp and raster_text.cpp.
#include "raster_state.h"

#include "pitwall/engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pitwall {
namespace raster {
namespace {

const gr_render_ops_t raster_ops = {
    op_set_attr,     op_restore_attr,  op_set_clip,   op_clear_clip,     op_get_clip,    op_translate,
    op_untranslate,  op_fill_rect,     op_stroke_rect, op_draw_path,     op_draw_image_part,
    op_draw_image,   op_draw_text,     op_load_image, op_release_image,  op_image_set,   op_image_info,
    op_font_metrics, op_text_extent,   op_create_path, op_free_path,
};

uint8_t premultiply(uint32_t channel, uint32_t alpha) { return uint8_t((channel * alpha + 127) / 255); }

uint32_t unpremultiplied(uint32_t premul) {
    uint32_t a = premul >> 24;
    if (a == 0) return 0;
    auto un = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
    return a << 24 | un((premul >> 16) & 0xFF) << 16 | un((premul >> 8) & 0xFF) << 8 | un(premul & 0xFF);
}

int16_t clamp16(int64_t v) { return int16_t(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

} // namespace

void attr_slot::set(double v) {
    if (!pending) before_set = value;
    pending = true;
    value = v;
}

void attr_slot::restore() {
    value = before_set;
    pending = false;
}

void set_colour(cairo_t *cr, uint32_t colour, double opacity) {
    cairo_set_source_rgba(cr, double((colour >> 16) & 0xFF) / 255.0, double((colour >> 8) & 0xFF) / 255.0,
                          double(colour & 0xFF) / 255.0, opacity);
}

// ---- attributes ---------------------------------------------------------------------------------

void op_set_attr(gr_context_t *ctx, int32_t id, const void *value, int32_t size) {
    if (value == nullptr || size < 4) return;
    raster_context::state &s = state_of(ctx);
    switch (id) {
    case GR_ATTR_ALPHA: {
        int32_t alpha;
        std::memcpy(&alpha, value, sizeof alpha);
        s.alpha.set(std::clamp(alpha, 0, 255));
        break;
    }
    case GR_ATTR_ROTATION: {
        float degrees;
        std::memcpy(&degrees, value, sizeof degrees);
        s.rotation.set(std::isfinite(degrees) ? double(degrees) : 0.0);
        break;
    }
    case GR_ATTR_LINE_WIDTH: {
        int32_t width;
        std::memcpy(&width, value, sizeof width);
        s.line_width.set(std::clamp(width, 0, 1024));
        break;
    }
    default:
        break; // not an attribute this engine draws with
    }
}

void op_restore_attr(gr_context_t *ctx, int32_t id) {
    raster_context::state &s = state_of(ctx);
    if (id == GR_ATTR_ALPHA) s.alpha.restore();
    if (id == GR_ATTR_ROTATION) s.rotation.restore();
    if (id == GR_ATTR_LINE_WIDTH) s.line_width.restore();
}

// ---- clip and translation -----------------------------------------------------------------------

void op_set_clip(gr_context_t *ctx, const gr_rect_t *rect) {
    if (rect == nullptr) return;
    raster_context::state &s = state_of(ctx);
    s.clip_set = true;
    s.clip_x1 = rect->x1 + s.tx;
    s.clip_y1 = rect->y1 + s.ty;
    s.clip_x2 = rect->x2 + s.tx;
    s.clip_y2 = rect->y2 + s.ty;
    s.cr_clip_applied = false;
}

void op_clear_clip(gr_context_t *ctx) {
    raster_context::state &s = state_of(ctx);
    s.clip_set = false;
    s.cr_clip_applied = false;
}

int op_get_clip(gr_context_t *ctx, gr_rect_t *out) {
    raster_context::state &s = state_of(ctx);
    if (!s.clip_set) return 1;
    if (out != nullptr)
        *out = gr_rect_t{clamp16(s.clip_x1 - s.tx), clamp16(s.clip_y1 - s.ty), clamp16(s.clip_x2 - s.tx),
                         clamp16(s.clip_y2 - s.ty)};
    return 0;
}

void op_translate(gr_context_t *ctx, int32_t dx, int32_t dy) {
    raster_context::state &s = state_of(ctx);
    s.tx += dx;
    s.ty += dy;
}

void op_untranslate(gr_context_t *ctx, int32_t dx, int32_t dy) {
    raster_context::state &s = state_of(ctx);
    s.tx -= dx;
    s.ty -= dy;
}

} // namespace raster

// ---- the context --------------------------------------------------------------------------------

raster_context::state::state(engine &e, int w, int h) : owner(e), width(w), height(h) {
    canvas = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cr = cairo_create(canvas);
    context.app = e.app();
    context.ops = &raster::raster_ops;
    context.impl = this;
}

raster_context::state::~state() {
    images.clear();
    paths.clear();
    if (line_cr != nullptr) cairo_destroy(line_cr);
    if (line_scratch != nullptr) cairo_surface_destroy(line_scratch);
    cairo_destroy(cr);
    cairo_surface_destroy(canvas);
}

namespace raster {

void apply_clip_and_origin(cairo_t *cr, const raster_context::state &s) {
    if (s.clip_set) {
        // An inverted clip rectangle is empty: nothing may be drawn.
        double w = s.clip_x2 >= s.clip_x1 ? double(s.clip_x2 - s.clip_x1 + 1) : 0.0;
        double h = s.clip_y2 >= s.clip_y1 ? double(s.clip_y2 - s.clip_y1 + 1) : 0.0;
        cairo_rectangle(cr, double(s.clip_x1), double(s.clip_y1), w, h);
        cairo_clip(cr);
    }
    cairo_translate(cr, double(s.tx), double(s.ty));
}

canvas_op::canvas_op(raster_context::state &s) : state_(s) {
    cairo_new_path(s.cr); // a path is not part of what save and restore keep
    // The clip lives on the context outside every operation's save, and is set again only when a
    // plug-in has changed it: widgets draw many operations under one clip.
    if (!s.cr_clip_applied) {
        cairo_reset_clip(s.cr);
        if (s.clip_set) {
            // An inverted clip rectangle is empty: nothing may be drawn.
            double w = s.clip_x2 >= s.clip_x1 ? double(s.clip_x2 - s.clip_x1 + 1) : 0.0;
            double h = s.clip_y2 >= s.clip_y1 ? double(s.clip_y2 - s.clip_y1 + 1) : 0.0;
            cairo_rectangle(s.cr, double(s.clip_x1), double(s.clip_y1), w, h);
            cairo_clip(s.cr);
        }
        s.cr_clip_applied = true;
    }
    cairo_save(s.cr);
    cairo_translate(s.cr, double(s.tx), double(s.ty));
}

canvas_op::~canvas_op() {
    cairo_restore(state_.cr);
    if (cairo_status(state_.cr) == CAIRO_STATUS_SUCCESS) return;
    cairo_destroy(state_.cr);
    state_.cr = cairo_create(state_.canvas);
    state_.cr_clip_applied = false;
}

} // namespace raster

raster::image *raster_context::state::find_image(const void *handle) const {
    for (const auto &img : images)
        if (img.get() == handle) return img.get();
    return nullptr;
}

raster::path *raster_context::state::find_path(const void *handle) const {
    for (const auto &p : paths)
        if (p.get() == handle) return p.get();
    return nullptr;
}

raster_context::raster_context(engine &owner, int width, int height, uint32_t background)
    : state_(std::make_unique<state>(owner, std::clamp(width, 1, max_side), std::clamp(height, 1, max_side))) {
    clear(background);
    owner.set_render_context(&state_->context);
}

void raster_context::clear(uint32_t background) {
    clear(gr_rect_t{0, 0, int16_t(state_->width - 1), int16_t(state_->height - 1)}, background);
}

void raster_context::clear(const gr_rect_t &area, uint32_t background) {
    const int x1 = std::max<int>(area.x1, 0), y1 = std::max<int>(area.y1, 0);
    const int x2 = std::min<int>(area.x2, state_->width - 1), y2 = std::min<int>(area.y2, state_->height - 1);
    if (x2 < x1 || y2 < y1) return;
    cairo_surface_flush(state_->canvas);
    unsigned char *data = cairo_image_surface_get_data(state_->canvas);
    int stride = cairo_image_surface_get_stride(state_->canvas);
    uint32_t a = background >> 24;
    uint32_t premul = a << 24 | uint32_t(raster::premultiply((background >> 16) & 0xFF, a)) << 16 |
                      uint32_t(raster::premultiply((background >> 8) & 0xFF, a)) << 8 |
                      raster::premultiply(background & 0xFF, a);
    if (data == nullptr) return;
    // One row filled word by word, the others copied from it: the C library's copy moves many
    // pixels per instruction where a plain fill loop moves one.
    auto *first = reinterpret_cast<uint32_t *>(data + size_t(y1) * size_t(stride)) + x1;
    const size_t span = size_t(x2 - x1 + 1);
    std::fill(first, first + span, premul);
    for (int y = y1 + 1; y <= y2; ++y)
        std::memcpy(reinterpret_cast<uint32_t *>(data + size_t(y) * size_t(stride)) + x1, first, span * 4);
    cairo_surface_mark_dirty_rectangle(state_->canvas, x1, y1, x2 - x1 + 1, y2 - y1 + 1);
}

raster_context::~raster_context() {
    gr_services_t *services = state_->owner.app()->services;
    if (services != nullptr && services->render == &state_->context) state_->owner.set_render_context(nullptr);
}

gr_context_t *raster_context::context() { return &state_->context; }
void raster_context::set_text_stamps(bool on) { state_->text_stamps = on; }
void raster_context::note_cut_texts(bool on) { state_->noting_cuts = on; }
std::vector<raster_context::cut_text> raster_context::take_cut_texts() {
    std::vector<cut_text> taken;
    taken.swap(state_->cuts);
    return taken;
}
int raster_context::width() const { return state_->width; }
int raster_context::height() const { return state_->height; }
int raster_context::live_images() const { return int(state_->images.size()); }
int raster_context::decoded_images() const { return state_->library.count(); }
size_t raster_context::decoded_image_bytes() const { return state_->library.bytes(); }
void raster_context::set_image_budget(size_t per_image, size_t total) { state_->library.set_budget(per_image, total); }
int raster_context::cached_pieces() const { return state_->pieces.count(); }
size_t raster_context::cached_piece_bytes() const { return state_->pieces.bytes(); }
int raster_context::live_paths() const { return int(state_->paths.size()); }
int raster_context::font_files_opened() const { return state_->fonts.files_opened(); }

uint32_t raster_context::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= state_->width || y >= state_->height) return 0;
    cairo_surface_flush(state_->canvas);
    const unsigned char *data = cairo_image_surface_get_data(state_->canvas);
    if (data == nullptr) return 0;
    int stride = cairo_image_surface_get_stride(state_->canvas);
    uint32_t premul;
    std::memcpy(&premul, data + size_t(y) * size_t(stride) + size_t(x) * 4, sizeof premul);
    return raster::unpremultiplied(premul);
}

const uint32_t *raster_context::pixels() const {
    cairo_surface_flush(state_->canvas);
    return reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(state_->canvas));
}

size_t raster_context::stride() const { return size_t(cairo_image_surface_get_stride(state_->canvas)); }

argb_image raster_context::snapshot() const {
    argb_image out(state_->width, state_->height);
    cairo_surface_flush(state_->canvas);
    const unsigned char *data = cairo_image_surface_get_data(state_->canvas);
    if (data == nullptr) return out;
    int stride = cairo_image_surface_get_stride(state_->canvas);
    for (int y = 0; y < state_->height; ++y)
        for (int x = 0; x < state_->width; ++x) {
            uint32_t premul;
            std::memcpy(&premul, data + size_t(y) * size_t(stride) + size_t(x) * 4, sizeof premul);
            out.at(x, y) = raster::unpremultiplied(premul);
        }
    return out;
}

// The canvas magnified to scale x scale per pixel: a zoomed look at exactly the pixels drawn.
bool raster_context::magnified(int scale, argb_image &out, std::string *why) const {
    if (scale < 1 || scale > max_scale || int64_t(state_->width) * scale > max_side ||
        int64_t(state_->height) * scale > max_side) {
        if (why != nullptr)
            *why = "scale " + std::to_string(scale) + " is out of range for a " + std::to_string(state_->width) +
                     "x" + std::to_string(state_->height) + " canvas (1 to " + std::to_string(max_scale) +
                     ", at most " + std::to_string(max_side) + " pixels a side)";
        return false;
    }
    argb_image canvas = snapshot();
    if (scale == 1) {
        out = std::move(canvas);
        return true;
    }
    argb_image zoomed(canvas.width * scale, canvas.height * scale);
    for (int y = 0; y < zoomed.height; ++y)
        for (int x = 0; x < zoomed.width; ++x) zoomed.at(x, y) = canvas.at(x / scale, y / scale);
    out = std::move(zoomed);
    return true;
}

bool raster_context::write_png(const std::string &path, int scale, std::string *why) const {
    argb_image image;
    return magnified(scale, image, why) && pitwall::write_png(path, image, why);
}

bool raster_context::encode_png(int scale, std::string &out, std::string *why) const {
    argb_image image;
    return magnified(scale, image, why) && pitwall::encode_png(image, out, why);
}

} // namespace pitwall
