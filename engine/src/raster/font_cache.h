// font_cache.h - font files opened once through FreeType and handed to Cairo, plus one scaled
// font per (file, pixel size). Owned by a raster context and freed with it.
#ifndef PITWALL_RASTER_FONT_CACHE_H
#define PITWALL_RASTER_FONT_CACHE_H

#include <cairo.h>

#include <map>
#include <string>
#include <utility>

namespace pitwall::raster {

// Vertical metrics in whole pixels; a line is ascent + descent high and text is placed with its
// top (ascent above the baseline) at the drawing y.
struct line_metrics {
    int ascent = 0;
    int descent = 0;
    int height() const { return ascent + descent; }
};

class font_cache {
public:
    font_cache() = default;
    ~font_cache();
    font_cache(const font_cache &) = delete;
    font_cache &operator=(const font_cache &) = delete;

    // The font of an absolute file at a pixel size (1 to max_pixel_size), or null when the file
    // name is empty or the file is not a font FreeType can open. A failing file is not retried;
    // `first_failure` (optional) tells whether this call was the one that found it failing.
    cairo_scaled_font_t *get(const std::string &file, int pixel_size, bool *first_failure = nullptr);
    static line_metrics metrics(cairo_scaled_font_t *font);

    int files_opened() const { return files_opened_; }

    static constexpr int max_pixel_size = 1024;

private:
    cairo_font_face_t *face(const std::string &file, bool *first_failure);

    std::map<std::string, cairo_font_face_t *> faces_; // null: the file failed to open
    std::map<std::pair<std::string, int>, cairo_scaled_font_t *> scaled_;
    int files_opened_ = 0;
};

} // namespace pitwall::raster

#endif // PITWALL_RASTER_FONT_CACHE_H
