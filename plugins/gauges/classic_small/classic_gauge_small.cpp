// "Classic Gauge Small": the classic dial gauge designed for a 240-pixel square. The needle's hub
// lies inside its artwork, 23/32 of the needle's width below the top; the value arc is dark grey.
#include "classic_gauge.h"
#include "text.h"

namespace {

constexpr char k_name[] = "Classic Gauge Small";
constexpr kit::widget_def k_def = kit::make_widget<gauges::classic_record>(
    k_name, gauges::classic_attributes, gauges::classic_level_offset, true);
constexpr kit::tick_messages k_tick_messages = KIT_TICK_MESSAGES("Classic Gauge Small");
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Classic Gauge Small");
constexpr gauges::classic_variant k_variant{&k_def, &k_tick_messages, &kit::font_ref<k_font_messages>,
                                            240.0f, 32.0f, 115.0f, 23.0f * 0.03125f, 0.0f,
                                            180.0f, 0x4D4D4D, "_bg_small.png", "needle_small.png"};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *record) {
    return kit::plugin_create<gauges::classic_plugin<k_variant>::plugin>(record);
}
