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
#include "convert.h"
#include "frame.h"
#include "renderext.h"
#include "text.h"
#include "threshold.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr const char k_name[] = "Basic Box";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Basic Box");

// The instance record, in the engine's field order: 112 bytes on the 32-bit target.
struct box_record {
    float value;
    char *render_title;      // owned; null: no title and no separator, empty: separator only
    char *render_text;       // owned; drawn unchanged
    int16_t font_size;       // value text pixel size, read as unsigned 16 bits
    int32_t title_len;       // bytes of render_title, measured at relayout
    int32_t text_len;        // bytes of render_text, measured at relayout and on value changes
    int32_t threshold_state; // 0 lower, 1 normal, 2 upper
    int32_t level;           // recompute level
    char *font;              // owned; null or empty: the default font
    uint8_t alignment;       // value text: 1 left, 2 centre, other right
    int32_t lower_text, color_text, upper_text;    // value text colours
    int32_t lower_title, color_title, upper_title; // title text colours
    int32_t lower_box, color_box, upper_box;       // outline and separator, alpha in the top byte
    int32_t lower_bg, color_bg, upper_bg;          // background, alpha in the top byte
    uint8_t title_size;      // title pixel size
    uint8_t lower_limit, upper_limit;
    float lower_value, upper_value, lower_hyst, upper_hyst;
    uint32_t reserved;       // unused tail: the engine's record is four bytes longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(box_record, alignment) == 36 && offsetof(box_record, lower_text) == 40 &&
              offsetof(box_record, title_size) == 88 && offsetof(box_record, lower_value) == 92 &&
              sizeof(box_record) == 112, "record layout of the 32-bit target");
#endif

constexpr int32_t relayout = kit::level_relayout;
constexpr int32_t state = kit::level_state;

constexpr kit::attr_def k_attrs[] = {
    kit::attr_float(12, "value", offsetof(box_record, value), state),
    kit::attr_string(13, "render_title", offsetof(box_record, render_title), relayout),
    kit::attr_string(14, "render_text", offsetof(box_record, render_text), state),
    kit::attr_int(15, "font_size", offsetof(box_record, font_size), relayout, kit::store::int16),
    kit::attr_ignored(16, "cfg"),
    kit::attr_string(17, "font", offsetof(box_record, font), state),
    kit::attr_int(18, "alignment", offsetof(box_record, alignment), state, kit::store::uint8),
    kit::attr_int(19, "lower_text", offsetof(box_record, lower_text), state),
    kit::attr_int(20, "color_text", offsetof(box_record, color_text), state),
    kit::attr_int(21, "upper_text", offsetof(box_record, upper_text), state),
    kit::attr_int(22, "lower_title", offsetof(box_record, lower_title), state),
    kit::attr_int(23, "color_title", offsetof(box_record, color_title), state),
    kit::attr_int(24, "upper_title", offsetof(box_record, upper_title), state),
    kit::attr_int(25, "lower_box", offsetof(box_record, lower_box), state),
    kit::attr_int(26, "color_box", offsetof(box_record, color_box), state),
    kit::attr_int(27, "upper_box", offsetof(box_record, upper_box), state),
    kit::attr_int(28, "lower_bg", offsetof(box_record, lower_bg), state),
    kit::attr_int(29, "color_bg", offsetof(box_record, color_bg), state),
    kit::attr_int(30, "upper_bg", offsetof(box_record, upper_bg), state),
    kit::attr_u8(31, "lower_limit", offsetof(box_record, lower_limit), state),
    kit::attr_u8(32, "upper_limit", offsetof(box_record, upper_limit), state),
    kit::attr_float(33, "lower_value", offsetof(box_record, lower_value), state),
    kit::attr_float(34, "upper_value", offsetof(box_record, upper_value), state),
    kit::attr_float(35, "lower_hyst", offsetof(box_record, lower_hyst), state),
    kit::attr_float(36, "upper_hyst", offsetof(box_record, upper_hyst), state),
    kit::attr_int(37, "title_size", offsetof(box_record, title_size), relayout, kit::store::uint8),
};
constexpr kit::widget_def k_widget =
    kit::make_widget<box_record>(k_name, k_attrs, offsetof(box_record, level));
constexpr auto k_table = kit::attribute_table(k_attrs);

box_record *record_of(gr_instance_t *instance) { return static_cast<box_record *>(instance->data); }

int16_t s16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

void recompute(box_record *r) {
    if (r->level == kit::level_relayout) r->title_len = kit::text_len(r->render_title);
    if (r->level <= kit::level_state) {
        r->level = kit::level_ready;
        const kit::limits limits{r->lower_limit, r->upper_limit, r->lower_value,
                                 r->upper_value, r->lower_hyst,  r->upper_hyst};
        r->threshold_state = kit::next_state_flagged(r->threshold_state, r->value, limits);
        r->text_len = kit::text_len(r->render_text);
    }
}

uint32_t pick(const box_record *r, int32_t lower, int32_t normal, int32_t upper) {
    return static_cast<uint32_t>(kit::pick_by_state(r->threshold_state, lower, normal, upper));
}

// Width and height of a text; a failed measure counts as an empty extent.
void measure(gr_context_t *ctx, const char *text, int32_t length, const gr_text_style_t *style,
             int16_t extent[2]) {
    extent[0] = 0;
    extent[1] = 0;
    if (ctx->ops->text_extent(ctx, text, length, style, extent) == -1) extent[0] = extent[1] = 0;
}

