// raster_fixture.h - a small raster canvas for tests of single operations, with pixel helpers.
#ifndef PITWALL_TESTS_RASTER_FIXTURE_H
#define PITWALL_TESTS_RASTER_FIXTURE_H

#include "pitwall/engine.h"
#include "pitwall/raster_context.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace pitwall::testing {

inline constexpr uint32_t k_black = 0xFF000000u;
inline constexpr uint32_t k_white = 0xFFFFFFFFu;
inline constexpr const char *k_mono_font = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

class raster_test : public ::testing::Test {
protected:
    engine eng{scratch_dir()};
    std::unique_ptr<raster_context> canvas;
    gr_context_t *ctx = nullptr;
    const gr_render_ops_t *ops = nullptr;

    // A fresh canvas (black unless told otherwise); the previous one is dropped.
    void make_canvas(int width, int height, uint32_t background = k_black) {
        canvas.reset();
        canvas = std::make_unique<raster_context>(eng, width, height, background);
        ctx = canvas->context();
        ops = ctx->ops;
    }

    uint32_t at(int x, int y) const { return canvas->pixel(x, y); }

    // Pixels of the canvas equal to `colour` inside the inclusive box, and outside it.
    int count_in(uint32_t colour, int x1, int y1, int x2, int y2) const {
        int n = 0;
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x) n += at(x, y) == colour;
        return n;
    }
    int count_all(uint32_t colour) const { return count_in(colour, 0, 0, canvas->width() - 1, canvas->height() - 1); }

    // A folder of this test's own under the build tree, emptied first.
    static std::string scratch_dir() {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::filesystem::path dir = std::filesystem::path(PITWALL_BINARY_DIR) / "test-scratch" /
                                    (info != nullptr ? std::string(info->test_suite_name()) + "." + info->name()
                                                     : std::string("raster"));
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir, ec);
        return dir.string();
    }
};

// Channel c (16 red, 8 green, 0 blue, 24 alpha) of a 0xAARRGGBB pixel.
inline int channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

} // namespace pitwall::testing

#endif // PITWALL_TESTS_RASTER_FIXTURE_H
