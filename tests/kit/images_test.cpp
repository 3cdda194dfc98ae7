// Themed images through the kit: palettes, bounded path composition, loading with its log line,
// cached slots, nine-patch layout and drawing (traced by the recording context).
#include "image_cache.h"
#include "image_path.h"
#include "nine_patch.h"
#include "palette.h"

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr kit::image_messages k_messages = KIT_IMAGE_MESSAGES("Image Test");

TEST(Palettes, IndicesAreOneBasedAndBounded) {
    EXPECT_EQ(kit::palette_name(kit::bar_palette, 0), nullptr);
    EXPECT_STREQ(kit::palette_name(kit::bar_palette, 1), "white");
    EXPECT_STREQ(kit::palette_name(kit::bar_palette, 5), "green");
    EXPECT_STREQ(kit::palette_name(kit::bar_palette, 7), "violet");
    EXPECT_EQ(kit::palette_name(kit::bar_palette, 8), nullptr);
    EXPECT_EQ(kit::palette_name(kit::bar_palette, -1), nullptr);
    EXPECT_STREQ(kit::palette_name(kit::modern_alarm_palette, 8), "grey");
    EXPECT_STREQ(kit::palette_name(kit::modern_box_palette, 9), "black");
    EXPECT_STREQ(kit::palette_name(kit::classic_palette, 1), "white1");
    EXPECT_STREQ(kit::palette_name(kit::classic_palette, 11), "black2");
    EXPECT_EQ(kit::palette_name(kit::classic_palette, 12), nullptr);
}

TEST(ImagePaths, ComposeThemedIconAndFixedFiles) {
    char path[kit::image_path_size];
    ASSERT_TRUE(kit::themed_image_path(path, sizeof path, "/opt/app", "images/ModernBox/", "green", "_box.9.png"));
    EXPECT_STREQ(path, "/opt/app/images/ModernBox/green_box.9.png");
    ASSERT_TRUE(kit::icon_image_path(path, sizeof path, "/opt/app", "images/Icons/", "warning_filled", "red"));
    EXPECT_STREQ(path, "/opt/app/images/Icons/warning_filled_red.png");
    ASSERT_TRUE(kit::fixed_image_path(path, sizeof path, "/opt/app", "images/ModernAlarm/white_reset.png"));
    EXPECT_STREQ(path, "/opt/app/images/ModernAlarm/white_reset.png");
    ASSERT_TRUE(kit::fixed_image_path(path, sizeof path, "/opt/app", "images/ClassicGauge/", "needle_small.png"));
    EXPECT_STREQ(path, "/opt/app/images/ClassicGauge/needle_small.png");
}

TEST(ImagePaths, AnOverlongPathFailsWithoutWritingPastTheBuffer) {
    // The buffer sits between two guard areas; nothing may touch them.
    constexpr size_t guard = 32;
    unsigned char block[guard + kit::image_path_size + guard];
    std::memset(block, 0xA5, sizeof block);
    char *path = reinterpret_cast<char *>(block + guard);
    const std::string dir = "images/CommonBar/", colour = "green", suffix = "_fill.9.png";
    // "<base>/" + dir + colour + suffix: exactly 203 characters fit, 204 do not.
    const size_t fixed = 1 + dir.size() + colour.size() + suffix.size();
    std::string base(kit::image_path_size - 1 - fixed, 'b');
    ASSERT_TRUE(kit::themed_image_path(path, kit::image_path_size, base.c_str(), dir.c_str(), colour.c_str(),
                                       suffix.c_str()));
    EXPECT_EQ(std::strlen(path), kit::image_path_size - 1);
    base += 'b';
    EXPECT_FALSE(kit::themed_image_path(path, kit::image_path_size, base.c_str(), dir.c_str(), colour.c_str(),
                                        suffix.c_str()));
    EXPECT_STREQ(path, "");
    std::string long_base(1000, 'x');
    EXPECT_FALSE(kit::icon_image_path(path, kit::image_path_size, long_base.c_str(), "images/Icons/", "a", "b"));
    EXPECT_FALSE(kit::fixed_image_path(path, kit::image_path_size, long_base.c_str(), "x.png"));
    for (size_t i = 0; i < guard; ++i) {
        EXPECT_EQ(block[i], 0xA5) << "before the buffer at " << i;
        EXPECT_EQ(block[guard + kit::image_path_size + i], 0xA5) << "after the buffer at " << i;
    }
}

