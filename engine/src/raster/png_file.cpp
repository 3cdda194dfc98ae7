// PNG files through libpng's simplified API: every colour type and depth comes in as 8-bit RGBA
// bytes, which are packed into straight 0xAARRGGBB words here (independent of byte order).
// Files are read whole first and decoded from memory, so that libpng never opens a path itself
// (a FIFO would block it) and every failure carries a reason.
#include "pitwall/png_file.h"

#include "pitwall/file_read.h"

#include <png.h>

#include <cstring>

namespace pitwall {
namespace {

void set_error(std::string *why, std::string text) {
    if (why != nullptr) *why = std::move(text);
}

// Frees libpng's read state on every way out.
struct png_reader {
    png_image png;
    png_reader() {
        std::memset(&png, 0, sizeof png);
        png.version = PNG_IMAGE_VERSION;
    }
    ~png_reader() { png_image_free(&png); }
    png_reader(const png_reader &) = delete;
    png_reader &operator=(const png_reader &) = delete;
};

} // namespace

bool decode_png(const std::string &bytes, argb_image *out, std::string *why) {
    // libpng calls an empty buffer an invalid argument, which says nothing about the file.
    if (bytes.empty()) {
        set_error(why, "empty file");
        return false;
    }
    png_reader reader;
    png_image &png = reader.png;
    if (png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()) == 0) {
        set_error(why, png.message);
        return false;
    }
    if (png.width == 0 || png.height == 0 || png.width > unsigned(max_png_side) ||
        png.height > unsigned(max_png_side)) {
        set_error(why, std::to_string(png.width) + "x" + std::to_string(png.height) +
                           " is not a size this engine loads");
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(png));
    if (png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr) == 0) {
        set_error(why, png.message);
        return false;
    }
    argb_image image(int(png.width), int(png.height));
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint8_t *p = &rgba[i * 4];
        image.pixels[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
    }
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

bool write_png(const std::string &path, const argb_image &image, std::string *why) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != size_t(image.width) * size_t(image.height)) {
        set_error(why, path + ": nothing to write (empty image)");
        return false;
    }
    std::vector<uint8_t> bytes(image.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint32_t argb = image.pixels[i];
        bytes[i * 4 + 0] = uint8_t(argb >> 16);
        bytes[i * 4 + 1] = uint8_t(argb >> 8);
        bytes[i * 4 + 2] = uint8_t(argb);
        bytes[i * 4 + 3] = uint8_t(argb >> 24);
    }
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&png, path.c_str(), 0, bytes.data(), 0, nullptr) == 0) {
        set_error(why, path + ": " + png.message);
        png_image_free(&png);
        return false;
    }
    return true;
}

} // namespace pitwall
