// font_cache.h - font files opened once through FreeType and handed to Cairo, plus one scaled
// font per (file, pixel size). Owned by a raster context and freed with it.
#ifndef PITWALL_RASTER_FONT_CACHE_H
#define PITWALL_RASTER_FONT_CACHE_H

#include <cairo.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>

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
    // name is empty or the file is not a font FreeType can open. A failing file is not retried:
    // only the call that found it failing receives the reason in `failure` (optional), so that
    // the caller reports it once.
    cairo_scaled_font_t *get(const std::string &file, int pixel_size, std::string *failure = nullptr);
    static line_metrics metrics(cairo_scaled_font_t *font);

    int files_opened() const { return files_opened_; }

    static constexpr int max_pixel_size = 1024;
    // The largest font file read. Large CJK collections stay below it; a mistaken path to a
    // disk image or an archive does not get read whole.
    static constexpr size_t max_font_file_bytes = 64u << 20;

private:
    struct font_file {
        cairo_font_face_t *face = nullptr; // null: the file failed to open
        std::map<int, cairo_scaled_font_t *> sizes;
    };
    cairo_font_face_t *open_face(const std::string &file, std::string *failure);

    // Looked up by the caller's string as it is: a lookup copies no name.
    std::map<std::string, font_file, std::less<>> files_;
    int files_opened_ = 0;
};

} // namespace pitwall::raster

#endif // PITWALL_RASTER_FONT_CACHE_H
