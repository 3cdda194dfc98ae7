// Images on the raster context: PNG files the tests write themselves, loaded plain, scaled at
// load, drawn whole, rotated and in scaled parts; nine-patch files with their border removed.
#include "image_cache.h"
#include "nine_patch.h"
#include "raster_fixture.h"

#include <cstring>
#include <fstream>

namespace pitwall::testing {
namespace {

constexpr uint32_t k_red = 0xFFFF0000u, k_green = 0xFF00FF00u, k_blue = 0xFF0000FFu;

class raster_images : public raster_test {
protected:
    std::string dir = scratch_dir();

    std::string write(const std::string &name, const argb_image &image) {
        std::string path = dir + "/" + name;
        std::string why;
        EXPECT_TRUE(write_png(path, image, &why)) << why;
        return path;
    }

    gr_image_t *load(const std::string &path, const int32_t *size = nullptr) {
        return ops->load_image(ctx, path.c_str(), GR_LOAD_IMAGE_FLAGS, size, 0);
    }

    gr_image_size_t size_of(gr_image_t *image) {
        gr_image_size_t info{};
        EXPECT_EQ(ops->image_info(ctx, image, GR_IMAGE_INFO_SIZE, &info, 8), 0);
        return info;
    }

    static int16_t band(const gr_image_size_t &info, int offset) {
        int16_t v;
        std::memcpy(&v, static_cast<const unsigned char *>(info.stretch) + offset, sizeof v);
        return v;
    }
};

// 4 x 2: the left half red, the right half blue.
argb_image red_blue() {
    argb_image img(4, 2, k_red);
    for (int y = 0; y < 2; ++y) img.at(2, y) = img.at(3, y) = k_blue;
    return img;
}

TEST_F(raster_images, a_png_is_drawn_at_its_own_size_pixel_for_pixel) {
    make_canvas(10, 8);
    argb_image src(3, 2);
    src.at(0, 0) = k_red;
    src.at(1, 0) = k_green;
    src.at(2, 0) = k_blue;
    src.at(0, 1) = k_white;
    src.at(1, 1) = 0x00000000; // transparent: the background shows
    src.at(2, 1) = 0xFF808080u;
    gr_image_t *image = load(write("plain.png", src));
    ASSERT_NE(image, nullptr);
    gr_image_size_t info = size_of(image);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.stretch, nullptr) << "a plain image has no stretch bands";

