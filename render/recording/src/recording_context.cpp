// The recording render context: every operation becomes one trace line; nothing is drawn.
#include "pitwall/recording_context.h"

#include "pitwall/engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pitwall {

// A loaded image; its address is both the image handle and its surface handle.
struct recording_context::image {
    std::string path; // relative to the application directory
    recorded_image info;
    bool released = false;
    int16_t set_width = 0, set_height = 0;
    // The stretch description image_info id 0 points at: int16 sx, sw, sy, sh at byte offsets
    // 4, 8, 20 and 24.
    unsigned char stretch[GR_STRETCH_SIZE] = {};
};

namespace {

recording_context &self(gr_context_t *ctx) { return *static_cast<recording_context *>(ctx->impl); }

// The %g form (six significant digits) when it reads back as the same float, otherwise the
// fewest digits that do (nine always suffice): a trace shows the value the plug-in passed, not a
// rounded neighbour.
int16_t clamp16(int64_t v) { return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

std::string fmt_float(float v) {
    char buf[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(v));
        if (std::strtof(buf, nullptr) == v) break;
    }
    return buf;
}

std::string fmt_colour(uint32_t c) {
    char buf[16];
    if ((c >> 24) == 0)
        std::snprintf(buf, sizeof buf, "#%06x", c & 0xffffffu);
    else
        std::snprintf(buf, sizeof buf, "#%08x", c);
    return buf;
}

std::string fmt_rect(const gr_rect_t *r) {
    if (r == nullptr) return "null";
    return std::to_string(r->x1) + " " + std::to_string(r->y1) + " " + std::to_string(r->x2) + " " +
           std::to_string(r->y2);
}

// Text in double quotes; quotes, backslashes and bytes outside printable ASCII are escaped.
std::string fmt_text(const char *text, int32_t length) {
    std::string out = "\"";
    if (text == nullptr) return "null";
    for (int32_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7e) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string fmt_font(const gr_font_t *font) {
    if (font == nullptr) return "font=null";
    return "font=\"" + font->name + "\"";
}

} // namespace

struct recording_context::ops {
    static void set_attr(gr_context_t *ctx, int32_t id, const void *value, int32_t size) {
        std::string v = "null";
        if (value != nullptr && size == 4) {
            if (id == GR_ATTR_ROTATION) {
                float f;
                std::memcpy(&f, value, 4);
                v = fmt_float(f);
            } else {
                int32_t i;
                std::memcpy(&i, value, 4);
                v = std::to_string(i);
            }
        }
        self(ctx).record("set_attr " + std::to_string(id) + " " + v +
                         (size != 4 ? " size=" + std::to_string(size) : ""));
    }
    static void restore_attr(gr_context_t *ctx, int32_t id) { self(ctx).record("restore_attr " + std::to_string(id)); }
    static void set_clip(gr_context_t *ctx, const gr_rect_t *rect) {
        recording_context &s = self(ctx);
        if (rect != nullptr)
            s.clip_ = canvas_rect{rect->x1 + s.tx_, rect->y1 + s.ty_, rect->x2 + s.tx_, rect->y2 + s.ty_};
        s.record("set_clip " + fmt_rect(rect));
    }
    static void clear_clip(gr_context_t *ctx) {
        self(ctx).clip_.reset();
        self(ctx).record("clear_clip");
    }
    static int get_clip(gr_context_t *ctx, gr_rect_t *out) {
        recording_context &s = self(ctx);
        if (!s.clip_) {
            s.record("get_clip -> none");
            return 1;
        }
        *out = gr_rect_t{clamp16(s.clip_->x1 - s.tx_), clamp16(s.clip_->y1 - s.ty_), clamp16(s.clip_->x2 - s.tx_),
                         clamp16(s.clip_->y2 - s.ty_)};
        s.record("get_clip -> " + fmt_rect(out));
        return 0;
    }
    static void translate(gr_context_t *ctx, int32_t dx, int32_t dy) {
        self(ctx).tx_ += dx;
        self(ctx).ty_ += dy;
        self(ctx).record("translate " + std::to_string(dx) + " " + std::to_string(dy));
    }
    static void untranslate(gr_context_t *ctx, int32_t dx, int32_t dy) {
        self(ctx).tx_ -= dx;
        self(ctx).ty_ -= dy;
        self(ctx).record("untranslate " + std::to_string(dx) + " " + std::to_string(dy));
    }
    static void fill_rect(gr_context_t *ctx, const gr_rect_t *rect, uint32_t colour) {
        self(ctx).record("fill_rect " + fmt_rect(rect) + " " + fmt_colour(colour));
    }
    static void stroke_rect(gr_context_t *ctx, const gr_rect_t *rect, uint32_t colour) {
        self(ctx).record("stroke_rect " + fmt_rect(rect) + " " + fmt_colour(colour));
    }
    static void draw_path(gr_context_t *ctx, gr_path_t *path, uint32_t fill, uint32_t stroke, int32_t one) {
        self(ctx).record("draw_path path" + std::to_string(reinterpret_cast<uintptr_t>(path)) + " " +
                         fmt_colour(fill) + " " + fmt_colour(stroke) + " " + std::to_string(one));
    }
    static void draw_image_part(gr_context_t *ctx, gr_surface_t *surface, const gr_rect_t *source, int32_t zero,
                                const gr_rect_t *target) {
        recording_context &s = self(ctx);
        s.record("draw_image_part " + s.name_of(reinterpret_cast<gr_image_t *>(surface)) + " " + fmt_rect(source) +
                 " -> " + fmt_rect(target) + (zero != 0 ? " flags=" + std::to_string(zero) : ""));
    }
    static void draw_image(gr_context_t *ctx, gr_image_t *img, float x, float y, int32_t w, int32_t h, float px,
                           float py) {
        recording_context &s = self(ctx);
        s.record("draw_image " + s.name_of(img) + " " + fmt_float(x) + " " + fmt_float(y) + " " +
                 std::to_string(w) + "x" + std::to_string(h) + " pivot " + fmt_float(px) + " " + fmt_float(py));
    }
    static void draw_text(gr_context_t *ctx, int32_t x, int32_t y, const char *text, int32_t length,
                          const gr_text_style_t *style) {
        std::string st = style == nullptr ? "style=null"
                                          : fmt_font(style->font) + " size=" + std::to_string(style->size) +
                                                " colour=" + fmt_colour(style->colour);
        self(ctx).record("draw_text " + std::to_string(x) + " " + std::to_string(y) + " " + fmt_text(text, length) +
                         " " + st);
    }
    static gr_image_t *load_image(gr_context_t *ctx, const char *path, uint32_t flags, const int32_t *size,
                                  int32_t zero) {
        recording_context &s = self(ctx);
        std::string rel = s.relative(path != nullptr ? path : "");
        char fl[16];
        std::snprintf(fl, sizeof fl, "0x%x", flags);
        std::string line = "load_image " + rel + " flags=" + fl + " size=" +
                           (size != nullptr ? std::to_string(size[0]) + "x" + std::to_string(size[1]) : "native") +
                           (zero != 0 ? " extra=" + std::to_string(zero) : "");
        auto it = s.registry_.find(rel);
        if (it == s.registry_.end()) {
            s.record(line + " -> null");
            return nullptr;
        }
        auto img = std::make_unique<image>();
        img->path = rel;
        img->info = it->second;
        if (size != nullptr) { // scaled once at load
            img->info.width = static_cast<int16_t>(size[0]);
            img->info.height = static_cast<int16_t>(size[1]);
        }
        std::memcpy(img->stretch + GR_STRETCH_SX_OFFSET, &img->info.sx, 2);
        std::memcpy(img->stretch + GR_STRETCH_SW_OFFSET, &img->info.sw, 2);
        std::memcpy(img->stretch + GR_STRETCH_SY_OFFSET, &img->info.sy, 2);
        std::memcpy(img->stretch + GR_STRETCH_SH_OFFSET, &img->info.sh, 2);
        s.record(line + " -> ok");
        s.images_.push_back(std::move(img));
        return reinterpret_cast<gr_image_t *>(s.images_.back().get());
    }
    static void release_image(gr_context_t *ctx, gr_image_t *img) {
        recording_context &s = self(ctx);
        s.record("release_image " + s.name_of(img));
        if (img != nullptr) reinterpret_cast<image *>(img)->released = true;
    }
    static void image_set(gr_context_t *ctx, gr_image_t *img, int32_t id, const void *value, int32_t size) {
        recording_context &s = self(ctx);
        std::string v = "?";
        if (id == GR_IMAGE_SET_SIZE && value != nullptr && size == 4 && img != nullptr) {
            image *i = reinterpret_cast<image *>(img);
            std::memcpy(&i->set_width, value, 2);
            std::memcpy(&i->set_height, static_cast<const char *>(value) + 2, 2);
            v = std::to_string(i->set_width) + "x" + std::to_string(i->set_height);
        }
        s.record("image_set " + s.name_of(img) + " " + std::to_string(id) + " " + v);
    }
    static int image_info(gr_context_t *ctx, gr_image_t *img, int32_t id, void *out, int32_t size) {
        recording_context &s = self(ctx);
        std::string line = "image_info " + s.name_of(img) + " " + std::to_string(id);
        image *i = reinterpret_cast<image *>(img);
        if (i == nullptr || out == nullptr) {
            s.record(line + " -> fail");
            return -1;
        }
        if (id == GR_IMAGE_INFO_SURFACE) {
            gr_surface_t *surface = reinterpret_cast<gr_surface_t *>(i);
            std::memcpy(out, &surface, sizeof surface);
            s.record(line + " -> surface");
            return 0;
        }
        if (id == GR_IMAGE_INFO_SIZE && !i->info.size_query_fails && size >= 8) {
            gr_image_size_t result{i->info.width, i->info.height, i->info.nine_patch ? i->stretch : nullptr};
            std::memcpy(out, &result, sizeof result);
            s.record(line + " -> " + std::to_string(i->info.width) + "x" + std::to_string(i->info.height));
            return 0;
        }
        s.record(line + " -> fail");
        return -1;
    }
    static void font_metrics(gr_context_t *ctx, gr_font_t *font, gr_font_metrics_t *out) {
        recording_context &s = self(ctx);
        int32_t size = font != nullptr ? font->size : 0;
        int32_t h = s.line_height(size);
        if (out != nullptr) *out = gr_font_metrics_t{h, h, 0, 0};
        s.record("font_metrics " + fmt_font(font) + " size=" + std::to_string(size) + " -> " + std::to_string(h));
    }
    static int text_extent(gr_context_t *ctx, const char *text, int32_t length, const gr_text_style_t *style,
                           int16_t *out) {
        recording_context &s = self(ctx);
        std::string line = "text_extent " + fmt_text(text, length) + " size=" +
                           std::to_string(style != nullptr ? style->size : 0);
        if (s.fail_text_extent_ || out == nullptr || style == nullptr) {
            s.record(line + " -> fail");
            return -1;
        }
        auto fixed = !s.extents_.empty() && text != nullptr && length >= 0 ? s.extents_.find(std::string(text, size_t(length))) : s.extents_.end();
        if (fixed != s.extents_.end()) {
            out[0] = fixed->second.first;
            out[1] = fixed->second.second;
        } else {
            out[0] = static_cast<int16_t>(length * s.advance_);
            out[1] = static_cast<int16_t>(s.line_height(style->size));
        }
        s.record(line + " -> " + std::to_string(out[0]) + "x" + std::to_string(out[1]));
        return 0;
    }
    static gr_path_t *create_path(gr_context_t *ctx, int32_t kind, const float *points, int32_t count, int32_t flags) {
        recording_context &s = self(ctx);
        std::string pts;
        for (int32_t i = 0; i < count && points != nullptr; ++i)
            pts += (i ? " " : "") + fmt_float(points[2 * i]) + "," + fmt_float(points[2 * i + 1]);
        const std::string line = "create_path " + std::to_string(kind) + " flags=" + std::to_string(flags) +
                                 " count=" + std::to_string(count) + " [" + pts + "]";
        if (s.fail_create_path_) {
            s.record(line + " -> null");
            return nullptr;
        }
        uintptr_t id = static_cast<uintptr_t>(s.next_path_++);
        s.live_paths_ += 1;
        s.record(line + " -> path" + std::to_string(id));
        return reinterpret_cast<gr_path_t *>(id);
    }
    static void free_path(gr_context_t *ctx, gr_path_t *path) {
        recording_context &s = self(ctx);
        s.live_paths_ -= 1;
        s.record("free_path path" + std::to_string(reinterpret_cast<uintptr_t>(path)));
    }
    static const gr_render_ops_t table;
};

const gr_render_ops_t recording_context::ops::table = {
    recording_context::ops::set_attr,    recording_context::ops::restore_attr,
    recording_context::ops::set_clip,    recording_context::ops::clear_clip,
    recording_context::ops::get_clip,    recording_context::ops::translate,
    recording_context::ops::untranslate, recording_context::ops::fill_rect,
    recording_context::ops::stroke_rect, recording_context::ops::draw_path,
    recording_context::ops::draw_image_part, recording_context::ops::draw_image,
    recording_context::ops::draw_text,   recording_context::ops::load_image,
    recording_context::ops::release_image, recording_context::ops::image_set,
    recording_context::ops::image_info,  recording_context::ops::font_metrics,
    recording_context::ops::text_extent, recording_context::ops::create_path,
    recording_context::ops::free_path,
};

recording_context::recording_context(engine &owner) : engine_(owner) {
    context_.app = owner.app();
    context_.ops = &ops::table;
    context_.impl = this;
    owner.set_trace_hook([this](const std::string &line) { record(line); });
    owner.set_render_context(&context_);
}

recording_context::~recording_context() {
    engine_.set_trace_hook({});
    if (engine_.app()->services->render == &context_) engine_.set_render_context(nullptr);
}

void recording_context::add_image(const std::string &path, int16_t width, int16_t height) {
    stage_image(path, recorded_image{.width = width, .height = height});
}

void recording_context::add_nine_patch(const std::string &path, int16_t width, int16_t height, int16_t sx,
                                       int16_t sw, int16_t sy, int16_t sh) {
    stage_image(path, recorded_image{
                          .width = width, .height = height, .nine_patch = true, .sx = sx, .sw = sw, .sy = sy, .sh = sh});
}

void recording_context::fail_size_query(const std::string &path) { registry_[path].size_query_fails = true; }

void recording_context::remove_image(const std::string &path) { registry_.erase(path); }

void recording_context::set_clip_state(std::optional<gr_rect_t> clip) {
    if (clip)
        clip_ = canvas_rect{clip->x1 + tx_, clip->y1 + ty_, clip->x2 + tx_, clip->y2 + ty_};
    else
        clip_.reset();
}

std::optional<gr_rect_t> recording_context::clip_state() const {
    if (!clip_) return std::nullopt;
    return gr_rect_t{clamp16(clip_->x1), clamp16(clip_->y1), clamp16(clip_->x2), clamp16(clip_->y2)};
}

int32_t recording_context::line_height(int32_t size) const {
    auto it = line_heights_.find(size);
    return it != line_heights_.end() ? it->second : size;
}

std::string recording_context::trace_text() const {
    std::string out;
    for (const std::string &line : trace_) out += line + "\n";
    return out;
}

int recording_context::live_images() const {
    int n = 0;
    for (const auto &img : images_) n += img->released ? 0 : 1;
    return n;
}

void recording_context::forget_released_images() {
    std::erase_if(images_, [](const std::unique_ptr<image> &i) { return i->released; });
}

std::string recording_context::relative(const std::string &path) const {
    std::string base = engine_.base_dir() + "/";
    return path.rfind(base, 0) == 0 ? path.substr(base.size()) : path;
}

std::string recording_context::name_of(const gr_image_t *img) const {
    if (img == nullptr) return "null";
    for (const auto &i : images_)
        if (reinterpret_cast<const gr_image_t *>(i.get()) == img)
            return i->released ? "released:" + i->path : i->path;
    return "unknown";
}

} // namespace pitwall
