// The raster context's image budget: a file whose header declares more decoded pixels than one
// image may take, or than all images together may take, is refused before it is decoded, with the
// reason in the engine's report; images within the budget load, share and draw as before.
#include "raster_fixture.h"
#include "zero_png.h"

#include <cstring>
#include <fstream>

namespace pitwall::testing {
namespace {

constexpr size_t k_kib = 1024, k_mib = 1024 * 1024;

class image_budget : public raster_test {
protected:
    const std::string dir = eng.base_dir();

    void SetUp() override { std::filesystem::create_directories(dir + "/images"); }

    // Writes images/<name> and returns its full path.
    std::string put(const std::string &name, const std::string &bytes) {
        std::ofstream(dir + "/images/" + name, std::ios::binary) << bytes;
        return dir + "/images/" + name;
    }
    std::string put(const std::string &name, const argb_image &image) {
        std::string why;
        EXPECT_TRUE(write_png(dir + "/images/" + name, image, &why)) << why;
        return dir + "/images/" + name;
    }
    gr_image_t *load(const std::string &path, const int32_t *size = nullptr) {
        return ops->load_image(ctx, path.c_str(), GR_LOAD_IMAGE_FLAGS, size, 0);
    }
};

TEST_F(image_budget, an_image_over_the_budget_of_one_image_is_refused_with_its_size) {
    make_canvas(4, 4);
    const int32_t large_request[2] = {4096, 2048};
    struct bomb_case {
        std::string path;
        const int32_t *size;
        std::string reason; // after "cannot load image "images/NAME": "
    };
    // 8192 x 8192 x 4 bytes = 256 MiB; 4096 x 2048 x 4 = 32 MiB; 2049 x 2048 x 4 = 16392 KiB, one
    // row of 2048 pixels (8 KiB) over 16 MiB.
    const bomb_case cases[] = {
        {put("bomb.png", zero_png(8192, 8192)), nullptr,
         "8192x8192 pixels take 256 MiB decoded, more than the 16 MiB one image may take"},
        {put("bomb.9.png", zero_png(8192, 8192)), nullptr,
         "8192x8192 pixels take 256 MiB decoded, more than the 16 MiB one image may take"},
        {put("just_over.png", zero_png(2049, 2048)), nullptr,
         "2049x2048 pixels take 16392 KiB decoded, more than the 16 MiB one image may take"},
        {put("small.png", zero_png(4, 4)), large_request,
         "requested size 4096x2048 pixels take 32 MiB decoded, more than the 16 MiB one image may take"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const bomb_case &c = cases[i];
        SCOPED_TRACE(c.path);
        EXPECT_EQ(load(c.path, c.size), nullptr);
        ASSERT_EQ(eng.reports().size(), i + 1) << "one report per refused load";
        const std::string shown = c.path.substr(dir.size() + 1);
        EXPECT_EQ(eng.reports().back(), "cannot load image \"" + shown + "\": " + c.reason);
    }
    EXPECT_EQ(canvas->decoded_images(), 0);
    EXPECT_EQ(canvas->decoded_image_bytes(), 0u);

    // Exactly 16 MiB is within the budget.
    gr_image_t *at_limit = load(put("at_limit.png", zero_png(2048, 2048)));
    ASSERT_NE(at_limit, nullptr) << eng.reports().back();
    EXPECT_EQ(canvas->decoded_image_bytes(), 16 * k_mib);
    ops->release_image(ctx, at_limit);
    EXPECT_EQ(canvas->decoded_image_bytes(), 0u);
}

TEST_F(image_budget, the_total_budget_refuses_the_image_that_would_pass_it_while_smaller_ones_load) {
    make_canvas(4, 4);
    canvas->set_image_budget(4 * k_kib, 6 * k_kib);
    const std::string first = put("first.png", argb_image(32, 32, k_white));  // 4 KiB decoded
    const std::string second = put("second.png", argb_image(32, 32, k_white)); // 4 KiB
    const std::string small = put("small.png", argb_image(16, 16, k_white));   // 1 KiB

    gr_image_t *a = load(first);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(load(second), nullptr) << "4 + 4 KiB is more than 6";
    ASSERT_EQ(eng.reports().size(), 1u);
    EXPECT_EQ(eng.reports()[0], "cannot load image \"images/second.png\": 32x32 pixels take 4 KiB decoded; with the "
                                "4 KiB already held that is more than the 6 KiB all images together may take");
    gr_image_t *c = load(small);
    ASSERT_NE(c, nullptr) << "4 + 1 KiB fits";
    gr_image_t *a_again = load(first);
    ASSERT_NE(a_again, nullptr) << "a file already decoded costs nothing more";
    EXPECT_EQ(canvas->decoded_images(), 2);
    EXPECT_EQ(canvas->decoded_image_bytes(), 5 * k_kib);

    // The first file's pixels go with its last handle, and the second file fits then.
    ops->release_image(ctx, a);
    EXPECT_EQ(load(second), nullptr) << "one handle still holds the first file";
    ops->release_image(ctx, a_again);
    EXPECT_EQ(canvas->decoded_image_bytes(), 1 * k_kib);
    gr_image_t *b = load(second);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(canvas->decoded_image_bytes(), 5 * k_kib);
    EXPECT_EQ(eng.reports().size(), 2u);
    ops->release_image(ctx, b);
    ops->release_image(ctx, c);
    EXPECT_EQ(canvas->decoded_image_bytes(), 0u);
}

// A plain image with a half-transparent pixel and a nine-patch, both loaded under the budget,
// drawn on black: the pixels come out as before the budget existed.
TEST_F(image_budget, images_within_the_budget_still_draw) {
    make_canvas(8, 4);
    argb_image plain(2, 1);
    plain.at(0, 0) = 0xFF00FF00u;
    plain.at(1, 0) = 0x80FF0000u; // red at alpha 128 on black: red channel 255 * 128 / 255 = 128
    // 5 x 4 with its border: content 3 x 2, one stretchable column (the middle one), rows unmarked.
    argb_image bordered(5, 4, 0);
    bordered.at(2, 0) = k_black;
    const uint32_t content[2][3] = {{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}, {k_white, 0xFF808080u, 0xFFFFFF00u}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) bordered.at(x + 1, y + 1) = content[y][x];

    gr_image_t *image = load(put("plain.png", plain));
    gr_image_t *nine = load(put("box.9.png", bordered));
    ASSERT_NE(image, nullptr);
    ASSERT_NE(nine, nullptr);
    EXPECT_EQ(canvas->decoded_image_bytes(), (2 * 1 + 5 * 4) * 4u) << "a nine-patch's border is held too";

    ops->draw_image(ctx, image, 0, 0, 0, 0, -1.0f, -1.0f);
    EXPECT_EQ(at(0, 0), 0xFF00FF00u);
    EXPECT_EQ(at(1, 0), 0xFF800000u);

    gr_image_size_t info{};
    ASSERT_EQ(ops->image_info(ctx, nine, GR_IMAGE_INFO_SIZE, &info, 8), 0);
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    int16_t bands[4];
    for (int i = 0; i < 4; ++i) {
        const int offsets[4] = {GR_STRETCH_SX_OFFSET, GR_STRETCH_SW_OFFSET, GR_STRETCH_SY_OFFSET, GR_STRETCH_SH_OFFSET};
        std::memcpy(&bands[i], static_cast<const unsigned char *>(info.stretch) + offsets[i], sizeof bands[i]);
    }
    EXPECT_EQ(bands[0], 1) << "sx";
    EXPECT_EQ(bands[1], 1) << "sw";
    EXPECT_EQ(bands[2], 0) << "sy: no row marked, all of them stretch";
    EXPECT_EQ(bands[3], 2) << "sh";
    gr_surface_t *surface = nullptr;
    ASSERT_EQ(ops->image_info(ctx, nine, GR_IMAGE_INFO_SURFACE, &surface, 0), 0);
    const gr_rect_t whole{0, 0, 2, 1}, target{4, 1, 6, 2};
    ops->draw_image_part(ctx, surface, &whole, 0, &target);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(at(4 + x, 1 + y), content[y][x]) << x << "," << y;
    EXPECT_EQ(at(7, 1), k_black) << "nothing of the border is drawn";
    ops->release_image(ctx, image);
    ops->release_image(ctx, nine);
}

} // namespace
} // namespace pitwall::testing