    // The width and height arguments do not scale: only image_set does.
    ops->draw_image(ctx, image, 4.0f, 5.0f, 7, 7, -1.0f, -1.0f);
    EXPECT_EQ(at(4, 5), k_red);
    EXPECT_EQ(at(5, 5), k_green);
    EXPECT_EQ(at(6, 5), k_blue);
    EXPECT_EQ(at(4, 6), k_white);
    EXPECT_EQ(at(5, 6), k_black);
    EXPECT_EQ(at(6, 6), 0xFF808080u);
    EXPECT_EQ(count_all(k_black), 80 - 5);
    ops->release_image(ctx, image);
    EXPECT_EQ(canvas->live_images(), 0);
}

TEST_F(raster_images, a_requested_size_scales_once_at_load) {
    make_canvas(10, 10);
    int32_t size[2] = {6, 4};
    gr_image_t *image = load(write("red.png", argb_image(2, 2, k_red)), size);
    ASSERT_NE(image, nullptr);
    gr_image_size_t info = size_of(image);
    EXPECT_EQ(info.width, 6);
    EXPECT_EQ(info.height, 4);
    ops->draw_image(ctx, image, 1.0f, 2.0f, 6, 4, -1.0f, -1.0f);
    EXPECT_EQ(count_in(k_red, 1, 2, 6, 5), 24) << "edges are not faded by the scaling";
    EXPECT_EQ(count_all(k_red), 24);

    int32_t zero[2] = {0, 4};
    EXPECT_EQ(load(dir + "/red.png", zero), nullptr);
}

TEST_F(raster_images, image_set_gives_the_size_of_the_next_draws) {
    make_canvas(12, 12);
    gr_image_t *image = load(write("green.png", argb_image(2, 2, k_green)));
    ASSERT_NE(image, nullptr);
    int16_t wh[2] = {8, 3};
    ops->image_set(ctx, image, GR_IMAGE_SET_SIZE, wh, 4);
    ops->draw_image(ctx, image, 2.0f, 4.0f, 8, 3, -1.0f, -1.0f);
    EXPECT_EQ(count_in(k_green, 2, 4, 9, 6), 24);
    EXPECT_EQ(count_all(k_green), 24);
    gr_image_size_t info = size_of(image);
    EXPECT_EQ(info.width, 2) << "the loaded size is still reported";

    make_canvas(12, 12);
    image = load(dir + "/green.png");
    int16_t nothing[2] = {0, 3};
    ops->image_set(ctx, image, GR_IMAGE_SET_SIZE, nothing, 4);
    ops->draw_image(ctx, image, 2.0f, 4.0f, 8, 3, -1.0f, -1.0f);
    EXPECT_EQ(count_all(k_green), 0) << "a size of zero draws nothing";
}

// A 4 x 2 image at (10, 10) covers [10, 14) x [10, 12); its centre is (12, 11). Turned 90
// degrees clockwise about the centre it covers [11, 13) x [9, 13): what was right of the
// centre (blue) is now below it, what was left (red) above.
TEST_F(raster_images, rotation_turns_an_image_clockwise_about_its_pivot) {
    make_canvas(24, 24);
    gr_image_t *image = load(write("red_blue.png", red_blue()));
    ASSERT_NE(image, nullptr);
    float quarter = 90.0f;
    ops->set_attr(ctx, GR_ATTR_ROTATION, &quarter, 4);
    ops->draw_image(ctx, image, 10.0f, 10.0f, 4, 2, 2.0f, 1.0f);
    ops->restore_attr(ctx, GR_ATTR_ROTATION);
    EXPECT_EQ(count_in(k_red, 11, 9, 12, 10), 4);
    EXPECT_EQ(count_in(k_blue, 11, 11, 12, 12), 4);
    EXPECT_EQ(count_all(k_black), 24 * 24 - 8);

    // Without a pivot (-1, -1) the centre is the pivot; after restore_attr nothing turns.
    make_canvas(24, 24);
    image = load(dir + "/red_blue.png");
    ops->set_attr(ctx, GR_ATTR_ROTATION, &quarter, 4);
    ops->draw_image(ctx, image, 10.0f, 10.0f, 4, 2, -1.0f, -1.0f);
    EXPECT_EQ(count_in(k_red, 11, 9, 12, 10), 4);
    EXPECT_EQ(count_in(k_blue, 11, 11, 12, 12), 4);
    ops->restore_attr(ctx, GR_ATTR_ROTATION);
    make_canvas(24, 24);
    image = load(dir + "/red_blue.png");
    ops->draw_image(ctx, image, 10.0f, 10.0f, 4, 2, 2.0f, 1.0f);
    EXPECT_EQ(count_in(k_red, 10, 10, 11, 11), 4);
    EXPECT_EQ(count_in(k_blue, 12, 10, 13, 11), 4);
}

// Turned 180 degrees about its top-left corner (pivot 0, 0) the image lands up and to the left
// of its position, mirrored: [6, 10) x [8, 10), blue now on the left.
TEST_F(raster_images, rotation_about_the_corner_pivot) {
    make_canvas(16, 16);
    gr_image_t *image = load(write("red_blue.png", red_blue()));
    ASSERT_NE(image, nullptr);
    float half_turn = 180.0f;
    ops->set_attr(ctx, GR_ATTR_ROTATION, &half_turn, 4);
    ops->draw_image(ctx, image, 10.0f, 10.0f, 4, 2, 0.0f, 0.0f);
    EXPECT_EQ(count_in(k_blue, 6, 8, 7, 9), 4);
    EXPECT_EQ(count_in(k_red, 8, 8, 9, 9), 4);
    EXPECT_EQ(count_all(k_black), 16 * 16 - 8);
}

TEST_F(raster_images, alpha_applies_to_images) {
    make_canvas(4, 4);
    gr_image_t *image = load(write("white.png", argb_image(4, 4, k_white)));
    int32_t half = 128;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &half, 4);
    ops->draw_image(ctx, image, 0.0f, 0.0f, 4, 4, -1.0f, -1.0f);
    EXPECT_NEAR(channel(at(2, 2), 16), 128, 1);
}

