// "Menu Label": lines separated by "<br>", stacked from the top of the rectangle one line height
// apart, each aligned by itself (1 left, 2 centre, other right). Lines below the rectangle are cut
// by the clip.
#include "frame.h"
#include "convert.h"
#include "renderext.h"
#include "text.h"
#include "text_lines.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr const char k_name[] = "Menu Label";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Menu Label");

// The instance record, in the engine's field order: 12 bytes on the 32-bit target.
struct menu_record {
    char *text;        // owned
    char *font;        // owned; null or empty: the default font
    int16_t font_size; // read as unsigned 16 bits
    uint8_t alignment; // 1 left, 2 centre, other right
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(sizeof(menu_record) == 12, "record layout of the 32-bit target");
#endif

constexpr kit::attr_def k_attrs[] = {
    kit::attr_string(12, "text", offsetof(menu_record, text)),
    kit::attr_string(13, "font", offsetof(menu_record, font)),
    kit::attr_int(14, "font_size", offsetof(menu_record, font_size), kit::level_none, kit::store::int16),
    kit::attr_int(15, "alignment", offsetof(menu_record, alignment), kit::level_none, kit::store::uint8),
};
// Every set counts in `dirty`, changed or not.
constexpr kit::widget_def k_widget = kit::make_widget<menu_record>(k_name, k_attrs, -1, true);
constexpr auto k_table = kit::attribute_table(k_attrs);

// A line far down a very long menu cannot be placed; it is pinned to the largest coordinate.
using kit::clamp_to_int32;

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    const menu_record &r = *static_cast<menu_record *>(instance->data);
    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::exclusive)) return 0;
    const int32_t length = kit::text_len(r.text);
    if (length == 0) return kit::frame_end(frame);
    gr_text_style_t style;
    if (!kit::font_ref<k_font_messages>(&style, ctx, kit::resources_of(ctx), r.font, static_cast<uint16_t>(r.font_size),
                                         instance->color))
        return kit::frame_end(frame);
    const int32_t box_w = static_cast<int16_t>(static_cast<uint16_t>(frame.widget.x2 - frame.widget.x1));
    int64_t dy = 0;
    for (kit::line_walker lines(r.text, length); !lines.done();) {
        const kit::text_line line = lines.next();
        int16_t extent[2] = {0, 0};
        if (ctx->ops->text_extent(ctx, line.start, line.length, &style, extent) == -1) extent[0] = extent[1] = 0;
        gr_font_metrics_t metrics{};
        ctx->ops->font_metrics(ctx, style.font, &metrics);
        const int32_t dx = kit::align_offset(kit::align_menu_label, r.alignment, box_w, extent[0]);
        ctx->ops->draw_text(ctx, frame.widget.x1 + dx, clamp_to_int32(frame.widget.y1 + dy), line.start, line.length,
                            &style);
        dy += metrics.line_height;
    }
    return kit::frame_end(frame);
}

constexpr gr_renderext_t k_descriptor =
    kit::make_strings_descriptor<k_widget>(k_table.data(), draw);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, false, nullptr, 0};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
