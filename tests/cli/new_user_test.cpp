// A new user's first dashboard, command after command through the tool of this build: a starting
// scene, lint, a render with its text, then a lap-time column of a log driving a box through a
// format in `animate`, and the slip a new user makes in a channel, reported at its place.
#include "tool_test.h"

#include "pitwall/png_file.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pitwall::testing {
namespace {

class new_user : public tool_test {
protected:
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string path(const std::string &name) const { return dir + "/" + name; }
    nlohmann::ordered_json read_json(const std::string &name) const {
        return nlohmann::ordered_json::parse(std::ifstream(path(name)));
    }

    static argb_image picture(const std::string &file) {
        argb_image img;
        std::string why;
        EXPECT_TRUE(read_png(file, &img, &why)) << file << ": " << why;
        return img;
    }
    // Whether two pictures differ inside a control's rectangle.
    static bool differ_in(const argb_image &a, const argb_image &b, const nlohmann::ordered_json &control) {
        const int x = control["x"], y = control["y"], w = control["width"], h = control["height"];
        for (int row = y; row < y + h && row < a.height && row < b.height; ++row)
            for (int col = x; col < x + w && col < a.width && col < b.width; ++col)
                if (a.at(col, row) != b.at(col, row)) return true;
        return false;
    }
    static nlohmann::ordered_json control_named(const nlohmann::ordered_json &scene, const std::string &name) {
        for (const auto &c : scene["controls"])
            if (c["name"] == name) return c;
        ADD_FAILURE() << "no control " << name;
        return {{"x", 0}, {"y", 0}, {"width", 0}, {"height", 0}};
    }
};

TEST_F(new_user, starting_scene_lints_clean_renders_its_text_and_a_lap_column_animates_through_a_format) {
    // new, lint, render.
    tool_result r = pitwall({"new", "-o", path("dash.json"), "--size", "800x480"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    r = pitwall({"lint", path("dash.json")});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("0 errors, 0 warnings"), std::string::npos) << r.out << r.err;
    r = pitwall({"render", path("dash.json"), "-o", path("dash.png")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.find("failed to draw"), std::string::npos) << r.err;

    // The label's text is drawn: without the font the label's pixels are not the same.
    nlohmann::ordered_json scene = read_json("dash.json");
    scene["fonts"] = {{"fonts/CPMono_v07 Plain.otf", "/nonexistent/none.ttf"}};
    write("no-font.json", scene.dump(2));
    pitwall({"render", path("no-font.json"), "-o", path("no-font.png")});
    EXPECT_TRUE(differ_in(picture(path("dash.png")), picture(path("no-font.png")), control_named(scene, "label")));

    // A lap-time column drives a box's text through a clock format: the box pasted from `pitwall
    // snippet` into a small scene, a few frames.
    r = pitwall({"snippet", "Basic Box"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    nlohmann::ordered_json box = nlohmann::ordered_json::parse(r.out);
    box["name"] = "lap";
    box["x"] = 10;
    box["y"] = 10;
    write("lap.csv", "t,lap_time\n0,83.456\n0.5,95.5\n");
    nlohmann::ordered_json lap = {
        {"canvas", {{"width", 190}, {"height", 116}}},
        {"controls", nlohmann::ordered_json::array({box})},
        {"telemetry",
         {{"file", "lap.csv"},
          {"channels", {{"lap_time", {{"control", "lap"}, {"attribute", "render_text"}, {"format", "m:ss.SSS"}}}}}}}};
    write("lap.json", lap.dump(2));
    r = pitwall({"lint", path("lap.json")});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    r = pitwall({"animate", path("lap.json"), "-o", path("frames"), "--fps", "4"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, path("frames") + "/frame-00000.png .. frame-00002.png (3 frames)\n");
    EXPECT_EQ(r.err.find("failed"), std::string::npos) << r.err;
    // 1:23.456, 1:29.478, 1:35.500: the box's text changes every frame.
    const argb_image f0 = picture(path("frames/frame-00000.png")), f1 = picture(path("frames/frame-00001.png")),
                     f2 = picture(path("frames/frame-00002.png"));
    EXPECT_TRUE(differ_in(f0, f1, box));
    EXPECT_TRUE(differ_in(f1, f2, box));

    // The slip of a hand in the channel: refused before any frame, at its place, by the channel's name.
    std::string text = lap.dump(2);
    text.replace(text.rfind("\"render_text\""), 13, "\"render_txt\"");
    write("slip.json", text);
    size_t at = text.find("\"render_txt\""), line = 1 + std::count(text.begin(), text.begin() + long(at), '\n');
    const size_t column = at - text.rfind('\n', at);
    r = pitwall({"animate", path("slip.json"), "-o", path("slip-frames"), "--fps", "4"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, "pitwall: " + path("slip.json") + ":" + std::to_string(line) + ":" + std::to_string(column) +
                         ": telemetry \"lap.csv\" channel \"lap_time\": control \"lap\" has no attribute "
                         "\"render_txt\" (did you mean \"render_text\"?)\n");
    EXPECT_FALSE(std::filesystem::exists(path("slip-frames/frame-00000.png")));
}

} // namespace
} // namespace pitwall::testing
