// image_cache.h - loading themed images once: the plug-in-wide `image_cache` shared by all
// instances, per-instance slots, and their release.
//
// Ownership:
//   - plug-in-wide slots are cleared at init and released at fini by the kit (kit::plugin_def
//     points at them); an instance never releases one;
//   - per-instance slots are released by the widget (at relayout with its draw context through
//     release_image, at destroy through kit::release_kept_image).
// A failed load leaves its slot null, so the next draw tries (and logs) again.
#ifndef PITWALL_KIT_IMAGE_CACHE_H
#define PITWALL_KIT_IMAGE_CACHE_H

#include "gre_host.h"

#include <cstdint>

namespace kit {

// The loading line of widgets that announce their loads: one literal beginning with the display
// name, checked by the compiler. Build one per widget with KIT_IMAGE_MESSAGES("Display Name").
struct image_messages {
    void (*loading)(gr_application_t *app, const char *path); // level 2
};

#define KIT_IMAGE_MESSAGES(display_name)                                                           \
    kit::image_messages {                                                                          \
        [](gr_application_t *app, const char *path) {                                              \
            gre_app_log(app, GRE_LOG_INFO, display_name ": Loading image %s", path);               \
        }                                                                                          \
    }

// Load "<base_dir>/<dir><colour><suffix>" at its native size (size null) or at a requested size
// (two int32, width first). `messages` null: no loading line (level bars, gauges). Null when the
// path does not fit its buffer or the engine has no such image.
gr_image_t *load_themed_image(gr_context_t *ctx, const image_messages *messages, const char *dir,
                              const char *colour, const char *suffix, const int32_t *size = nullptr);

// Load a file by its path relative to the base directory ("images/ModernAlarm/white_reset.png").
gr_image_t *load_fixed_image(gr_context_t *ctx, const image_messages *messages, const char *relative,
                             const int32_t *size = nullptr);
// Load "<base_dir>/<dir><file>" ("images/ClassicGauge/" and "needle_small.png").
gr_image_t *load_fixed_image(gr_context_t *ctx, const image_messages *messages, const char *dir,
                             const char *file, const int32_t *size);

// Load an alarm pictogram "<base_dir>/<dir><icon>_<colour>.png" at its native size.
gr_image_t *load_icon_image(gr_context_t *ctx, const image_messages *messages, const char *dir, const char *icon,
                            const char *colour);

// The slot's image, loading it into the empty slot first. Null when the load fails.
gr_image_t *cached_themed_image(gr_image_t **slot, gr_context_t *ctx, const image_messages *messages,
                                const char *dir, const char *colour, const char *suffix,
                                const int32_t *size = nullptr);

// The slot's image of a fixed file ("images/ModernAlarm/white_reset.png"), loading it first.
gr_image_t *cached_fixed_image(gr_image_t **slot, gr_context_t *ctx, const image_messages *messages,
                               const char *relative);

// Release a per-instance image through the draw's context and empty its slot.
void release_image(gr_context_t *ctx, gr_image_t **slot);

// A plug-in-wide table of themed images: `Files` rows of `Colours` slots, flat so that a
// kit::plugin_def can point at it (`slots`, `slot_count`) for clearing at init and release at fini.
template <int32_t Files, int32_t Colours>
struct image_cache {
    static constexpr uint32_t slot_count = static_cast<uint32_t>(Files * Colours);
    gr_image_t *slots[slot_count];

    // The slot of a themed file and a valid 1-based palette index.
    gr_image_t **slot(int32_t file, int32_t index) { return &slots[file * Colours + (index - 1)]; }
    gr_image_t *at(int32_t file, int32_t index) const { return slots[file * Colours + (index - 1)]; }
};

} // namespace kit

#endif // PITWALL_KIT_IMAGE_CACHE_H
