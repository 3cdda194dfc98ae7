// "Classic Alarm": the framed alarm lamp. One nine-patch frame over the whole box, from the
// classic set shared with the Classic Box ("images/ClassicBox/"), in eleven colours.
#include "alarm.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr char k_name[] = "Classic Alarm";

// The instance record, in the engine's field order: 548 bytes on the 32-bit target.
struct alarm_record {
    alarms::alarm_head head;
    kit::nine_patch patches[3]; // per state: the frame
    alarms::alarm_icon icon;
    int32_t reset_margin;       // set by every draw: 30 with the reset symbol, else 0
    alarms::alarm_tail tail;
    uint8_t reserved[12];       // unused tail: the engine's record is longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(alarm_record, icon) == 456 && offsetof(alarm_record, reset_margin) == 472 &&
                  offsetof(alarm_record, tail) == 476 && sizeof(alarm_record) == 548,
              "record layout of the 32-bit target");
#endif

using attributes = alarms::alarm_attributes<alarm_record>;
constexpr kit::widget_def k_widget = kit::make_widget<alarm_record>(k_name, attributes::table, attributes::level_offset);
constexpr auto k_table = kit::attribute_table(attributes::table);
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Classic Alarm");
constexpr kit::image_messages k_image_messages = KIT_IMAGE_MESSAGES("Classic Alarm");
constexpr const char *k_suffixes[] = {"_box.9.png"};
constexpr uint32_t k_image_count = alarms::image_slot_count(1, kit::classic_palette.size);

// Plug-in-wide: the frame of every box colour, then the reset symbol.
gr_image_t *g_images[k_image_count];

alarms::alarm_view view_of(void *data) {
    auto *r = static_cast<alarm_record *>(data);
    return {&r->head, &r->patches[0], &r->icon, &r->reset_margin, &r->tail};
}

// The reset symbol at x1 - 30; the text ends 7 pixels left of it, or of the right edge without it.
constexpr alarms::alarm_variant k_variant{&k_widget,
                                          &k_image_messages,
                                          &kit::font_ref<k_font_messages>,
                                          &kit::classic_palette,
                                          "images/ClassicBox/",
                                          k_suffixes,
                                          1,
                                          g_images,
                                          30.0f,
                                          37,
                                          7,
                                          kit::align_classic_alarm,
                                          &view_of};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) {
    return kit::plugin_create<alarms::alarm_plugin<k_variant, k_table, k_image_count>::plugin>(plugin);
}
