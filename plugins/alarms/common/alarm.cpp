// The alarm lamps: recompute, image loading, box, icon, reset symbol and text.
#include "alarm.h"

#include "convert.h"
#include "frame.h"
#include "icon_table.h"
#include "threshold.h"

#include <algorithm>

namespace alarms {
namespace {

constexpr char icon_dir[] = "images/Icons/";
constexpr char reset_file[] = "images/ModernAlarm/white_reset.png";

using kit::s16;
using kit::state_slot;

// Forget the layouts of every state and release the icon (the next draw loads it anew).
void release_icon(gr_context_t *ctx, const alarm_view &a) {
    for (uint8_t &ready : a.head->patch_ready) ready = 0;
    if (ctx != nullptr) kit::release_image(ctx, &a.icon->icon_image);
}

void recompute(gr_context_t *ctx, const alarm_view &a) {
    alarm_head &h = *a.head;
    if (h.level == kit::level_relayout) release_icon(ctx, a);
    if (h.level <= kit::level_state) {
        h.level = kit::level_ready;
        const alarm_tail &t = *a.tail;
        const kit::limits limits{t.lower_limit, t.upper_limit, t.lower_value, t.upper_value, t.lower_hyst, t.upper_hyst};
        h.threshold_state = kit::next_state_flagged(h.threshold_state, h.value, limits);
        h.text_len = kit::text_len(h.render_text);
    }
}

// The box pieces of palette index c, laid out for the current state. Modern: the caps are squares
// of the box's height and the middle takes what is left between them (nothing when the box is at
// most twice as wide as high); classic: one frame over the whole box.
bool load_box(const alarm_variant &v, gr_context_t *ctx, const alarm_view &a, int32_t c, const char *colour) {
    gr_image_t *pieces[3] = {};
    for (int32_t p = 0; p < v.pieces; ++p) {
        pieces[p] = kit::cached_themed_image(box_slot(v, p, c), ctx, v.messages, v.box_dir, colour, v.box_suffixes[p]);
        if (pieces[p] == nullptr) return false;
    }
    const int32_t s = state_slot(a.head->threshold_state);
    if (a.head->patch_ready[s] != 0) return true;
    kit::nine_patch *patch = &a.patches[s * v.pieces];
    const int32_t w = a.icon->box_width, h = a.icon->box_height;
    if (v.pieces == 1) {
        if (kit::nine_patch_layout(ctx, pieces[0], &patch[0], s16(w), s16(h)) != 0) return false;
    } else {
        if (kit::nine_patch_layout(ctx, pieces[0], &patch[0], s16(h), s16(h)) != 0) return false;
        if (w > 2 * h && kit::nine_patch_layout(ctx, pieces[1], &patch[1], s16(w - 2 * h), s16(h)) != 0) return false;
        if (kit::nine_patch_layout(ctx, pieces[2], &patch[2], s16(h), s16(h)) != 0) return false;
    }
    a.head->patch_ready[s] = 1;
    return true;
}

// The icon of `icon_idx` in `icon_color`, once per relayout. False when the number or colour is
// not in the tables or the file cannot be had.
bool load_icon(const alarm_variant &v, gr_context_t *ctx, const alarm_view &a) {
    alarm_icon &icon = *a.icon;
    const alarm_tail &t = *a.tail;
    if (t.icon_idx == 0) {
        icon.icon_width = 0;
        icon.icon_height = 0;
        return true;
    }
    if (icon.icon_image != nullptr) return true;
    const char *colour = kit::palette_name(kit::modern_box_palette, t.icon_color);
    if (static_cast<uint32_t>(t.icon_idx - 1) >= icon_count || colour == nullptr) return false;
    const icon_entry &entry = icon_table[t.icon_idx - 1];
    icon.icon_image = kit::load_icon_image(ctx, v.messages, icon_dir, entry.name, colour);
    if (icon.icon_image == nullptr) return false;
    icon.icon_width = entry.width;
    icon.icon_height = entry.height;
    return true;
}

bool load_reset(const alarm_variant &v, gr_context_t *ctx, const alarm_view &a) {
    if (a.reset_margin != nullptr) *a.reset_margin = a.tail->reset_mode != 0 ? 30 : 0;
    if (a.tail->reset_mode == 0) return true;
    return kit::cached_fixed_image(reset_slot(v), ctx, v.messages, reset_file) != nullptr;
}

void draw_box(const alarm_variant &v, gr_context_t *ctx, const alarm_view &a, int32_t c, int32_t x, int32_t y) {
    const kit::nine_patch *patch = &a.patches[state_slot(a.head->threshold_state) * v.pieces];
    if (v.pieces == 1) {
        kit::draw_nine_patch(ctx, *box_slot(v, 0, c), &patch[0], x, y);
        return;
    }
    const int32_t w = a.icon->box_width, h = a.icon->box_height;
    kit::draw_nine_patch(ctx, *box_slot(v, 0, c), &patch[0], x, y);
    if (w - 2 * h > 0) kit::draw_nine_patch(ctx, *box_slot(v, 1, c), &patch[1], x + h, y);
    kit::draw_nine_patch(ctx, *box_slot(v, 2, c), &patch[2], x + w - h, y);
}

// Where the icon leaves room for the text: its left margin and drawn width.
struct icon_space {
    float margin;
    float width;
};

// The icon scaled to the widget's height (at most its full size, 5 pixels clear above and below),
// centred vertically at a margin of a quarter of the height (at least 5) from the left edge. A
// widget too low for a visible icon draws none.
icon_space draw_icon(gr_context_t *ctx, const alarm_view &a, int32_t x, int32_t y, int32_t height) {
    const alarm_icon &icon = *a.icon;
    if (icon.icon_height == 0) return {2.5f, 0.0f};
    const float widget_h = static_cast<float>(height);
    const float dh = std::max(0.0f, std::min(75.0f, widget_h - 10.0f) * (static_cast<float>(icon.icon_height) / 75.0f));
    const float dw = (static_cast<float>(icon.icon_width) * dh) / static_cast<float>(icon.icon_height);
    const float margin = std::max(5.0f, widget_h * 30.0f / 120.0f);
    const int16_t w = kit::trunc_to_int16(dw), h = kit::trunc_to_int16(dh);
    if (w > 0 && h > 0 && icon.icon_image != nullptr) {
        const int16_t size[2] = {w, h};
        ctx->ops->image_set(ctx, icon.icon_image, GR_IMAGE_SET_SIZE, size, 4);
        ctx->ops->draw_image(ctx, icon.icon_image, static_cast<float>(x) + margin,
                             static_cast<float>(y) + (widget_h - dh) * 0.5f, w, h, -1.0f, -1.0f);
    }
    return {margin, dw};
}

void draw_text(const alarm_variant &v, const kit::frame &frame, const alarm_view &a, const icon_space &space,
               int32_t x, int32_t y, int32_t x1, int32_t y1) {
    gr_context_t *ctx = frame.ctx;
    const alarm_head &h = *a.head;
    const alarm_tail &t = *a.tail;
    gr_text_style_t style;
    const uint32_t colour =
        static_cast<uint32_t>(kit::pick_by_state(h.threshold_state, t.lower_text, t.color_text, t.upper_text));
    if (!v.font_ref(&style, ctx, kit::resources_of(ctx), t.font, static_cast<uint16_t>(t.font_size), colour)) return;
    const int32_t gap = t.reset_mode != 0 ? v.text_gap_with_reset : v.text_gap_without_reset;
    const gr_rect_t area{
        s16(x + kit::trunc_to<int32_t>(static_cast<double>(space.margin) * 1.8 + static_cast<double>(space.width))),
        s16(y + 1), s16(x1 - gap), s16(y1 - 1)};
    gr_rect_t clipped;
    if (gr_rect_clip(&area, &frame.saved, &clipped) == 0) return;
    ctx->ops->set_clip(ctx, &clipped);
    int16_t extent[2] = {0, 0};
    if (ctx->ops->text_extent(ctx, h.render_text, h.text_len, &style, extent) == -1) extent[0] = extent[1] = 0;
    gr_font_metrics_t metrics{};
    ctx->ops->font_metrics(ctx, style.font, &metrics);
    const int32_t dx = kit::align_offset(v.alignment, t.text_alignment, area.x2 - area.x1, extent[0]);
    const int32_t dy = (area.y2 - area.y1 - metrics.line_height) / 2;
    ctx->ops->draw_text(ctx, area.x1 + dx, area.y1 + dy, h.render_text, h.text_len, &style);
}

} // namespace

int alarm_draw(const alarm_variant &v, gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    const alarm_view a = v.view(instance->data);
    const auto control_w = static_cast<uint16_t>(control->width), control_h = static_cast<uint16_t>(control->height);
    if (control_h != a.icon->box_height || control_w != a.icon->box_width) {
        a.icon->box_height = control_h;
        a.icon->box_width = control_w;
        a.head->level = kit::level_relayout;
    }
    recompute(ctx, a);

    const int32_t c = kit::pick_by_state(a.head->threshold_state, a.tail->lower_box, a.tail->color_box, a.tail->upper_box);
    const char *colour = kit::palette_name(*v.box_palette, c);
    if (colour == nullptr) return -1;
    // Everything is loaded before anything is drawn: a missing file leaves the screen untouched.
    if (!load_box(v, ctx, a, c, colour) || !load_icon(v, ctx, a) || !load_reset(v, ctx, a)) return -1;

    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::exclusive)) return 0;
    const int32_t x = frame.widget.x1, y = frame.widget.y1, x1 = frame.widget.x2, y1 = frame.widget.y2;
    draw_box(v, ctx, a, c, x, y);
    const icon_space space = draw_icon(ctx, a, x, y, kit::frame_height(control, instance));
    if (a.tail->reset_mode != 0)
        ctx->ops->draw_image(ctx, *reset_slot(v), static_cast<float>(x1) - v.reset_from_right,
                             static_cast<float>(y) + 10.0f, 20, 20, -1.0f, -1.0f);
    if (a.head->text_len != 0) draw_text(v, frame, a, space, x, y, x1, y1);
    return kit::frame_end(frame);
}

int alarm_clone(const alarm_variant &v, gr_instance_t *target, gr_instance_t *source) {
    kit::clone_record(*v.def, target, source); // own strings, recompute level 0
    const alarm_view a = v.view(target->data);
    // The clone loads its own icon and lays its box out at its first draw.
    a.icon->box_width = 0;
    a.icon->box_height = 0;
    a.icon->icon_image = nullptr;
    return 0;
}

int alarm_destroy(const alarm_variant &v, gr_instance_t *instance) {
    const alarm_view a = v.view(instance->data);
    kit::release_kept_image(&a.icon->icon_image);
    kit::free_strings(*v.def, instance->data);
    return 0;
}

} // namespace alarms
