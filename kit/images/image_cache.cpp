// Loading themed images by composed path, cached in slots.
#include "image_cache.h"

#include "image_path.h"

namespace kit {
namespace {

gr_image_t *load_path(gr_context_t *ctx, const image_messages *messages, const char *path,
                      const int32_t *size) {
    if (messages != nullptr) messages->loading(ctx->app, path);
    return ctx->ops->load_image(ctx, path, GR_LOAD_IMAGE_FLAGS, size, 0);
}

} // namespace

gr_image_t *load_themed_image(gr_context_t *ctx, const image_messages *messages, const char *dir,
                              const char *colour, const char *suffix, const int32_t *size) {
    char path[image_path_size]; // on the stack: loading allocates nothing
    if (!themed_image_path(path, sizeof path, ctx->app->base_dir, dir, colour, suffix)) return nullptr;
    return load_path(ctx, messages, path, size);
}

gr_image_t *load_fixed_image(gr_context_t *ctx, const image_messages *messages, const char *relative,
                             const int32_t *size) {
    char path[image_path_size];
    if (!fixed_image_path(path, sizeof path, ctx->app->base_dir, relative)) return nullptr;
    return load_path(ctx, messages, path, size);
}

gr_image_t *load_fixed_image(gr_context_t *ctx, const image_messages *messages, const char *dir,
                             const char *file, const int32_t *size) {
    char path[image_path_size];
    if (!fixed_image_path(path, sizeof path, ctx->app->base_dir, dir, file)) return nullptr;
    return load_path(ctx, messages, path, size);
}

gr_image_t *load_icon_image(gr_context_t *ctx, const image_messages *messages, const char *dir, const char *icon,
                            const char *colour) {
    char path[image_path_size];
    if (!icon_image_path(path, sizeof path, ctx->app->base_dir, dir, icon, colour)) return nullptr;
    return load_path(ctx, messages, path, nullptr);
}

gr_image_t *cached_themed_image(gr_image_t **slot, gr_context_t *ctx, const image_messages *messages,
                                const char *dir, const char *colour, const char *suffix,
                                const int32_t *size) {
    if (*slot == nullptr) *slot = load_themed_image(ctx, messages, dir, colour, suffix, size);
    return *slot;
}

gr_image_t *cached_fixed_image(gr_image_t **slot, gr_context_t *ctx, const image_messages *messages,
                               const char *relative) {
    if (*slot == nullptr) *slot = load_fixed_image(ctx, messages, relative);
    return *slot;
}

void release_image(gr_context_t *ctx, gr_image_t **slot) {
    if (*slot == nullptr) return;
    ctx->ops->release_image(ctx, *slot);
    *slot = nullptr;
}

} // namespace kit
