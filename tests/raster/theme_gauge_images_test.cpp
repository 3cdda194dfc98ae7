// The gauges' images the theme build generated into the example application. The gauges load
// each file at a size of their own computing, so every file must keep the proportions of its
// design size, and its artwork must sit where the gauges' placement expects it: the needles'
// tips, pointer rows and hubs, and round dial faces in the colour their name promises.
#include "pitwall/png_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

constexpr int k_opaque = 224; // an alpha at least this high: solid artwork
constexpr int k_clear = 16;   // at most this: nothing drawn there

// A place in design pixels, where the artwork must be solid or must be absent.
struct probe {
    double x, y;
    bool solid;
    const char *what;
};

struct loaded {
    argb_image img;
    int design_w = 0, design_h = 0;

    // The pixel covering the design point (x, y), whatever the size the file was rendered at.
    uint32_t at(double x, double y) const {
        int px = std::clamp(int(x * img.width / design_w), 0, img.width - 1);
        int py = std::clamp(int(y * img.height / design_h), 0, img.height - 1);
        return img.at(px, py);
    }
};

// Reads images/<file>, which must have the proportions of design_w x design_h exactly.
bool load_gauge_image(const std::string &file, int design_w, int design_h, loaded *out) {
    std::string path = std::string(PITWALL_APP_DIR) + "/images/" + file;
    std::string why;
    if (!read_png(path, &out->img, &why)) {
        ADD_FAILURE() << path << " is built by the theme target: " << why;
        return false;
    }
    out->design_w = design_w;
    out->design_h = design_h;
    EXPECT_EQ(int64_t(out->img.width) * design_h, int64_t(out->img.height) * design_w)
        << file << " is " << out->img.width << " x " << out->img.height << ", designed at " << design_w << " x "
        << design_h;
    return true;
}

void expect_probes(const loaded &image, const std::vector<probe> &probes) {
    for (const probe &p : probes) {
        int alpha = int(image.at(p.x, p.y) >> 24);
        if (p.solid)
            EXPECT_GE(alpha, k_opaque) << p.what << " at (" << p.x << ", " << p.y << ")";
        else
            EXPECT_LE(alpha, k_clear) << p.what << " at (" << p.x << ", " << p.y << ")";
    }
}

struct needle_case {
    const char *file;
    int design_w, design_h;
    std::vector<probe> probes;
};

// Design sizes and anchor points as the gauges place the needles at angle 0 (modern: pointing
// right, the pivot left of the image on the pointer row) or unrotated (classic: pointing down).
TEST(theme_gauge_images, needles_point_where_the_gauges_turn_them) {
    const std::vector<needle_case> cases = {
        // Tip 185 px from the centre, at the right end; a slim bar on the centre row (y 3).
        {"ModernGauge/needle_large.png", 110, 6,
         {{107, 3, true, "tip at the right end"},
          {40, 3, true, "blade on the centre row"},
          {40, 0.3, false, "above the slim blade"},
          {40, 5.7, false, "below the slim blade"},
          {109.8, 0.5, false, "beside the pointed tip"},
          {109.8, 5.5, false, "beside the pointed tip"}}},
        // Pivot row 3/161 of the height above the bottom edge (y 101.1), trail rising from it
        // within radius 115 of the pivot at x -56.5: the top right corner is out of its reach.
        {"ModernGauge/needle_cw.png", 58, 103,
         {{45, 101.1, true, "pointer on the bottom row"},
          {57.5, 101.1, true, "pointer reaching the outer edge"},
          {45, 1.9, false, "no pointer on the top row"},
          {57, 1, false, "top right corner, beyond the trail"}}},
        // The mirror image: pivot row 3/161 below the top edge, trail going down.
        {"ModernGauge/needle_ccw.png", 58, 103,
         {{45, 1.9, true, "pointer on the top row"},
          {57.5, 1.9, true, "pointer reaching the outer edge"},
          {45, 101.1, false, "no pointer on the bottom row"},
          {57, 102, false, "bottom right corner, beyond the trail"}}},
        // Hub at (16, 23), blade down the middle to the bottom edge.
        {"ClassicGauge/needle_small.png", 32, 115,
         {{16, 23, true, "hub on the pivot"},
          {16, 60, true, "blade below the hub"},
          {16, 113, true, "tip at the bottom centre"},
          {3, 60, false, "beside the blade"},
          {2, 113, false, "beside the tip"},
          {30, 113, false, "beside the tip"}}},
        // Pivot above the image at (5, -100): a blade down the middle to the bottom edge.
        {"ClassicGauge/needle_large.png", 10, 87,
         {{5, 5, true, "blade at the top"},
          {5, 84, true, "tip at the bottom centre"},
          {0.5, 84, false, "beside the tip"},
          {9.5, 84, false, "beside the tip"}}},
    };
    for (const needle_case &c : cases) {
        SCOPED_TRACE(c.file);
        loaded image;
        if (load_gauge_image(c.file, c.design_w, c.design_h, &image)) expect_probes(image, c.probes);
    }
}

