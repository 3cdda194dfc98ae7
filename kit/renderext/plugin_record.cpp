// The plug-in record, init and fini, and the application handle kept for later image work.
#include "renderext.h"

#include <cstring>

namespace kit {
namespace {
// Plug-in-wide: the kit is linked statically into each plug-in, so every plug-in has its own.
gr_application_t *g_app = nullptr;
} // namespace

int fill_plugin_record(gre_plugin_t *record, const char *name, gre_plugin_init_fn init,
                       gre_plugin_fini_fn fini) {
    std::memset(record, 0, sizeof *record);
    record->interface_version = GRE_PLUGIN_INTERFACE_VERSION;
    record->name = copy_string(name);
    record->init = init;
    record->fini = fini;
    return 0;
}

int plugin_init(const plugin_def &plugin, gr_application_t *app) {
    gr_renderext_registry_t *registry = app->services->renderext_registry;
    registry->register_renderext(registry, plugin.descriptor);
    if (plugin.keeps_app) g_app = app;
    for (uint32_t i = 0; i < plugin.image_count; ++i) plugin.images[i] = nullptr;
    return 0;
}

void plugin_fini(const plugin_def &plugin, gr_application_t *app) {
    if (plugin.image_count == 0) return;
    gr_context_t *render = app->services->render;
    if (render == nullptr) return;
    // The slots are not reset: the plug-in is about to be unloaded.
    for (uint32_t i = 0; i < plugin.image_count; ++i)
        if (plugin.images[i] != nullptr) render->ops->release_image(render, plugin.images[i]);
}

gr_application_t *kept_app() { return g_app; }

gr_context_t *kept_render_context() {
    return g_app != nullptr ? g_app->services->render : nullptr;
}

void release_kept_image(gr_image_t **slot) {
    if (*slot == nullptr) return;
    gr_context_t *render = kept_render_context();
    if (render == nullptr) return;
    render->ops->release_image(render, *slot);
    *slot = nullptr;
}

} // namespace kit
