#include "image_compare.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace pitwall::testing {
namespace {

int channel_difference(uint32_t a, uint32_t b) {
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8)
        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
}

} // namespace

image_difference compare_images(const argb_image &actual, const argb_image &expected, int channel_tolerance) {
    image_difference d;
    if (actual.width != expected.width || actual.height != expected.height) {
        d.same_size = false;
        return d;
    }
    for (size_t i = 0; i < actual.pixels.size(); ++i) {
        int diff = channel_difference(actual.pixels[i], expected.pixels[i]);
        d.max_channel = std::max(d.max_channel, diff);
        if (diff > channel_tolerance) d.differing += 1;
    }
    return d;
}

argb_image difference_image(const argb_image &actual, const argb_image &expected, int channel_tolerance,
                            int magnify) {
    int w = std::min(actual.width, expected.width), h = std::min(actual.height, expected.height);
    argb_image out(w * magnify, h * magnify);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t ref = expected.at(x, y);
            int diff = channel_difference(actual.at(x, y), ref);
            uint32_t pixel;
            if (diff > channel_tolerance) {
                uint32_t red = uint32_t(std::min(255, 128 + diff));
                pixel = 0xFF000000u | red << 16;
            } else {
                uint32_t grey = (((ref >> 16) & 0xFF) + ((ref >> 8) & 0xFF) + (ref & 0xFF)) / 12;
                pixel = 0xFF000000u | grey << 16 | grey << 8 | grey;
            }
            for (int dy = 0; dy < magnify; ++dy)
                for (int dx = 0; dx < magnify; ++dx) out.at(x * magnify + dx, y * magnify + dy) = pixel;
        }
    return out;
}

std::string test_output_path(const std::string &name) {
    std::filesystem::path dir = std::filesystem::path(PITWALL_BINARY_DIR) / "test-output";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return (dir / name).string();
}

} // namespace pitwall::testing
