// Image files into premultiplied Cairo surfaces: plain PNGs, optionally scaled once to a
// requested size, and nine-patch PNGs with their border removed and their bands recorded.
//
// Memory. The file's header says how large the decoded pixels will be, and the budget is checked
// against that before anything image-sized is allocated: a small file can declare a huge image.
// The pixels are then decoded straight into the Cairo surface's memory and premultiplied in
// place. A nine-patch's content is a view into that same memory, inside the border:
//
//     decoded surface, w x h                 content surface: (w - 2) x (h - 2), the same
//     +-+-------------+-+                    stride, starting one row and one pixel in; it
//     | | top marks   | |                    keeps the decoded surface alive
//     +-+-------------+-+
//     |m|   content   | |
//     +-+-------------+-+
//
// Only a requested size needs a second buffer: the resampled copy is made from the decoded
// surface, which is freed as soon as the copy exists.
#include "nine_patch_file.h"
#include "png_decoder.h"
#include "raster_state.h"

#include "pitwall/file_read.h"

#include <cstring>

namespace pitwall::raster {
namespace {

constexpr size_t bytes_per_pixel = 4;

uint32_t premultiplied(uint32_t argb) {
    const uint32_t a = argb >> 24;
    if (a == 255) return argb;
    auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | pre((argb >> 16) & 0xFF) << 16 | pre((argb >> 8) & 0xFF) << 8 | pre(argb & 0xFF);
}

// A surface of width x height with the file's pixels decoded into it, premultiplied.
cairo_surface_t *decoded_surface(png_decoder &png, int width, int height, std::string *why) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        *why = "no memory for a " + std::to_string(width) + "x" + std::to_string(height) + " surface";
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char *data = cairo_image_surface_get_data(surface);
    const size_t stride = size_t(cairo_image_surface_get_stride(surface));
    if (!png.decode(reinterpret_cast<uint32_t *>(data), stride, why)) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(data + size_t(y) * stride);
        for (int x = 0; x < width; ++x) row[x] = premultiplied(row[x]);
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

const cairo_user_data_key_t backing_key = {};

void destroy_backing(void *surface) { cairo_surface_destroy(static_cast<cairo_surface_t *>(surface)); }

// The part of `bordered` inside its one-pixel border, sharing its memory; takes over `bordered`.
cairo_surface_t *inside_border(cairo_surface_t *bordered, int width, int height) {
    unsigned char *data = cairo_image_surface_get_data(bordered);
    const int stride = cairo_image_surface_get_stride(bordered);
    cairo_surface_t *inner = cairo_image_surface_create_for_data(data + size_t(stride) + bytes_per_pixel,
                                                                 CAIRO_FORMAT_ARGB32, width - 2, height - 2, stride);
    if (cairo_surface_status(inner) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(inner, &backing_key, bordered, destroy_backing) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(inner);
        cairo_surface_destroy(bordered);
        return nullptr;
    }
    return inner;
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

std::string size_text(uint64_t width, uint64_t height) { return std::to_string(width) + "x" + std::to_string(height); }

// Empty when width x height pixels fit the budget, else why not. The sizes are at most
// max_png_side, so the product cannot overflow.
std::string over_budget(uint64_t width, uint64_t height, const image_budget &budget) {
    const size_t bytes = size_t(width * height * bytes_per_pixel);
    if (bytes > budget.per_image)
        return size_text(width, height) + " pixels take " + memory_amount(bytes) + " decoded, more than the " +
               memory_amount(budget.per_image) + " one image may take";
    if (bytes > budget.total || budget.held > budget.total - bytes)
        return size_text(width, height) + " pixels take " + memory_amount(bytes) + " decoded; with the " +
               memory_amount(budget.held) + " already held that is more than the " + memory_amount(budget.total) +
               " all images together may take";
    return {};
}

} // namespace

std::string memory_amount(size_t bytes) {
    constexpr size_t kib = 1024, mib = kib * 1024;
    if (bytes >= mib && bytes % mib == 0) return std::to_string(bytes / mib) + " MiB";
    if (bytes >= kib && bytes % kib == 0) return std::to_string(bytes / kib) + " KiB";
    return std::to_string(bytes) + " bytes";
}

decoded_image::~decoded_image() {
    if (surface != nullptr) cairo_surface_destroy(surface);
}

std::unique_ptr<decoded_image> load_image_file(const std::string &path, const int32_t *size,
                                               const image_budget &budget, std::string *why) {
    auto fail = [why](std::string reason) -> std::unique_ptr<decoded_image> {
        if (why != nullptr) *why = std::move(reason);
        return nullptr;
    };
    if (size != nullptr && (size[0] < 1 || size[1] < 1 || size[0] > raster_context::max_side ||
                            size[1] > raster_context::max_side))
        return fail("requested size " + std::to_string(size[0]) + "x" + std::to_string(size[1]) +
                    " is outside 1 to " + std::to_string(raster_context::max_side) + " pixels a side");
    const bool nine_patch = is_nine_patch_name(path);
    // A nine-patch is stretched piece by piece when drawn; a requested size does not apply.
    if (nine_patch) size = nullptr;
    // The decoded and the resampled pixels must each fit (a resize holds both only while it runs).
    if (size != nullptr)
        if (std::string refused = over_budget(uint64_t(size[0]), uint64_t(size[1]), budget); !refused.empty())
            return fail("requested size " + refused);
    std::string bytes, reason;
    if (!read_regular_file(path, max_png_file_bytes, bytes, &reason)) return fail(reason);
    png_decoder png;
    if (!png.open(bytes, &reason)) return fail(reason);
    if (png.width() == 0 || png.height() == 0 || png.width() > unsigned(max_png_side) ||
        png.height() > unsigned(max_png_side))
        return fail(size_text(png.width(), png.height()) + " is not a size this engine loads");
    const int width = int(png.width()), height = int(png.height());
    if (nine_patch && (width < 3 || height < 3))
        return fail("a nine-patch needs at least 3x3 pixels, this one has " + size_text(png.width(), png.height()));
    if (std::string refused = over_budget(png.width(), png.height(), budget); !refused.empty()) return fail(refused);

    cairo_surface_t *surface = decoded_surface(png, width, height, &reason);
    if (surface == nullptr) return fail(reason);
    bytes = std::string(); // the compressed file is not needed any more

    auto loaded = std::make_unique<decoded_image>();
    loaded->bytes = size_t(width) * size_t(height) * bytes_per_pixel;
    if (nine_patch) {
        stretch_bands bands;
        read_stretch_bands(reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(surface)),
                           size_t(cairo_image_surface_get_stride(surface)), width, height, &bands);
        loaded->surface = inside_border(surface, width, height);
        if (loaded->surface == nullptr) return fail("no memory for a " + size_text(png.width(), png.height()) + " surface");
        loaded->nine_patch = true;
        loaded->width = width - 2;
        loaded->height = height - 2;
        put16(loaded->stretch, GR_STRETCH_SX_OFFSET, bands.sx);
        put16(loaded->stretch, GR_STRETCH_SW_OFFSET, bands.sw);
        put16(loaded->stretch, GR_STRETCH_SY_OFFSET, bands.sy);
        put16(loaded->stretch, GR_STRETCH_SH_OFFSET, bands.sh);
        return loaded;
    }
    loaded->surface = surface;
    loaded->width = width;
    loaded->height = height;
    if (size != nullptr && (size[0] != width || size[1] != height)) {
        cairo_surface_t *resized = scaled(surface, width, height, size[0], size[1]);
        if (resized == nullptr)
            return fail("no memory for a " + std::to_string(size[0]) + "x" + std::to_string(size[1]) + " surface");
        cairo_surface_destroy(loaded->surface);
        loaded->surface = resized;
        loaded->width = size[0];
        loaded->height = size[1];
        loaded->bytes = size_t(size[0]) * size_t(size[1]) * bytes_per_pixel;
    }
    return loaded;
}

} // namespace pitwall::raster
