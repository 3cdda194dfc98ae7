// Text: measured and drawn with the font file the resource manager resolved, at the style's
// pixel size. Text is placed by its top-left corner: the baseline lies one ascent below y.
//
//   (x, y) +-----------------+ --
//          |  Pitwall  ascent|
//   base   +-----------------+ --   line height = ascent + descent
//          |         descent |
//          +-----------------+ --
//
// Strings are bytes: valid UTF-8 sequences are read as such, any other byte as Latin-1.
// Quarter turns are drawn by turned_text.cpp; any other angle turns the text about (x, y).
#include "pitwall/engine.h"
#include "pitwall/resources.h"
#include "raster_state.h"
#include "pixel_blend.h"
#include "text_stamp.h"
#include "turned_text.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pitwall::raster {
namespace {

// The length of a valid UTF-8 sequence starting at p (at most n bytes), or 0.
size_t utf8_sequence(const unsigned char *p, size_t n) {
    size_t len = p[0] < 0x80             ? 1
                 : (p[0] & 0xE0) == 0xC0 ? 2
                 : (p[0] & 0xF0) == 0xE0 ? 3
                 : (p[0] & 0xF8) == 0xF0 ? 4
                                         : 0;
    if (len == 0 || len > n) return 0;
    for (size_t i = 1; i < len; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    if (len == 2 && p[0] < 0xC2) return 0; // overlong
    if (len == 3 && p[0] == 0xE0 && p[1] < 0xA0) return 0;
    if (len == 3 && p[0] == 0xED && p[1] >= 0xA0) return 0; // surrogates
    if (len == 4 && (p[0] == 0xF0 ? p[1] < 0x90 : p[0] > 0xF4 || (p[0] == 0xF4 && p[1] >= 0x90))) return 0;
    return len;
}

// The text as UTF-8 into `out` (whose storage is reused from call to call).
void to_utf8(const char *text, int32_t length, std::string &out) {
    out.clear();
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    size_t n = size_t(length);
    for (size_t i = 0; i < n;) {
        size_t len = utf8_sequence(p + i, n - i);
        if (p[i] == 0) {
            out += ' '; // a zero byte inside the given length is not the end here
            i += 1;
        } else if (len > 0) {
            out.append(reinterpret_cast<const char *>(p + i), len);
            i += len;
        } else {
            out += char(0xC0 | (p[i] >> 6));
            out += char(0x80 | (p[i] & 0x3F));
            i += 1;
        }
    }
}

// The glyphs of s.utf8 placed from x 0 on the baseline y, into s.glyphs; their count, or -1 when
// the font cannot map the text. A code point is at least one byte, so with a glyph slot per byte
// Cairo fills the kept array instead of allocating its own.
int lay_out(raster_context::state &s, cairo_scaled_font_t *scaled, double y) {
    if (s.glyphs.size() < s.utf8.size()) s.glyphs.resize(s.utf8.size());
    cairo_glyph_t *glyphs = s.glyphs.data();
    int count = int(s.glyphs.size());
    cairo_status_t status = cairo_scaled_font_text_to_glyphs(scaled, 0, y, s.utf8.data(), int(s.utf8.size()),
                                                             &glyphs, &count, nullptr, nullptr, nullptr);
    const bool cairo_allocated = glyphs != s.glyphs.data();
    if (status == CAIRO_STATUS_SUCCESS && cairo_allocated) s.glyphs.assign(glyphs, glyphs + count);
    if (cairo_allocated) cairo_glyph_free(glyphs);
    return status == CAIRO_STATUS_SUCCESS ? count : -1;
}

// The kept buffers let go of what an exceptionally long text made them hold.
void trim_kept_text(raster_context::state &s) {
    constexpr size_t kept_glyphs = 4096; // far more than a widget's line
    if (s.glyphs.size() <= kept_glyphs) return;
    s.glyphs = {};
    s.utf8 = {};
}

// What a font can do at a pixel size. A font whose file cannot be opened is not usable; one
// that opens but is asked for at a size below 1 pixel measures 0 x 0 and draws nothing (a widget
// whose size attribute was never set); otherwise `scaled` is the font at that size.
struct sized_font {
    bool usable = false;
    cairo_scaled_font_t *scaled = nullptr;
};

// A file that cannot be opened is reported once, with the reason, so that a scene with a wrong
// font map does not silently show empty texts.
sized_font font_at(raster_context::state &s, const gr_font &font, int32_t size) {
    std::string failure;
    int32_t pixels = std::clamp(size, int32_t(1), int32_t(font_cache::max_pixel_size));
    cairo_scaled_font_t *scaled = s.fonts.get(font.file, pixels, &failure);
    if (!failure.empty()) {
        s.owner.report("cannot open font \"" + font.name + "\" (" + font.file + "): " + failure);
    }
    return sized_font{scaled != nullptr, size >= 1 ? scaled : nullptr};
}

sized_font font_of(raster_context::state &s, const gr_text_style_t *style) {
    if (style == nullptr || style->font == nullptr) return {};
    return font_at(s, *reinterpret_cast<const gr_font *>(style->font), style->size);
}

// The width text_extent reports: the advance of the laid-out glyphs in whole pixels, within what
// its int16 can hold.
int text_width(cairo_scaled_font_t *scaled, const cairo_glyph_t *glyphs, int count) {
    cairo_text_extents_t extents{};
    if (count > 0) cairo_scaled_font_glyph_extents(scaled, glyphs, count, &extents);
    double advance = std::isfinite(extents.x_advance) ? std::clamp(extents.x_advance, 0.0, 32767.0) : 0.0;
    return int(std::lround(advance));
}

// The run of s.utf8 in `scaled`: kept from an earlier call, or laid out now (and kept unless the
// text is long). Null when the font cannot map the text.
text_layout *layout_of(raster_context::state &s, cairo_scaled_font_t *scaled) {
    if (text_layout *kept = s.layouts.find(scaled, s.utf8)) return kept;
    const int count = lay_out(s, scaled, 0.0);
    if (count < 0) return nullptr;
    text_layout &made = s.utf8.size() > text_layouts::max_text ? s.long_layout : s.scratch_layout;
    made.font = scaled;
    made.text = s.utf8;
    made.glyphs.assign(s.glyphs.begin(), s.glyphs.begin() + count);
    made.width = count > 0 ? text_width(scaled, s.glyphs.data(), count) : 0;
    made.stamp.reset();
    made.stamp_tried = false;
    made.ink_known = false;
    if (&made == &s.long_layout) return &made;
    return s.layouts.keep(std::move(made));
}

// An upright, opaque line through its kept coverage (see text_stamp.h); false when the line has
// none, and Cairo draws it.
bool draw_stamped(raster_context::state &s, int32_t x, int32_t y, text_layout &run, double ascent, uint32_t colour) {
    if (!run.stamp_tried) make_stamp(run, ascent, s.glyph_cover);
    if (!run.stamp) return false;
    const int64_t left = int64_t(x) + s.tx + run.stamp_x, top = int64_t(y) + s.ty + run.stamp_y;
    pixel_box box{left, top, left + cairo_image_surface_get_width(run.stamp.get()) - 1,
                  top + cairo_image_surface_get_height(run.stamp.get()) - 1};
    if (s.clip_set) {
        box.x1 = std::max(box.x1, s.clip_x1), box.y1 = std::max(box.y1, s.clip_y1);
        box.x2 = std::min(box.x2, s.clip_x2), box.y2 = std::min(box.y2, s.clip_y2);
    }
    paint_through_mask(s.canvas, box, run.stamp.get(), left, top, 0xFF000000u | (colour & 0xFFFFFFu));
    return true;
}

} // namespace

void op_font_metrics(gr_context_t *ctx, gr_font_t *handle, gr_font_metrics_t *out) {
    if (out == nullptr) return;
    *out = gr_font_metrics_t{};
    if (handle == nullptr) return;
    const gr_font &font = *reinterpret_cast<const gr_font *>(handle);
    sized_font f = font_at(state_of(ctx), font, font.size);
    if (f.scaled == nullptr) return;
    line_metrics m = font_cache::metrics(f.scaled);
    out->line_height = m.height();
    out->ascent = m.ascent;
    out->descent = m.descent;
}

int op_text_extent(gr_context_t *ctx, const char *text, int32_t length, const gr_text_style_t *style,
                   int16_t *out) {
    if (out == nullptr || length < 0 || (text == nullptr && length > 0)) return -1;
    raster_context::state &s = state_of(ctx);
    sized_font f = font_of(s, style);
    if (!f.usable) return -1;
    out[0] = 0;
    out[1] = 0;
    if (f.scaled == nullptr) return 0;
    if (length > 0) {
        to_utf8(text, length, s.utf8);
        text_layout *run = layout_of(s, f.scaled);
        out[0] = int16_t(run != nullptr ? run->width : 0);
        trim_kept_text(s);
    }
    out[1] = int16_t(std::min(font_cache::metrics(f.scaled).height(), 32767));
    return 0;
}

void op_draw_text(gr_context_t *ctx, int32_t x, int32_t y, const char *text, int32_t length,
                  const gr_text_style_t *style) {
    if (text == nullptr || length <= 0) return;
    raster_context::state &s = state_of(ctx);
    cairo_scaled_font_t *scaled = font_of(s, style).scaled;
    if (scaled == nullptr) return;
    if (s.noting_cuts) note_cut_text(s, x, y, text, length, scaled);
    if (s.keeping != nullptr) {
        keep_text(s, x, y, text, length, scaled, style->colour);
        return;
    }
    draw_text_now(s, x, y, text, length, scaled, style->colour);
}

void draw_text_now(raster_context::state &s, int32_t x, int32_t y, const char *text, int32_t length,
                   cairo_scaled_font_t *scaled, uint32_t colour) {
    to_utf8(text, length, s.utf8);
    line_metrics m = font_cache::metrics(scaled);
    text_layout *run = layout_of(s, scaled);
    if (run == nullptr) return;
    const int quarters = quarter_turns(s.rotation.value);
    if (s.alpha.value == 255.0 && s.text_stamps) {
        if (quarters == 0 && draw_stamped(s, x, y, *run, m.ascent, colour)) return;
        if (quarters > 0 && draw_turned_stamp(s, x, y, *run, m.ascent, m.height(), quarters, colour)) return;
    }
    // The kept run lies on y = 0; this line's baseline is the ascent below its top.
    s.glyphs.assign(run->glyphs.begin(), run->glyphs.end());
    for (cairo_glyph_t &g : s.glyphs) g.y += m.ascent;
    const int count = int(s.glyphs.size());

    text_line line{scaled, s.glyphs.data(), count, 0, m.height()};
    if (quarters > 0) {
        line.width = run->width;
        draw_turned_line(s, x, y, line, quarters, colour);
    } else {
        canvas_op op(s);
        cairo_t *cr = op.cr();
        cairo_translate(cr, x, y);
        if (quarters < 0) cairo_rotate(cr, s.rotation.value * std::numbers::pi / 180.0);
        set_colour(cr, colour, s.opacity());
        show_line(cr, line);
    }
    trim_kept_text(s);
}

namespace {

// The run's ink about the start of its baseline, exact: left, top, right, bottom.
const double *ink_of(text_layout &run, cairo_scaled_font_t *scaled) {
    if (!run.ink_known) {
        cairo_text_extents_t ink{};
        cairo_scaled_font_glyph_extents(scaled, run.glyphs.data(), int(run.glyphs.size()), &ink);
        run.ink_known = true;
        run.ink[0] = ink.x_bearing;
        run.ink[1] = ink.y_bearing;
        run.ink[2] = ink.x_bearing + ink.width;
        run.ink[3] = ink.y_bearing + ink.height;
    }
    return run.ink;
}

// A box about the line's top-left (left, top, right, bottom) as it lands on the canvas: turned
// about the text's place, clockwise on the screen; a line turned by quarter turns is placed as
// turned_text.h draws it, one line height along for a quarter and a half turn. False when it is
// nowhere near the canvas.
bool on_canvas(const raster_context::state &s, int32_t x, int32_t y, int line_height, const double box[4],
               double out[4]) {
    for (int i = 0; i < 4; ++i)
        if (!std::isfinite(box[i]) || std::fabs(box[i]) > 1e6) return false;
    const int quarters = quarter_turns(s.rotation.value);
    const double along = double(line_height);
    const double px = double(x) + double(s.tx) + (quarters == 1 || quarters == 2 ? along : 0.0);
    const double py = double(y) + double(s.ty) + (quarters == 2 ? along : 0.0);
    const double turn = s.rotation.value * std::numbers::pi / 180.0;
    const double c = std::isfinite(turn) ? std::cos(turn) : 1.0, sn = std::isfinite(turn) ? std::sin(turn) : 0.0;
    out[0] = out[1] = INFINITY;
    out[2] = out[3] = -INFINITY;
    for (double u : {box[0], box[2]})
        for (double v : {box[1], box[3]}) {
            const double cx = px + u * c - v * sn, cy = py + u * sn + v * c;
            out[0] = std::min(out[0], cx), out[1] = std::min(out[1], cy);
            out[2] = std::max(out[2], cx), out[3] = std::max(out[3], cy);
        }
    return true;
}

} // namespace

pixel_box text_box(raster_context::state &s, int32_t x, int32_t y, const char *text, int32_t length,
                   cairo_scaled_font_t *scaled) {
    to_utf8(text, length, s.utf8);
    const line_metrics m = font_cache::metrics(scaled);
    text_layout *run = layout_of(s, scaled);
    if (run == nullptr) return {0, 0, -1, -1};
    const double *ink = ink_of(*run, scaled);
    trim_kept_text(s);
    // The ink on its baseline, with two pixels about it for the placing of the glyphs; and the
    // line's own box, which a turned line fills.
    const double ascent = m.ascent;
    const double box[4] = {std::min(std::floor(ink[0]) - 2, 0.0), std::min(std::floor(ink[1]) + ascent - 2, 0.0),
                           std::max(std::ceil(ink[2]) + 2, double(run->width)),
                           std::max(std::ceil(ink[3]) + ascent + 2, double(m.height()))};
    double b[4];
    if (!on_canvas(s, x, y, m.height(), box, b)) return {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    return {int64_t(std::floor(b[0])) - 1, int64_t(std::floor(b[1])) - 1, int64_t(std::ceil(b[2])), int64_t(std::ceil(b[3]))};
}

void note_cut_text(raster_context::state &s, int32_t x, int32_t y, const char *text, int32_t length,
                   cairo_scaled_font_t *scaled) {
    to_utf8(text, length, s.utf8);
    const line_metrics m = font_cache::metrics(scaled);
    text_layout *run = layout_of(s, scaled);
    if (run == nullptr || run->glyphs.empty()) return;
    const double *ink = ink_of(*run, scaled);
    if (!(ink[2] > ink[0])) return; // no ink at all (spaces)
    const double box[4] = {ink[0], ink[1] + m.ascent, ink[2], ink[3] + m.ascent};
    double b[4];
    if (!on_canvas(s, x, y, m.height(), box, b)) return;
    // What can show: the canvas, within the clip. Ink reaching a whole pixel beyond it is cut.
    double vx1 = 0, vy1 = 0, vx2 = s.width, vy2 = s.height;
    if (s.clip_set) {
        vx1 = std::max(vx1, double(s.clip_x1)), vy1 = std::max(vy1, double(s.clip_y1));
        vx2 = std::min(vx2, double(s.clip_x2 + 1)), vy2 = std::min(vy2, double(s.clip_y2 + 1));
    }
    auto beyond = [](double by) { return by >= 1.0 ? int(std::min(by, 1e6)) : 0; };
    raster_context::cut_text cut{s.utf8, beyond(vx1 - b[0]), beyond(b[2] - vx2), beyond(vy1 - b[1]), beyond(b[3] - vy2)};
    trim_kept_text(s);
    if (cut.left == 0 && cut.right == 0 && cut.top == 0 && cut.bottom == 0) return;
    if (s.cuts.size() < raster_context::max_cut_texts) s.cuts.push_back(std::move(cut));
}

} // namespace pitwall::raster
