// The alarm lamps' and value boxes' images the theme build generated into the example
// application: every file the two alarms and the two boxes can ask for, the pictograms and the
// reset symbol at exactly the size the alarms draw them from, and the pixels that carry meaning:
// pictograms in their own colour, lamp pieces that meet without a seam, rounded corners that stay
// in the fixed pieces, a separator with faded ends, and a separator and a title plate that stand
// out from what they are drawn on. (theme_images_test.cpp checks every nine-patch's border.)
#include "pitwall/png_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

constexpr int k_opaque = 224; // an alpha at least this high: solid artwork
constexpr int k_clear = 16;   // at most this: nothing drawn there

const std::vector<std::string> k_lamp_colours = {"white", "red",  "yellow", "orange",
                                                 "green", "blue", "violet", "grey"};
const std::vector<std::string> k_flat_colours = {"white", "red",    "yellow", "orange", "green",
                                                 "blue",  "violet", "grey",   "black"};
const std::vector<std::string> k_classic_colours = {"white1", "white2", "red",  "yellow", "orange", "green",
                                                    "blue",   "violet", "grey", "black1", "black2"};

bool load(const std::string &file, argb_image *out) {
    std::string path = std::string(PITWALL_APP_DIR) + "/images/" + file;
    std::string why;
    if (read_png(path, out, &why)) return true;
    ADD_FAILURE() << path << " is built by the theme target: " << why;
    return false;
}

int alpha(uint32_t argb) { return int(argb >> 24); }

int luminance(uint32_t argb) {
    return (299 * int((argb >> 16) & 0xFF) + 587 * int((argb >> 8) & 0xFF) + 114 * int(argb & 0xFF)) / 1000;
}

int channel_difference(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8)
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return worst;
}

struct icon {
    const char *name;
    int width, height;
};

// The alarms' icon table: the size each pictogram is drawn from.
constexpr icon k_icons[] = {
    {"cross", 75, 75},
    {"plus", 75, 75},
    {"minus", 75, 23},
    {"warning_filled", 75, 65},
    {"warning_lights", 75, 65},
    {"turn_indicator_left", 47, 45},
    {"turn_indicator_right", 47, 45},
    {"water_temp", 75, 68},
    {"oil", 75, 32},
    {"mil_engine", 75, 53},
    {"gear", 75, 75},
    {"gear_warning", 75, 75},
    {"fuelstation", 68, 68},
    {"high_beam_lights", 75, 68},
    {"low_beam_lights", 75, 68},
    {"sidelight", 72, 39},
    {"light", 75, 69},
    {"lap_stopwatch", 62, 70},
    {"speedo", 61, 61},
    {"signalhorn", 75, 47},
    {"windshield", 74, 74},
    {"windshield_washer_fluid", 73, 58},
};

// The icon palette's colours: the level bars' seven and the theme's grey and black.
struct icon_colour {
    const char *name;
    uint32_t rgb;
};
constexpr icon_colour k_icon_colours[] = {
    {"white", 0xFFFFFF}, {"red", 0xFF0000},    {"yellow", 0xFFDE00}, {"orange", 0xFF7200}, {"green", 0x4EEC00},
    {"blue", 0x00B4FF},  {"violet", 0xBA0065}, {"grey", 0x9AA0A6},   {"black", 0x101010},
};

