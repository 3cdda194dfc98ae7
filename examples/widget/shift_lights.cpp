// Shift Lights: a row of lamps that light up one after another as the engine speed climbs from
// `rpm_start` to `rpm_shift`, green, then yellow, then red. Built with the widget kit, outside the
// project, against the installed pitwall-dev package.
#include "convert.h"
#include "frame.h"
#include "renderext.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr const char k_name[] = "Shift Lights";
constexpr int32_t k_default_leds = 10;
constexpr int32_t k_max_leds = 32;
// The colours a zero-filled record starts with: a colour attribute left at 0 takes these.
constexpr uint32_t k_default_low = 0x22c55e;  // green
constexpr uint32_t k_default_mid = 0xfacc15;  // yellow
constexpr uint32_t k_default_high = 0xef4444; // red
constexpr uint32_t k_default_off = 0x262b31;  // dark grey

enum style : int32_t { style_fill = 0, style_center = 1 };

// The instance record: the engine allocates it zero-filled, sizeof(shift_record) bytes.
struct shift_record {
    int32_t rpm;
    int32_t rpm_start;
    int32_t rpm_shift;
    int32_t leds;
    int32_t style;
    uint32_t low_color;
    uint32_t mid_color;
    uint32_t high_color;
    uint32_t off_color;
    int32_t level; // recompute level: 0 or 1 recount the lit lamps, 2 up to date
    int32_t lit;   // lamps lit from each end (both ends in style center), counted at level 1
};

// The attribute table from id 12 on: where each value lives and what a change costs. A change of
// the count or a speed recounts the lit lamps; a colour is read by the next draw as it is.
constexpr kit::attr_def k_attrs[] = {
    kit::attr_int(12, "rpm", offsetof(shift_record, rpm), kit::level_state),
    kit::attr_int(13, "rpm_start", offsetof(shift_record, rpm_start), kit::level_state),
    kit::attr_int(14, "rpm_shift", offsetof(shift_record, rpm_shift), kit::level_state),
    kit::attr_int(15, "leds", offsetof(shift_record, leds), kit::level_state),
    kit::attr_int(16, "style", offsetof(shift_record, style), kit::level_state),
    kit::attr_int(17, "low_color", offsetof(shift_record, low_color), kit::level_none, kit::store::int32,
                  GR_TYPE_UINT32),
    kit::attr_int(18, "mid_color", offsetof(shift_record, mid_color), kit::level_none, kit::store::int32,
                  GR_TYPE_UINT32),
    kit::attr_int(19, "high_color", offsetof(shift_record, high_color), kit::level_none, kit::store::int32,
                  GR_TYPE_UINT32),
    kit::attr_int(20, "off_color", offsetof(shift_record, off_color), kit::level_none, kit::store::int32,
                  GR_TYPE_UINT32),
};
constexpr kit::widget_def k_widget =
    kit::make_widget<shift_record>(k_name, k_attrs, static_cast<int32_t>(offsetof(shift_record, level)));
constexpr auto k_table = kit::attribute_table(k_attrs);

shift_record *record_of(gr_instance_t *instance) { return static_cast<shift_record *>(instance->data); }

int32_t lamp_count(const shift_record &r) {
    if (r.leds <= 0) return k_default_leds;
    return r.leds > k_max_leds ? k_max_leds : r.leds;
}

// Lamps in order of lighting: every lamp in style fill, each pair from the two ends in style center.
int32_t steps_of(const shift_record &r) {
    int32_t n = lamp_count(r);
    return r.style == style_center ? (n + 1) / 2 : n;
}

// How many steps the speed lights: none below rpm_start, all from rpm_shift on, evenly between.
int32_t count_lit(const shift_record &r) {
    int64_t steps = steps_of(r);
    if (r.rpm < r.rpm_start) return 0;
    if (r.rpm >= r.rpm_shift) return static_cast<int32_t>(steps);
    int64_t lit = (int64_t{r.rpm} - r.rpm_start) * steps / (int64_t{r.rpm_shift} - r.rpm_start);
    return static_cast<int32_t>(lit);
}

uint32_t or_default(uint32_t colour, uint32_t fallback) { return colour != 0 ? colour : fallback; }

// The colour of the lamp at position `order` of `steps` when lit: the first half green, the next
// quarter yellow, the last quarter red.
uint32_t lit_colour(const shift_record &r, int32_t order, int32_t steps) {
    if (order * 2 < steps) return or_default(r.low_color, k_default_low);
    if (order * 4 < steps * 3) return or_default(r.mid_color, k_default_mid);
    return or_default(r.high_color, k_default_high);
}

int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    shift_record *r = record_of(instance);
    if (kit::recompute_level(k_widget, r) < kit::level_ready) {
        if (r->leds > k_max_leds)
            gre_app_log(ctx->app, GRE_LOG_WARNING, "Shift Lights: More than %d lamps are not supported", k_max_leds);
        r->lit = count_lit(*r);
        kit::set_recompute_level(k_widget, r, kit::level_ready);
    }
    kit::frame frame;
    if (!kit::frame_enter(frame, ctx, control, instance, kit::rect_rule::inclusive)) return 0;

    // Equal lamps across the width, a gap of an eighth of a lamp between two.
    int32_t n = lamp_count(*r);
    int32_t steps = steps_of(*r);
    int64_t left = frame.widget.x1;
    int64_t width = int64_t{frame.widget.x2} - frame.widget.x1 + 1;
    for (int32_t i = 0; i < n; ++i) {
        int32_t order = r->style == style_center ? (i < n - 1 - i ? i : n - 1 - i) : i;
        int64_t x1 = left + width * i / n;
        int64_t x2 = left + width * (i + 1) / n - 1;
        x2 -= (x2 - x1 + 1) / 8;
        gr_rect_t lamp = {kit::s16(kit::clamp_to_int32(x1)), frame.widget.y1, kit::s16(kit::clamp_to_int32(x2)),
                          frame.widget.y2};
        uint32_t colour = order < r->lit ? lit_colour(*r, order, steps) : or_default(r->off_color, k_default_off);
        ctx->ops->fill_rect(ctx, &lamp, colour);
    }
    return kit::frame_end(frame);
}

// The record owns no strings, images or buffers: clone copies it and recounts, destroy has
// nothing to free.
constexpr gr_renderext_t k_descriptor = kit::make_strings_descriptor<k_widget>(k_table.data(), draw);

constexpr kit::plugin_def k_plugin = {k_name, &k_descriptor, false, nullptr, 0};

} // namespace

GRE_PLUGIN_EXPORT int gre_plugin_create(gre_plugin_t *plugin) { return kit::plugin_create<k_plugin>(plugin); }
