// The classic dial gauges: layout, recompute, images per state, and the drawing.
#include "classic_gauge.h"

#include "convert.h"
#include "ellipse.h"
#include "gauge_scale.h"
#include "image_cache.h"
#include "palette.h"
#include "threshold.h"
#include "value_angle.h"

namespace gauges {
namespace {

constexpr char image_dir[] = "images/ClassicGauge/";
// Marks start at the same radius; minor marks are half as long. Labels lie inside the marks.
constexpr mark_radii classic_radii{25.0f, 10.0f, 25.0f, 17.5f};
constexpr float classic_label_inset = 40.0f;

classic_record &record_of(gr_instance_t *instance) { return *static_cast<classic_record *>(instance->data); }

using kit::state_slot;

void lay_out(const classic_variant &v, classic_record &r, int32_t width, int32_t height) {
    r.level = kit::level_relayout;
    r.cached_width = s16(width);
    r.cached_height = s16(height);
    r.gauge_size = smaller_side(width, height);
    const float size = static_cast<float>(r.gauge_size);
    r.gauge_scale = size / v.design_size;
    needle_geometry &n = r.needle_at;
    n.width = kit::round_half_up_to_int32(r.gauge_scale * v.needle_width);
    n.height = kit::round_half_up_to_int32(r.gauge_scale * v.needle_height);
    const float hub = static_cast<float>(n.width) * v.hub_per_width + r.gauge_scale * v.hub_per_scale;
    n.x = (size - static_cast<float>(n.width)) * 0.5f;
    n.y = size * 0.5f - hub;
    n.pivot_x = static_cast<float>(n.width) * 0.5f;
    n.pivot_y = hub;
}

bool full_recompute(const classic_variant &v, gr_context_t *ctx, classic_record &r) {
    // Released so that a changed colour index or size takes effect at the next load.
    for (gr_image_t *&background : r.backgrounds) kit::release_image(ctx, &background);
    kit::release_image(ctx, &r.needle);
    const kit::limits limits{r.lower_limit, r.upper_limit, r.lower_value, r.upper_value, r.lower_hyst, r.upper_hyst};
    const kit::thresholds t = kit::stored_thresholds_in_range(limits, r.value_min, r.value_max);
    r.upper_threshold = t.upper;
    r.lower_threshold = t.lower;
    const scale_input in{r.ticks,      r.tick_mode, r.subsections,     r.angle_start,     r.angle_span,
                         r.value_min,  r.value_max, r.lower_threshold, r.upper_threshold, r.gauge_size};
    if (!rebuild_gauge_ticks(r.scale, in, classic_radii, ctx->app, *v.tick_messages)) return false;
    count_mark_zones(r.scale, r.subsections, r.lower_threshold, r.upper_threshold);
    return true;
}

// The background of the current state and the needle, loaded at their final sizes. False when an
// image cannot be had (the colour index is no palette entry, or the host has no such file).
bool load_images(const classic_variant &v, gr_context_t *ctx, classic_record &r) {
    gr_image_t *&background = r.backgrounds[state_slot(r.threshold_state)];
    if (background == nullptr) {
        const int32_t index = kit::pick_by_state(r.threshold_state, r.lower_gauge, r.color_gauge, r.upper_gauge);
        const char *colour = kit::palette_name(kit::bar_palette, index);
        if (colour == nullptr) return false;
        const int32_t size[2] = {r.gauge_size, r.gauge_size};
        background = kit::load_themed_image(ctx, nullptr, image_dir, colour, v.background_suffix, size);
        if (background == nullptr) return false;
    }
    if (r.needle == nullptr && needle_drawable(r.needle_at)) {
        r.needle = load_needle(ctx, image_dir, v.needle_file, r.needle_at);
        if (r.needle == nullptr) return false;
    }
    return true;
}

} // namespace

int classic_draw(const classic_variant &v, gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    if (!kit::frame_should_draw(instance)) return 0;
    classic_record &r = record_of(instance);
    const gr_rect_t widget = kit::widget_rect(control, instance, kit::rect_rule::inclusive);
    const gauge_size_check size = check_size(widget, r.cached_width, r.cached_height);
    if (size.changed) lay_out(v, r, size.width, size.height);
    if (r.level == kit::level_relayout && !full_recompute(v, ctx, r)) return -1;
    if (r.level <= kit::level_state) {
        const kit::thresholds t{r.lower_threshold, r.upper_threshold};
        r.threshold_state = kit::next_state_stored(r.threshold_state, r.value, t, r.lower_hyst, r.upper_hyst);
        r.level = kit::level_ready;
    }

    const gr_rect_t square = gauge_square(widget, r.gauge_size);
    kit::frame frame;
    if (!kit::frame_enter_rect(frame, ctx, control, instance, square)) return 0;
    if (!load_images(v, ctx, r)) return kit::frame_fail(frame); // retried at the next draw

    const value_scale scale{r.scale.segments, r.scale.segment_count, r.tick_mode == 3, r.angle_start,
                            r.angle_span,     r.value_min,           r.value_max};
    const float needle_angle = overrun_angle(scale, r.value);
    const float c = static_cast<float>(r.gauge_size) * 0.5f;
    const float left = static_cast<float>(square.x1), top = static_cast<float>(square.y1);

    ctx->ops->draw_image(ctx, r.backgrounds[state_slot(r.threshold_state)], left, top, r.gauge_size, r.gauge_size,
                         0.0f, 0.0f);
    const float arc = r.gauge_scale * v.arc_diameter;
    fill_ellipse_arc(ctx, v.arc_colour, arc, arc, r.angle_start, needle_angle, 2.0f, left + c, top + c);
    if (r.tick_pos == 1) {
        const scale_style ticks{classic_label_inset, r.tick_mode != 1, r.font,
                                {r.lower_tick, r.color_tick, r.upper_tick}, v.font_ref};
        draw_scale(ctx, r.scale, r.subsections, square.x1, square.y1, c, ticks);
    }
    // The artwork points down at rotation 0.
    if (r.needle != nullptr) draw_needle(ctx, r.needle, square.x1, square.y1, r.needle_at, needle_angle - 90.0f);
    return kit::frame_end(frame);
}

int classic_clone(const classic_variant &v, gr_instance_t *target, gr_instance_t *source) {
    kit::clone_record(*v.def, target, source); // own strings, recompute level 0
    classic_record &r = record_of(target);
    // Images and derived data are rebuilt by the clone's first draw; nothing is shared.
    for (gr_image_t *&background : r.backgrounds) background = nullptr;
    r.needle = nullptr;
    r.scale = gauge_ticks{};
    return 0;
}

int classic_destroy(const classic_variant &v, gr_instance_t *instance) {
    classic_record &r = record_of(instance);
    free_gauge_ticks(r.scale);
    for (gr_image_t *&background : r.backgrounds) kit::release_kept_image(&background);
    kit::release_kept_image(&r.needle);
    kit::free_strings(*v.def, &r);
    return 0;
}

} // namespace gauges
