// "Modern Gauge Large": a ring-shaped value arc in the colour of the threshold state over a dark
// translucent ring, a white edge along the filled part, a soft shadow inside, tick marks and labels
// outside the ring, a needle image turned to the value and the value caption in the middle.
//
// Laid out for a 440-pixel square and scaled with it (gauge_scale 1 at 440):
//
//     +--------------- 440 ---------------+    ring: 360 across, band 55, centred
//     |   labels at radius c - 15         |    marks: major c-35..c-25, minor c-32.5..c-27.5
//     |      .-----------------.          |    needle: 110 x 6, tip 35 inside the edge,
//     |     /   value caption   \  needle |            turning about the centre
//     |    |        (c,c) -------->       |    caption: square inset by 55 * scale + 40
//     |     \                   /         |
//     |      '-----------------'          |
//     +-----------------------------------+
//
// Only the top-left square of the widget (its smaller side) is used.
#include "ellipse.h"
#include "gauge_draw.h"
#include "gauge_frame.h"
#include "gauge_scale.h"
#include "modern_gauge.h"
#include "image_cache.h"
#include "text.h"
#include "threshold.h"
#include "value_angle.h"
#include "value_caption.h"

#include "convert.h"
#include "renderext.h"

#include <cstddef>
#include <cstdint>

namespace {

using gauges::s16;

constexpr char k_name[] = "Modern Gauge Large";
constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Modern Gauge Large");
constexpr kit::tick_messages k_tick_messages = KIT_TICK_MESSAGES("Modern Gauge Large");
constexpr gauges::caption_style k_caption{k_name, &kit::font_ref<k_font_messages>};
constexpr gauges::mark_radii k_radii{35.0f, 25.0f, 32.5f, 27.5f};
constexpr float k_label_inset = 15.0f;

// The instance record, in the engine's field order: 200 bytes on the 32-bit target.
struct gauge_record {
    gauges::modern_head head; // gauge_scale = (gauge_size - 80) / 360
    gauges::gauge_ticks scale;
    char *text, *font, *ticks; // owned
    uint8_t font_size, alignment, decimals, tick_mode, subsections;
    int32_t lower_gauge, color_gauge, upper_gauge; // value arc, 0xRRGGBB per state
    int32_t lower_text, color_text, upper_text;    // value caption, per state
    int32_t lower_tick, color_tick, upper_tick;    // marks and labels, per zone
    uint8_t lower_limit, upper_limit;
    float lower_value, upper_value, lower_hyst, upper_hyst;
    float angle_start; // stored plus 90: drawing convention
    float angle_span, value_min, value_max;
    uint32_t reserved; // unused tail: the engine's record is four bytes longer than the fields
};
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(gauge_record, head.gauge_scale) == 40 && offsetof(gauge_record, scale) == 72 &&
                  offsetof(gauge_record, text) == 104 && offsetof(gauge_record, lower_gauge) == 124 &&
                  offsetof(gauge_record, lower_value) == 164 && sizeof(gauge_record) == 200,
              "record layout of the 32-bit target");
#endif

constexpr int32_t relayout = kit::level_relayout;
constexpr int32_t state = kit::level_state;
constexpr int32_t k_angle_start_id = 37;