TEST(NinePatchCells, FixedBordersAtTheImageSizeGiveTheSourceRectangles) {
    kit::stretch_bands bands{60, 40, 10, 40, 10, 20}; // borders of 10 pixels all round
    kit::nine_patch p;
    kit::nine_patch_cells(bands, 60, 40, &p);
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(p.target[k].x1, p.source[k].x1) << k;
        EXPECT_EQ(p.target[k].y1, p.source[k].y1) << k;
        EXPECT_EQ(p.target[k].x2, p.source[k].x2) << k;
        EXPECT_EQ(p.target[k].y2, p.source[k].y2) << k;
    }
    // Top-left, centre and bottom-right source cells.
    EXPECT_EQ((std::vector<int>{p.source[0].x1, p.source[0].y1, p.source[0].x2, p.source[0].y2}),
              (std::vector<int>{0, 0, 9, 9}));
    EXPECT_EQ((std::vector<int>{p.source[4].x1, p.source[4].y1, p.source[4].x2, p.source[4].y2}),
              (std::vector<int>{10, 10, 49, 29}));
    EXPECT_EQ((std::vector<int>{p.source[8].x1, p.source[8].y1, p.source[8].x2, p.source[8].y2}),
              (std::vector<int>{50, 30, 59, 39}));
}

TEST(NinePatchCells, AWiderTargetMovesTheRightColumnAndWidensTheMiddle) {
    kit::stretch_bands bands{60, 40, 10, 40, 10, 20};
    kit::nine_patch p;
    kit::nine_patch_cells(bands, 90, 40, &p);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(p.target[row * 3].x1, 0);
        EXPECT_EQ(p.target[row * 3].x2, 9);
        EXPECT_EQ(p.target[row * 3 + 1].x1, 10);
        EXPECT_EQ(p.target[row * 3 + 1].x2, 79);
        EXPECT_EQ(p.target[row * 3 + 2].x1, 80);
        EXPECT_EQ(p.target[row * 3 + 2].x2, 89);
    }
    // A taller target moves the bottom row likewise.
    kit::nine_patch_cells(bands, 60, 50, &p);
    EXPECT_EQ(p.target[4].y2, 39);
    EXPECT_EQ(p.target[7].y1, 40);
    EXPECT_EQ(p.target[7].y2, 49);
}

class ImageLoading : public ::testing::Test {
protected:
    pitwall::engine engine_{"/app"};
    pitwall::recording_context rec_{engine_};
    gr_context_t *ctx() { return rec_.context(); }
};

TEST_F(ImageLoading, LoadsOnceIntoItsSlotAndLogsEachAttempt) {
    rec_.add_image("images/ModernBox/green_box.9.png", 30, 30);
    gr_image_t *slot = nullptr;
    gr_image_t *first =
        kit::cached_themed_image(&slot, ctx(), &k_messages, "images/ModernBox/", "green", "_box.9.png");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(kit::cached_themed_image(&slot, ctx(), &k_messages, "images/ModernBox/", "green", "_box.9.png"),
              first);
    EXPECT_EQ(rec_.trace(), (std::vector<std::string>{
                                "log 2 Image Test: Loading image /app/images/ModernBox/green_box.9.png",
                                "load_image images/ModernBox/green_box.9.png flags=0x7888820 size=native -> ok",
                            }));

    // A missing file leaves the slot empty: the next call tries and logs again.
    rec_.clear_trace();
    gr_image_t *missing = nullptr;
    EXPECT_EQ(kit::cached_themed_image(&missing, ctx(), &k_messages, "images/ModernBox/", "orange", "_box.9.png"),
              nullptr);
    EXPECT_EQ(kit::cached_themed_image(&missing, ctx(), &k_messages, "images/ModernBox/", "orange", "_box.9.png"),
              nullptr);
    EXPECT_EQ(rec_.trace().size(), 4u);
    EXPECT_EQ(rec_.trace()[2], "log 2 Image Test: Loading image /app/images/ModernBox/orange_box.9.png");
}

