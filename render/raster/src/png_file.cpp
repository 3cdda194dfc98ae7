// PNG files in and out: decoded (png_decoder.h) straight into the image's own pixel words, so
// that no second image-sized buffer exists while a file loads; written as 8-bit RGBA.
#include "pitwall/png_file.h"
#include "png_decoder.h"

#include "pitwall/file_read.h"
#include "pitwall/file_write.h"

#include <png.h>

#include <cstring>

namespace pitwall {
namespace {

void set_error(std::string *why, std::string text) {
    if (why != nullptr) *why = std::move(text);
}

} // namespace

bool decode_png(const std::string &bytes, argb_image *out, std::string *why) {
    raster::png_decoder png;
    if (!png.open(bytes, why)) return false;
    if (png.width() == 0 || png.height() == 0 || png.width() > unsigned(max_png_side) ||
        png.height() > unsigned(max_png_side)) {
        set_error(why, std::to_string(png.width()) + "x" + std::to_string(png.height()) +
                           " is not a size this engine loads");
        return false;
    }
    argb_image image(int(png.width()), int(png.height()));
    if (!png.decode(image.pixels.data(), size_t(image.width) * 4, why)) return false;
    *out = std::move(image);
    return true;
}

bool read_png(const std::string &path, argb_image *out, std::string *why) {
    std::string bytes, reason;
    if (!read_regular_file(path, max_png_file_bytes, bytes, &reason) || !decode_png(bytes, out, &reason)) {
        set_error(why, path + ": " + reason);
        return false;
    }
    return true;
}

bool encode_png(const argb_image &image, std::string &out, std::string *why) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != size_t(image.width) * size_t(image.height)) {
        set_error(why, "nothing to write (empty image)");
        return false;
    }
    std::vector<uint8_t> rgba(image.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint32_t argb = image.pixels[i];
        rgba[i * 4 + 0] = uint8_t(argb >> 16);
        rgba[i * 4 + 1] = uint8_t(argb >> 8);
        rgba[i * 4 + 2] = uint8_t(argb);
        rgba[i * 4 + 3] = uint8_t(argb >> 24);
    }
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_RGBA;
    // Twice through libpng: the first pass only measures, the second fills a buffer that size.
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&png, nullptr, &size, 0, rgba.data(), 0, nullptr) == 0) {
        set_error(why, png.message);
        png_image_free(&png);
        return false;
    }
    std::string bytes(size, '\0');
    if (png_image_write_to_memory(&png, bytes.data(), &size, 0, rgba.data(), 0, nullptr) == 0) {
        set_error(why, png.message);
        png_image_free(&png);
        return false;
    }
    bytes.resize(size);
    out = std::move(bytes);
    return true;
}

bool write_png(const std::string &path, const argb_image &image, std::string *why) {
    std::string bytes, reason;
    if (!encode_png(image, bytes, &reason) || !replace_file(path, bytes, &reason)) {
        set_error(why, path + ": " + reason);
        return false;
    }
    return true;
}

} // namespace pitwall