// Narrow the clip to area within the clip in force before the draw; false when nothing is left.
bool clip_to_saved(const kit::frame &frame, const gr_rect_t &area) {
    gr_rect_t clipped;
    if (gr_rect_clip(&area, &frame.saved, &clipped) == 0) return false;
    frame.ctx->ops->set_clip(frame.ctx, &clipped);
    return true;
}

// A rectangle operation under the alpha in the colour's top byte; 255 leaves the alpha alone.
void set_alpha(gr_context_t *ctx, uint32_t colour) {
    const int32_t alpha = static_cast<int32_t>(colour >> 24);
    if (alpha != 255) ctx->ops->set_attr(ctx, GR_ATTR_ALPHA, &alpha, 4);
}
void restore_alpha(gr_context_t *ctx, uint32_t colour) {
    if ((colour >> 24) != 255) ctx->ops->restore_attr(ctx, GR_ATTR_ALPHA);
}

struct title_layout {
    gr_text_style_t style;
    int16_t width;
    int32_t band;   // title row height including its margins; 0 without a title
    int32_t offset; // top of the title text below the top of the row
};

// Measure the title, if there is one. False when its font cannot be had.
bool layout_title(gr_context_t *ctx, const box_record *r, title_layout *title) {
    title->width = 0;
    title->band = 0;
    title->offset = 0;
    if (r->title_len == 0) return true;
    const uint32_t colour = pick(r, r->lower_title, r->color_title, r->upper_title);
    if (!kit::font_ref<k_font_messages>(&title->style, ctx, kit::resources_of(ctx), r->font,
                                         r->title_size, colour))
        return false;
    int16_t extent[2];
    measure(ctx, r->render_title, r->title_len, &title->style, extent);
    title->width = extent[0];
    title->band = extent[1] + 21;
    // Larger titles sit higher in their row.
    title->offset = 17 - kit::trunc_to_int32(static_cast<float>(r->title_size) * 0.4f);
    return true;
}

void draw_value_text(const kit::frame &frame, const box_record *r, const gr_rect_t &box, int32_t band) {
    gr_context_t *ctx = frame.ctx;
    gr_text_style_t style;
    const uint32_t colour = pick(r, r->lower_text, r->color_text, r->upper_text);
    if (!kit::font_ref<k_font_messages>(&style, ctx, kit::resources_of(ctx), r->font,
                                         static_cast<uint16_t>(r->font_size), colour))
        return;
    const gr_rect_t area{s16(box.x1 + 1), s16(box.y1 + band + 1), s16(box.x2 - 1), s16(box.y2 - 1)};
    if (area.y2 < area.y1) return; // the title leaves no room
    if (!clip_to_saved(frame, area)) return;
    int16_t extent[2];
    measure(ctx, r->render_text, r->text_len, &style, extent);
    gr_font_metrics_t metrics{};
    ctx->ops->font_metrics(ctx, style.font, &metrics);
    const int32_t width = area.x2 - area.x1;
    const int32_t x = area.x1 + kit::align_offset(kit::align_basic_box, r->alignment, width, extent[0]);
    const int32_t y = area.y1 + (area.y2 - area.y1 - metrics.line_height) / 2;
    ctx->ops->draw_text(ctx, x, y, r->render_text, r->text_len, &style);
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    box_record *r = record_of(instance);
    recompute(r);

    title_layout title;
    if (!layout_title(ctx, r, &title)) return -1; // nothing drawn, dirty kept

    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::inset_two)) return 0;
    const gr_rect_t box = frame.widget;

    const uint32_t bg = pick(r, r->lower_bg, r->color_bg, r->upper_bg);
    set_alpha(ctx, bg);
    ctx->ops->fill_rect(ctx, &box, bg & 0xffffffu);
    restore_alpha(ctx, bg);

    const uint32_t outline = pick(r, r->lower_box, r->color_box, r->upper_box);
    set_alpha(ctx, outline);
    ctx->ops->stroke_rect(ctx, &box, outline & 0xffffffu);
    if (r->render_title != nullptr) {
        // Drawn for an empty title too: then the band is 0 and the line lies on the top edge.
        const int16_t y = s16(box.y1 + title.band);
        const gr_rect_t separator{s16(box.x1 + 1), y, s16(box.x2 - 1), y};
        ctx->ops->stroke_rect(ctx, &separator, outline & 0xffffffu);
    }
    restore_alpha(ctx, outline);

    if (r->title_len != 0) {
        const gr_rect_t area{s16(box.x1 + 1), s16(box.y1 + 1), s16(box.x2 - 1), s16(box.y1 + title.band - 1)};
        if (clip_to_saved(frame, area)) {
            const int32_t x = area.x1 + (area.x2 - area.x1 - title.width) / 2;
            const int32_t y = area.y1 + title.offset;
            ctx->ops->draw_text(ctx, x, y, r->render_title, r->title_len, &title.style);
        }
    }

    if (r->text_len != 0) draw_value_text(frame, r, box, title.band);
    return kit::frame_end(frame);
}

int clone(gr_instance_t *target, gr_instance_t *source) {
    kit::clone_record(k_widget, target, source);
    return 0;
}

int destroy(gr_instance_t *instance) {
    kit::free_strings(k_widget, instance->data);
    return 0;
}

constexpr gr_renderext_t k_descriptor = kit::make_descriptor<k_widget>(k_table.data(), draw, clone, destroy);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, false, nullptr, 0};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
