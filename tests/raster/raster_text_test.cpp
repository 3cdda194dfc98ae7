// Text on the raster context, with DejaVu Sans Mono (fonts-dejavu-core): measured from the real
// font, placed by its top-left corner, turned by the rotation attribute, and refused for fonts
// that name no file.
//
// Hand-derived numbers: the font's advance is 1233 of 2048 units per em, 12.04 pixels at 20
// pixels per em, a whole 12 with hinted metrics; its ascender (1901 units, 18.6 px) and
// descender (483 units, 4.7 px) round outward to a 19 + 5 = 24-pixel line.
#include "raster_fixture.h"

#include "pitwall/resources.h"

#include <filesystem>

namespace pitwall::testing {
namespace {

class raster_text : public raster_test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(k_mono_font)) << k_mono_font << " missing: install fonts-dejavu-core";
    }

    gr_font font(int32_t size, const std::string &file = k_mono_font) {
        return gr_font{"fonts/CPMono_v07 Plain.otf", file, size};
    }
    static gr_text_style_t style_of(gr_font &f, uint32_t colour = 0xFFFFFF) {
        gr_text_style_t style{};
        style.font = &f;
        style.one = 1;
        style.size = f.size;
        style.colour = colour;
        return style;
    }

    struct extent {
        int width = 0, height = 0;
        int result = 0;
    };
    extent measure(const std::string &text, const gr_text_style_t &style) {
        int16_t out[2] = {0, 0};
        extent e;
        e.result = ops->text_extent(ctx, text.data(), int32_t(text.size()), &style, out);
        e.width = out[0];
        e.height = out[1];
        return e;
    }

    // The bounding box of every pixel that is not the background.
    struct box {
        int x1 = 1 << 20, y1 = 1 << 20, x2 = -1, y2 = -1;
        bool empty() const { return x2 < 0; }
    };
    box ink() const {
        box b;
        for (int y = 0; y < canvas->height(); ++y)
            for (int x = 0; x < canvas->width(); ++x)
                if (at(x, y) != k_black) {
                    b.x1 = std::min(b.x1, x);
                    b.y1 = std::min(b.y1, y);
                    b.x2 = std::max(b.x2, x);
                    b.y2 = std::max(b.y2, y);
                }
        return b;
    }
};

TEST_F(raster_text, extents_and_metrics_come_from_the_font) {
    make_canvas(8, 8);
    gr_font f20 = font(20);
    gr_text_style_t style = style_of(f20);
    extent one = measure("M", style);
    ASSERT_EQ(one.result, 0);
    EXPECT_EQ(one.width, 12);
    EXPECT_EQ(one.height, 24);
    EXPECT_EQ(measure("MMMMM", style).width, 60) << "monospaced: five advances";
    EXPECT_EQ(measure("i.i.i", style).width, 60);
    extent empty = measure("", style);
    EXPECT_EQ(empty.result, 0);
    EXPECT_EQ(empty.width, 0);

    gr_font_metrics_t metrics{};
    ops->font_metrics(ctx, &f20, &metrics);
    EXPECT_EQ(metrics.line_height, 24);
    EXPECT_EQ(metrics.ascent, 19);
    EXPECT_EQ(metrics.descent, 5);

    gr_font f40 = font(40);
    gr_text_style_t big = style_of(f40);
    EXPECT_EQ(measure("M", big).width, 24) << "twice the size, twice the advance";
}

TEST_F(raster_text, a_size_below_one_pixel_measures_nothing_and_draws_nothing) {
    make_canvas(40, 40);
    for (int32_t size : {0, -5}) {
        gr_font f = font(size);
        gr_text_style_t style = style_of(f);
        int16_t out[2] = {7, 7};
        EXPECT_EQ(ops->text_extent(ctx, "Box", 3, &style, out), 0) << size;
        EXPECT_EQ(out[0], 0);
        EXPECT_EQ(out[1], 0);
        ops->draw_text(ctx, 5, 5, "Box", 3, &style);
        gr_font_metrics_t metrics{1, 1, 1, 1};
        ops->font_metrics(ctx, &f, &metrics);
        EXPECT_EQ(metrics.line_height, 0);
    }
    EXPECT_TRUE(ink().empty());
    gr_font modelled = font(0, "");
    gr_text_style_t style = style_of(modelled);
    EXPECT_EQ(measure("Box", style).result, -1) << "still no font to measure with";
}

TEST_F(raster_text, each_font_file_is_opened_once) {
    make_canvas(60, 40);
    for (int32_t size : {10, 16, 20, 16, 10}) {
        gr_font f = font(size);
        gr_text_style_t style = style_of(f);
        measure("Lap", style);
        ops->draw_text(ctx, 0, 0, "Lap", 3, &style);
    }
    EXPECT_EQ(canvas->font_files_opened(), 1);
}

