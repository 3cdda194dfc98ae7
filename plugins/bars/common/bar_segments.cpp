// The fill area: unlit segments in the dark palette colours, then lit segments as nine-patch
// images (the last lit one with the mark image), or one continuous stretched fill image.
//
// Segments are 14 pixels long at a pitch of 20, counted from the value_min end:
//
//   orientation 0, along:  0   14  20  34  40  ...      (segment k at 20k .. 20k+13)
//   orientation 1:         counted the same way from bar_len - 1 backwards
//
// Lit segments are drawn from the value_min end outward, unlit ones from the value_max end inward,
// each zone in its own colours.
#include "bar_draw.h"
#include "bar_palette.h"
#include "image_cache.h"
#include "nine_patch.h"
#include "value_map.h"

namespace bars {
namespace {

struct fill_geometry {
    axis_box area;  // the fill area across / along
    float w;        // pixel of the value along the bar
    int32_t total;  // segments that fit
    int32_t lit;    // segments the value reaches (may be negative: none)
};

void draw_unlit(const bar_draw_state &d, const fill_geometry &g) {
    const bar_record &r = d.r;
    int32_t n = g.total - g.lit;
    if (n <= 0) return;
    const bool reversed = r.orientation != 0;
    const int32_t rem = (d.l.bar_len + 6) % 20;
    const int32_t first = reversed ? rem : d.l.bar_len - rem - 14;
    const int32_t step = reversed ? 20 : -20;
    translate_axis(d.ctx, d.axis, g.area.across0, g.area.along0 + first);
    int32_t moved = 0;
    const gr_rect_t segment = axis_rect(d.axis, 0, 0, d.l.fill_w - 1, 13);
    for (int32_t zone = 2; zone >= 0; --zone) {
        int32_t index = zone_index(zone, r.lower_bar, r.color_bar, r.upper_bar);
        if (!valid_bar_index(index)) continue;
        for (int32_t i = 0; i < r.segment_zone_counts[zone] && n > 0; ++i, --n) {
            d.ctx->ops->fill_rect(d.ctx, &segment, bar_colour_of(index).dark);
            translate_axis(d.ctx, d.axis, 0, step);
            moved += step;
        }
    }
    untranslate_axis(d.ctx, d.axis, g.area.across0, g.area.along0 + first + moved);
}

// The image a segment nine-patch is laid out from: the one just loaded, else the first loaded one
// of any colour (segment image before mark image).
gr_image_t *layout_source(gr_image_t *loaded_now) {
    if (loaded_now != nullptr) return loaded_now;
    bar_image_cache &cache = bar_images();
    for (int32_t index = 1; index <= 7; ++index) {
        if (gr_image_t *image = cache.at(row_segment, index)) return image;
        if (gr_image_t *image = cache.at(row_mark, index)) return image;
    }
    return nullptr;
}

// Load the segment and / or mark image of a colour into the plug-in's cache, and lay the segment
// nine-patch out once per layout. False when an image or its size is missing.
bool ensure_segment_images(const bar_draw_state &d, int32_t index, bool segment, bool mark) {
    bar_image_cache &cache = bar_images();
    const char *colour = bar_colour_name(index);
    gr_image_t *loaded_now = nullptr;
    if (segment && cache.at(row_segment, index) == nullptr) {
        loaded_now = kit::cached_themed_image(cache.slot(row_segment, index), d.ctx, nullptr, image_dir, colour,
                                              d.axis.segment_suffix);
        if (loaded_now == nullptr) return false;
    }
    if (mark && cache.at(row_mark, index) == nullptr) {
        loaded_now = kit::cached_themed_image(cache.slot(row_mark, index), d.ctx, nullptr, image_dir, colour,
                                              d.axis.mark_suffix);
        if (loaded_now == nullptr) return false;
    }
    if (d.r.ninepatch_ready != 0) return true;
    gr_image_t *source = layout_source(loaded_now);
    if (source == nullptr) return false;
    // One segment: fill_w across, 14 along.
    const int16_t across = d.l.fill_w, along = 14;
    const int16_t width = d.axis.horizontal ? along : across, height = d.axis.horizontal ? across : along;
    if (kit::nine_patch_layout(d.ctx, source, &d.r.segment_patch, width, height) != 0) return false;
    d.r.ninepatch_ready = 1;
    return true;
}

bool draw_lit(const bar_draw_state &d, const fill_geometry &g) {
    bar_record &r = d.r;
    if (g.lit < 0) return true;
    const bool reversed = r.orientation != 0;
    const int32_t start = reversed ? d.l.bar_len - 14 : 0;
    const int32_t step = reversed ? -20 : 20;
    translate_axis(d.ctx, d.axis, g.area.across0, g.area.along0 + start);
    int32_t moved = 0;
    int32_t m = g.lit;
    bool ok = true;
    for (int32_t zone = 0; zone < 3 && ok; ++zone) {
        int32_t index = zone_index(zone, r.lower_bar, r.color_bar, r.upper_bar);
        if (!valid_bar_index(index)) continue;
        const int32_t count = r.segment_zone_counts[zone];
        if (!ensure_segment_images(d, index, m > 0, m <= count)) {
            ok = false;
            break;
        }
        bar_image_cache &cache = bar_images();
        for (int32_t i = 0; i < count && m > 0; ++i) {
            --m;
            gr_image_t *image = cache.at(m == 0 ? row_mark : row_segment, index);
            gr_surface_t *surface = nullptr;
            d.ctx->ops->image_info(d.ctx, image, GR_IMAGE_INFO_SURFACE, &surface, 0);
            kit::draw_nine_patch_parts(d.ctx, surface, r.segment_patch);
            translate_axis(d.ctx, d.axis, 0, step);
            moved += step;
        }
    }
    untranslate_axis(d.ctx, d.axis, g.area.across0, g.area.along0 + start + moved);
    return ok;
}

// One stretched image up to the value, in the state's colour.
bool draw_continuous(const bar_draw_state &d, const fill_geometry &g, const gr_rect_t &clip) {
    const bar_record &r = d.r;
    axis_box limited = g.area;
    if (r.orientation == 0)
        limited.along1 = g.area.along0 + pixel_int(g.w);
    else
        limited.along0 = g.area.along0 + pixel_int(g.w);
    gr_rect_t wanted = axis_rect(d.axis, limited.across0, limited.along0, limited.across1, limited.along1);
    gr_rect_t visible;
    if (gr_rect_clip(&wanted, &clip, &visible) == 0) return true;
    d.ctx->ops->set_clip(d.ctx, &visible);
    int32_t index = zone_index(r.threshold_state, r.lower_bar, r.color_bar, r.upper_bar);
    if (!valid_bar_index(index)) return false;
    gr_image_t *image = kit::cached_themed_image(bar_images().slot(row_fill, index), d.ctx, nullptr, image_dir,
                                                 bar_colour_name(index), d.axis.fill_suffix);
    if (image == nullptr) return false;
    translate_axis(d.ctx, d.axis, g.area.across0, g.area.along0);
    gr_surface_t *surface = nullptr;
    d.ctx->ops->image_info(d.ctx, image, GR_IMAGE_INFO_SURFACE, &surface, 0);
    // A one-pixel-wide column of the image, inside its border, stretched over the whole bar.
    const gr_rect_t source = axis_rect(d.axis, 1, 1, 1, 88);
    const gr_rect_t target = axis_rect(d.axis, 0, 0, d.l.fill_w - 1, d.l.bar_len - 1);
    d.ctx->ops->draw_image_part(d.ctx, surface, &source, 0, &target);
    untranslate_axis(d.ctx, d.axis, g.area.across0, g.area.along0);
    return true;
}

} // namespace

int draw_fill(const bar_draw_state &d) {
    const bar_record &r = d.r;
    gr_rect_t area = axis_rect(d.axis, d.box.across0 + d.l.fill_x, d.box.along0 + 10,
                               d.box.across0 + d.l.fill_x + d.l.fill_w - 1, d.box.along1 - 10);
    fill_geometry g;
    g.area = to_axis(d.axis, area);
    const value_range range = effective_range(r.value_min, r.value_max);
    g.w = value_pixel(r.value_map, r.value_map_count, range, r.value);
    g.total = (d.l.bar_len + 6) / 20;
    // A segment is lit when the value reaches its far edge.
    g.lit = r.orientation == 0 ? (pixel_int(g.w) + 7) / 20 : (d.l.bar_len - pixel_int(g.w) + 6) / 20;
    // At a full value the count can exceed the segments that fit (bar_len 13 modulo 20): the last
    // one that fits is then the last lit one and carries the mark.
    if (g.lit > g.total) g.lit = g.total;

    gr_rect_t visible;
    if (!meets(d, area, &visible)) return 0;
    d.ctx->ops->set_clip(d.ctx, &visible);
    draw_unlit(d, g);
    bool ok = r.style == 0 ? draw_lit(d, g) : draw_continuous(d, g, visible);
    return ok ? 0 : -1;
}

} // namespace bars
