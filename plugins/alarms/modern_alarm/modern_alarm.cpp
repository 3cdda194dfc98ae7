// "Modern Alarm": the alarm lamp whose box is three nine-patch pieces (left cap, stretchable
// middle, right cap) from "images/ModernAlarm/", in the eight colours of its palette.
#include "alarm.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr char k_name[] = "Modern Alarm";

// The instance record, in the engine's field order: 1408 bytes on the 32-bit target.
struct alarm_record {
    alarms::alarm_head head;
    kit::nine_patch patches[3][3]; // per state: left cap, middle, right cap
    alarms::alarm_icon icon;
    alarms::alarm_tail tail;
    uint8_t reserved[12];          // unused tail: the engine's record is longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(alarm_record, patches) == 24 && offsetof(alarm_record, icon) == 1320 &&
                  offsetof(alarm_record, tail) == 1336 && sizeof(alarm_record) == 1408,
              "record layout of the 32-bit target");
#endif

using attributes = alarms::alarm_attributes<alarm_record>;
constexpr kit::widget_def k_widget = kit::make_widget<alarm_record>(k_name, attributes::table, attributes::level_offset);
constexpr auto k_table = kit::attribute_table(attributes::table);
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Modern Alarm");
constexpr kit::image_messages k_image_messages = KIT_IMAGE_MESSAGES("Modern Alarm");
constexpr const char *k_suffixes[] = {"_box1.9.png", "_box2.9.png", "_box3.9.png"};
constexpr uint32_t k_image_count = alarms::image_slot_count(3, kit::modern_alarm_palette.size);

// Plug-in-wide: the three pieces of every box colour, then the reset symbol.
gr_image_t *g_images[k_image_count];

alarms::alarm_view view_of(void *data) {
    auto *r = static_cast<alarm_record *>(data);
    return {&r->head, &r->patches[0][0], &r->icon, nullptr, &r->tail};
}

// The text ends 36 pixels left of the right edge, with or without the reset symbol at x1 - 29.
constexpr alarms::alarm_variant k_variant{&k_widget,
                                          &k_image_messages,
                                          &kit::font_ref<k_font_messages>,
                                          &kit::modern_alarm_palette,
                                          "images/ModernAlarm/",
                                          k_suffixes,
                                          3,
                                          g_images,
                                          29.0f,
                                          36,
                                          36,
                                          kit::align_modern_alarm,
                                          &view_of};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) {
    return kit::plugin_create<alarms::alarm_plugin<k_variant, k_table, k_image_count>::plugin>(plugin);
}
