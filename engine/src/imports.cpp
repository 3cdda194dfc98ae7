// The four imports every plug-in calls.
#include "gre_host.h"
#include "pitwall/engine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {

__attribute__((visibility("default"))) void gre_app_log(gr_application_t *app, int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    if (pitwall::engine *owner = pitwall::engine_of(app)) owner->write_log(level, std::move(text));
}

__attribute__((visibility("default"))) void gr_renderext_common_parse(int32_t id, const void *value,
                                                                     gr_instance_t *instance) {
    if (value == nullptr || instance == nullptr) return;
    uint32_t word;
    switch (id) {
    case 0: std::memcpy(&word, value, 4); instance->x = word; break;
    case 1: std::memcpy(&word, value, 4); instance->y = word; break;
    case 2: std::memcpy(&instance->width, value, 4); break;
    case 3: std::memcpy(&instance->height, value, 4); break;
    case 4: std::memcpy(&instance->color, value, 4); break;
    default: break; // alignment, rotation, line width, alpha: the engine's own business
    }
}

__attribute__((visibility("default"))) void gr_size_to_rect(gr_rect_t *out, const gr_size_t *size) {
    out->x1 = 0;
    out->y1 = 0;
    out->x2 = static_cast<int16_t>(size->width - 1);
    out->y2 = static_cast<int16_t>(size->height - 1);
}

__attribute__((visibility("default"))) int gr_rect_clip(const gr_rect_t *a, const gr_rect_t *b, gr_rect_t *out) {
    gr_rect_t r;
    r.x1 = a->x1 > b->x1 ? a->x1 : b->x1;
    r.y1 = a->y1 > b->y1 ? a->y1 : b->y1;
    r.x2 = a->x2 < b->x2 ? a->x2 : b->x2;
    r.y2 = a->y2 < b->y2 ? a->y2 : b->y2;
    if (r.x1 > r.x2 || r.y1 > r.y2) return 0;
    *out = r;
    return 1;
}

} // extern "C"
