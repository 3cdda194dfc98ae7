// An image bomb (a file of about 52 KB declaring 8192 x 8192 pixels) asked for through the raster
// context: the cost of its refusal, which reads the file and its header and decodes no pixel.
#include "../tests/support/zero_png.h"

#include "pitwall/engine.h"
#include "pitwall/raster_context.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

void image_bomb_refused(benchmark::State &state) {
    char pattern[] = "/tmp/pitwall_bomb_bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string dir = pattern, path = dir + "/bomb.png";
    std::ofstream(path, std::ios::binary) << pitwall::testing::zero_png(8192, 8192);
    {
        pitwall::engine eng{dir};
        pitwall::raster_context canvas{eng, 64, 48, 0xFF000000u};
        gr_context_t *ctx = canvas.context();
        for (auto _ : state) {
            gr_image_t *image = ctx->ops->load_image(ctx, path.c_str(), GR_LOAD_IMAGE_FLAGS, nullptr, 0);
            if (image != nullptr) {
                state.SkipWithError("the bomb was loaded");
                break;
            }
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(image_bomb_refused)->Unit(benchmark::kMicrosecond);

} // namespace
