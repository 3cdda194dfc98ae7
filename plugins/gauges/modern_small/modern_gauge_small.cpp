// "Modern Gauge Small": the compact modern gauge. A value arc in the colour of the threshold state
// over a dark translucent ring, a needle with a glowing trail, an opaque dark cover over the part
// of the ring outside the scale, a soft shadow and the value caption. No ticks; the value maps
// linearly onto the scale.
//
// Laid out for a 240-pixel square and scaled with it (gauge_scale 1 at 240):
//
//     ring 230 across, band 35; needle 58 x 103, its outer edge 6 inside the square's right edge.
//     The needle artwork depends on the scale's direction: its pointer lies along one long edge
//     and the trail fans out behind it, so the clockwise artwork has its pivot row near the
//     bottom and the counter-clockwise one near the top (b = 3/161 of its height from that edge).
#include "ellipse.h"
#include "gauge_draw.h"
#include "gauge_frame.h"
#include "modern_gauge.h"
#include "threshold.h"
#include "value_angle.h"
#include "value_caption.h"

#include "convert.h"
#include "image_cache.h"
#include "renderext.h"
#include "text.h"

#include <cstddef>
#include <cstdint>

namespace {

using gauges::s16;

constexpr char k_name[] = "Modern Gauge Small";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Modern Gauge Small");
constexpr gauges::caption_style k_caption{k_name, &kit::font_ref<k_font_messages>};
// Height of the needle artwork per unit of gauge_scale: 57.5 * 161 / 90 (single-precision bits 0x42CDB8E4).
constexpr float k_needle_height = 102.861115f;

// The instance record, in the engine's field order: 172 bytes on the 32-bit target.
struct gauge_record {
    gauges::modern_head head;      // gauge_scale = (gauge_size - 10) / 230
    gauges::scale_segment segment; // the one linear map of the scale
    char *text, *font;             // owned
    uint8_t font_size, alignment, decimals;
    int32_t lower_gauge, color_gauge, upper_gauge; // value arc, 0xRRGGBB per state
    int32_t lower_text, color_text, upper_text;    // value caption, per state
    uint8_t lower_limit, upper_limit;
    float lower_value, upper_value, lower_hyst, upper_hyst;
    float angle_start; // stored plus 90: drawing convention
    float angle_span;  // negative: counter-clockwise, with the counter-clockwise needle
    float value_min, value_max;
    uint32_t reserved; // unused tail: the engine's record is four bytes longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(gauge_record, segment) == 72 && offsetof(gauge_record, text) == 96 &&
                  offsetof(gauge_record, lower_gauge) == 108 && offsetof(gauge_record, lower_value) == 136 &&
                  sizeof(gauge_record) == 172,
              "record layout of the 32-bit target");
#endif

constexpr int32_t relayout = kit::level_relayout;
constexpr int32_t state = kit::level_state;
constexpr int32_t k_angle_start_id = 31;

constexpr kit::attr_def k_attrs[] = {
    kit::attr_float(12, "value", offsetof(gauge_record, head.value), state),
    kit::attr_ignored(13, "cfg"),
    kit::attr_string(14, "text", offsetof(gauge_record, text), relayout),
    kit::attr_string(15, "font", offsetof(gauge_record, font), state),
    kit::attr_u8(16, "font_size", offsetof(gauge_record, font_size), state),
    kit::attr_u8(17, "alignment", offsetof(gauge_record, alignment), state),
    kit::attr_u8(18, "decimals", offsetof(gauge_record, decimals), relayout),
    kit::attr_int(19, "lower_gauge", offsetof(gauge_record, lower_gauge), state),
    kit::attr_int(20, "color_gauge", offsetof(gauge_record, color_gauge), state),
    kit::attr_int(21, "upper_gauge", offsetof(gauge_record, upper_gauge), state),
    kit::attr_int(22, "lower_text", offsetof(gauge_record, lower_text), state),
    kit::attr_int(23, "color_text", offsetof(gauge_record, color_text), state),
    kit::attr_int(24, "upper_text", offsetof(gauge_record, upper_text), state),
    kit::attr_u8(25, "lower_limit", offsetof(gauge_record, lower_limit), relayout),
    kit::attr_u8(26, "upper_limit", offsetof(gauge_record, upper_limit), relayout),
    kit::attr_float(27, "lower_value", offsetof(gauge_record, lower_value), relayout),
    kit::attr_float(28, "upper_value", offsetof(gauge_record, upper_value), relayout),
    kit::attr_float(29, "lower_hyst", offsetof(gauge_record, lower_hyst), relayout),
    kit::attr_float(30, "upper_hyst", offsetof(gauge_record, upper_hyst), relayout),
    kit::attr_float(k_angle_start_id, "angle_start", offsetof(gauge_record, angle_start), relayout),
    kit::attr_float(32, "angle_span", offsetof(gauge_record, angle_span), relayout),
    kit::attr_float(33, "value_min", offsetof(gauge_record, value_min), relayout),
    kit::attr_float(34, "value_max", offsetof(gauge_record, value_max), relayout),
};
// Every set of an own attribute counts in `dirty`, changed or not.
constexpr kit::widget_def k_widget =
    kit::make_widget<gauge_record>(k_name, k_attrs, offsetof(gauge_record, head.level), true);
constexpr auto k_table = kit::attribute_table(k_attrs);

gauge_record *record_of(gr_instance_t *instance) { return static_cast<gauge_record *>(instance->data); }

bool counter_clockwise(const gauge_record &r) { return r.angle_span < 0.0f; }

// The pivot row of the artwork for the scale's direction: the trail lies behind the pointer.
void place_needle_rows(gauge_record &r) {
    gauges::needle_geometry &n = r.head.needle_at;
    const float b = static_cast<float>(n.height * 3) / 161.0f; // pivot row from the pointer's edge
    const float c = static_cast<float>(r.head.gauge_size) * 0.5f;
    if (counter_clockwise(r)) {
        n.y = c - b;
        n.pivot_y = b;
    } else {
        n.y = c - (static_cast<float>(n.height) - b);
        n.pivot_y = static_cast<float>(n.height) - b - 0.5f;
    }
}

void lay_out(gauge_record &r, int32_t width, int32_t height) {
    gauges::modern_head &h = r.head;
    const float size = gauges::lay_out_head(h, width, height, 10.0f, 230.0f);
    gauges::needle_geometry &n = h.needle_at;
    n.height = kit::round_half_up_to_int32(h.gauge_scale * k_needle_height);
    n.width = kit::round_half_up_to_int32(h.gauge_scale * 57.5f);
    n.x = static_cast<float>(h.gauge_size - 5 - n.width - 1);
    n.pivot_x = size * 0.5f - n.x - 0.5f; // the gauge centre, in image coordinates
    place_needle_rows(r);
}

bool full_recompute(gr_context_t *ctx, gauge_record &r) {
    gauges::modern_head &h = r.head;
    // The needle is reloaded for the current size and direction, and placed to match its artwork.
    kit::release_image(ctx, &h.needle);
    place_needle_rows(r);
    const kit::limits limits{r.lower_limit, r.upper_limit, r.lower_value, r.upper_value, r.lower_hyst, r.upper_hyst};
    const kit::thresholds t = kit::stored_thresholds(limits);
    h.upper_threshold = t.upper;
    h.lower_threshold = t.lower;
    const float diff = r.value_max - r.value_min;
    r.segment = {r.angle_start, r.value_min, r.value_max, diff, r.angle_span, diff == 0.0f ? 0.0f : 1.0f / diff};
    return gauges::rebuild_value_format(h.caption, r.text, r.decimals, ctx->app);
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    gauge_record &r = *record_of(instance);
    gauges::modern_head &h = r.head;
    const gr_rect_t widget = kit::widget_rect(control, instance, kit::rect_rule::inclusive);
    const gauges::gauge_size_check size = gauges::check_size(widget, h.cached_width, h.cached_height);
    if (size.changed) lay_out(r, size.width, size.height);
    if (h.level == kit::level_relayout && !full_recompute(ctx, r)) return -1;
    if (h.level <= kit::level_state) gauges::update_modern_value(ctx, h, r.lower_hyst, r.upper_hyst);

    const gr_rect_t square = gauges::gauge_square(widget, h.gauge_size);
    kit::frame frame;
    if (!kit::frame_enter_rect(frame, ctx, control, instance, square)) return 0;

    const gauges::value_scale scale{&r.segment, 1, false, r.angle_start, r.angle_span, r.value_min, r.value_max};
    const float needle_angle = gauges::clamped_angle(scale, h.value);
    const gauges::ring ring =
        gauges::ring_of(h, square, static_cast<float>(h.gauge_size) - 10.0f, h.gauge_scale * 35.0f);
    const uint32_t colour =
        static_cast<uint32_t>(kit::pick_by_state(h.threshold_state, r.lower_gauge, r.color_gauge, r.upper_gauge));
    gauges::draw_value_arc(ctx, ring, needle_angle, r.angle_start, r.angle_span, colour);
    ctx->ops->restore_attr(ctx, GR_ATTR_ALPHA);
    if (!gauges::draw_modern_needle(ctx, h, square, needle_angle, "images/ModernGauge/needle_",
                                    counter_clockwise(r) ? "ccw.png" : "cw.png"))
        return kit::frame_fail(frame); // retried at the next draw

    // Over the needle: the part of the ring outside the scale, at the alpha the context has.
    gauges::fill_ellipse_arc(ctx, 0x121212, ring.diameter, ring.diameter, r.angle_start + r.angle_span,
                             gauges::full_turn_from(r.angle_start, r.angle_span), ring.band, ring.cx, ring.cy);
    gauges::draw_shadow(ctx, ring, h.gauge_scale * 202.0f);

    const auto inset = static_cast<uint16_t>(kit::round_half_up_to_int32(h.gauge_scale * 35.0f + 5.0f));
    const uint32_t text_colour =
        static_cast<uint32_t>(kit::pick_by_state(h.threshold_state, r.lower_text, r.color_text, r.upper_text));
    if (!gauges::draw_value_caption(frame, k_caption, h.caption, square, inset, r.font, r.font_size, r.alignment,
                                    text_colour))
        return kit::frame_fail(frame);
    return kit::frame_end(frame);
}

int clone(gr_instance_t *target, gr_instance_t *source) {
    kit::clone_record(k_widget, target, source); // own strings, recompute level 0
    gauge_record &r = *record_of(target);
    r.head.needle = nullptr; // the clone loads its own at its first draw
    r.head.caption = gauges::value_caption{};
    return 0;
}

int destroy(gr_instance_t *instance) {
    gauge_record &r = *record_of(instance);
    kit::release_kept_image(&r.head.needle);
    kit::free_strings(k_widget, &r);
    gauges::free_value_caption(r.head.caption);
    return 0;
}

constexpr gr_renderext_t k_descriptor = kit::make_descriptor<k_widget>(
    k_table.data(), draw, clone, destroy, &gauges::set_gauge_attribute<k_widget, k_angle_start_id>);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, true, nullptr, 0};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
