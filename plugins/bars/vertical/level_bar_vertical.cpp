// "Common Vertical Bar": a column of segments filling from the top (orientation 0) or the bottom,
// with a rotated title on the left and a scale left or right of the bar.
#include "bar_widget.h"
#include "text.h"

namespace {

constexpr char k_name[] = "Common Vertical Bar";
constexpr kit::widget_def k_def = kit::make_widget<bars::bar_record>(k_name, bars::bar_attributes, bars::bar_level_offset);
constexpr kit::tick_messages k_tick_messages = KIT_TICK_MESSAGES("Common Vertical Bar");
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Common Vertical Bar");
constexpr bars::bar_widget k_widget{&k_def, &bars::vertical_axis, &k_tick_messages, &kit::font_ref<k_font_messages>};

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    return bars::bar_draw(k_widget, ctx, control, instance);
}
int clone(gr_instance_t *target, gr_instance_t *source) { return bars::bar_clone(k_widget, target, source); }
int destroy(gr_instance_t *instance) { return bars::bar_destroy(k_widget, instance); }

constexpr gr_renderext_t k_descriptor{k_name,         k_def.data_size, bars::bar_attribute_table.data(),
                                      &kit::set_attribute_callback<k_def>, &draw, &kit::aux_noop,
                                      &kit::aux_noop, &clone, &destroy, nullptr, nullptr, nullptr};
constexpr kit::plugin_def k_plugin{k_name, &k_descriptor, true, bars::bar_image_table.slots,
                                   bars::bar_image_cache::slot_count};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *record) { return kit::plugin_create<k_plugin>(record); }
