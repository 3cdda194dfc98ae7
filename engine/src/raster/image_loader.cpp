// Image files into premultiplied Cairo surfaces: plain PNGs, optionally scaled once to a
// requested size, and nine-patch PNGs with their border removed and their bands recorded.
#include "nine_patch_file.h"
#include "raster_state.h"

#include "pitwall/file_read.h"

#include <cstring>

namespace pitwall::raster {
namespace {

cairo_surface_t *surface_of(const argb_image &pixels) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels.width, pixels.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char *data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < pixels.height; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(data + size_t(y) * size_t(stride));
        for (int x = 0; x < pixels.width; ++x) {
            uint32_t argb = pixels.at(x, y);
            uint32_t a = argb >> 24;
            auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
            row[x] = a << 24 | pre((argb >> 16) & 0xFF) << 16 | pre((argb >> 8) & 0xFF) << 8 | pre(argb & 0xFF);
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

// One resampling at load: box-filtered when shrinking, bilinear when growing; the edge pixels
// are extended so that the border of the result is not faded.
cairo_surface_t *scaled(cairo_surface_t *source, int from_w, int from_h, int to_w, int to_h) {
    cairo_surface_t *result = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, to_w, to_h);
    if (cairo_surface_status(result) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(result);
        return nullptr;
    }
    cairo_t *cr = cairo_create(result);
    cairo_scale(cr, double(to_w) / from_w, double(to_h) / from_h);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return result;
}

void put16(unsigned char *stretch, int offset, int value) {
    int16_t v = int16_t(value);
    std::memcpy(stretch + offset, &v, sizeof v);
}

} // namespace

decoded_image::~decoded_image() {
    if (surface != nullptr) cairo_surface_destroy(surface);
}

std::unique_ptr<decoded_image> load_image_file(const std::string &path, const int32_t *size, std::string *why) {
    auto fail = [why](std::string reason) -> std::unique_ptr<decoded_image> {
        if (why != nullptr) *why = std::move(reason);
        return nullptr;
    };
    if (size != nullptr && (size[0] < 1 || size[1] < 1 || size[0] > raster_context::max_side ||
                            size[1] > raster_context::max_side))
        return fail("requested size " + std::to_string(size[0]) + "x" + std::to_string(size[1]) +
                    " is outside 1 to " + std::to_string(raster_context::max_side) + " pixels a side");
    std::string bytes, reason;
    if (!read_regular_file(path, max_png_file_bytes, bytes, &reason)) return fail(reason);
    argb_image pixels;
    if (!decode_png(bytes, &pixels, &reason)) return fail(reason);
    bytes = std::string(); // the compressed file is not needed while the surfaces are made

    auto loaded = std::make_unique<decoded_image>();
    if (is_nine_patch_name(path)) {
        // A nine-patch is stretched piece by piece when drawn; a requested size does not apply.
        argb_image content;
        stretch_bands bands;
        if (!strip_nine_patch(pixels, &content, &bands))
            return fail("a nine-patch needs at least 3x3 pixels, this one has " + std::to_string(pixels.width) +
                        "x" + std::to_string(pixels.height));
        pixels = std::move(content);
        loaded->nine_patch = true;
        put16(loaded->stretch, GR_STRETCH_SX_OFFSET, bands.sx);
        put16(loaded->stretch, GR_STRETCH_SW_OFFSET, bands.sw);
        put16(loaded->stretch, GR_STRETCH_SY_OFFSET, bands.sy);
        put16(loaded->stretch, GR_STRETCH_SH_OFFSET, bands.sh);
        size = nullptr;
    }
    loaded->surface = surface_of(pixels);
    if (loaded->surface == nullptr) return fail("no memory for a " + std::to_string(pixels.width) + "x" +
                                                std::to_string(pixels.height) + " surface");
    loaded->width = pixels.width;
    loaded->height = pixels.height;
    if (size != nullptr && (size[0] != pixels.width || size[1] != pixels.height)) {
        cairo_surface_t *resized = scaled(loaded->surface, pixels.width, pixels.height, size[0], size[1]);
        if (resized == nullptr)
            return fail("no memory for a " + std::to_string(size[0]) + "x" + std::to_string(size[1]) + " surface");
        cairo_surface_destroy(loaded->surface);
        loaded->surface = resized;
        loaded->width = size[0];
        loaded->height = size[1];
    }
    return loaded;
}

} // namespace pitwall::raster
