// Texts a clip cuts are noted with how far their glyphs reach beyond it, side by side; texts that
// fit, or that only graze the clip with a fraction of a pixel, are not; nothing is noted unless
// asked for, and what was noted is handed over once.
#include "raster_fixture.h"

#include <string>

namespace pitwall::testing {
namespace {

class cut_text : public raster_test {
protected:
    void draw(const char *text, int32_t x, int32_t y, const gr_rect_t *clip, float degrees = 0.0f) {
        gr_font font{"fonts/mono", k_mono_font, 20};
        gr_text_style_t style{};
        style.font = &font;
        style.one = 1;
        style.size = 20;
        style.colour = 0xFFFFFF;
        ops->set_attr(ctx, GR_ATTR_ROTATION, &degrees, sizeof degrees);
        if (clip != nullptr) ops->set_clip(ctx, clip);
        ops->draw_text(ctx, x, y, text, int32_t(std::string(text).size()), &style);
        if (clip != nullptr) ops->clear_clip(ctx);
        ops->restore_attr(ctx, GR_ATTR_ROTATION);
    }
};

TEST_F(cut_text, is_noted_by_how_far_it_reaches_beyond_the_clip) {
    // DejaVu Sans Mono at 20 px: 12 px a character, ink from about 1 px in; a line 24 px high.
    const struct {
        const char *what;
        int32_t x, y;
        gr_rect_t clip;
        float degrees;
        bool cut;
        bool left, right, top, bottom;
    } cases[] = {
        {"fits", 20, 20, {10, 10, 200, 60}, 0, false, false, false, false, false},
        {"the right end cut", 20, 20, {10, 10, 50, 60}, 0, true, false, true, false, false},
        {"the start cut", 20, 20, {40, 10, 200, 60}, 0, true, true, false, false, false},
        {"cut on both sides", 20, 20, {40, 10, 60, 60}, 0, true, true, true, false, false},
        {"its top cut", 20, 20, {10, 30, 200, 60}, 0, true, false, false, true, false},
        {"its foot cut", 20, 20, {10, 10, 200, 30}, 0, true, false, false, false, true},
        {"turned a quarter, its end cut", 100, 20, {10, 10, 200, 50}, 90, true, false, false, false, true},
        {"off the canvas's right edge", 200, 20, {0, 0, 399, 199}, 0, true, false, true, false, false},
    };
    make_canvas(240, 120);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        canvas->note_cut_texts(true);
        draw("184 km/h", c.x, c.y, &c.clip, c.degrees);
        const std::vector<raster_context::cut_text> cuts = canvas->take_cut_texts();
        if (!c.cut) {
            EXPECT_TRUE(cuts.empty());
            continue;
        }
        ASSERT_EQ(cuts.size(), 1u);
        EXPECT_EQ(cuts[0].text, "184 km/h");
        EXPECT_EQ(cuts[0].left > 0, c.left) << cuts[0].left;
        EXPECT_EQ(cuts[0].right > 0, c.right) << cuts[0].right;
        EXPECT_EQ(cuts[0].top > 0, c.top) << cuts[0].top;
        EXPECT_EQ(cuts[0].bottom > 0, c.bottom) << cuts[0].bottom;
        EXPECT_TRUE(canvas->take_cut_texts().empty()); // handed over once
    }
    // The right end cut at x = 50: the eighth character ends near 20 + 96; the clip ends at 51.
    gr_rect_t clip{10, 10, 50, 60};
    draw("184 km/h", 20, 20, &clip);
    const std::vector<raster_context::cut_text> cuts = canvas->take_cut_texts();
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_GE(cuts[0].right, 60);
    EXPECT_LE(cuts[0].right, 66);
    // Not noting: nothing is kept.
    canvas->note_cut_texts(false);
    draw("184 km/h", 20, 20, &clip);
    EXPECT_TRUE(canvas->take_cut_texts().empty());
}

} // namespace
} // namespace pitwall::testing
