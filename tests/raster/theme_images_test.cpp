// The theme the build generated into the example application: every nine-patch carries a clean
// one-pixel border (opaque pure black marks or full transparency, nothing in between, one run
// of marks per edge), so that the stretch bands read from it are exactly the ones drawn.
#include "image_compare.h"
#include "nine_patch.h"
#include "raster_fixture.h"

#include <filesystem>

namespace pitwall::testing {
namespace {

std::vector<std::string> generated_images(const std::string &suffix) {
    std::vector<std::string> found;
    std::error_code ec;
    std::filesystem::path root = std::filesystem::path(PITWALL_APP_DIR) / "images";
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::string path = it->path().string();
        if (it->is_regular_file() && path.size() >= suffix.size() &&
            path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(path);
    }
    return found;
}

// The runs of marks along one edge: 0 for an edge without marks.
int runs(const argb_image &img, bool top) {
    int count = 0;
    bool inside = false;
    int n = top ? img.width - 1 : img.height - 1;
    for (int i = 1; i < n; ++i) {
        bool mark = (top ? img.at(i, 0) : img.at(0, i)) == 0xFF000000u;
        if (mark && !inside) count += 1;
        inside = mark;
    }
    return count;
}

TEST(theme_images, every_nine_patch_border_is_pure_black_or_transparent) {
    for (const std::string &path : generated_images(".9.png")) {
        SCOPED_TRACE(path);
        argb_image img;
        std::string why;
        ASSERT_TRUE(read_png(path, &img, &why)) << why;
        ASSERT_GE(img.width, 3);
        ASSERT_GE(img.height, 3);
        auto clean = [](uint32_t argb) { return argb == 0xFF000000u || (argb >> 24) == 0; };
        for (int x = 0; x < img.width; ++x) {
            EXPECT_TRUE(clean(img.at(x, 0))) << "top edge, x " << x << std::hex << ": " << img.at(x, 0);
            EXPECT_TRUE(clean(img.at(x, img.height - 1))) << "bottom edge, x " << x;
        }
        for (int y = 0; y < img.height; ++y) {
            EXPECT_TRUE(clean(img.at(0, y))) << "left edge, y " << y << std::hex << ": " << img.at(0, y);
            EXPECT_TRUE(clean(img.at(img.width - 1, y))) << "right edge, y " << y;
        }
        EXPECT_EQ(runs(img, true), 1) << "one band of stretchable columns";
        EXPECT_EQ(runs(img, false), 1) << "one band of stretchable rows";
    }
}

using theme_splash = raster_test;

TEST_F(theme_splash, the_splash_logo_loads_at_its_drawn_size) {
    make_canvas(4, 4);
    std::string path = std::string(PITWALL_APP_DIR) + "/images/splash/logo.png";
    gr_image_t *logo = ops->load_image(ctx, path.c_str(), GR_LOAD_IMAGE_FLAGS, nullptr, 0);
    ASSERT_NE(logo, nullptr) << path << " is built by the theme target";
    gr_image_size_t info{};
    ASSERT_EQ(ops->image_info(ctx, logo, GR_IMAGE_INFO_SIZE, &info, 8), 0);
    EXPECT_EQ(info.width, 360);
    EXPECT_EQ(info.height, 120);
}

} // namespace
} // namespace pitwall::testing
