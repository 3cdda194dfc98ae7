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

// The clip stays where it was set on the canvas, as the raster context keeps it: asked for under
// another translation, it comes back in the coordinates of that translation.
TEST_F(recording_trace, clips_are_kept_on_the_canvas_across_translations) {
    gr_rect_t out{};
    const gr_rect_t outer{0, 0, 9, 9};
    ops->set_clip(ctx, &outer);
    ops->translate(ctx, 5, 3);
    EXPECT_EQ(ops->get_clip(ctx, &out), 0); // (0, 0, 9, 9) seen from an origin at (5, 3)
    const gr_rect_t inner{1, 1, 2, 2};
    ops->set_clip(ctx, &inner);             // on the canvas: (6, 4, 7, 5)
    EXPECT_EQ(rec.clip_state()->x1, 6);
    EXPECT_EQ(rec.clip_state()->y2, 5);
    ops->untranslate(ctx, 5, 3);
    EXPECT_EQ(ops->get_clip(ctx, &out), 0);
    EXPECT_EQ(rec.translation_x(), 0);
    EXPECT_EQ(rec.trace_text(),
              "set_clip 0 0 9 9\n"
              "translate 5 3\n"
              "get_clip -> -5 -3 4 6\n"
              "set_clip 1 1 2 2\n"
              "untranslate 5 3\n"
              "get_clip -> 6 4 7 5\n");
}

} // namespace
