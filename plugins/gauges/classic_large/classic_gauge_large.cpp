// "Classic Gauge Large": the classic dial gauge designed for a 440-pixel square. The needle's
// artwork starts 100 design pixels from the centre, so its pivot lies above the image; the value
// arc is mid grey.
#include "classic_gauge.h"
#include "text.h"

namespace {

constexpr char k_name[] = "Classic Gauge Large";
constexpr kit::widget_def k_def = kit::make_widget<gauges::classic_record>(
    k_name, gauges::classic_attributes, gauges::classic_level_offset, true);
constexpr kit::tick_messages k_tick_messages = KIT_TICK_MESSAGES("Classic Gauge Large");
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Classic Gauge Large");
constexpr gauges::classic_variant k_variant{&k_def, &k_tick_messages, &kit::font_ref<k_font_messages>,
                                            440.0f, 10.0f, 87.0f, 0.0f, -100.0f,
                                            389.0f, 0x808080, "_bg_large.png", "needle_large.png"};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *record) {
    return kit::plugin_create<gauges::classic_plugin<k_variant>::plugin>(record);
}