TEST_F(raster_text, text_is_placed_by_its_top_left_corner) {
    make_canvas(40, 40);
    gr_font f20 = font(20);
    gr_text_style_t style = style_of(f20);
    ops->draw_text(ctx, 5, 7, "H", 1, &style);
    box b = ink();
    ASSERT_FALSE(b.empty());
    // Inside the cell [5, 17) x [7, 31); "H" stands on the baseline 19 pixels below the top and
    // reaches up to its cap height (1493 units, 14.6 px) above it.
    EXPECT_GE(b.x1, 5);
    EXPECT_LE(b.x2, 16);
    EXPECT_EQ(b.y2, 7 + 19 - 1);
    EXPECT_NEAR(b.y1, 7 + 19 - 15, 1);
}

TEST_F(raster_text, translation_clip_and_colour_apply_to_text) {
    make_canvas(40, 40);
    gr_font f20 = font(20);
    gr_text_style_t style = style_of(f20, 0x00FF00);
    ops->translate(ctx, 10, 10);
    gr_rect_t clip{0, 0, 39, 14}; // canvas rows up to 24: the lower part of "H" is cut off
    ops->set_clip(ctx, &clip);
    ops->draw_text(ctx, 0, 0, "H", 1, &style);
    box b = ink();
    ASSERT_FALSE(b.empty());
    EXPECT_GE(b.x1, 10);
    EXPECT_EQ(b.y2, 24);
    EXPECT_GT(count_all(0xFF00FF00u), 0) << "full-coverage pixels are exactly the style's colour";
}

TEST_F(raster_text, rotation_turns_text_about_its_top_left_corner) {
    make_canvas(40, 80);
    gr_font f20 = font(20);
    gr_text_style_t style = style_of(f20);
    float upward = 270.0f;
    ops->set_attr(ctx, GR_ATTR_ROTATION, &upward, 4);
    ops->draw_text(ctx, 8, 70, "MMM", 3, &style);
    ops->restore_attr(ctx, GR_ATTR_ROTATION);
    // Reading upward from (8, 70): the 36-pixel run goes from y 70 up to 34, and the 24-pixel
    // line lies to the right of x 8.
    box b = ink();
    ASSERT_FALSE(b.empty());
    EXPECT_GE(b.x1, 8);
    EXPECT_LE(b.x2, 8 + 24 - 1);
    EXPECT_GE(b.y1, 70 - 36);
    EXPECT_LE(b.y2, 69);
    EXPECT_GT(b.y2 - b.y1, 30) << "the run is vertical";
}

TEST_F(raster_text, alpha_applies_to_text) {
    make_canvas(40, 40);
    gr_font f20 = font(20);
    gr_text_style_t style = style_of(f20);
    int32_t none = 0;
    ops->set_attr(ctx, GR_ATTR_ALPHA, &none, 4);
    ops->draw_text(ctx, 5, 5, "H", 1, &style);
    EXPECT_TRUE(ink().empty());
}

TEST_F(raster_text, fonts_without_a_drawable_file_fail_and_draw_nothing) {
    make_canvas(40, 40);
    gr_font modelled = font(20, ""); // known to the resource manager, but no file
    gr_font missing = font(20, scratch_dir() + "/nothing.otf");
    gr_font not_a_font = font(20, std::string(PITWALL_SOURCE_DIR) + "/CMakeLists.txt");
    for (gr_font *f : {&modelled, &missing, &not_a_font}) {
        gr_text_style_t style = style_of(*f);
        EXPECT_EQ(measure("Box", style).result, -1) << f->file;
        ops->draw_text(ctx, 5, 5, "Box", 3, &style);
        gr_font_metrics_t metrics{1, 1, 1, 1};
        ops->font_metrics(ctx, f, &metrics);
        EXPECT_EQ(metrics.line_height, 0);
    }
    EXPECT_TRUE(ink().empty());
    // Each unopenable file is reported once, however often it is asked for; a font that names
    // no file at all is a modelled font and not an error of the scene.
    EXPECT_TRUE(eng.log().empty()) << "the engine's reasons are not the widgets' log";
    EXPECT_EQ(eng.reports(),
              (std::vector<std::string>{"cannot open font \"fonts/CPMono_v07 Plain.otf\" (" + missing.file +
                                            "): No such file or directory",
                                        "cannot open font \"fonts/CPMono_v07 Plain.otf\" (" + not_a_font.file +
                                            "): unknown file format"}));

    gr_text_style_t no_font{};
    no_font.size = 20;
    EXPECT_EQ(measure("Box", no_font).result, -1);
    gr_font f20 = font(20);
    gr_text_style_t style = style_of(f20);
    int16_t out[2] = {0, 0};
    EXPECT_EQ(ops->text_extent(ctx, "Box", -1, &style, out), -1);
    EXPECT_EQ(ops->text_extent(ctx, nullptr, 3, &style, out), -1);
}

TEST_F(raster_text, bytes_that_are_not_utf8_still_measure_one_glyph_each) {
    make_canvas(8, 8);
    gr_font f20 = font(20);
    gr_text_style_t style = style_of(f20);
    EXPECT_EQ(measure("\xB0" "C", style).width, 24) << "a Latin-1 degree sign and a C";
    EXPECT_EQ(measure("\xC2\xB0" "C", style).width, 24) << "the same in UTF-8";
}

} // namespace
} // namespace pitwall::testing
