// Relayout: strips across the widget, the tick list in pixels along the bar, mark lines, the value
// map and the zone counts. Runs at recompute level 0 and whenever the widget's size changes.
#include "bar_layout.h"

#include "bar_geometry.h"
#include "text.h"
#include "threshold.h"
#include "value_map.h"

#include <cstdlib>

namespace bars {
namespace {

// Strips across the widget, from the title side:
//   tick_pos 0: title | bar            tick_pos 1: title | scale | bar
//   other:      title | bar | scale (scale against the far edge)
bar_layout strips(const bar_record &r, int32_t across_size, int32_t along_size) {
    bar_layout l{};
    l.title_size = r.title_len > 0 ? 25 : 0;
    l.tick_w = r.tick_pos == 0 ? 0 : r.tick_mode == 1 ? 15 : 30;
    l.bar_w = static_cast<uint16_t>(across_size - l.tick_w - l.title_size);
    l.bar_len = s16(along_size - 20);
    if (r.tick_pos == 0) {
        l.bar_x = l.title_size;
        l.tick_x = 0;
    } else if (r.tick_pos == 1) {
        l.tick_x = l.title_size;
        l.bar_x = static_cast<uint16_t>(l.title_size + l.tick_w);
    } else {
        l.bar_x = l.title_size;
        l.tick_x = static_cast<uint16_t>(across_size - l.tick_w);
    }
    l.fill_x = static_cast<uint16_t>(l.bar_x + 7);
    l.fill_w = s16(static_cast<int16_t>(l.bar_w) - 14);
    return l;
}

// One mark at `along`, `length` long, against the bar side of the scale strip.
mark_line mark_at(const bar_axis &axis, const bar_record &r, const bar_layout &l, float along, float length) {
    float from = 0.0f, to = length;
    if (r.tick_pos == 1) { // scale before the bar: marks touch its far edge
        to = static_cast<float>(l.tick_w - 1);
        from = to - length;
    }
    if (axis.horizontal) return {along, from, along, to};
    return {from, along, to, along};
}

// Main marks at every tick, subsections - 1 inner marks between neighbours.
void build_mark_lines(const bar_axis &axis, bar_record &r, const bar_layout &l) {
    const int32_t s = r.subsections == 0 ? 1 : r.subsections;
    int32_t n = 0;
    r.mark_lines[n++] = mark_at(axis, r, l, r.tick_list[0].pos, 12.0f);
    for (int32_t k = 1; k < r.tick_count; ++k) {
        float y0 = r.tick_list[k - 1].pos, y1 = r.tick_list[k].pos;
        for (int32_t j = 1; j < s; ++j)
            r.mark_lines[n++] = mark_at(axis, r, l, y0 + static_cast<float>(j) * (y1 - y0) / static_cast<float>(s), 5.5f);
        r.mark_lines[n++] = mark_at(axis, r, l, y1, 12.0f);
    }
}

int32_t mark_line_count(const bar_record &r) {
    if (r.tick_count <= 0) return 0;
    const int32_t s = r.subsections == 0 ? 1 : r.subsections;
    return 1 + (r.tick_count - 1) * s;
}

// Parse the ticks and turn their percentages into pixels along the bar.
int build_ticks(const bar_widget &w, gr_context_t *ctx, bar_record &r, int16_t bar_len) {
    kit::tick_scale scale{r.value_min, r.value_max, r.lower_threshold, r.upper_threshold,
                          r.tick_mode >= 3, kit::tick_position_unit::percent, 0.0f};
    int32_t n = kit::parse_ticks(r.ticks, scale, ctx->app, *w.tick_messages);
    if (n < 0) return -1;
    if (n == 0) return 0;
    r.tick_list = kit::take_ticks<kit::tick_entry>(n, ctx->app, *w.tick_messages);
    if (r.tick_list == nullptr) return -1;
    r.tick_count = n;
    const bool reversed = r.orientation != 0;
    const float len = static_cast<float>(bar_len);
    for (int32_t i = 0; i < n; ++i) {
        float pos = r.tick_list[i].pos;
        r.tick_list[i].pos = reversed ? -len * pos / 100.0f + (len - 1.0f) : len * pos / 100.0f;
    }
    return 0;
}

} // namespace

void free_derived(bar_record &r) {
    kit::free_tick_list(&r.tick_list, &r.tick_count);
    std::free(r.value_map);
    r.value_map = nullptr;
    r.value_map_count = 0;
    std::free(r.mark_lines);
    r.mark_lines = nullptr;
}

int relayout(const bar_widget &w, gr_context_t *ctx, bar_record &r, int32_t width, int32_t height) {
    const bar_axis &axis = *w.axis;
    r.layout_width = s16(width);
    r.layout_height = s16(height);
    r.title_len = kit::text_len(r.render_title);
    r.ninepatch_ready = 0;
    for (gr_image_t *&shine : r.shine_images) kit::release_image(ctx, &shine); // sized by the layout

    kit::limits limits{r.lower_limit, r.upper_limit, r.lower_value, r.upper_value, r.lower_hyst, r.upper_hyst};
    kit::thresholds t = kit::stored_thresholds(limits);
    r.upper_threshold = t.upper;
    r.lower_threshold = t.lower;

    const bar_layout l = axis.horizontal ? strips(r, height, width) : strips(r, width, height);
    store_layout(axis, r, l);

    free_derived(r);
    if (build_ticks(w, ctx, r, l.bar_len) != 0) return -1;

    const int32_t lines = r.tick_pos != 0 ? mark_line_count(r) : 0;
    if (lines > 0) {
        r.mark_lines = static_cast<mark_line *>(std::calloc(static_cast<size_t>(lines), sizeof(mark_line)));
        if (r.mark_lines == nullptr) {
            free_derived(r);
            w.tick_messages->tick_memory(ctx->app);
            return -1;
        }
        build_mark_lines(axis, r, l);
    }

    const bool reversed = r.orientation != 0;
    const value_range range = effective_range(r.value_min, r.value_max);
    r.value_map = static_cast<value_map_segment *>(
        std::calloc(static_cast<size_t>(r.tick_count + 1), sizeof(value_map_segment)));
    if (r.value_map == nullptr) {
        free_derived(r);
        return -1;
    }
    r.value_map_count = build_value_map(r.value_map, range, r.tick_list, r.tick_count, r.tick_mode == 3,
                                        l.bar_len, reversed);

    float upper_px = threshold_pixel(r.value_map, r.value_map_count, range, r.upper_threshold, reversed);
    float lower_px = threshold_pixel(r.value_map, r.value_map_count, range, r.lower_threshold, reversed);
    count_mark_zones(r.mark_lines, lines, axis.horizontal, lower_px, upper_px, reversed, r.mark_zone_counts);
    count_segment_zones(l.bar_len, lower_px, upper_px, reversed, r.segment_zone_counts);
    return 0;
}

} // namespace bars
