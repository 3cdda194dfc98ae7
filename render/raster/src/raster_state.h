// raster_state.h - what a raster context keeps between operations, and the operations
// themselves (one file per family: raster_context.cpp state and transforms, raster_shapes.cpp,
// raster_images.cpp, raster_text.cpp).
//
// Coordinates: a plug-in names pixels. A rectangle (x1, y1, x2, y2) covers the pixels x1..x2 and
// y1..y2, which on the Cairo canvas is the area [x1, x2 + 1) x [y1, y2 + 1). Path points, image
// positions and pivots are taken as canvas coordinates as they are (0.0 is the left edge of
// pixel 0). Everything a plug-in passes, clip rectangles included, is relative to the current
// translation.
#ifndef PITWALL_RASTER_STATE_H
#define PITWALL_RASTER_STATE_H

#include "band_coverage.h"
#include "font_cache.h"
#include "glyph_coverage.h"
#include "gre_host.h"
#include "image_library.h"
#include "op_list.h"
#include "piece_cache.h"
#include "text_layouts.h"
#include "pitwall/raster_context.h"

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace pitwall {
class engine;
}

namespace pitwall::raster {

// A plug-in's handle on decoded pixels. Each load_image makes its own, because image_set gives a
// draw size per handle and a release lets go of one handle only.
struct image {
    decoded_image *pixels = nullptr; // owned by the state's image_library
    int draw_width = 0;              // image_set size for draw_image; 0 x 0 until set
    int draw_height = 0;
    bool draw_size_set = false;
};

struct path {
    int32_t kind = 0;
    std::vector<double> points; // x, y pairs
};

// A context attribute changed by set_attr and put back by restore_attr. A restore undoes every set
// since the previous restore: widgets set an attribute several times in a row (alpha 160, then 255
// for the next band) and restore it once, expecting what was in force before the first set.
struct attr_slot {
    double value;
    double before_set;    // the value to restore
    bool pending = false; // set since the last restore

    explicit attr_slot(double v) : value(v), before_set(v) {}
    void set(double v);
    void restore();
};

} // namespace pitwall::raster

namespace pitwall {

struct raster_context::state {
    state(engine &e, int w, int h);
    ~state();

    engine &owner;
    gr_context_t context{};
    cairo_surface_t *canvas = nullptr;
    int width = 0;
    int height = 0;

    // Clip in canvas pixels, inclusive, or none.
    bool clip_set = false;
    int64_t clip_x1 = 0, clip_y1 = 0, clip_x2 = -1, clip_y2 = -1;
    int64_t tx = 0, ty = 0; // cumulative translation

    raster::attr_slot alpha{255.0};
    raster::attr_slot rotation{0.0}; // degrees, clockwise on screen
    raster::attr_slot line_width{1.0};

    std::vector<std::unique_ptr<raster::image>> images; // the plug-ins' handles
    raster::image_library library;                      // the pixels behind them
    raster::piece_cache pieces;                         // stretched parts of those pixels
    std::vector<std::unique_ptr<raster::path>> paths;
    std::vector<std::unique_ptr<raster::path>> spare_paths; // freed, kept for the next create_path
    raster::font_cache fonts;

    // What text operations fill on every call, kept so that their capacity is reused.
    std::string utf8;
    std::vector<cairo_glyph_t> glyphs;
    raster::text_layouts layouts;     // the runs of recent texts
    raster::text_layout long_layout;    // the run of a text too long to keep, reused
    raster::text_layout scratch_layout; // a new run, before the table keeps it
    bool text_stamps = true;            // upright opaque lines through their kept coverage
    raster::glyph_coverage glyph_cover; // single glyphs' coverage, the lines' is made of
    raster::band_scratch bands;         // what drawing a band reuses

    // Kept drawing (op_replay.cpp): while `keeping` is set, drawing operations are added to it
    // instead of drawn. `fresh` is the list being kept, swapped with the one it replaces.
    raster::op_list *keeping = nullptr;
    uint64_t keeping_key = 0;
    raster::op_list fresh;
    std::unordered_map<uint64_t, raster::op_list> lists;
    raster::mask_pool masks; // the steady bands' kept coverage
    std::vector<raster::pixel_box> changed; // end_list's, kept for their capacity
    raster::op_pairs same_ops;
    bool noting_cuts = false;                 // texts a clip cuts are noted in `cuts`
    std::vector<raster_context::cut_text> cuts;
    cairo_surface_t *line_scratch = nullptr;  // A8: a line's coverage, before it is painted
    cairo_t *line_cr = nullptr;

    // The one Cairo context on the canvas; operations borrow it through raster::canvas_op.
    cairo_t *cr = nullptr;
    bool cr_clip_applied = false; // cr's own clip is the clip above (set again after a change)

    double opacity() const { return alpha.value / 255.0; }
    raster::image *find_image(const void *handle) const;
    raster::path *find_path(const void *handle) const;
};

} // namespace pitwall

namespace pitwall::raster {

inline raster_context::state &state_of(gr_context_t *ctx) {
    return *static_cast<raster_context::state *>(ctx->impl);
}

// One operation's use of the canvas's Cairo context: on entry the clip is applied and the origin
// translated, on exit all of it is put back. Every operation shares the one context, because
// making a context (and its clip) per operation costs more than most operations themselves. An
// operation that leaves the context in Cairo's sticky error state gets it replaced, so that the
// error does not spread to the operations after it.
class canvas_op {
public:
    explicit canvas_op(raster_context::state &s);
    ~canvas_op();
    canvas_op(const canvas_op &) = delete;
    canvas_op &operator=(const canvas_op &) = delete;

