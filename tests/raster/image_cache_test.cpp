// What the raster context keeps from one draw to the next so that a steady frame costs little:
// decoded images shared by every handle on the same file and size, stretched nine-patch pieces
// kept per place and size, copies blended without Cairo, freed paths reused. Each must draw
// exactly what a context that keeps nothing draws.
#include "nine_patch.h"
#include "raster_fixture.h"

#include <vector>

namespace pitwall::testing {
namespace {

constexpr uint32_t k_red = 0xFFFF0000u, k_blue = 0xFF0000FFu;

class raster_kept : public raster_test {
protected:
    std::string dir = scratch_dir();

    std::string write(const std::string &name, const argb_image &image) {
        std::string path = dir + "/" + name, why;
        EXPECT_TRUE(write_png(path, image, &why)) << why;
        return path;
    }
    gr_image_t *load(const std::string &path, const int32_t *size = nullptr) {
        return ops->load_image(ctx, path.c_str(), GR_LOAD_IMAGE_FLAGS, size, 0);
    }
    // The image stretched as a nine-patch to w x h at (x, y), as the widgets draw one.
    void draw_patch(gr_image_t *image, int16_t w, int16_t h, int32_t x, int32_t y) {
        kit::nine_patch patch{};
        ASSERT_EQ(kit::nine_patch_layout(ctx, image, &patch, w, h), 0);
        kit::draw_nine_patch(ctx, image, &patch, x, y);
    }
};

// 4 x 2: the left half red, the right half blue.
argb_image red_blue() {
    argb_image img(4, 2, k_red);
    for (int y = 0; y < 2; ++y) img.at(2, y) = img.at(3, y) = k_blue;
    return img;
}

// A 8 x 8 nine-patch file (6 x 6 content) whose stretch bands (content columns and rows 2..3)
// hold four different colours, so that a stretched piece differs at every size and offset.
argb_image shaded_patch(uint32_t tint) {
    argb_image file(8, 8, 0x00000000);
    for (int y = 1; y < 7; ++y)
        for (int x = 1; x < 7; ++x)
            file.at(x, y) = 0xFF000000u | tint | uint32_t(x * 40) << 8 | uint32_t(y * 36);
    for (int i = 3; i <= 4; ++i) file.at(i, 0) = file.at(0, i) = 0xFF000000u;
    return file;
}

// Pixels that differ between two pictures of one size.
int differing(const argb_image &a, const argb_image &b) {
    int n = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

struct load_step {
    const char *file; // "" for a file that does not exist
    int32_t width, height; // 0 x 0: no requested size
};

struct sharing_case {
    const char *name;
    std::vector<load_step> loads;
    int decoded; // pixels decoded for all of them
};

TEST_F(raster_kept, loads_of_one_file_at_one_size_share_one_decode_until_the_last_release) {
    make_canvas(8, 8);
    const std::string plain = write("plain.png", red_blue()), other = write("other.png", red_blue());
    const std::string patch = write("patch.9.png", shaded_patch(0));
    const sharing_case cases[] = {
        {"one file twice", {{"plain", 0, 0}, {"plain", 0, 0}}, 1},
        {"the same requested size twice", {{"plain", 8, 4}, {"plain", 8, 4}}, 1},
        {"its own size and a requested one", {{"plain", 0, 0}, {"plain", 8, 4}}, 2},
        {"two files with equal pixels", {{"plain", 0, 0}, {"other", 0, 0}}, 2},
        {"a nine-patch three times", {{"patch", 0, 0}, {"patch", 0, 0}, {"patch", 0, 0}}, 1},
        {"a missing file twice", {{"", 0, 0}, {"", 0, 0}}, 0},
    };
    auto path_of = [&](const std::string &name) {
        return name == "plain" ? plain : name == "other" ? other : name == "patch" ? patch : dir + "/none.png";
    };
    for (const sharing_case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<gr_image_t *> handles;
        for (const load_step &step : c.loads) {
            const int32_t size[2] = {step.width, step.height};
            gr_image_t *image = load(path_of(step.file), step.width > 0 ? size : nullptr);
            EXPECT_EQ(image == nullptr, *step.file == '\0');
            if (image != nullptr) handles.push_back(image);
        }
        EXPECT_EQ(canvas->decoded_images(), c.decoded);
        EXPECT_EQ(canvas->live_images(), int(handles.size())) << "every load is a handle of its own";
        for (gr_image_t *image : handles) ops->release_image(ctx, image);
        EXPECT_EQ(canvas->decoded_images(), 0) << "the last release frees the pixels";
    }
}

TEST_F(raster_kept, a_shared_image_stays_drawable_through_its_other_handle_at_that_handles_size) {
    make_canvas(8, 8);
    const std::string path = write("plain.png", red_blue());
    gr_image_t *first = load(path);
    gr_image_t *second = load(path);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const int16_t doubled[2] = {8, 4};
    ops->image_set(ctx, first, GR_IMAGE_SET_SIZE, doubled, 4);

    ops->draw_image(ctx, second, 0.0f, 0.0f, 4, 2, -1.0f, -1.0f);
    EXPECT_EQ(count_in(k_red, 0, 0, 1, 1), 4) << "the other handle's size does not apply";
    EXPECT_EQ(count_in(k_blue, 2, 0, 3, 1), 4);
    EXPECT_EQ(count_in(k_black, 4, 0, 7, 1), 8);

    ops->release_image(ctx, first);
    EXPECT_EQ(canvas->decoded_images(), 1);
    canvas->clear(k_black);
    ops->draw_image(ctx, second, 2.0f, 4.0f, 4, 2, -1.0f, -1.0f);
    EXPECT_EQ(count_in(k_red, 2, 4, 3, 5), 4) << "released through one handle, still drawn through the other";
    EXPECT_EQ(count_in(k_blue, 4, 4, 5, 5), 4);
    EXPECT_EQ(count_all(k_black), 64 - 8);
    ops->release_image(ctx, second);
    EXPECT_EQ(canvas->decoded_images(), 0);
}

// A second draw after a first one that left pieces behind: what is drawn must be what a fresh
// context draws (translation, clip and size all change which pixels a piece holds).
struct second_draw {
    const char *name;
    int16_t width, height;
    int32_t x, y;
    bool clipped; // to the canvas rows 0..9
};

TEST_F(raster_kept, a_nine_patch_drawn_again_differently_matches_a_fresh_context) {
    const second_draw cases[] = {
        {"the same again", 15, 13, 3, 4, false}, {"larger", 21, 17, 3, 4, false},
        {"smaller", 9, 7, 3, 4, false},          {"moved", 15, 13, 7, 1, false},
        {"clipped", 15, 13, 3, 4, true},         {"partly off the canvas", 15, 13, 20, 20, false},
    };
    const std::string path = write("shaded.9.png", shaded_patch(0x400000u));
    auto draw = [&](gr_image_t *image, const second_draw &d) {
        const gr_rect_t rows{0, 0, 31, 9};
        if (d.clipped) ops->set_clip(ctx, &rows);
        draw_patch(image, d.width, d.height, d.x, d.y);
        ops->clear_clip(ctx);
    };
    for (const second_draw &c : cases) {
        SCOPED_TRACE(c.name);
        make_canvas(32, 28);
        gr_image_t *fresh_image = load(path);
        draw(fresh_image, c);
        const argb_image fresh = canvas->snapshot();

        make_canvas(32, 28);
        gr_image_t *image = load(path);
        draw(image, {"first", 15, 13, 3, 4, false});
        EXPECT_GT(canvas->cached_pieces(), 0);
        canvas->clear(k_black);
        draw(image, c);
        EXPECT_EQ(differing(canvas->snapshot(), fresh), 0);
    }
}

TEST_F(raster_kept, kept_pieces_go_with_their_pixels_and_stay_within_their_budget) {
    make_canvas(32, 28);
    const std::string shaded = write("shaded.9.png", shaded_patch(0x400000u));
    gr_image_t *image = load(shaded);
    gr_image_t *other_handle = load(shaded);
    draw_patch(image, 20, 18, 2, 2);
    const int kept = canvas->cached_pieces();
    EXPECT_EQ(kept, 5) << "the four edges and the middle are stretched; the corners are copied";
    ops->release_image(ctx, image);
    EXPECT_EQ(canvas->cached_pieces(), kept) << "the pixels are still held";
    ops->release_image(ctx, other_handle);
    EXPECT_EQ(canvas->cached_pieces(), 0);
    EXPECT_EQ(canvas->cached_piece_bytes(), 0u);

    // Other pixels, likely decoded at the freed address: drawn with their own colours.
    gr_image_t *recoloured = load(write("recoloured.9.png", shaded_patch(0xC00000u)));
    canvas->clear(k_black);
    draw_patch(recoloured, 20, 18, 2, 2);
    const argb_image drawn = canvas->snapshot();
    make_canvas(32, 28);
    draw_patch(load(write("again.9.png", shaded_patch(0xC00000u))), 20, 18, 2, 2);
    EXPECT_EQ(differing(drawn, canvas->snapshot()), 0);

    // Middles of 0.6 to 1 million pixels: more than the budget holds at once.
    make_canvas(1000, 1000);
    image = load(shaded);
    for (int16_t side = 760; side <= 1000; side += 40) {
        draw_patch(image, side, side, 0, 0);
        EXPECT_LE(canvas->cached_piece_bytes(), raster_context::max_cached_piece_bytes) << side;
    }
    canvas->clear(k_black);
    draw_patch(image, 760, 760, 0, 0); // its middle was let go
    const argb_image redrawn = canvas->snapshot();
    make_canvas(1000, 1000);
    draw_patch(load(shaded), 760, 760, 0, 0);
    EXPECT_EQ(differing(redrawn, canvas->snapshot()), 0);
}

// Copies blend as premultiplied OVER, each product of two channels rounded to the nearest
// 1/255: source channel * alpha / 255 first, then the canvas under it times (255 - that alpha).
struct blend_case {
    const char *name;
    uint32_t source;     // straight ARGB in the file
    uint32_t background; // opaque
    int32_t alpha;       // attribute 2
    uint32_t expected;
};

TEST_F(raster_kept, copies_blend_with_exact_rounding) {
    const blend_case cases[] = {
        // premultiplied red 128 (255 * 128 / 255 = 128.0); blue 255 * 127 / 255 = 127
        {"half-covered red over blue", 0x80FF0000u, k_blue, 255, 0xFF80007Fu},
        // 128 * 128 / 255 = 64.25 -> 64, both alpha and red; blue 255 * 191 / 255 = 191
        {"the same at alpha 128", 0x80FF0000u, k_blue, 128, 0xFF4000BFu},
        // 255 * 64 / 255 = 64 in every channel; the black below adds nothing
        {"white at alpha 64 over black", k_white, k_black, 64, 0xFF404040u},
        {"opaque at full alpha replaces", 0xFF123456u, k_blue, 255, 0xFF123456u},
        {"nothing at alpha 0", k_white, k_blue, 0, k_blue},
    };
    for (const blend_case &c : cases) {
        SCOPED_TRACE(c.name);
        make_canvas(9, 2, c.background); // 9 wide: blended four at a time, and one alone
        gr_image_t *image = load(write("row.png", argb_image(9, 1, c.source)));
        gr_surface_t *surface = nullptr;
        ASSERT_EQ(ops->image_info(ctx, image, GR_IMAGE_INFO_SURFACE, &surface, 0), 0);
        ops->set_attr(ctx, GR_ATTR_ALPHA, &c.alpha, 4);
        const gr_rect_t row{0, 0, 8, 0};
        ops->draw_image_part(ctx, surface, &row, 0, &row);
        ops->draw_image(ctx, image, 0.0f, 1.0f, 9, 1, -1.0f, -1.0f);
        ops->restore_attr(ctx, GR_ATTR_ALPHA);
        EXPECT_EQ(count_all(c.expected), 18) << std::hex << at(0, 0) << " " << at(0, 1);
        ops->release_image(ctx, image);
    }
}

TEST_F(raster_kept, a_path_made_after_one_was_freed_has_only_its_own_points) {
    make_canvas(10, 10);
    const float triangle[] = {0.0f, 0.0f, 9.0f, 0.0f, 0.0f, 9.0f};
    ops->free_path(ctx, ops->create_path(ctx, GR_PATH_BAND, triangle, 3, GR_PATH_FLAGS_BAND));
    const float across[] = {0.0f, 5.5f, 10.0f, 5.5f};
    gr_path_t *line = ops->create_path(ctx, GR_PATH_LINE, across, 2, GR_PATH_FLAGS_LINE);
    ops->draw_path(ctx, line, k_white, k_white, 1);
    EXPECT_EQ(count_in(k_white, 0, 5, 9, 5), 10);
    EXPECT_EQ(count_all(k_black), 90) << "nothing of the freed triangle is drawn";
    ops->free_path(ctx, line);
    EXPECT_EQ(canvas->live_paths(), 0);
}

} // namespace
} // namespace pitwall::testing
