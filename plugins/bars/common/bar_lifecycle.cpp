// Clone, destroy and the plug-in-wide image table of a bar plug-in.
#include "bar_layout.h"
#include "bar_widget.h"

namespace bars {
bar_image_cache bar_image_table; // plug-in-wide, cleared at init, released at fini

int bar_clone(const bar_widget &w, gr_instance_t *target, gr_instance_t *source) {
    kit::clone_record(*w.def, target, source); // own strings, recompute level 0
    bar_record &r = *static_cast<bar_record *>(target->data);
    // Derived data and images are rebuilt by the clone's first draw; nothing is shared.
    for (gr_image_t *&shine : r.shine_images) shine = nullptr;
    r.tick_list = nullptr;
    r.tick_count = 0;
    r.value_map = nullptr;
    r.value_map_count = 0;
    r.mark_lines = nullptr;
    return 0;
}

int bar_destroy(const bar_widget &w, gr_instance_t *instance) {
    bar_record &r = *static_cast<bar_record *>(instance->data);
    free_derived(r);
    for (gr_image_t *&shine : r.shine_images) kit::release_kept_image(&shine);
    kit::free_strings(*w.def, &r);
    return 0;
}

} // namespace bars