constexpr kit::attr_def k_attrs[] = {
    kit::attr_float(12, "value", offsetof(gauge_record, head.value), state),
    kit::attr_ignored(13, "cfg"),
    kit::attr_string(14, "text", offsetof(gauge_record, text), relayout),
    kit::attr_string(15, "font", offsetof(gauge_record, font), state),
    kit::attr_string(16, "ticks", offsetof(gauge_record, ticks), relayout),
    kit::attr_u8(17, "font_size", offsetof(gauge_record, font_size), state),
    kit::attr_u8(18, "alignment", offsetof(gauge_record, alignment), state),
    kit::attr_u8(19, "decimals", offsetof(gauge_record, decimals), relayout),
    kit::attr_u8(20, "tick_mode", offsetof(gauge_record, tick_mode), relayout),
    kit::attr_u8(21, "subsections", offsetof(gauge_record, subsections), relayout),
    kit::attr_int(22, "lower_gauge", offsetof(gauge_record, lower_gauge), state),
    kit::attr_int(23, "color_gauge", offsetof(gauge_record, color_gauge), state),
    kit::attr_int(24, "upper_gauge", offsetof(gauge_record, upper_gauge), state),
    kit::attr_int(25, "lower_text", offsetof(gauge_record, lower_text), state),
    kit::attr_int(26, "color_text", offsetof(gauge_record, color_text), state),
    kit::attr_int(27, "upper_text", offsetof(gauge_record, upper_text), state),
    kit::attr_int(28, "lower_tick", offsetof(gauge_record, lower_tick), state),
    kit::attr_int(29, "color_tick", offsetof(gauge_record, color_tick), state),
    kit::attr_int(30, "upper_tick", offsetof(gauge_record, upper_tick), state),
    kit::attr_u8(31, "lower_limit", offsetof(gauge_record, lower_limit), relayout),
    kit::attr_u8(32, "upper_limit", offsetof(gauge_record, upper_limit), relayout),
    kit::attr_float(33, "lower_value", offsetof(gauge_record, lower_value), relayout),
    kit::attr_float(34, "upper_value", offsetof(gauge_record, upper_value), relayout),
    kit::attr_float(35, "lower_hyst", offsetof(gauge_record, lower_hyst), relayout),
    kit::attr_float(36, "upper_hyst", offsetof(gauge_record, upper_hyst), relayout),
    kit::attr_float(k_angle_start_id, "angle_start", offsetof(gauge_record, angle_start), relayout),
    kit::attr_float(38, "angle_span", offsetof(gauge_record, angle_span), relayout),
    kit::attr_float(39, "value_min", offsetof(gauge_record, value_min), relayout),
    kit::attr_float(40, "value_max", offsetof(gauge_record, value_max), relayout),
};
// Every set of an own attribute counts in `dirty`, changed or not.
constexpr kit::widget_def k_widget =
    kit::make_widget<gauge_record>(k_name, k_attrs, offsetof(gauge_record, head.level), true);
constexpr auto k_table = kit::attribute_table(k_attrs);

gauge_record *record_of(gr_instance_t *instance) { return static_cast<gauge_record *>(instance->data); }

// Geometry of a new size; the needle image is reloaded at the next full recompute.
void lay_out(gauges::modern_head &h, int32_t width, int32_t height) {
    const float size = gauges::lay_out_head(h, width, height, 80.0f, 360.0f);
    gauges::needle_geometry &n = h.needle_at;
    n.width = kit::round_half_up_to_int32(h.gauge_scale * 110.0f);
    n.height = kit::round_half_up_to_int32(h.gauge_scale * 6.0f);
    n.x = size - 35.0f - static_cast<float>(n.width);
    n.y = (size - static_cast<float>(n.height)) * 0.5f;
    n.pivot_x = size * 0.5f - n.x - 0.5f; // the gauge centre, in image coordinates
    n.pivot_y = static_cast<float>(n.height) * 0.5f - 0.5f;
}

bool full_recompute(gr_context_t *ctx, gauge_record &r) {
    gauges::modern_head &h = r.head;
    kit::release_image(ctx, &h.needle); // reloaded at the new needle size
    const kit::limits limits{r.lower_limit, r.upper_limit, r.lower_value, r.upper_value, r.lower_hyst, r.upper_hyst};
    const kit::thresholds t = kit::stored_thresholds(limits);
    h.upper_threshold = t.upper;
    h.lower_threshold = t.lower;
    const gauges::scale_input in{r.ticks,     r.tick_mode,         r.subsections,       r.angle_start,
                                 r.angle_span, r.value_min,        r.value_max,         h.lower_threshold,
                                 h.upper_threshold, h.gauge_size};
    if (!gauges::rebuild_gauge_ticks(r.scale, in, k_radii, ctx->app, k_tick_messages)) return false;
    gauges::count_mark_zones(r.scale, r.subsections, h.lower_threshold, h.upper_threshold);
    return gauges::rebuild_value_format(h.caption, r.text, r.decimals, ctx->app);
}