// Every themed file of the two alarms and the two boxes in every palette colour, and the plain
// images with what makes them work at the size they are drawn.
TEST(theme_alarm_box_images, every_file_the_alarms_and_boxes_load_is_there) {
    struct themed_set {
        std::string dir;
        const std::vector<std::string> &colours;
        std::vector<std::string> suffixes;
    };
    const themed_set sets[] = {
        {"ModernAlarm/", k_lamp_colours, {"_box1.9.png", "_box2.9.png", "_box3.9.png"}},
        {"ModernBox/", k_flat_colours, {"_box.9.png", "_title.9.png"}},
        {"ClassicBox/", k_classic_colours, {"_box.9.png", "_line.png"}},
    };
    for (const themed_set &set : sets)
        for (const std::string &colour : set.colours)
            for (const std::string &suffix : set.suffixes) {
                argb_image img;
                load(set.dir + colour + suffix, &img);
            }

    // Drawn at its own size, 20 x 20, and white.
    argb_image reset;
    if (load("ModernAlarm/white_reset.png", &reset)) {
        EXPECT_EQ(reset.width, 20);
        EXPECT_EQ(reset.height, 20);
        int white = 0;
        for (uint32_t argb : reset.pixels) white += argb == 0xFFFFFFFFu;
        EXPECT_GE(white, 20) << "a stroke of solid white";
    }

    // The separator under a classic title fades out at both ends and stands out from the face it
    // is drawn on.
    for (const std::string &colour : k_classic_colours) {
        SCOPED_TRACE(colour);
        argb_image line, frame;
        bool loaded = load("ClassicBox/" + colour + "_line.png", &line);
        if (!load("ClassicBox/" + colour + "_box.9.png", &frame) || !loaded) continue;
        EXPECT_LE(alpha(line.at(0, 0)), k_clear) << "faded left end";
        EXPECT_LE(alpha(line.at(line.width - 1, 0)), k_clear) << "faded right end";
        uint32_t middle = line.at(line.width / 2, 0);
        EXPECT_EQ(alpha(middle), 255) << "solid middle";
        uint32_t face = frame.at(frame.width / 2, frame.height / 2);
        EXPECT_GE(std::abs(luminance(middle) - luminance(face)), 60) << std::hex << middle << " on " << face;
    }

    // Every pictogram in every colour at its table size, on a transparent background, a bold
    // shape: at least a tenth of its pixels solid in the colour its name promises.
    for (const icon &i : k_icons)
        for (const icon_colour &c : k_icon_colours) {
            std::string file = std::string("Icons/") + i.name + "_" + c.name + ".png";
            SCOPED_TRACE(file);
            argb_image img;
            if (!load(file, &img)) continue;
            ASSERT_EQ(img.width, i.width);
            ASSERT_EQ(img.height, i.height);
            for (int x : {0, i.width - 1})
                for (int y : {0, i.height - 1})
                    EXPECT_LE(alpha(img.at(x, y)), k_clear) << "corner " << x << ", " << y;
            int solid = 0;
            for (uint32_t argb : img.pixels) solid += argb == (0xFF000000u | c.rgb);
            EXPECT_GE(solid * 10, i.width * i.height) << solid << " pixels in the colour";
        }
}

// A nine-patch file read back: the content inside the border and the bands its marks give.
struct nine_patch_file {
    argb_image bordered;
    int width = 0, height = 0;
    int sx = -1, sw = 0, sy = -1, sh = 0;

    uint32_t at(int x, int y) const { return bordered.at(x + 1, y + 1); }
};

bool load_nine_patch(const std::string &file, nine_patch_file *out) {
    if (!load(file, &out->bordered)) return false;
    out->width = out->bordered.width - 2;
    out->height = out->bordered.height - 2;
    for (int x = 0; x < out->width; ++x)
        if (out->bordered.at(x + 1, 0) == 0xFF000000u) {
            if (out->sx < 0) out->sx = x;
            out->sw += 1;
        }
    for (int y = 0; y < out->height; ++y)
        if (out->bordered.at(0, y + 1) == 0xFF000000u) {
            if (out->sy < 0) out->sy = y;
            out->sh += 1;
        }
    return out->sw > 0 && out->sh > 0;
}

// Where a piece's outline is rounded, so that its outer corner pixel must be empty.
enum corners : unsigned { top_left = 1, top_right = 2, bottom_left = 4, bottom_right = 8, all_four = 15 };

struct piece_kind {
    std::string dir, suffix;
    const std::vector<std::string> &colours;
    unsigned rounded;
    std::string joins;    // the piece drawn against its right side at the same height, if any
    std::string drawn_on; // the piece it is drawn on and must stand out from, if any
};

