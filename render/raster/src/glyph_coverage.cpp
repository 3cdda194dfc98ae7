// Single glyphs' coverage, kept.
#include "glyph_coverage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pitwall::raster {

glyph_coverage::~glyph_coverage() {
    if (cr_ != nullptr) cairo_destroy(cr_);
    if (scratch_ != nullptr) cairo_surface_destroy(scratch_);
}

const glyph_image *glyph_coverage::get(cairo_scaled_font_t *font, unsigned long index, double fx, double fy) {
    for (const entry &e : entries_)
        if (e.font == font && e.index == index && e.fx == fx && e.fy == fy) return &e.image;
    entry made{font, index, fx, fy, {}};
    if (!render(font, index, fx, fy, made.image)) return nullptr;
    if (entries_.size() < capacity) {
        entries_.push_back(std::move(made));
        return &entries_.back().image;
    }
    entries_[next_] = std::move(made);
    const glyph_image *kept = &entries_[next_].image;
    next_ = (next_ + 1) % capacity;
    return kept;
}

bool glyph_coverage::render(cairo_scaled_font_t *font, unsigned long index, double fx, double fy, glyph_image &out) {
    cairo_glyph_t glyph{index, fx, fy};
    cairo_text_extents_t ink{};
    cairo_scaled_font_glyph_extents(font, &glyph, 1, &ink);
    if (!std::isfinite(ink.x_bearing) || !std::isfinite(ink.y_bearing) || !std::isfinite(ink.width) ||
        !std::isfinite(ink.height))
        return false;
    out = glyph_image{};
    if (ink.width <= 0 || ink.height <= 0) return true; // no ink
    // The ink with two pixels about it, for hinting and rounding: what Cairo can touch.
    const double x1 = std::floor(fx + ink.x_bearing) - 2, y1 = std::floor(fy + ink.y_bearing) - 2;
    const double x2 = std::ceil(fx + ink.x_bearing + ink.width) + 2, y2 = std::ceil(fy + ink.y_bearing + ink.height) + 2;
    if (!(x2 - x1 <= 2048 && y2 - y1 <= 2048)) return false;
    const int w = int(x2 - x1), h = int(y2 - y1);
    if (scratch_ == nullptr || cairo_image_surface_get_width(scratch_) < w || cairo_image_surface_get_height(scratch_) < h) {
        if (cr_ != nullptr) cairo_destroy(cr_);
        if (scratch_ != nullptr) cairo_surface_destroy(scratch_);
        scratch_ = cairo_image_surface_create(CAIRO_FORMAT_A8, std::max(w, 64), std::max(h, 64));
        cr_ = cairo_create(scratch_);
    }
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) return false;
    cairo_surface_flush(scratch_);
    unsigned char *pixels = cairo_image_surface_get_data(scratch_);
    if (pixels == nullptr) return false;
    const size_t stride = size_t(cairo_image_surface_get_stride(scratch_));
    for (int y = 0; y < h; ++y) std::memset(pixels + size_t(y) * stride, 0, size_t(w));
    cairo_surface_mark_dirty(scratch_);
    // The glyph at its fractions, the box's corner at the scratch's origin.
    cairo_save(cr_);
    cairo_rectangle(cr_, 0, 0, w, h);
    cairo_clip(cr_);
    cairo_set_scaled_font(cr_, font);
    cairo_set_source_rgba(cr_, 0, 0, 0, 1);
    cairo_glyph_t placed{index, fx - x1, fy - y1};
    cairo_show_glyphs(cr_, &placed, 1);
    cairo_restore(cr_);
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) return false;
    cairo_surface_flush(scratch_);
    out.width = w, out.height = h;
    out.dx = int64_t(x1), out.dy = int64_t(y1);
    out.cover.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) std::memcpy(out.cover.data() + size_t(y) * size_t(w), pixels + size_t(y) * stride, size_t(w));
    return true;
}

} // namespace pitwall::raster
