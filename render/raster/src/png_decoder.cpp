// PNG decoding through libpng's simplified API, from memory: libpng never opens a path itself (a
// FIFO would block it), and the caller has checked the header before the pixels are decoded.
#include "png_decoder.h"

#include <bit>
#include <cstring>

namespace pitwall::raster {
namespace {

void set_error(std::string *why, std::string text) {
    if (why != nullptr) *why = std::move(text);
}

// The byte order that makes each pixel one 0xAARRGGBB word in this machine's order.
constexpr png_uint_32 native_argb_format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA
                                                                                       : PNG_FORMAT_ARGB;

} // namespace

png_decoder::png_decoder() {
    std::memset(&png_, 0, sizeof png_);
    png_.version = PNG_IMAGE_VERSION;
}

png_decoder::~png_decoder() { png_image_free(&png_); }

bool png_decoder::open(const std::string &bytes, std::string *why) {
    // libpng calls an empty buffer an invalid argument, which says nothing about the file.
    if (bytes.empty()) {
        set_error(why, "empty file");
        return false;
    }
    if (png_image_begin_read_from_memory(&png_, bytes.data(), bytes.size()) == 0) {
        set_error(why, png_.message);
        return false;
    }
    return true;
}

bool png_decoder::decode(uint32_t *rows, size_t stride_bytes, std::string *why) {
    png_.format = native_argb_format;
    // For 8-bit formats libpng counts the stride in bytes (one byte a component).
    if (png_image_finish_read(&png_, nullptr, rows, png_int_32(stride_bytes), nullptr) == 0) {
        set_error(why, png_.message);
        return false;
    }
    return true;
}

} // namespace pitwall::raster
