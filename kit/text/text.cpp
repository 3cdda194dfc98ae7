// text.cpp - font lookup and string length.
#include "text.h"

#include <cstring>

namespace kit {

const char *font_name_or_default(const char *font_name) {
    return font_name == nullptr || font_name[0] == '\0' ? default_font_name : font_name;
}

font_lookup lookup_font(gr_text_style_t *style, gr_resources_t *resources, const char *name,
                        int32_t size, uint32_t colour) {
    *style = gr_text_style_t{};
    style->one = 1;
    style->size = size;
    style->colour = colour;
    if (resources == nullptr) return font_lookup::no_resource;
    gr_resource_t *resource = resources->res_lookup(resources, font_resource_kind, name, style);
    if (resource == nullptr) return font_lookup::no_resource;
    style->font = resources->res_font(resources, resource);
    if (style->font != nullptr) return font_lookup::found;
    resources->res_release(resources, resource);
    return font_lookup::no_font;
}

gr_resources_t *resources_of(const gr_context_t *ctx) {
    if (ctx == nullptr || ctx->app == nullptr || ctx->app->services == nullptr) return nullptr;
    return ctx->app->services->resources;
}

int32_t text_len(const char *text) {
    if (text == nullptr) return 0;
    // Strings reach the host with a 32-bit length; anything longer is cut at the largest length.
    const size_t length = std::strlen(text);
    return length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
}

} // namespace kit
