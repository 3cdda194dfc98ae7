// raster_context.h - a render context that draws real pixels: a Cairo ARGB32 canvas, text
// through FreeType at the style's pixel size, PNG images and nine-patch images from libpng.
//
// Conventions the plug-ins rely on:
//   - rectangles are inclusive: fill_rect (x1, y1, x2, y2) covers exactly those pixels, and
//     stroke_rect outlines them one pixel wide on the rectangle's own edge pixels;
//   - clip rectangles and everything drawn are relative to the cumulative translation;
//   - attribute 2 (alpha 0..255) applies to all drawing while set, 3 (rotation, degrees,
//     clockwise on screen) to text (about its top-left corner) and to draw_image (about the
//     pivot, measured from the image corner; a pivot of -1.0, -1.0 means the image centre),
//     5 (line width) to paths; set_attr / restore_attr nest;
//   - colours are 0xRRGGBB in the low 24 bits, the top byte is not read;
//   - a ".9.png" file is a nine-patch: its one-pixel border is removed on load and its stretch
//     bands are reported by image_info id 0;
//   - decoded images stay within a budget (max_image_bytes each, max_decoded_image_bytes in all):
//     a file whose header declares more is refused before its pixels are decoded, and load_image
//     returns null as for any other file that does not load.
#ifndef PITWALL_RASTER_CONTEXT_H
#define PITWALL_RASTER_CONTEXT_H

#include "gre_host.h"
#include "pitwall/png_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pitwall {

class engine;

class raster_context {
public:
    // A canvas of width x height pixels (each clamped to 1..max_side) filled with the
    // background 0xAARRGGBB. Installs itself as the engine's render context outside draws
    // until destroyed.
    raster_context(engine &owner, int width, int height, uint32_t background);
    ~raster_context(); // releases every image and path the plug-ins left behind
    raster_context(const raster_context &) = delete;
    raster_context &operator=(const raster_context &) = delete;

    gr_context_t *context();
    // Fill the whole canvas, or the part of it inside area (inclusive corners), with 0xAARRGGBB,
    // as before a frame redraws it.
    void clear(uint32_t background);
    void clear(const gr_rect_t &area, uint32_t background);
    int width() const;
    int height() const;

    // One canvas pixel as straight 0xAARRGGBB; 0 outside the canvas.
    uint32_t pixel(int x, int y) const;
    // The whole canvas as straight 0xAARRGGBB.
    argb_image snapshot() const;
    // The canvas's own pixels, premultiplied 0xAARRGGBB in native byte order (what a display's
    // ARGB8888 texture takes), rows `stride` bytes apart; valid until the next draw or clear.
    const uint32_t *pixels() const;
    size_t stride() const;
    // The canvas as PNG, every pixel magnified to scale x scale (1..max_scale; the result at
    // most max_side wide and high). False with a reason otherwise or when writing fails.
    bool write_png(const std::string &path, int scale, std::string *why) const;
    // The same PNG as bytes in memory, for a picture that is sent rather than stored.
    bool encode_png(int scale, std::string &out, std::string *why) const;

    // Upright opaque text is drawn through each line's kept coverage where that gives Cairo's very
    // pixels (on by default); off, every line goes through Cairo, so that a test can compare the two.
    void set_text_stamps(bool on);

    // Kept drawing. Between begin_list and end_list, drawing operations are not drawn but kept as
    // list `key` (a control's), replacing the list of that key. end_list appends to `changed` the
    // canvas boxes (inclusive corners, possibly overlapping) where drawing the new list differs
    // from drawing the one it replaced, and returns false when there was none to compare with (or
    // it could not be replayed any more). replay draws list `key` again inside `area`, under the
    // state each operation was kept with; false when there is no such list, or when an image it
    // draws has since been released (and the widget must draw again).
    void begin_list(uint64_t key);
    bool end_list(std::vector<gr_rect_t> &changed);
    bool replay(uint64_t key, const gr_rect_t &area);
    void drop_list(uint64_t key);
    void drop_lists();
    int kept_lists() const;
    int kept_coverages() const; // bands that stayed the same, their coverage kept to paint through

    // Texts cut by their clip: while noting, every text whose glyphs reach a whole pixel or more
    // beyond the clip in force (or the canvas) is noted with how far, per side, so that a tool can
    // say which control's text does not fit. take_cut_texts hands over what was noted and forgets it.
    struct cut_text {
        std::string text; // UTF-8
        int left = 0, right = 0, top = 0, bottom = 0; // whole pixels beyond, per side
    };
    static constexpr size_t max_cut_texts = 256; // kept until taken; more are not noted
    void note_cut_texts(bool on);
    std::vector<cut_text> take_cut_texts();

    int live_images() const; // loaded and not yet released
    int decoded_images() const; // the decoded pixels behind them, one per file and requested size
    size_t decoded_image_bytes() const; // their memory, never more than the total image budget
    // The image budget for later loads (tests try it with small numbers); images already held stay.
    void set_image_budget(size_t per_image, size_t total);
    int cached_pieces() const;  // stretched image parts kept for the next draw at that place and size
    size_t cached_piece_bytes() const; // their pixels, never more than max_cached_piece_bytes
    int live_paths() const;  // created and not yet freed
    int font_files_opened() const; // font files opened so far, each at most once

    static constexpr int max_side = 8192;
    static constexpr int max_scale = 16;
    static constexpr size_t max_cached_piece_bytes = size_t(16) << 20;
    // Decoded pixels take 4 bytes each, whatever the file's compression: a file of a few hundred
    // KB can declare 8192 x 8192 pixels (256 MiB). A dashboard's images are small (the largest of
    // the theme, a 440 x 440 dial, takes 774 KB), so one image may take 16 MiB (2048 x 2048) and
    // everything held decoded together 256 MiB.
    static constexpr size_t max_image_bytes = size_t(16) << 20;
    static constexpr size_t max_decoded_image_bytes = size_t(256) << 20;

    struct state; // the implementation's own

private:
    bool magnified(int scale, argb_image &out, std::string *why) const;

    std::unique_ptr<state> state_;
};

} // namespace pitwall

#endif // PITWALL_RASTER_CONTEXT_H
