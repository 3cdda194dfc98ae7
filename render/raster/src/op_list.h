// op_list.h - a control's drawing kept as a list of operations: what a frame compares to find the
// pixels a new draw changes, and what it replays to repaint them without calling the widget again.
//
// Each kept operation carries the state it was drawn under (translation, clip, alpha, rotation,
// line width), its arguments, and the box of canvas pixels it can change. Two lists are compared
// operation by operation: the common start and end are skipped, and what lies between changed in
// both its old and its new place. Two bands that differ only in some of their points (a value arc
// grown by a few degrees) changed only near the points that differ.
#ifndef PITWALL_RASTER_OP_LIST_H
#define PITWALL_RASTER_OP_LIST_H

#include "coverage_sweep.h"
#include "gre_host.h"
#include "pixel_blend.h"

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pitwall::raster {

struct decoded_image;
struct image;

enum class op_kind : uint8_t { fill_rect, stroke_rect, band, line, image, image_part, text };

// The drawing state an operation saw, as the context keeps it (canvas pixels, inclusive clip).
struct op_state {
    int64_t tx = 0, ty = 0;
    bool clip_set = false;
    int64_t clip_x1 = 0, clip_y1 = 0, clip_x2 = -1, clip_y2 = -1;
    double alpha = 255.0, rotation = 0.0, line_width = 1.0;

    bool operator==(const op_state &) const = default;
};

struct kept_op {
    op_kind kind = op_kind::fill_rect;
    op_state state;
    uint32_t colour = 0;
    gr_rect_t rect{};   // fill_rect and stroke_rect: the rectangle; image_part: the target
    gr_rect_t source{}; // image_part: the part of the image
    float x = 0, y = 0, pivot_x = 0, pivot_y = 0; // image: place and pivot
    int32_t draw_width = 0, draw_height = 0;      // image: the size it is drawn at
    const image *handle = nullptr;                // image, image_part: the plug-in's handle
    const decoded_image *pixels = nullptr;        // and the pixels behind it
    cairo_scaled_font_t *font = nullptr;          // text: the font at its size (kept by the context)
    int32_t text_x = 0, text_y = 0;               // text: where
    uint32_t first = 0, count = 0; // band, line: doubles in the list's points; text: its bytes
    pixel_box box{0, 0, -1, -1};  // the canvas pixels it can change, within its clip
    int32_t chains = -1;           // band: its area cut into chains, once replayed (op_list::prepared)
    int32_t mask = -1;             // band, line: its coverage kept whole (a mask_pool slot), once steady
    uint16_t steady = 0;           // band, line: lists in a row it came through unchanged
    uint16_t replays = 0;          // band, line: rectangles it was replayed in

    bool same_arguments(const kept_op &other) const;
};

class op_list {
public:
    std::vector<kept_op> ops;
    std::vector<double> points; // the bands' and lines' points, x y pairs, before translation
    std::string text;           // the texts' bytes
    bool valid = true;          // false once an image it draws was released
    // The bands' areas cut into chains at their first replay; the first prepared_used are in use,
    // the rest kept for their capacity.
    std::vector<chain_set> prepared;
    size_t prepared_used = 0;

    void clear();
    bool uses(const image *handle) const;
    const double *points_of(const kept_op &op) const { return points.data() + op.first; }
    bool same(const kept_op &a, const op_list &other, const kept_op &b) const;
};

// The boxes of canvas pixels that differ between drawing `before` and drawing `after`, appended to
// `changed` (possibly overlapping). `same` receives the operations that are the same in both, as
// pairs of their places in `before` and in `after`.
using op_pairs = std::vector<std::pair<uint32_t, uint32_t>>;
void changed_boxes(const op_list &before, const op_list &after, std::vector<pixel_box> &changed, op_pairs &same);

// The coverage of bands and lines that stay the same from frame to frame (a gauge's shadow ring,
// its ticks), kept as A8 surfaces within a budget, so that repainting part of one paints through
// its kept coverage instead of sweeping or stroking it again.
class mask_pool {
public:
    mask_pool() = default;
    ~mask_pool();
    mask_pool(const mask_pool &) = delete;
    mask_pool &operator=(const mask_pool &) = delete;

    static constexpr size_t budget_bytes = size_t(16) << 20;
    bool has_room() const { return bytes_ < budget_bytes; }
    int32_t add(cairo_surface_t *mask); // takes it over
    cairo_surface_t *get(int32_t slot) const { return masks_[size_t(slot)]; }
    void release(int32_t slot);
    // Every mask `list` holds released; its operations hold none after.
    void release_all(op_list &list);
    int count() const { return int(masks_.size() - free_.size()); }

private:
    std::vector<cairo_surface_t *> masks_;
    std::vector<int32_t> free_;
    size_t bytes_ = 0;
};

// Kept coverage passed on from `before` to the operations of `after` that are the same; what
// `before` keeps besides is released.
void pass_on_masks(op_list &before, op_list &after, const op_pairs &same, mask_pool &pool);

// The canvas pixels a band or line of `count` doubles can change, before the clip.
pixel_box path_box(const double *points, size_t count, const op_state &state, bool band);

} // namespace pitwall::raster

#endif // PITWALL_RASTER_OP_LIST_H
