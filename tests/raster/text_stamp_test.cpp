// Text drawn through a line's kept coverage gives exactly the pixels of the route it replaces:
// Cairo for upright text, the turned mask for text turned by quarter turns. Texts of several
// sizes, at whole-pixel places partly off the canvas and under clips, in colours over a patterned
// background, drawn twice (the coverage made, then reused).
#include "raster_fixture.h"

#include "pitwall/resources.h"

#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

struct line {
    const char *text;
    int32_t size, x, y;
    uint32_t colour;
    bool clipped;
};

const line k_lines[] = {
    {"1.1 bar", 30, 10, 10, 0xFFFFFF, false},   {"OIL PRESS", 20, 3, 50, 0x9AA6B2, false},
    {"Wim ff www", 47, -7, 70, 0xFF6B6B, false}, {"12850", 14, 180, 130, 0x00FF00, true},
    {"-0.412 |}{", 9, 60, -4, 0x123456, false},  {"MMMM", 33, 150, 100, 0xFFFFFF, true},
    {"iiii....", 11, 200, 5, 0x808080, false},    {"Ag", 120, 20, 60, 0xFEDCBA, true},
};

class text_stamp : public raster_test {
protected:
    // The canvas after drawing every line twice, turned by `degrees`, with or without kept
    // coverage; with no lines at all, the background alone.
    std::vector<uint32_t> drawn(float degrees, bool stamped, bool lines = true) {
        make_canvas(240, 180);
        canvas->set_text_stamps(stamped);
        // A background of stripes, so that blending shows.
        for (int16_t x = 0; x < 240; x += 6) {
            gr_rect_t stripe{x, 0, int16_t(x + 2), 179};
            ops->fill_rect(ctx, &stripe, 0x203040u + uint32_t(x) * 0x10101u);
        }
        ops->set_attr(ctx, GR_ATTR_ROTATION, &degrees, sizeof degrees);
        for (int pass = 0; pass < 2 && lines; ++pass)
            for (const line &l : k_lines) {
                gr_font font{"fonts/mono", k_mono_font, l.size};
                gr_text_style_t style{};
                style.font = &font;
                style.one = 1;
                style.size = l.size;
                style.colour = l.colour;
                gr_rect_t clip{int16_t(l.x + 5), int16_t(l.y + 3), int16_t(l.x + 40), int16_t(l.y + 20)};
                if (l.clipped) ops->set_clip(ctx, &clip);
                ops->draw_text(ctx, l.x + pass, l.y, l.text, int32_t(std::string(l.text).size()), &style);
                if (l.clipped) ops->clear_clip(ctx);
            }
        ops->restore_attr(ctx, GR_ATTR_ROTATION);
        std::vector<uint32_t> picture;
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 240; ++x) picture.push_back(at(x, y));
        return picture;
    }
};

TEST_F(text_stamp, equals_the_route_it_replaces_to_the_pixel) {
    for (float degrees : {0.0f, 90.0f, 180.0f, 270.0f, -90.0f, 450.0f}) {
        SCOPED_TRACE(degrees);
        const std::vector<uint32_t> plain = drawn(degrees, false), stamped = drawn(degrees, true);
        const std::vector<uint32_t> background = drawn(degrees, true, false);
        size_t differing = 0, inked = 0;
        for (size_t i = 0; i < plain.size(); ++i) {
            differing += plain[i] != stamped[i];
            inked += plain[i] != background[i];
        }
        EXPECT_EQ(differing, 0u);
        EXPECT_GT(inked, 1000u); // the lines were drawn at all
    }
}

} // namespace
} // namespace pitwall::testing
