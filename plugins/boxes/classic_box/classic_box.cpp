// "Classic Box": a framed value box. A nine-patch frame stretched over the control (inset by one
// pixel), an optional title underlined by a separator line image, and the value text below. Frame
// and line come in the classic palette colour of the box colour of the threshold state; the frame
// files are shared with the Classic Alarm.
//
//   left,top ┌──────────────────────────────┐
//            │            Title             │  title rectangle, title_band = title height + 21
//            │     ──────────────────       │  separator: 0.865 of the width, 1 pixel, centred
//            │                      42.5    │  value rectangle below it
//            └──────────────────────────────┘ right,bottom
#include "box_record.h"
#include "box_text.h"
#include "frame.h"
#include "image_cache.h"
#include "nine_patch.h"
#include "palette.h"
#include "renderext.h"
#include "text.h"
#include "threshold.h"

#include "convert.h"

#include <cstddef>
#include <cstdint>

namespace {

using boxes::s16;

constexpr const char k_name[] = "Classic Box";
constexpr char k_image_dir[] = "images/ClassicBox/";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Classic Box");
constexpr kit::image_messages k_image_messages = KIT_IMAGE_MESSAGES("Classic Box");
constexpr boxes::box_text_style k_text_style{&kit::font_ref<k_font_messages>, 16, 0, kit::align_classic_box, 0};

// The instance record, in the engine's field order: 564 bytes on the 32-bit target. Layouts and
// separator images are kept per threshold state, so a box toggling between states reuses them.
struct box_record {
    boxes::box_head head;
    uint8_t patch_ready[3];         // per state: the frame layout fits box_width x box_height
    kit::nine_patch frame_patch[3]; // per state
    gr_image_t *line_image[3];      // per state: the separator of that state's colour, owned
    int16_t box_width, box_height;  // the control's size minus 2, as last seen by the draw
    int32_t title_band;             // set by every draw: title height + 21, or 4 without a title
    boxes::box_texts texts;         // box colours: classic palette indices 1..11
    boxes::box_tail tail;
    uint8_t reserved[12];           // unused tail: the engine's record is longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(box_record, frame_patch) == 36 && offsetof(box_record, line_image) == 468 &&
                  offsetof(box_record, title_band) == 484 && offsetof(box_record, texts) == 488 &&
                  offsetof(box_record, tail) == 532 && sizeof(box_record) == 564,
              "record layout of the 32-bit target");
#endif

// A changed box colour lays the frame out anew and reloads the separator.
constexpr auto k_attrs = boxes::box_attributes<box_record, boxes::box_attribute_count>({kit::level_relayout});
constexpr kit::widget_def k_widget =
    kit::make_widget<box_record>(k_name, k_attrs, boxes::box_level_offset<box_record>());
constexpr auto k_table = kit::attribute_table(k_attrs);

// Plug-in-wide: the frame of every classic palette colour, shared by all instances.
kit::image_cache<1, 11> g_frames;

box_record *record_of(gr_instance_t *instance) { return static_cast<box_record *>(instance->data); }

using kit::state_slot;

// Forget the frame layouts and release the separators of every state.
void release_lines(gr_context_t *ctx, box_record &r) {
    for (int32_t s = 0; s < 3; ++s) {
        r.patch_ready[s] = 0;
        if (ctx != nullptr) kit::release_image(ctx, &r.line_image[s]);
    }
}

// The separator (with a title) and the frame of palette index c, laid out for the state.
bool load_images(gr_context_t *ctx, box_record &r, int32_t c, const char *colour) {
    const int32_t s = state_slot(r.head.threshold_state);
    if (r.head.title_len != 0 && r.line_image[s] == nullptr) {
        r.line_image[s] = kit::load_themed_image(ctx, &k_image_messages, k_image_dir, colour, "_line.png");
        if (r.line_image[s] == nullptr) return false;
    }
    gr_image_t *frame = kit::cached_themed_image(g_frames.slot(0, c), ctx, &k_image_messages, k_image_dir, colour,
                                                 "_box.9.png");
    if (frame == nullptr) return false;
    if (r.patch_ready[s] == 0 &&
        kit::nine_patch_layout(ctx, frame, &r.frame_patch[s], r.box_width, r.box_height) != 0)
        return false;
    r.patch_ready[s] = 1;
    return true;
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    box_record &r = *record_of(instance);
    if (s16(control->height - 2) != r.box_height || s16(control->width - 2) != r.box_width) {
        r.box_height = s16(control->height - 2);
        r.box_width = s16(control->width - 2);
        r.head.level = kit::level_relayout;
    }
    if (r.head.level == kit::level_relayout) release_lines(ctx, r);
    boxes::recompute_box(r.head, r.tail);

    const int32_t c = static_cast<int32_t>(
        boxes::state_colour(r.head, r.texts.lower_box, r.texts.color_box, r.texts.upper_box));
    const char *colour = kit::palette_name(kit::classic_palette, c);
    if (colour == nullptr) return -1;
    boxes::title_measure title;
    if (!boxes::measure_title(ctx, r.head, r.texts, r.tail, k_text_style, &title)) return -1;
    const bool titled = r.head.title_len != 0;
    r.title_band = titled ? title.height + 21 : 4;
    const int32_t line_width = kit::trunc_to_int32((static_cast<float>(control->width) - 2.0f) * 0.865f);
    if (!load_images(ctx, r, c, colour)) return -1;

    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::inset_one)) return 0;
    const int32_t s = state_slot(r.head.threshold_state);
    const int32_t left = frame.widget.x1, top = frame.widget.y1, right = frame.widget.x2, bottom = frame.widget.y2;
    kit::draw_nine_patch(ctx, g_frames.at(0, c), &r.frame_patch[s], left, top);
    if (titled) {
        const int16_t line_size[2] = {s16(line_width), 1};
        ctx->ops->image_set(ctx, r.line_image[s], GR_IMAGE_SET_SIZE, line_size, 4);
        ctx->ops->draw_image(ctx, r.line_image[s],
                             static_cast<float>(left) + static_cast<float>((right - left) - line_width) * 0.5f,
                             static_cast<float>(top + r.title_band), line_width, 1, -1.0f, -1.0f);
        boxes::draw_title_text(frame, r.head, title,
                               {s16(left + 1), s16(top + 1), s16(right - 2), s16(top + r.title_band - 1)}, k_text_style);
    }
    if (r.head.text_len != 0)
        boxes::draw_value_text(frame, r.head, r.texts,
                               {s16(left + 1), s16(top + r.title_band + 1), s16(right - 2), s16(bottom - 2)},
                               k_text_style);
    return kit::frame_end(frame);
}

int clone(gr_instance_t *target, gr_instance_t *source) {
    kit::clone_record(k_widget, target, source); // own strings, recompute level 0
    box_record &r = *record_of(target);
    r.box_width = 0; // the clone lays its frame out anew and loads its own separators
    r.box_height = 0;
    for (gr_image_t *&line : r.line_image) line = nullptr;
    return 0;
}

int destroy(gr_instance_t *instance) {
    box_record &r = *record_of(instance);
    for (gr_image_t *&line : r.line_image) kit::release_kept_image(&line);
    kit::free_strings(k_widget, &r);
    return 0;
}

constexpr gr_renderext_t k_descriptor = kit::make_descriptor<k_widget>(k_table.data(), draw, clone, destroy);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, true, g_frames.slots, decltype(g_frames)::slot_count};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
