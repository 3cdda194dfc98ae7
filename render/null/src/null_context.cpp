// The null render context: counts calls, draws nothing, allocates nothing.
#include "pitwall/null_context.h"

#include "pitwall/engine.h"

#include <cstring>

namespace pitwall {
namespace {

// One fake image serves every load; its stretch description is static.
struct fake_image {
    unsigned char stretch[GR_STRETCH_SIZE];
};

fake_image make_fake_image() {
    fake_image img{};
    const int16_t bands[4] = {5, 10, 5, 10}; // sx, sw, sy, sh
    std::memcpy(img.stretch + GR_STRETCH_SX_OFFSET, &bands[0], 2);
    std::memcpy(img.stretch + GR_STRETCH_SW_OFFSET, &bands[1], 2);
    std::memcpy(img.stretch + GR_STRETCH_SY_OFFSET, &bands[2], 2);
    std::memcpy(img.stretch + GR_STRETCH_SH_OFFSET, &bands[3], 2);
    return img;
}

fake_image g_image = make_fake_image();

long &count(gr_context_t *ctx) { return *static_cast<long *>(ctx->impl); }

} // namespace

struct null_context::ops {
    static void set_attr(gr_context_t *c, int32_t, const void *, int32_t) { ++count(c); }
    static void restore_attr(gr_context_t *c, int32_t) { ++count(c); }
    static void set_clip(gr_context_t *c, const gr_rect_t *) { ++count(c); }
    static void clear_clip(gr_context_t *c) { ++count(c); }
    static int get_clip(gr_context_t *c, gr_rect_t *) {
        ++count(c);
        return 1; // no clip: the frame clips to the canvas
    }
    static void translate(gr_context_t *c, int32_t, int32_t) { ++count(c); }
    static void rect(gr_context_t *c, const gr_rect_t *, uint32_t) { ++count(c); }
    static void draw_path(gr_context_t *c, gr_path_t *, uint32_t, uint32_t, int32_t) { ++count(c); }
    static void draw_image_part(gr_context_t *c, gr_surface_t *, const gr_rect_t *, int32_t, const gr_rect_t *) {
        ++count(c);
    }
    static void draw_image(gr_context_t *c, gr_image_t *, float, float, int32_t, int32_t, float, float) { ++count(c); }
    static void draw_text(gr_context_t *c, int32_t, int32_t, const char *, int32_t, const gr_text_style_t *) {
        ++count(c);
    }
    static gr_image_t *load_image(gr_context_t *c, const char *, uint32_t, const int32_t *, int32_t) {
        ++count(c);
        return reinterpret_cast<gr_image_t *>(&g_image);
    }
    static void release_image(gr_context_t *c, gr_image_t *) { ++count(c); }
    static void image_set(gr_context_t *c, gr_image_t *, int32_t, const void *, int32_t) { ++count(c); }
    static int image_info(gr_context_t *c, gr_image_t *, int32_t id, void *out, int32_t) {
        ++count(c);
        if (out == nullptr) return -1;
        if (id == GR_IMAGE_INFO_SURFACE) {
            gr_surface_t *surface = reinterpret_cast<gr_surface_t *>(&g_image);
            std::memcpy(out, &surface, sizeof surface);
            return 0;
        }
        gr_image_size_t size{20, 20, g_image.stretch};
        std::memcpy(out, &size, sizeof size);
        return 0;
    }
    static void font_metrics(gr_context_t *c, gr_font_t *font, gr_font_metrics_t *out) {
        ++count(c);
        int32_t h = font != nullptr ? font->size : 0;
        if (out != nullptr) *out = gr_font_metrics_t{h, h, 0, 0};
    }
    static int text_extent(gr_context_t *c, const char *, int32_t length, const gr_text_style_t *style, int16_t *out) {
        ++count(c);
        out[0] = static_cast<int16_t>(length * 8);
        out[1] = static_cast<int16_t>(style->size);
        return 0;
    }
    static gr_path_t *create_path(gr_context_t *c, int32_t, const float *, int32_t, int32_t) {
        ++count(c);
        return reinterpret_cast<gr_path_t *>(&g_image);
    }
    static void free_path(gr_context_t *c, gr_path_t *) { ++count(c); }
    static const gr_render_ops_t table;
};

const gr_render_ops_t null_context::ops::table = {
    ops::set_attr,  ops::restore_attr, ops::set_clip,      ops::clear_clip, ops::get_clip,
    ops::translate, ops::translate,    ops::rect,          ops::rect,       ops::draw_path,
    ops::draw_image_part, ops::draw_image, ops::draw_text, ops::load_image, ops::release_image,
    ops::image_set, ops::image_info,   ops::font_metrics,  ops::text_extent, ops::create_path,
    ops::free_path,
};

null_context::null_context(engine &owner) : engine_(owner) {
    context_.app = owner.app();
    context_.ops = &ops::table;
    context_.impl = &operations_;
    owner.set_render_context(&context_);
}

null_context::~null_context() {
    if (engine_.app()->services->render == &context_) engine_.set_render_context(nullptr);
}

} // namespace pitwall