TEST_F(ImageLoading, RequestedSizeAndSilentLoads) {
    rec_.add_image("images/CommonBar/red_shine_left.png", 11, 90);
    const int32_t size[2] = {11, 180};
    EXPECT_NE(kit::load_themed_image(ctx(), nullptr, "images/CommonBar/", "red", "_shine_left.png", size), nullptr);
    EXPECT_EQ(rec_.trace(), (std::vector<std::string>{
                                "load_image images/CommonBar/red_shine_left.png flags=0x7888820 size=11x180 -> ok"}));
}

TEST(ImageLoadingLongBase, AnOverlongPathIsAFailedLoadWithoutACall) {
    pitwall::engine engine{std::string(300, 'a')};
    pitwall::recording_context rec{engine};
    EXPECT_EQ(kit::load_themed_image(rec.context(), &k_messages, "images/ModernBox/", "green", "_box.9.png"), nullptr);
    EXPECT_EQ(kit::load_fixed_image(rec.context(), &k_messages, "images/ModernAlarm/white_reset.png"), nullptr);
    EXPECT_TRUE(rec.trace().empty());
}

TEST_F(ImageLoading, ReleaseEmptiesTheSlotOnce) {
    rec_.add_image("images/x_a.png", 4, 4);
    gr_image_t *slot = kit::load_themed_image(ctx(), nullptr, "images/", "x", "_a.png");
    rec_.clear_trace();
    kit::release_image(ctx(), &slot);
    kit::release_image(ctx(), &slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(rec_.trace(), (std::vector<std::string>{"release_image images/x_a.png"}));
    EXPECT_EQ(rec_.live_images(), 0);
}

TEST_F(ImageLoading, NinePatchLayoutAndDrawing) {
    rec_.add_nine_patch("images/p.9.png", 20, 14, 4, 12, 4, 6);
    gr_image_t *image = kit::load_fixed_image(ctx(), nullptr, "images/p.9.png");
    ASSERT_NE(image, nullptr);
    kit::nine_patch p;
    ASSERT_EQ(kit::nine_patch_layout(ctx(), image, &p, 36, 14), 0);
    rec_.clear_trace();
    kit::draw_nine_patch(ctx(), image, &p, 7, 10);
    EXPECT_EQ(rec_.trace(), (std::vector<std::string>{
                                "image_info images/p.9.png 3 -> surface",
                                "translate 7 10",
                                "draw_image_part images/p.9.png 0 0 3 3 -> 0 0 3 3",
                                "draw_image_part images/p.9.png 4 0 15 3 -> 4 0 31 3",
                                "draw_image_part images/p.9.png 16 0 19 3 -> 32 0 35 3",
                                "draw_image_part images/p.9.png 0 4 3 9 -> 0 4 3 9",
                                "draw_image_part images/p.9.png 4 4 15 9 -> 4 4 31 9",
                                "draw_image_part images/p.9.png 16 4 19 9 -> 32 4 35 9",
                                "draw_image_part images/p.9.png 0 10 3 13 -> 0 10 3 13",
                                "draw_image_part images/p.9.png 4 10 15 13 -> 4 10 31 13",
                                "draw_image_part images/p.9.png 16 10 19 13 -> 32 10 35 13",
                                "untranslate 7 10",
                            }));
}

TEST_F(ImageLoading, NinePatchLayoutFailsWhenTheSizeCannotBeRead) {
    rec_.add_nine_patch("images/p.9.png", 20, 14, 4, 12, 4, 6);
    rec_.fail_size_query("images/p.9.png");
    gr_image_t *image = kit::load_fixed_image(ctx(), nullptr, "images/p.9.png");
    kit::nine_patch p;
    EXPECT_EQ(kit::nine_patch_layout(ctx(), image, &p, 36, 14), -1);
}

TEST_F(ImageLoading, APlainImageStretchesAsAWhole) {
    rec_.add_image("images/plain.png", 10, 8);
    gr_image_t *image = kit::load_fixed_image(ctx(), nullptr, "images/plain.png");
    kit::nine_patch p;
    ASSERT_EQ(kit::nine_patch_layout(ctx(), image, &p, 30, 8), 0);
    EXPECT_EQ(p.target[4].x1, 0);
    EXPECT_EQ(p.target[4].x2, 29);
    EXPECT_EQ(p.source[4].x2, 9);
}

} // namespace
