// The recording context's trace lines show the arguments exactly as the plug-in passed them.
#include "pitwall/engine.h"
#include "pitwall/recording_context.h"

#include <gtest/gtest.h>

namespace {

struct recording_trace : ::testing::Test {
    pitwall::engine eng{"/app"};
    pitwall::recording_context rec{eng};
    gr_context_t *ctx = rec.context();
    const gr_render_ops_t *ops = ctx->ops;
};

// Six significant digits stay the form of every float they reproduce; a float that needs more
// gets them, so two different arguments never show as the same text.
TEST_F(recording_trace, floats_keep_every_digit_that_tells_them_apart) {
    rec.add_image("images/a.png", 10, 10);
    gr_image_t *image = ops->load_image(ctx, "/app/images/a.png", GR_LOAD_IMAGE_FLAGS, nullptr, 0);
    rec.clear_trace();
    // 1234.5678 is stored as 1234.5677490234375 (spacing 2^-13 there); "1234.5677" is the
    // shortest text that reads back as that float, "1234.57" would read back as another one.
    ops->draw_image(ctx, image, 1234.5678f, 100000.0f, 4, 5, 5.5f, 0.1f);
    // 1/3 is stored as 0.333333343267...; its neighbours lie 2^-25 (3e-8) away, so "0.3333333"
    // (4.3e-8 off) reads back as the lower neighbour and eight digits are needed.
    const float third[] = {1.0f / 3.0f, -2.0f};
    gr_path_t *path = ops->create_path(ctx, GR_PATH_LINE, third, 1, GR_PATH_FLAGS_LINE);
    const float turn = 12.345678f;
    ops->set_attr(ctx, GR_ATTR_ROTATION, &turn, 4);
    ops->free_path(ctx, path);
    ops->release_image(ctx, image);
    EXPECT_EQ(rec.trace_text(),
              "draw_image images/a.png 1234.5677 100000 4x5 pivot 5.5 0.1\n"
              "create_path 0 flags=1 count=1 [0.33333334,-2] -> path1\n"
              "set_attr 3 12.345678\n"
              "free_path path1\n"
              "release_image images/a.png\n");
}

} // namespace