// Every colour of a piece shares the first colour's size and bands (a widget keeps one layout for
// all of them). Rounded corners lie wholly in the fixed columns and rows, so every stretched
// column and row still meets the outline solid. The lamp's left cap, middle and right cap stretch
// the same rows and each ends in the column its right neighbour starts with, so that the joins
// cannot be seen at any size. The modern title plate stands out from its box.
TEST(theme_alarm_box_images, pieces_keep_their_corners_and_meet_their_neighbours) {
    const piece_kind kinds[] = {
        {"ModernAlarm/", "_box1.9.png", k_lamp_colours, top_left | bottom_left, "_box2.9.png", ""},
        {"ModernAlarm/", "_box2.9.png", k_lamp_colours, 0, "_box3.9.png", ""},
        {"ModernAlarm/", "_box3.9.png", k_lamp_colours, top_right | bottom_right, "", ""},
        {"ModernBox/", "_box.9.png", k_flat_colours, all_four, "", ""},
        {"ModernBox/", "_title.9.png", k_flat_colours, all_four, "", "_box.9.png"},
        {"ClassicBox/", "_box.9.png", k_classic_colours, all_four, "", ""},
    };
    for (const piece_kind &kind : kinds) {
        nine_patch_file first;
        for (const std::string &colour : kind.colours) {
            std::string file = kind.dir + colour + kind.suffix;
            SCOPED_TRACE(file);
            nine_patch_file p;
            ASSERT_TRUE(load_nine_patch(file, &p)) << "stretch marks on both edges";
            if (first.width == 0) first = p;
            EXPECT_EQ(p.width, first.width);
            EXPECT_EQ(p.height, first.height);
            EXPECT_EQ(p.sx, first.sx);
            EXPECT_EQ(p.sw, first.sw);
            EXPECT_EQ(p.sy, first.sy);
            EXPECT_EQ(p.sh, first.sh);

            for (int x = p.sx; x < p.sx + p.sw; ++x) {
                EXPECT_GE(alpha(p.at(x, 0)), k_opaque) << "top edge, stretched column " << x;
                EXPECT_GE(alpha(p.at(x, p.height - 1)), k_opaque) << "bottom edge, stretched column " << x;
            }
            for (int y = p.sy; y < p.sy + p.sh; ++y) {
                EXPECT_GE(alpha(p.at(0, y)), k_opaque) << "left edge, stretched row " << y;
                EXPECT_GE(alpha(p.at(p.width - 1, y)), k_opaque) << "right edge, stretched row " << y;
            }
            uint32_t centre = p.at(p.width / 2, p.height / 2);
            EXPECT_GE(alpha(centre), k_opaque) << "centre";
            const struct {
                unsigned corner;
                int x, y;
            } outer[] = {{top_left, 0, 0},
                         {top_right, p.width - 1, 0},
                         {bottom_left, 0, p.height - 1},
                         {bottom_right, p.width - 1, p.height - 1}};
            for (const auto &o : outer) {
                if (kind.rounded & o.corner)
                    EXPECT_LE(alpha(p.at(o.x, o.y)), k_clear) << "rounded corner at " << o.x << ", " << o.y;
                else
                    EXPECT_GE(alpha(p.at(o.x, o.y)), k_opaque) << "square corner at " << o.x << ", " << o.y;
            }

            nine_patch_file next;
            if (!kind.joins.empty() && load_nine_patch(kind.dir + colour + kind.joins, &next)) {
                ASSERT_EQ(next.height, p.height);
                EXPECT_EQ(next.sy, p.sy);
                EXPECT_EQ(next.sh, p.sh);
                for (int y = 0; y < p.height; ++y)
                    EXPECT_LE(channel_difference(p.at(p.width - 1, y), next.at(0, y)), 2) << "join, row " << y;
            }
            nine_patch_file under;
            if (!kind.drawn_on.empty() && load_nine_patch(kind.dir + colour + kind.drawn_on, &under)) {
                uint32_t backdrop = under.at(under.width / 2, under.height / 2);
                EXPECT_GE(std::abs(luminance(centre) - luminance(backdrop)), 30)
                    << std::hex << centre << " on " << backdrop;
            }
        }
    }
}

} // namespace
} // namespace pitwall::testing