    cairo_t *cr() const { return state_.cr; }

private:
    raster_context::state &state_;
};

// The state's clip and translation on `cr`, as every operation draws with them.
void apply_clip_and_origin(cairo_t *cr, const raster_context::state &s);

// The colour's low 24 bits at the given opacity.
void set_colour(cairo_t *cr, uint32_t colour, double opacity);

// Kept drawing: an operation added to s.keeping with the state in force, and the canvas pixels
// it can change (`box` within the clip and the canvas).
void keep_rect(raster_context::state &s, op_kind kind, const gr_rect_t &rect, uint32_t colour);
void keep_path(raster_context::state &s, bool band, const double *points, size_t count, uint32_t colour);
void keep_image(raster_context::state &s, const image *img, float x, float y, int dw, int dh, float pivot_x,
                float pivot_y);
void keep_image_part(raster_context::state &s, const image *img, const gr_rect_t &source, const gr_rect_t &target);
void keep_text(raster_context::state &s, int32_t x, int32_t y, const char *text, int32_t length,
               cairo_scaled_font_t *font, uint32_t colour);
// A handle about to be released: the kept lists that draw it can no longer be replayed.
void forget_image(raster_context::state &s, const image *img);

// The drawing behind the operations, once their arguments are checked: what they do when not
// keeping, and what a replay does.
void fill_rect_now(raster_context::state &s, const gr_rect_t &rect, uint32_t colour);
void stroke_rect_now(raster_context::state &s, const gr_rect_t &rect, uint32_t colour);
// A line is stroked by Cairo into an A8 coverage mask of `box`, the canvas pixels it can change
// within its own clip, and the colour painted through it inside `part` only: the same pixels
// whichever part is repainted (Cairo's scan converter gives slightly different pixels where a clip
// cuts through a stroke), and a line that stays the same can keep its coverage.
void draw_line_in(raster_context::state &s, const double *points, size_t count, uint32_t colour,
                  const pixel_box &box, const pixel_box &part);
// The line's coverage into the A8 surface `cr` draws on, its top-left corner at the box's; false
// when nothing is drawn (no width, no memory).
bool line_coverage(cairo_t *cr, const double *points, size_t count, double tx, double ty, double line_width,
                   const pixel_box &box);
// The canvas pixels a line can change under the current state: its box within the clip.
pixel_box line_box(const raster_context::state &s, const double *points, size_t count);
void draw_image_now(raster_context::state &s, const decoded_image &pixels, float x, float y, int dw, int dh,
                    float pivot_x, float pivot_y);
void draw_image_part_now(raster_context::state &s, const decoded_image &pixels, const gr_rect_t &source,
                         const gr_rect_t &target);
void draw_text_now(raster_context::state &s, int32_t x, int32_t y, const char *text, int32_t length,
                   cairo_scaled_font_t *scaled, uint32_t colour);
// Note the text in s.cuts when its ink reaches a pixel or more beyond the canvas or the clip.
void note_cut_text(raster_context::state &s, int32_t x, int32_t y, const char *text, int32_t length,
                   cairo_scaled_font_t *scaled);
// The canvas pixels an image or a text can change under the current state, before the clip.
pixel_box image_box(const raster_context::state &s, float x, float y, int dw, int dh, float pivot_x, float pivot_y);
pixel_box text_box(raster_context::state &s, int32_t x, int32_t y, const char *text, int32_t length,
                   cairo_scaled_font_t *scaled);

// The operations, in the slot order of gr_render_ops_t.
void op_set_attr(gr_context_t *ctx, int32_t id, const void *value, int32_t size);
void op_restore_attr(gr_context_t *ctx, int32_t id);
void op_set_clip(gr_context_t *ctx, const gr_rect_t *rect);
void op_clear_clip(gr_context_t *ctx);
int op_get_clip(gr_context_t *ctx, gr_rect_t *out);
void op_translate(gr_context_t *ctx, int32_t dx, int32_t dy);
void op_untranslate(gr_context_t *ctx, int32_t dx, int32_t dy);
void op_fill_rect(gr_context_t *ctx, const gr_rect_t *rect, uint32_t colour);
void op_stroke_rect(gr_context_t *ctx, const gr_rect_t *rect, uint32_t colour);
void op_draw_path(gr_context_t *ctx, gr_path_t *path, uint32_t fill, uint32_t stroke, int32_t one);
void op_draw_image_part(gr_context_t *ctx, gr_surface_t *surface, const gr_rect_t *source, int32_t zero,
                        const gr_rect_t *target);
void op_draw_image(gr_context_t *ctx, gr_image_t *image, float x, float y, int32_t width, int32_t height,
                   float pivot_x, float pivot_y);
void op_draw_text(gr_context_t *ctx, int32_t x, int32_t y, const char *text, int32_t length,
                  const gr_text_style_t *style);
gr_image_t *op_load_image(gr_context_t *ctx, const char *path, uint32_t flags, const int32_t *size,
                          int32_t zero);
void op_release_image(gr_context_t *ctx, gr_image_t *image);
void op_image_set(gr_context_t *ctx, gr_image_t *image, int32_t id, const void *value, int32_t size);
int op_image_info(gr_context_t *ctx, gr_image_t *image, int32_t id, void *out, int32_t size);
void op_font_metrics(gr_context_t *ctx, gr_font_t *font, gr_font_metrics_t *out);
int op_text_extent(gr_context_t *ctx, const char *text, int32_t length, const gr_text_style_t *style,
                   int16_t *out);
gr_path_t *op_create_path(gr_context_t *ctx, int32_t kind, const float *points, int32_t count, int32_t flags);
void op_free_path(gr_context_t *ctx, gr_path_t *path);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_STATE_H
