// Basic Box: a plain value box drawn without images. Background, outline, title and value text
// each take their colour from a triple picked by the threshold state of `value`; background and
// outline colours carry an alpha in their top byte.
//
//   left,top ┌───────────────────────────┐
//            │         Title             │  title_band = title height + 21
//            ├───────────────────────────┤  separator at top + title_band
//            │                      42.5 │  value text, aligned, centred vertically
//            └───────────────────────────┘ right,bottom
//
// The box is the widget rectangle inset by one pixel on the top left and two on the bottom right.
#include "box_record.h"
#include "box_text.h"
#include "frame.h"
#include "renderext.h"
#include "text.h"

#include <cstddef>
#include <cstdint>

namespace {

using boxes::s16;

constexpr const char k_name[] = "Basic Box";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Basic Box");
constexpr boxes::box_text_style k_text_style{&kit::font_ref<k_font_messages>, 17, 0, kit::align_basic_box, 0};

// The instance record, in the engine's field order: 112 bytes on the 32-bit target. The box colours
// of box_texts are the outline and separator colours; every colour carries an alpha in its top byte.
struct box_record {
    boxes::box_head head;
    boxes::box_texts texts;
    int32_t background[3]; // lower_bg, color_bg, upper_bg
    boxes::box_tail tail;
    uint32_t reserved;     // unused tail: the engine's record is four bytes longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(box_record, texts) + offsetof(boxes::box_texts, alignment) == 36 &&
                  offsetof(box_record, texts) + offsetof(boxes::box_texts, lower_text) == 40 &&
                  offsetof(box_record, tail) == 88 &&
                  offsetof(box_record, tail) + offsetof(boxes::box_tail, lower_value) == 92 && sizeof(box_record) == 112,
              "record layout of the 32-bit target");
#endif

constexpr auto k_attrs = boxes::box_attributes<box_record, boxes::basic_box_attribute_count>({kit::level_state});
constexpr kit::widget_def k_widget =
    kit::make_widget<box_record>(k_name, k_attrs, boxes::box_level_offset<box_record>());
constexpr auto k_table = kit::attribute_table(k_attrs);

box_record *record_of(gr_instance_t *instance) { return static_cast<box_record *>(instance->data); }

// A rectangle operation under the alpha in the colour's top byte; 255 leaves the alpha alone.
void set_alpha(gr_context_t *ctx, uint32_t colour) {
    const int32_t alpha = static_cast<int32_t>(colour >> 24);
    if (alpha != 255) ctx->ops->set_attr(ctx, GR_ATTR_ALPHA, &alpha, 4);
}
void restore_alpha(gr_context_t *ctx, uint32_t colour) {
    if ((colour >> 24) != 255) ctx->ops->restore_attr(ctx, GR_ATTR_ALPHA);
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    box_record *r = record_of(instance);
    boxes::recompute_box(r->head, r->tail);

    boxes::title_measure title;
    if (!boxes::measure_title(ctx, r->head, r->texts, r->tail, k_text_style, &title)) return -1; // dirty kept
    const int32_t band = r->head.title_len != 0 ? title.height + 21 : 0; // title row height with its margins

    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::inset_two)) return 0;
    const gr_rect_t box = frame.widget;

    const uint32_t bg = boxes::state_colour(r->head, r->background[0], r->background[1], r->background[2]);
    set_alpha(ctx, bg);
    ctx->ops->fill_rect(ctx, &box, bg & 0xffffffu);
    restore_alpha(ctx, bg);

    const uint32_t outline = boxes::state_colour(r->head, r->texts.lower_box, r->texts.color_box, r->texts.upper_box);
    set_alpha(ctx, outline);
    ctx->ops->stroke_rect(ctx, &box, outline & 0xffffffu);
    if (r->head.render_title != nullptr) {
        // Drawn for an empty title too: then the band is 0 and the line lies on the top edge.
        const int16_t y = s16(box.y1 + band);
        const gr_rect_t separator{s16(box.x1 + 1), y, s16(box.x2 - 1), y};
        ctx->ops->stroke_rect(ctx, &separator, outline & 0xffffffu);
    }
    restore_alpha(ctx, outline);

    if (r->head.title_len != 0)
        boxes::draw_title_text(frame, r->head, title,
                               {s16(box.x1 + 1), s16(box.y1 + 1), s16(box.x2 - 1), s16(box.y1 + band - 1)}, k_text_style);
    if (r->head.text_len != 0)
        boxes::draw_value_text(frame, r->head, r->texts,
                               {s16(box.x1 + 1), s16(box.y1 + band + 1), s16(box.x2 - 1), s16(box.y2 - 1)}, k_text_style);
    return kit::frame_end(frame);
}

constexpr gr_renderext_t k_descriptor =
    kit::make_strings_descriptor<k_widget>(k_table.data(), draw);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, false, nullptr, 0};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