TEST_F(raster_images, image_parts_are_copied_scaled_into_their_target) {
    make_canvas(12, 12);
    argb_image quad(4, 4, k_red); // red, with a green 2 x 2 square at (2, 0)
    for (int y = 0; y < 2; ++y) quad.at(2, y) = quad.at(3, y) = k_green;
    gr_image_t *image = load(write("quad.png", quad));
    gr_surface_t *surface = nullptr;
    ASSERT_EQ(ops->image_info(ctx, image, GR_IMAGE_INFO_SURFACE, &surface, 0), 0);
    ASSERT_NE(surface, nullptr);

    gr_rect_t source{2, 0, 3, 1}, target{1, 1, 6, 3}; // 2 x 2 green -> 6 x 3
    ops->translate(ctx, 2, 2);
    ops->draw_image_part(ctx, surface, &source, 0, &target);
    ops->untranslate(ctx, 2, 2);
    EXPECT_EQ(count_in(k_green, 3, 3, 8, 5), 18) << "no red from the neighbouring pixels bleeds in";
    EXPECT_EQ(count_all(k_green), 18);
    EXPECT_EQ(count_all(k_red), 0);

    gr_rect_t outside{3, 3, 4, 4}, inverted{1, 1, 0, 0};
    ops->draw_image_part(ctx, surface, &outside, 0, &target);
    ops->draw_image_part(ctx, surface, &source, 0, &inverted);
    EXPECT_EQ(count_all(k_red), 0) << "sources outside the image and empty targets draw nothing";
}

// A 9 x 8 nine-patch file: content 7 x 6 (border removed), marks at file columns 3..5 and file
// rows 2..3, so the bands are sx 2, sw 3, sy 1, sh 2 in content pixels.
argb_image bordered_box() {
    argb_image file(9, 8, 0x00000000);
    for (int y = 1; y < 7; ++y)
        for (int x = 1; x < 8; ++x) file.at(x, y) = k_green; // the content
    file.at(1, 1) = k_red;                                   // content corner (0, 0)
    file.at(7, 6) = k_blue;                                  // content corner (6, 5)
    for (int x = 3; x <= 5; ++x) file.at(x, 0) = k_black;    // stretchable columns
    for (int y = 2; y <= 3; ++y) file.at(0, y) = k_black;    // stretchable rows
    file.at(8, 3) = k_black;                                 // a padding mark: ignored
    return file;
}

TEST_F(raster_images, a_nine_patch_loads_without_its_border_and_reports_its_bands) {
    make_canvas(12, 12);
    gr_image_t *image = load(write("box.9.png", bordered_box()));
    ASSERT_NE(image, nullptr);
    gr_image_size_t info = size_of(image);
    EXPECT_EQ(info.width, 7);
    EXPECT_EQ(info.height, 6);
    ASSERT_NE(info.stretch, nullptr);
    EXPECT_EQ(band(info, GR_STRETCH_SX_OFFSET), 2);
    EXPECT_EQ(band(info, GR_STRETCH_SW_OFFSET), 3);
    EXPECT_EQ(band(info, GR_STRETCH_SY_OFFSET), 1);
    EXPECT_EQ(band(info, GR_STRETCH_SH_OFFSET), 2);

    ops->draw_image(ctx, image, 2.0f, 3.0f, 7, 6, -1.0f, -1.0f);
    EXPECT_EQ(at(2, 3), k_red) << "the content starts at the old (1, 1)";
    EXPECT_EQ(at(8, 8), k_blue);
    EXPECT_EQ(count_in(k_green, 2, 3, 8, 8), 42 - 2);
    EXPECT_EQ(count_all(k_black), 144 - 42) << "no border pixel is drawn";
}

