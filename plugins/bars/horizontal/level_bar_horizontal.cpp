// "Common Horizontal Bar": a row of segments filling from the left (orientation 0) or the right,
// with a title strip across the top and a scale above or below the bar.
#include "bar_widget.h"
#include "text.h"

#include <cstdint>

namespace {

constexpr char k_name[] = "Common Horizontal Bar";
constexpr kit::widget_def k_def = kit::make_widget<bars::bar_record>(k_name, bars::bar_attributes, bars::bar_level_offset);
#if UINTPTR_MAX == 0xffffffffu
static_assert(k_def.data_size == 340, "the engine allocates 340 bytes per instance on the 32-bit target");
#endif
constexpr kit::tick_messages k_tick_messages = KIT_TICK_MESSAGES("Common Horizontal Bar");
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Common Horizontal Bar");
constexpr bars::bar_widget k_widget{&k_def, &bars::horizontal_axis, &k_tick_messages, &kit::font_ref<k_font_messages>};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *record) {
    return kit::plugin_create<bars::bar_plugin<k_widget>::plugin>(record);
}
