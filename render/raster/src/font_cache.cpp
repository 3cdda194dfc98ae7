// Font faces: the file is read whole (never opened blocking by FreeType itself: a FIFO named as a
// font would hang the draw), FreeType parses the bytes, Cairo renders the face. The FreeType
// library object is shared by the whole process and never closed, because Cairo may keep a face
// alive in its own caches after our last reference is gone; each face is closed by Cairo itself
// when it lets go of it, and its bytes are freed right after it.
#include "font_cache.h"

#include "pitwall/file_read.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>

namespace pitwall::raster {
namespace {

// FreeType's own message for each error code, from the list in its error header (the library
// keeps the strings out of its build, so FT_Error_String gives nothing).
struct freetype_error {
    int code;
    const char *message;
};

#undef FTERRORS_H_
#define FT_ERRORDEF(e, v, s) {v, s},
#define FT_ERROR_START_LIST {
#define FT_ERROR_END_LIST {0, nullptr}};
const freetype_error freetype_errors[] =
#include FT_ERRORS_H

std::string freetype_message(FT_Error code) {
    for (const freetype_error *e = freetype_errors; e->message != nullptr; ++e)
        if (e->code == FT_ERROR_BASE(code)) return e->message;
    char text[32];
    std::snprintf(text, sizeof text, "FreeType error 0x%02X", unsigned(code));
    return text;
}

FT_Library freetype() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        return lib;
    }();
    return library;
}

// FT_New_Memory_Face on one library from several threads at once is not allowed.
std::mutex &freetype_lock() {
    static std::mutex lock;
    return lock;
}

// A face and the file bytes it reads from: FreeType keeps pointing into them until the face is
// done, so the face is closed first (members are destroyed after the destructor's body).
struct face_file {
    std::string bytes;
    FT_Face face = nullptr;

    face_file() = default;
    ~face_file() {
        if (face == nullptr) return;
        std::lock_guard<std::mutex> guard(freetype_lock());
        FT_Done_Face(face);
    }
    face_file(const face_file &) = delete;
    face_file &operator=(const face_file &) = delete;
};

const cairo_user_data_key_t face_key{};

void close_face(void *data) { delete static_cast<face_file *>(data); }

// The file opened as a FreeType face, or null with the reason in `why`.
std::unique_ptr<face_file> open_face_file(const std::string &path, std::string *why) {
    auto file = std::make_unique<face_file>();
    if (!read_regular_file(path, font_cache::max_font_file_bytes, file->bytes, why)) return nullptr;
    FT_Error error = FT_Err_Ok;
    {
        std::lock_guard<std::mutex> guard(freetype_lock());
        FT_Library lib = freetype();
        error = lib == nullptr ? FT_Err_Cannot_Open_Resource
                               : FT_New_Memory_Face(lib, reinterpret_cast<const FT_Byte *>(file->bytes.data()),
                                                    FT_Long(file->bytes.size()), 0, &file->face);
    }
    if (error != FT_Err_Ok) {
        file->face = nullptr; // FreeType frees a face it failed to open
        *why = freetype_message(error);
        return nullptr;
    }
    return file;
}

} // namespace

font_cache::~font_cache() {
    for (auto &entry : files_)
        for (auto &size : entry.second.sizes) cairo_scaled_font_destroy(size.second);
    for (auto &entry : files_)
        if (entry.second.face != nullptr) cairo_font_face_destroy(entry.second.face);
}

cairo_font_face_t *font_cache::open_face(const std::string &file, std::string *failure) {
    std::string why;
    std::unique_ptr<face_file> opened = open_face_file(file, &why);
    files_opened_ += 1;
    cairo_font_face_t *result = nullptr;
    if (opened != nullptr) {
        result = cairo_ft_font_face_create_for_ft_face(opened->face, 0);
        cairo_status_t status = cairo_font_face_set_user_data(result, &face_key, opened.get(), &close_face);
        if (status == CAIRO_STATUS_SUCCESS) {
            opened.release(); // Cairo frees it with the face
        } else {
            cairo_font_face_destroy(result);
            result = nullptr;
            why = cairo_status_to_string(status);
        }
    }
    if (result == nullptr && failure != nullptr) *failure = why;
    return result;
}

cairo_scaled_font_t *font_cache::get(const std::string &file, int pixel_size, std::string *failure) {
    if (file.empty() || pixel_size < 1 || pixel_size > max_pixel_size) return nullptr;
    auto known = files_.find(file);
    if (known == files_.end()) known = files_.emplace(file, font_file{open_face(file, failure), {}}).first;
    font_file &font = known->second;
    if (font.face == nullptr) return nullptr;
    if (auto it = font.sizes.find(pixel_size); it != font.sizes.end()) return it->second;

    cairo_matrix_t font_matrix, identity;
    cairo_matrix_init_scale(&font_matrix, pixel_size, pixel_size);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    // Whole-pixel advances and line metrics: widgets lay text out in integers.
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_scaled_font_t *scaled = cairo_scaled_font_create(font.face, &font_matrix, &identity, options);
    cairo_font_options_destroy(options);
    if (cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) {
        cairo_scaled_font_destroy(scaled);
        return nullptr;
    }
    font.sizes[pixel_size] = scaled;
    return scaled;
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