TEST_F(raster_images, a_nine_patch_stretches_through_the_kit_keeping_its_corners) {
    make_canvas(24, 16);
    gr_image_t *image = load(write("box.9.png", bordered_box()));
    ASSERT_NE(image, nullptr);
    kit::nine_patch patch{};
    ASSERT_EQ(kit::nine_patch_layout(ctx, image, &patch, 17, 10), 0);
    kit::draw_nine_patch(ctx, image, &patch, 3, 2);
    // Drawn area [3, 20) x [2, 12): the corners keep their single pixels, the rest is green.
    EXPECT_EQ(at(3, 2), k_red);
    EXPECT_EQ(at(19, 11), k_blue);
    EXPECT_EQ(count_in(k_green, 3, 2, 19, 11), 170 - 2);
    EXPECT_EQ(count_all(k_black), 24 * 16 - 170);
}

TEST_F(raster_images, a_nine_patch_without_marks_stretches_as_a_whole) {
    make_canvas(4, 4);
    gr_image_t *image = load(write("plain.9.png", argb_image(5, 4, k_white)));
    ASSERT_NE(image, nullptr);
    gr_image_size_t info = size_of(image);
    ASSERT_NE(info.stretch, nullptr);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(band(info, GR_STRETCH_SX_OFFSET), 0);
    EXPECT_EQ(band(info, GR_STRETCH_SW_OFFSET), 3);
    EXPECT_EQ(band(info, GR_STRETCH_SY_OFFSET), 0);
    EXPECT_EQ(band(info, GR_STRETCH_SH_OFFSET), 2);
}

TEST_F(raster_images, missing_and_non_png_files_give_a_null_image) {
    make_canvas(4, 4);
    EXPECT_EQ(load(dir + "/nowhere.png"), nullptr);
    EXPECT_EQ(load(dir), nullptr) << "a folder";
    EXPECT_EQ(ops->load_image(ctx, nullptr, GR_LOAD_IMAGE_FLAGS, nullptr, 0), nullptr);
    {
        std::ofstream(dir + "/text.png") << "not a picture";
    }
    EXPECT_EQ(load(dir + "/text.png"), nullptr);
    {
        std::ofstream(dir + "/empty.png");
    }
    EXPECT_EQ(load(dir + "/empty.png"), nullptr);
    // A real PNG cut short after its header.
    std::string whole = write("whole.png", argb_image(16, 16, k_red));
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    {
        std::ofstream(dir + "/cut.png", std::ios::binary) << bytes.substr(0, 40);
    }
    EXPECT_EQ(load(dir + "/cut.png"), nullptr);
    // Too small to be a nine-patch: no content inside the border.
    EXPECT_EQ(load(write("tiny.9.png", argb_image(2, 2, k_black))), nullptr);
    EXPECT_EQ(canvas->live_images(), 0);
}

TEST_F(raster_images, unknown_handles_and_queries_fail_quietly) {
    make_canvas(4, 4);
    gr_image_t *image = load(write("red.png", argb_image(1, 1, k_red)));
    int not_an_image = 0;
    auto *bogus = reinterpret_cast<gr_image_t *>(&not_an_image);
    gr_image_size_t info{};
    EXPECT_EQ(ops->image_info(ctx, bogus, GR_IMAGE_INFO_SIZE, &info, 8), -1);
    EXPECT_EQ(ops->image_info(ctx, nullptr, GR_IMAGE_INFO_SIZE, &info, 8), -1);
    EXPECT_EQ(ops->image_info(ctx, image, 7, &info, 8), -1);
    EXPECT_EQ(ops->image_info(ctx, image, GR_IMAGE_INFO_SIZE, nullptr, 8), -1);
    ops->draw_image(ctx, bogus, 0.0f, 0.0f, 1, 1, -1.0f, -1.0f);
    ops->release_image(ctx, bogus);
    ops->release_image(ctx, nullptr);
    EXPECT_EQ(canvas->live_images(), 1);
    EXPECT_EQ(count_all(k_black), 16);
    // An image left loaded is freed with its canvas (ASan reports it otherwise).
}

} // namespace
} // namespace pitwall::testing
