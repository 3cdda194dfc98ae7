// Font faces: FreeType opens the file, Cairo renders it. The FreeType library object is shared
// by the whole process and never closed, because Cairo may keep a face alive in its own caches
// after our last reference is gone; each face is closed by Cairo itself when it lets go of it.
#include "font_cache.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <mutex>

namespace pitwall::raster {
namespace {

FT_Library freetype() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        return lib;
    }();
    return library;
}

// FT_New_Face on one library from several threads at once is not allowed.
std::mutex &freetype_lock() {
    static std::mutex lock;
    return lock;
}

const cairo_user_data_key_t face_key{};

void close_face(void *face) {
    std::lock_guard<std::mutex> guard(freetype_lock());
    FT_Done_Face(static_cast<FT_Face>(face));
}

} // namespace

font_cache::~font_cache() {
    for (auto &entry : scaled_) cairo_scaled_font_destroy(entry.second);
    for (auto &entry : faces_)
        if (entry.second != nullptr) cairo_font_face_destroy(entry.second);
}

cairo_font_face_t *font_cache::face(const std::string &file, bool *first_failure) {
    if (auto it = faces_.find(file); it != faces_.end()) return it->second;
    cairo_font_face_t *result = nullptr;
    FT_Face ft_face = nullptr;
    {
        std::lock_guard<std::mutex> guard(freetype_lock());
        FT_Library lib = freetype();
        if (lib != nullptr && FT_New_Face(lib, file.c_str(), 0, &ft_face) != 0) ft_face = nullptr;
    }
    files_opened_ += 1;
    if (ft_face != nullptr) {
        result = cairo_ft_font_face_create_for_ft_face(ft_face, 0);
        if (cairo_font_face_set_user_data(result, &face_key, ft_face, &close_face) != CAIRO_STATUS_SUCCESS) {
            cairo_font_face_destroy(result);
            close_face(ft_face);
            result = nullptr;
        }
    }
    faces_[file] = result;
    if (result == nullptr && first_failure != nullptr) *first_failure = true;
    return result;
}

cairo_scaled_font_t *font_cache::get(const std::string &file, int pixel_size, bool *first_failure) {
    if (file.empty() || pixel_size < 1 || pixel_size > max_pixel_size) return nullptr;
    auto key = std::make_pair(file, pixel_size);
    if (auto it = scaled_.find(key); it != scaled_.end()) return it->second;
    cairo_font_face_t *font_face = face(file, first_failure);
    if (font_face == nullptr) return nullptr;

    cairo_matrix_t font_matrix, identity;
    cairo_matrix_init_scale(&font_matrix, pixel_size, pixel_size);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    // Whole-pixel advances and line metrics: widgets lay text out in integers.
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_scaled_font_t *font = cairo_scaled_font_create(font_face, &font_matrix, &identity, options);
    cairo_font_options_destroy(options);
    if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
        cairo_scaled_font_destroy(font);
        return nullptr;
    }
    scaled_[key] = font;
    return font;
}

line_metrics font_cache::metrics(cairo_scaled_font_t *font) {
    cairo_font_extents_t extents;
    cairo_scaled_font_extents(font, &extents);
    line_metrics m;
    m.ascent = std::isfinite(extents.ascent) ? int(std::lround(std::fabs(extents.ascent))) : 0;
    m.descent = std::isfinite(extents.descent) ? int(std::lround(std::fabs(extents.descent))) : 0;
    return m;
}

} // namespace pitwall::raster
