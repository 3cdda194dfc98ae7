// "Label": a text in one of nine positions of its rectangle, optionally turned by quarter turns,
// in the colour of the threshold state of `value`. Unturned text at the top left may hold several
// lines separated by "<br>".
//
//     alignment:  1 2 3      orientation: 0 none, 1 = 90, 2 = 180, 3 = 270 degrees clockwise;
//                 4 5 6      a turned text is positioned as a box of line height x text width
//                 7 8 9      (90 and 270) or text width x line height (180)
#include "frame.h"
#include "convert.h"
#include "renderext.h"
#include "text.h"
#include "text_lines.h"
#include "threshold.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr const char k_name[] = "Label";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Label");

// The instance record, in the engine's field order: 68 bytes on the 32-bit target.
struct label_record {
    float value;
    char *render_text;       // owned
    int32_t text_len;        // bytes of render_text
    int32_t threshold_state; // 0 lower, 1 normal, 2 upper
    int32_t level;           // recompute level: 0 and 1 do the same work here
    char *font;              // owned; null or empty: the default font
    int16_t font_size;       // read as unsigned 16 bits
    uint8_t alignment;       // position 1..9
    int32_t lower_text, color_text, upper_text; // 0xRRGGBB per state
    uint8_t lower_limit, upper_limit;
    float lower_value, upper_value, lower_hyst, upper_hyst;
    int32_t orientation;     // quarter turns
    uint32_t reserved;       // unused tail: the engine's record is four bytes longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(label_record, font_size) == 24 && offsetof(label_record, lower_text) == 28 &&
                  offsetof(label_record, lower_value) == 44 && offsetof(label_record, orientation) == 60 &&
                  sizeof(label_record) == 68,
              "record layout of the 32-bit target");
#endif

constexpr int32_t relayout = kit::level_relayout;
constexpr int32_t state = kit::level_state;

constexpr kit::attr_def k_attrs[] = {
    kit::attr_float(12, "value", offsetof(label_record, value), state),
    kit::attr_string(13, "render_text", offsetof(label_record, render_text), state),
    kit::attr_ignored(14, "cfg"),
    kit::attr_string(15, "font", offsetof(label_record, font), state),
    kit::attr_int(16, "font_size", offsetof(label_record, font_size), relayout, kit::store::int16),
    kit::attr_int(17, "alignment", offsetof(label_record, alignment), state, kit::store::uint8),
    kit::attr_int(18, "lower_text", offsetof(label_record, lower_text), state),
    kit::attr_int(19, "color_text", offsetof(label_record, color_text), state),
    kit::attr_int(20, "upper_text", offsetof(label_record, upper_text), state),
    kit::attr_u8(21, "lower_limit", offsetof(label_record, lower_limit), state),
    kit::attr_u8(22, "upper_limit", offsetof(label_record, upper_limit), state),
    kit::attr_float(23, "lower_value", offsetof(label_record, lower_value), state),
    kit::attr_float(24, "upper_value", offsetof(label_record, upper_value), state),
    kit::attr_float(25, "lower_hyst", offsetof(label_record, lower_hyst), state),
    kit::attr_float(26, "upper_hyst", offsetof(label_record, upper_hyst), state),
    kit::attr_int(27, "orientation", offsetof(label_record, orientation), state),
};
constexpr kit::widget_def k_widget = kit::make_widget<label_record>(k_name, k_attrs, offsetof(label_record, level));
constexpr auto k_table = kit::attribute_table(k_attrs);

label_record *record_of(gr_instance_t *instance) { return static_cast<label_record *>(instance->data); }

// A position that no 32-bit drawing coordinate can hold is pinned to the nearest one.
constexpr auto coordinate = kit::clamp_to_int32;
using kit::s16;

// One line (or the whole text) placed in the box by the alignment and turned by the orientation.
void draw_segment(gr_context_t *ctx, const label_record &r, const gr_text_style_t &style, const kit::text_line &line,
                  const gr_rect_t &box, int64_t line_index) {
    int16_t extent[2] = {0, 0};
    if (ctx->ops->text_extent(ctx, line.start, line.length, &style, extent) == -1) extent[0] = extent[1] = 0;
    gr_font_metrics_t metrics{};
    ctx->ops->font_metrics(ctx, style.font, &metrics);
    const int32_t line_height = metrics.line_height;
    const bool sideways = r.orientation == 1 || r.orientation == 3;
    const int32_t w = extent[0], l16 = s16(line_height);
    const int32_t bw = sideways ? l16 : w, bh = sideways ? w : l16;
    const int32_t box_w = s16(box.x2 - box.x1), box_h = s16(box.y2 - box.y1);

    const kit::nine_position at = kit::nine_position_of(r.alignment);
    const int64_t dx = at.column == 0 ? 0 : at.column == 1 ? (box_w - bw) / 2 : box_w - bw;
    const int64_t dy = at.row == 0   ? int64_t{line_height} * line_index
                       : at.row == 1 ? (box_h - bh) / 2
                                     : box_h - bh + 1;
    if (r.orientation == 0) {
        ctx->ops->draw_text(ctx, coordinate(box.x1 + dx), coordinate(box.y1 + dy), line.start, line.length, &style);
        return;
    }
    // The drawing point the engine turns the text about, for each quarter turn.
    const float angle = static_cast<float>(r.orientation) * 90.0f;
    const int64_t x = box.x1 + dx + (bw - line_height);
    const int64_t y = box.y1 + dy + (r.orientation != 1 && r.orientation != 2 ? bh : 0);
    ctx->ops->set_attr(ctx, GR_ATTR_ROTATION, &angle, 4);
    ctx->ops->draw_text(ctx, coordinate(x), coordinate(y), line.start, line.length, &style);
    ctx->ops->restore_attr(ctx, GR_ATTR_ROTATION);
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    label_record &r = *record_of(instance);
    if (r.level <= kit::level_state) {
        r.level = kit::level_ready;
        const kit::limits limits{r.lower_limit, r.upper_limit, r.lower_value, r.upper_value, r.lower_hyst, r.upper_hyst};
        r.threshold_state = kit::next_state_flagged(r.threshold_state, r.value, limits);
        r.text_len = kit::text_len(r.render_text);
    }

    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::exclusive)) return 0;
    if (r.text_len == 0) return kit::frame_end(frame);
    gr_text_style_t style;
    const uint32_t colour = static_cast<uint32_t>(kit::pick_by_state(r.threshold_state, r.lower_text, r.color_text,
                                                                     r.upper_text));
    if (!kit::font_ref<k_font_messages>(&style, ctx, kit::resources_of(ctx), r.font, static_cast<uint16_t>(r.font_size),
                                         colour))
        return kit::frame_end(frame);

    // Only unturned text at the top left is split into lines; otherwise markers are text.
    const bool split = r.orientation == 0 && r.alignment == 1;
    kit::line_walker lines(r.render_text, r.text_len);
    for (int64_t n = 0; !lines.done(); ++n)
        draw_segment(ctx, r, style, lines.next(split), frame.widget, n);
    return kit::frame_end(frame);
}

constexpr gr_renderext_t k_descriptor =
    kit::make_strings_descriptor<k_widget>(k_table.data(), draw);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, false, nullptr, 0};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
