// "Scroll Label": one line of text that the application scrolls sideways through `offset`; the
// clip cuts it at the widget's edges. Right alignment applies only while the text fits, so that a
// long text is drawn from the left and negative offsets bring its end into view.
#include "frame.h"
#include "renderext.h"
#include "text.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr const char k_name[] = "Scroll Label";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Scroll Label");

// The instance record, in the engine's field order: 20 bytes on the 32-bit target.
struct scroll_record {
    char *text;        // owned
    char *font;        // owned; null or empty: the default font
    int16_t font_size; // read as unsigned 16 bits
    uint8_t alignment; // 3 right (while the text fits), other left
    int16_t offset;    // pixels added to the text's position
    int32_t text_len;  // bytes of text, kept up to date as it is set
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(scroll_record, offset) == 12 && sizeof(scroll_record) == 20, "record layout of the 32-bit target");
#endif

constexpr kit::attr_def k_attrs[] = {
    kit::attr_string(12, "text", offsetof(scroll_record, text)),
    kit::attr_string(13, "font", offsetof(scroll_record, font)),
    kit::attr_int(14, "font_size", offsetof(scroll_record, font_size), kit::level_none, kit::store::int16),
    kit::attr_int(15, "alignment", offsetof(scroll_record, alignment), kit::level_none, kit::store::uint8),
    kit::attr_int(16, "offset", offsetof(scroll_record, offset), kit::level_none, kit::store::int16),
};
// Every set counts in `dirty`, changed or not, so that a repeated offset still redraws.
constexpr kit::widget_def k_widget = kit::make_widget<scroll_record>(k_name, k_attrs, -1, true);
constexpr auto k_table = kit::attribute_table(k_attrs);

scroll_record *record_of(gr_instance_t *instance) { return static_cast<scroll_record *>(instance->data); }

void set_attribute(int32_t id, const void *value, gr_instance_t *instance) {
    kit::set_attribute(k_widget, id, value, instance);
    if (id == 12) record_of(instance)->text_len = kit::text_len(record_of(instance)->text);
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    const scroll_record &r = *record_of(instance);
    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::exclusive)) return 0;
    if (r.text_len == 0) return kit::frame_end(frame);
    gr_text_style_t style;
    if (!kit::font_ref<k_font_messages>(&style, ctx, kit::resources_of(ctx), r.font, static_cast<uint16_t>(r.font_size),
                                         instance->color))
        return kit::frame_end(frame);
    int16_t extent[2] = {0, 0};
    if (ctx->ops->text_extent(ctx, r.text, r.text_len, &style, extent) == -1) extent[0] = extent[1] = 0;
    const int16_t box_w = static_cast<int16_t>(static_cast<uint16_t>(frame.widget.x2 - frame.widget.x1));
    const int32_t x = r.alignment == 3 && extent[0] <= box_w ? frame.widget.x2 - extent[0] + r.offset
                                                             : frame.widget.x1 + r.offset;
    ctx->ops->draw_text(ctx, x, frame.widget.y1, r.text, r.text_len, &style);
    return kit::frame_end(frame);
}

constexpr gr_renderext_t k_descriptor =
    kit::make_strings_descriptor<k_widget>(k_table.data(), draw, set_attribute);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, false, nullptr, 0};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