// The ring: the dark remainder from the needle all the way round to the start, the value arc in the
// state's colour, a white line 3 pixels outside it, and a faint shadow from the band's inner edge.
void draw_ring(gr_context_t *ctx, const gauge_record &r, const gr_rect_t &square, float needle_angle) {
    const gauges::modern_head &h = r.head;
    const gauges::ring ring =
        gauges::ring_of(h, square, static_cast<float>(h.gauge_size) - 80.0f, h.gauge_scale * 55.0f);
    const uint32_t colour =
        static_cast<uint32_t>(kit::pick_by_state(h.threshold_state, r.lower_gauge, r.color_gauge, r.upper_gauge));
    gauges::draw_value_arc(ctx, ring, needle_angle, r.angle_start, r.angle_span, colour);
    const int32_t opaque = 255;
    ctx->ops->set_attr(ctx, GR_ATTR_ALPHA, &opaque, 4);
    const float edge = ring.diameter + 10.0f;
    gauges::fill_ellipse_arc(ctx, 0xFFFFFF, edge, edge, r.angle_start, needle_angle, 2.0f, ring.cx, ring.cy);
    gauges::draw_shadow(ctx, ring, h.gauge_scale * 317.0f);
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    gauge_record &r = *record_of(instance);
    gauges::modern_head &h = r.head;
    const gr_rect_t widget = kit::widget_rect(control, instance, kit::rect_rule::inclusive);
    const gauges::gauge_size_check size = gauges::check_size(widget, h.cached_width, h.cached_height);
    if (size.changed) lay_out(h, size.width, size.height);
    if (h.level == kit::level_relayout && !full_recompute(ctx, r)) return -1;
    if (h.level <= kit::level_state) gauges::update_modern_value(ctx, h, r.lower_hyst, r.upper_hyst);

    const gr_rect_t square = gauges::gauge_square(widget, h.gauge_size);
    kit::frame frame;
    if (!kit::frame_enter_rect(frame, ctx, control, instance, square)) return 0;

    const gauges::value_scale scale{r.scale.segments, r.scale.segment_count, r.tick_mode == 3, r.angle_start,
                                    r.angle_span,     r.value_min,           r.value_max};
    const float needle_angle = gauges::clamped_angle(scale, h.value);
    const float c = static_cast<float>(h.gauge_size) * 0.5f;
    const gauges::scale_style ticks{k_label_inset, r.tick_mode != 1, r.font,
                                    {r.lower_tick, r.color_tick, r.upper_tick}, &kit::font_ref<k_font_messages>};
    gauges::draw_scale(ctx, r.scale, r.subsections, square.x1, square.y1, c, ticks);
    draw_ring(ctx, r, square, needle_angle);
    if (!gauges::draw_modern_needle(ctx, h, square, needle_angle, "images/ModernGauge/", "needle_large.png"))
        return kit::frame_fail(frame); // retried at the next draw

    const auto inset = static_cast<uint16_t>(kit::round_half_up_to_int32(h.gauge_scale * 55.0f + 40.0f));
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
    // Derived data and the needle are rebuilt by the clone's first draw; nothing is shared.
    r.head.needle = nullptr;
    r.head.caption = gauges::value_caption{};
    r.scale = gauges::gauge_ticks{};
    return 0;
}

int destroy(gr_instance_t *instance) {
    gauge_record &r = *record_of(instance);
    gauges::free_gauge_ticks(r.scale);
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
