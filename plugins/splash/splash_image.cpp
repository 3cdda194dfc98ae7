// SplashImage: one image file, named by `logo_path` relative to the application directory, drawn
// over the whole control.
#include "frame.h"
#include "renderext.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

constexpr const char k_name[] = "SplashImage";
// Room for "<base_dir>/<logo_path>" and its terminator. A longer path is refused, not truncated:
// a truncated path could name a different file.
constexpr size_t k_path_size = 200;

struct splash_record {
    char *logo_path;   // owned copy, null until set
    gr_image_t *image; // loaded at the first visible draw, null while none is held
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(splash_record, logo_path) == 0 && offsetof(splash_record, image) == 4 &&
                  sizeof(splash_record) == 8,
              "record layout of the 32-bit target");
#endif

constexpr kit::attr_def k_attrs[] = {
    kit::attr_string(12, "logo_path", offsetof(splash_record, logo_path)),
};
constexpr kit::widget_def k_widget = kit::make_widget<splash_record>(k_name, k_attrs);
constexpr auto k_table = kit::attribute_table(k_attrs);

splash_record *record_of(gr_instance_t *instance) { return static_cast<splash_record *>(instance->data); }

// A new path shows the new file: the image of the old one is released so the next draw loads anew.
void set_attribute(int32_t id, const void *value, gr_instance_t *instance) {
    int32_t dirty = instance->dirty;
    kit::set_attribute(k_widget, id, value, instance);
    if (id == 12 && instance->dirty != dirty) kit::release_kept_image(&record_of(instance)->image);
}

// Load the image of `logo_path`; null (after both log lines) when it cannot be loaded.
gr_image_t *load_logo(gr_context_t *ctx, const splash_record *record) {
    char path[k_path_size];
    int length = std::snprintf(path, sizeof path, "%s/%s", ctx->app->base_dir,
                               record->logo_path != nullptr ? record->logo_path : "");
    bool fits = length >= 0 && static_cast<size_t>(length) < sizeof path;
    gre_app_log(ctx->app, GRE_LOG_INFO, "SplashImage: Loading image %s", path);
    gr_image_t *image =
        fits ? ctx->ops->load_image(ctx, path, GR_LOAD_IMAGE_FLAGS, nullptr, 0) : nullptr;
    if (image == nullptr) gre_app_log(ctx->app, GRE_LOG_ERROR, "SplashImage: Failed loading image %s", path);
    return image;
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::control)) return 0;

    splash_record *record = record_of(instance);
    if (record->image == nullptr) {
        record->image = load_logo(ctx, record);
        if (record->image == nullptr) {
            // A failed load still completes the frame: the next draw retries and logs again.
            kit::frame_fail(frame);
            instance->dirty = 0;
            return -1;
        }
    }
    ctx->ops->draw_image(ctx, record->image, static_cast<float>(control->x), static_cast<float>(control->y),
                         control->width, control->height, -1.0f, -1.0f);
    return kit::frame_end(frame);
}

int clone(gr_instance_t *target, gr_instance_t *source) {
    kit::clone_record(k_widget, target, source);
    record_of(target)->image = nullptr; // the clone loads its own at its first draw
    return 0;
}

int destroy(gr_instance_t *instance) {
    kit::free_strings(k_widget, instance->data);
    kit::release_kept_image(&record_of(instance)->image);
    return 0;
}

constexpr gr_renderext_t k_descriptor =
    kit::make_descriptor<k_widget>(k_table.data(), draw, clone, destroy, set_attribute);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, true, nullptr, 0};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
