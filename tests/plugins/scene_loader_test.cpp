// Scene files: what they set, and malformed ones refused with a message instead of a crash.
#include "pitwall/scene.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool parse(const std::string &json, pitwall::scene &out, std::string &err) {
    err.clear();
    return pitwall::parse_scene(json, "/scenes", out, &err);
}

TEST(scene_loader, reads_canvas_images_and_controls) {
    pitwall::scene s;
    std::string err;
    ASSERT_TRUE(parse(R"({"canvas": {"width": 320, "height": 240, "background": "#80102030"},
        "base_dir": "app",
        "images": {"images/a.9.png": {"width": 30, "height": 20, "stretch": [4, 22, 3, 14]}},
        "controls": [{"widget": "Basic Box", "name": "oil", "x": -32768, "y": 32767, "width": 60,
                      "attributes": {"render_text": "42", "value": 1.5, "render_title": null}}]})",
                      s, err))
        << err;
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);
    EXPECT_EQ(s.background, 0x80102030u);
    EXPECT_EQ(s.base_dir, "/scenes/app");
    ASSERT_EQ(s.stage.images.size(), 1u);
    EXPECT_TRUE(s.stage.images[0].info.nine_patch);
    EXPECT_EQ(s.stage.images[0].info.sw, 22);
    EXPECT_EQ(s.stage.images[0].info.sh, 14);
    ASSERT_EQ(s.controls.size(), 1u);
    const pitwall::scene_control &c = s.controls[0];
    EXPECT_EQ(c.name, "oil");
    EXPECT_EQ(c.x, -32768);
    EXPECT_EQ(c.y, 32767);
    EXPECT_EQ(c.width, 60);
    EXPECT_EQ(c.height, 240) << "the canvas height when the control gives none";
    ASSERT_EQ(c.state.attributes.size(), 3u);
}

// Widgets see their attributes in the order the scene writes them (an upper limit set before its
// value, a text before its font), not sorted by name.
TEST(scene_loader, attributes_keep_the_order_of_the_file) {
    pitwall::scene s;
    std::string err;
    ASSERT_TRUE(parse(R"({"controls": [{"widget": "Basic Box",
        "attributes": {"value": 1, "upper_limit": 1, "render_text": "a", "color_box": "#ffffff", "alignment": 2}}]})",
                      s, err))
        << err;
    ASSERT_EQ(s.controls.size(), 1u);
    std::vector<std::string> names;
    for (const auto &[name, value] : s.controls[0].state.attributes) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"value", "upper_limit", "render_text", "color_box", "alignment"}));
}

TEST(scene_loader, wrong_kinds_and_out_of_range_numbers_are_messages_not_crashes) {
    const struct { const char *json, *message; } cases[] = {
        {R"({"controls": [{"widget": "SplashImage", "name": 5}]})", "\"name\" must be a string"},
        {R"({"images": {"a.png": {"stretch": ["a", 1, 2, 3]}}, "controls": []})", "\"stretch\""},
        {R"({"images": {"a.png": {"stretch": [1, 2, 3, 40000]}}, "controls": []})", "\"stretch\""},
        {R"({"images": {"a.png": 3}, "controls": []})", "image \"a.png\""},
        {R"({"images": {"a.png": {"width": "10"}}, "controls": []})", "image \"a.png\""},
        {R"({"canvas": {"background": "#-00001"}, "controls": []})", "background"},
        {R"({"canvas": {"background": "# 12345"}, "controls": []})", "background"},
        {R"({"canvas": {"width": 40000}, "controls": []})", "\"canvas\""},
        {R"({"controls": [{"widget": "SplashImage", "x": 32768}]})", "\"x\""},
        {R"({"controls": [{"widget": "SplashImage", "y": "10"}]})", "\"y\""},
        {R"({"controls": [{"widget": "SplashImage", "width": 10.5}]})", "\"width\""},
    };
    for (const auto &c : cases) {
        pitwall::scene s;
        std::string err;
        EXPECT_FALSE(parse(c.json, s, err)) << c.json;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.json << "\n" << err;
    }
}

} // namespace

// Every error names its line and column (from 1): syntax errors where the parser stopped, and
// errors of meaning where the offending value begins.
TEST(scene_loader, errors_give_line_column_and_cause) {
    const struct { std::string json, error; } cases[] = {
        {"", "1:1: the file is empty"},
        {" \n\t", "1:1: the file is empty"},
        {"[1, 2]", "1:1: a scene is a JSON object"},
        {"{\"controls\": [}", "1:15: syntax error while parsing value - unexpected '}'; expected '[', '{', or a literal"},
        {"{\"canvas\": {\"width\": 1e400}}", "1:26: number overflow parsing '1e400'"},
        {"{\"controls\": [],\n \"controls\": []}", "2:2: duplicate key \"controls\""},
        {std::string(300, '['), "1:257: nested deeper than 256 levels"},
        {"{\"controls\": [\n  {\"widget\": \"SplashImage\",\n   \"attributes\": {\"logo_path\": [1]}}]}",
         "3:32: control \"SplashImage\": \"SplashImage\": attribute \"logo_path\" (1s0) takes a string, not a list"},
        {"{\"controls\": [{\"widget\": \"SplashImage\", \"atributes\": {}}]}",
         "1:54: control \"SplashImage\": unknown key \"atributes\""},
        {"{\"controls\": [{\"widget\": \"SplashImage\", \"x\": -40000}]}",
         "1:46: control \"SplashImage\": \"x\" must be an integer from -32768 to 32767"},
        {"{\"controls\": [], \"steps\": [{\"destroy\": \"a\"}]}", "1:40: step 1: \"destroy\" is an array of control names"},
        {"{\"controls\": [], \"stage\": {\"font_faults\": {\"f\": \"soon\"}}}",
         "1:49: font fault \"f\" is \"lookup\", \"font\" or null"},
        {"{\"_note\": \"comments are free\"}", "1:1: the scene needs \"controls\", an array"},
    };
    for (const auto &c : cases) {
        pitwall::scene s;
        std::string err;
        EXPECT_FALSE(parse(c.json, s, err)) << c.json;
        EXPECT_EQ(err, c.error) << c.json;
    }
}