// The bright colour of each palette entry, as the level bars draw it.
struct palette_colour {
    const char *name;
    uint32_t rgb;
};
constexpr palette_colour k_palette[] = {
    {"white", 0xFFFFFF}, {"red", 0xFF0000},   {"yellow", 0xFFDE00}, {"orange", 0xFF7200},
    {"green", 0x4EEC00}, {"blue", 0x00B4FF}, {"violet", 0xBA0065},
};

// Distance between the hues of two colours: both brightened until their strongest channel is
// full, so that a darker face tone still lands nearest its own palette colour.
double hue_distance(uint32_t a, uint32_t b) {
    auto brightened = [](uint32_t rgb, int shift) {
        int r = int((rgb >> 16) & 0xFF), g = int((rgb >> 8) & 0xFF), bl = int(rgb & 0xFF);
        int top = std::max({r, g, bl, 1});
        return 255.0 * int((rgb >> shift) & 0xFF) / top;
    };
    double sum = 0;
    for (int shift : {16, 8, 0}) {
        double d = brightened(a, shift) - brightened(b, shift);
        sum += d * d;
    }
    return sum;
}

// Every palette colour has a round face per size: transparent outside the circle, solid inside,
// and painted in its own colour (the nearest palette hue), so that no file takes another's tone.
TEST(theme_gauge_images, dial_faces_are_round_and_in_their_palette_colour) {
    struct variant {
        const char *suffix;
        int size;
    };
    for (const variant &v : {variant{"_bg_small.png", 240}, variant{"_bg_large.png", 440}}) {
        double s = v.size, c = s / 2;
        for (const palette_colour &colour : k_palette) {
            std::string file = std::string("ClassicGauge/") + colour.name + v.suffix;
            SCOPED_TRACE(file);
            loaded image;
            if (!load_gauge_image(file, v.size, v.size, &image)) continue;
            expect_probes(image, {{0.5, 0.5, false, "top left corner"},
                                  {s - 0.5, 0.5, false, "top right corner"},
                                  {0.5, s - 0.5, false, "bottom left corner"},
                                  {s - 0.5, s - 0.5, false, "bottom right corner"},
                                  {c, c, true, "centre"},
                                  {c, 1.5, true, "bezel at the top"},
                                  {1.5, c, true, "bezel at the left"}});
            // On the face between the labels and the tick marks, outside the large dial's centre well.
            uint32_t face = image.at(c, 30) & 0xFFFFFFu;
            const palette_colour *nearest = &k_palette[0];
            for (const palette_colour &p : k_palette)
                if (hue_distance(face, p.rgb) < hue_distance(face, nearest->rgb)) nearest = &p;
            EXPECT_STREQ(nearest->name, colour.name) << "face colour " << std::hex << face;
        }
    }
}

} // namespace
} // namespace pitwall::testing
