// "Modern Box": a value box drawn from images. A nine-patch box stretched over the control and,
// with a title, a nine-patch title plate inset at its top carrying the title; the value text below.
// Box and plate come in the palette colour of the box colour of the threshold state.
//
//   x,y ┌───────────────────────────────┐
//       │  ┌─────────────────────────┐  │  plate at (x + 7, y + 8), (width - 16) x (title height + 15)
//       │  │          Title          │  │
//       │  └─────────────────────────┘  │  value rectangle from y + 1 + (title height + 22)
//       │                        42.5   │  (y + 5 without a title)
//       └───────────────────────────────┘ x1,y1
#include "box_record.h"
#include "box_text.h"
#include "frame.h"
#include "image_cache.h"
#include "nine_patch.h"
#include "palette.h"
#include "renderext.h"
#include "text.h"

#include <cstddef>
#include <cstdint>

namespace {

using boxes::s16;

constexpr const char k_name[] = "Modern Box";
constexpr char k_image_dir[] = "images/ModernBox/";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Modern Box");
constexpr kit::image_messages k_image_messages = KIT_IMAGE_MESSAGES("Modern Box");
constexpr boxes::box_text_style k_text_style{&kit::font_ref<k_font_messages>, 16, 1, kit::align_modern_box, 1};

// The instance record, in the engine's field order: 412 bytes on the 32-bit target.
struct box_record {
    boxes::box_head head;
    uint8_t patch_ready;            // both layouts below fit the current sizes
    kit::nine_patch box_patch;      // the box, box_width x box_height
    kit::nine_patch plate_patch;    // the title plate, plate_width x plate_height
    int16_t box_width, box_height;  // the control's size as last seen by the draw
    int32_t plate_x, plate_width, plate_height, value_top; // set by every draw
    boxes::box_texts texts;         // box colours: palette indices 1..9
    boxes::box_tail tail;
    uint32_t reserved;              // unused tail: the engine's record is four bytes longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(box_record, box_patch) == 34 && offsetof(box_record, plate_x) == 328 &&
                  offsetof(box_record, texts) == 344 && offsetof(box_record, tail) == 388 && sizeof(box_record) == 412,
              "record layout of the 32-bit target");
#endif

constexpr auto k_attrs = boxes::box_attributes<box_record, boxes::box_attribute_count>({kit::level_state});
constexpr kit::widget_def k_widget =
    kit::make_widget<box_record>(k_name, k_attrs, boxes::box_level_offset<box_record>());
constexpr auto k_table = kit::attribute_table(k_attrs);

// Plug-in-wide: the box and the title plate of every palette colour, shared by all instances.
enum image_row : int32_t { row_box = 0, row_plate = 1 };
kit::image_cache<2, 9> g_images;

box_record *record_of(gr_instance_t *instance) { return static_cast<box_record *>(instance->data); }

// The title plate and the value rectangle's top for this draw's title.
void place_plate(box_record &r, const boxes::title_measure &title) {
    if (r.head.title_len == 0) {
        r.value_top = 4;
        r.plate_height = -1;
        r.plate_width = -1;
        r.plate_x = 0;
        return;
    }
    r.value_top = title.height + 22;
    r.plate_height = title.height + 15;
    r.plate_width = r.box_width - 16;
    r.plate_x = 7;
}

// The images of palette index c, laid out once per size. False when one cannot be had.
bool load_images(gr_context_t *ctx, box_record &r, int32_t c, const char *colour) {
    if (r.plate_width > 0) {
        gr_image_t *plate = kit::cached_themed_image(g_images.slot(row_plate, c), ctx, &k_image_messages, k_image_dir,
                                                     colour, "_title.9.png");
        if (plate == nullptr) return false;
        if (r.patch_ready == 0 &&
            kit::nine_patch_layout(ctx, plate, &r.plate_patch, s16(r.plate_width), s16(r.plate_height)) != 0)
            return false;
    }
    gr_image_t *box = kit::cached_themed_image(g_images.slot(row_box, c), ctx, &k_image_messages, k_image_dir, colour,
                                               "_box.9.png");
    if (box == nullptr) return false;
    if (r.patch_ready == 0 && kit::nine_patch_layout(ctx, box, &r.box_patch, r.box_width, r.box_height) != 0)
        return false;
    r.patch_ready = 1;
    return true;
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    box_record &r = *record_of(instance);
    if (control->height != r.box_height || control->width != r.box_width) {
        r.box_height = control->height;
        r.box_width = control->width;
        r.head.level = kit::level_relayout;
    }
    if (r.head.level == kit::level_relayout) r.patch_ready = 0;
    boxes::recompute_box(r.head, r.tail);

    const int32_t c = static_cast<int32_t>(
        boxes::state_colour(r.head, r.texts.lower_box, r.texts.color_box, r.texts.upper_box));
    const char *colour = kit::palette_name(kit::modern_box_palette, c);
    if (colour == nullptr) return -1;
    boxes::title_measure title;
    if (!boxes::measure_title(ctx, r.head, r.texts, r.tail, k_text_style, &title)) return -1;
    place_plate(r, title);
    if (!load_images(ctx, r, c, colour)) return -1;

    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::exclusive)) return 0;
    const int16_t x = frame.widget.x1, y = frame.widget.y1;
    kit::draw_nine_patch(ctx, g_images.at(row_box, c), &r.box_patch, x, y);
    const bool titled = r.head.title_len != 0;
    if (titled && r.plate_width > 0)
        kit::draw_nine_patch(ctx, g_images.at(row_plate, c), &r.plate_patch, x + r.plate_x, y + 8);

    // The inner rectangle: one pixel in at the top left, two at the bottom right.
    const int32_t left = x + 1, top = y + 1, right = frame.widget.x2 - 2, bottom = frame.widget.y2 - 2;
    if (titled)
        boxes::draw_title_text(frame, r.head, title,
                               {s16(left + r.plate_x), s16(top + 1), s16(left + r.plate_x + r.plate_width - 3),
                                s16(top - 1 + r.value_top)},
                               k_text_style);
    if (r.head.text_len != 0)
        boxes::draw_value_text(frame, r.head, r.texts,
                               {s16(left + 1), s16(top + r.value_top), s16(right - 1), s16(bottom - 2)}, k_text_style);
    return kit::frame_end(frame);
}

int clone(gr_instance_t *target, gr_instance_t *source) {
    kit::clone_record(k_widget, target, source); // own strings, recompute level 0
    box_record &r = *record_of(target);
    r.box_width = 0; // the clone lays its images out anew
    r.box_height = 0;
    return 0;
}

int destroy(gr_instance_t *instance) {
    kit::free_strings(k_widget, instance->data); // the images are the plug-in's
    return 0;
}

constexpr gr_renderext_t k_descriptor = kit::make_descriptor<k_widget>(k_table.data(), draw, clone, destroy);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, false, g_images.slots, decltype(g_images)::slot_count};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
