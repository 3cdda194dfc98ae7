// The workbench as a layout editor, driven directly: moves and resizes through the scene's change
// path (only the old and new places repainted), refused geometry with its reason, names kept unique
// by add and duplicate, the drawing order, the undo history of every kind of edit, and the tracks'
// values at a time in the form.
#include "workbench.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace pitwall::cli {
namespace {

namespace fs = std::filesystem;

// Two Basic Boxes, green inside a white outline, on a 300 x 120 black canvas with room to move.
const char *const layout_scene = R"({
  "canvas": { "width": 300, "height": 120, "background": "#000000" },
  "controls": [
    { "widget": "Basic Box", "name": "left", "x": 0, "y": 0, "width": 100, "height": 100,
      "attributes": { "color_box": "#ffffff", "color_bg": "#00ff00", "value": 0 } },
    { "widget": "Basic Box", "name": "right", "x": 150, "y": 0, "width": 100, "height": 100,
      "attributes": { "color_box": "#ffffff", "color_bg": "#00ff00", "value": 0 } }
  ],
  "tracks": [ { "control": "right", "attribute": "color_bg", "interpolation": "step",
                "keys": [[0, "#00ff00"], [2, "#ff0000"]] } ]
})";

constexpr uint32_t green = 0xff00ff00, red = 0xffff0000, black = 0xff000000;

std::string read_file(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class workbench_layout : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "workbench-layout-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        scene_file = folder / "scene.json";
        std::ofstream(scene_file) << layout_scene;
        // The starter of every widget here: a 40 x 30 box named "box" (the tool's own comes from
        // the gallery sheets).
        auto starter = [](const std::string &widget) {
            return nlohmann::ordered_json{{"widget", widget}, {"name", "box"}, {"width", 40}, {"height", 30},
                                          {"attributes", {{"color_bg", "#ff0000"}}}};
        };
        bench = std::make_unique<workbench>(workbench::settings{scene_file.string(), {PITWALL_PLUGIN_DIR}, "", starter});
        ASSERT_EQ(bench->load(), "");
    }
    void TearDown() override {
        bench.reset();
        fs::remove_all(folder);
    }

    // The controls in drawing order as "name@x,y wxh".
    std::vector<std::string> layout() {
        std::vector<std::string> out;
        const auto state = bench->state();
        for (const auto &c : state["controls"])
            out.push_back(c["name"].get<std::string>() + "@" + std::to_string(c["x"].get<int>()) + "," +
                          std::to_string(c["y"].get<int>()) + " " + std::to_string(c["width"].get<int>()) + "x" +
                          std::to_string(c["height"].get<int>()));
        return out;
    }
    nlohmann::ordered_json saved() {
        EXPECT_EQ(bench->save({}), "");
        return nlohmann::ordered_json::parse(read_file(scene_file));
    }

    fs::path folder, scene_file;
    std::unique_ptr<workbench> bench;
};

TEST_F(workbench_layout, refused_geometry_says_why_and_changes_nothing) {
    const struct {
        const char *request;
        const char *message;
    } cases[] = {
        {R"({"control": "left", "width": -5})", "control \"left\": a size is never negative (-5 x 100)"},
        {R"({"control": "left", "width": 0, "height": 0})",
         "control \"left\": a 0 x 0 control shows nothing: width and height are at least 1"},
        {R"({"control": "left", "height": 0})",
         "control \"left\": a 100 x 0 control shows nothing: width and height are at least 1"},
        {R"({"control": "left", "x": 300})",
         "control \"left\": 100 x 100 at (300, 0) would lie wholly outside the 300 x 120 canvas"},
        {R"({"control": "left", "x": -100, "y": -20})",
         "control \"left\": 100 x 100 at (-100, -20) would lie wholly outside the 300 x 120 canvas"},
        {R"({"control": "left", "y": 120})",
         "control \"left\": 100 x 100 at (0, 120) would lie wholly outside the 300 x 120 canvas"},
        {R"({"control": "left", "width": 9000})", "control \"left\": a 9000 x 100 control is larger than"},
        {R"({"control": "left", "x": 32767})", "control \"left\": (32767, 0) is outside 16-bit coordinates"},
        {R"({"control": "left", "y": 2.5})", "a move's \"y\" is a whole number of pixels"},
        {R"({"control": "left", "x": 10000000})", "a move's \"x\" is a whole number of pixels"},
        {R"({"control": "left", "x": "10"})", "a move's \"x\" is a whole number of pixels"},
        {R"({"control": "left", "x": 10, "merge": 1})", "a move's \"merge\" is true or false"},
        {R"({"control": "nobody", "x": 10})", "no control named \"nobody\""},
        {"{\"control\": \"no\\u001b[2Jbody\", \"x\": 10}", "no control named \"no\\x1b[2Jbody\""},
        {R"({"x": 10})", "malformed JSON: a move is"},
        {R"([1, 2])", "malformed JSON: a move is"},
        {"{\"control\": \"left\", \"x\": ", "malformed JSON: a move is"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.request);
        const error e = bench->geometry_request(c.request);
        EXPECT_EQ(e.substr(0, std::string(c.message).size()), c.message) << e;
        EXPECT_EQ(layout(), (std::vector<std::string>{"left@0,0 100x100", "right@150,0 100x100"}));
        EXPECT_FALSE(bench->state()["unsaved"].get<bool>());
        EXPECT_TRUE(bench->state()["undo"].is_null());
    }
}

TEST_F(workbench_layout, a_move_repaints_only_the_old_and_the_new_place) {
    const auto frame = bench->state()["frame"].get<int>();
    ASSERT_EQ(bench->geometry_request(R"({"control": "right", "x": 190})"), "");
    EXPECT_EQ(bench->state()["frame"].get<int>(), frame + 1);
    // Only the moved box drew, and every repainted rectangle lies in its old or new place (a
    // column either side for a widget's edge); the left box, x 0 to 100, was not touched.
    EXPECT_EQ(bench->draws_in_last_frame(), 1);
    const std::vector<gr_rect_t> damage = bench->last_damage();
    ASSERT_FALSE(damage.empty());
    for (const gr_rect_t &r : damage) {
        EXPECT_GE(r.x1, 150);
        EXPECT_LE(r.x2, 291);
        EXPECT_LE(r.y2, 100);
    }
    EXPECT_EQ(bench->state()["damage"].size(), damage.size());
    EXPECT_EQ(bench->pixel(170, 50), black); // where it was
    EXPECT_EQ(bench->pixel(270, 50), green); // where it is
    EXPECT_EQ(bench->pixel(50, 50), green);

    // A resize the same way; the file gets the new place and size.
    ASSERT_EQ(bench->geometry_request(R"({"control": "right", "width": 60, "height": 40})"), "");
    EXPECT_EQ(bench->pixel(270, 50), black);
    EXPECT_EQ(bench->pixel(220, 20), green);
    const auto file = saved();
    EXPECT_EQ(file["controls"][1]["x"], 190);
    EXPECT_EQ(file["controls"][1]["width"], 60);
    EXPECT_EQ(file["controls"][1]["height"], 40);
    EXPECT_EQ(file["controls"][0]["x"], 0);
}

TEST_F(workbench_layout, added_and_duplicated_controls_get_names_of_their_own) {
    const struct {
        const char *op, *control, *widget;
        const char *name; // given to the new control, or the message
        bool refused;
    } cases[] = {
        {"add", "", "Basic Box", "box", false},
        {"add", "", "Basic Box", "box 2", false},
        {"duplicate", "left", "", "left 2", false},
        {"duplicate", "left 2", "", "left 3", false},
        {"duplicate", "box 2", "", "box 3", false},
        {"add", "", "No Such Widget", "no plug-in registers \"No Such Widget\"; the widgets are: ", true},
        {"duplicate", "nobody", "", "no control named \"nobody\"", true},
        {"explode", "left", "", "no layout edit \"explode\": add, duplicate, delete, forward or back", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + c.control + c.widget);
        nlohmann::json request = {{"op", c.op}, {"control", c.control}, {"widget", c.widget}};
        std::string name;
        const error e = bench->layout_request(request.dump(), &name);
        if (c.refused) EXPECT_EQ(e.substr(0, std::string(c.name).size()), c.name) << e;
        else {
            EXPECT_EQ(e, "");
            EXPECT_EQ(name, c.name);
        }
    }
    EXPECT_EQ(layout(), (std::vector<std::string>{"left@0,0 100x100", "left 2@10,10 100x100", "left 3@20,20 100x100",
                                                  "right@150,0 100x100", "box@130,45 40x30", "box 2@130,45 40x30",
                                                  "box 3@140,55 40x30"}));
    // The added box is drawn with its starter's attributes, over "right".
    EXPECT_EQ(bench->pixel(155, 60), red);
    // At a place of the page's choosing, and never wholly off the canvas.
    ASSERT_EQ(bench->layout_request(R"({"op": "add", "widget": "Basic Box", "x": 5, "y": 80})"), "");
    EXPECT_EQ(layout().back(), "box 4@5,80 40x30");
    EXPECT_NE(bench->layout_request(R"({"op": "add", "widget": "Basic Box", "x": -40})").find("wholly outside"),
              std::string::npos);
}

TEST_F(workbench_layout, forward_back_and_delete_change_the_drawing_order) {
    ASSERT_EQ(bench->add("Basic Box", 120, 20), "");
    const struct {
        const char *op, *control;
        std::vector<std::string> order; // after it; empty: refused
    } cases[] = {
        {"back", "box", {"left", "box", "right"}},
        {"back", "box", {"box", "left", "right"}},
        {"back", "box", {}},
        {"forward", "left", {"box", "right", "left"}},
        {"forward", "left", {}},
        {"delete", "box", {"right", "left"}},
        {"delete", "right", {}}, // a track drives it
        {"delete", "box", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + c.control);
        const error e = bench->layout_request(nlohmann::json{{"op", c.op}, {"control", c.control}}.dump());
        EXPECT_EQ(e.empty(), !c.order.empty()) << e;
        if (c.order.empty()) continue;
        std::vector<std::string> names;
        const auto state = bench->state();
        for (const auto &control : state["controls"]) names.push_back(control["name"]);
        EXPECT_EQ(names, c.order);
    }
    EXPECT_EQ(bench->reorder("right", -1), "control \"right\" is drawn first (under all the others)");
    EXPECT_EQ(bench->remove("right"), "control \"right\" is driven by track 1: take it out of the tracks first");
    // The saved file has them in the new order.
    const auto file = saved();
    EXPECT_EQ(file["controls"].size(), 2u);
    EXPECT_EQ(file["controls"][0]["name"], "right");
}

TEST_F(workbench_layout, every_kind_of_edit_is_undone_and_redone_with_its_picture) {
    struct snapshot {
        std::vector<std::string> layout;
        uint32_t left_pixel, added_pixel;
    };
    auto now = [&] { return snapshot{layout(), bench->pixel(50, 50), bench->pixel(20, 110)}; };
    std::vector<snapshot> states{now()};
    const std::vector<std::function<error()>> edits = {
        [&] { return bench->set_attribute("left", "color_bg", "#ff0000"); },
        [&] { return bench->geometry_request(R"({"control": "left", "x": 30, "y": 10})"); },
        [&] { return bench->geometry_request(R"({"control": "left", "width": 50})"); },
        [&] { return bench->add("Basic Box", 0, 100); },
        [&] { return bench->reorder("box", -1); },
        [&] { return bench->duplicate("left"); },
        [&] { return bench->remove("left 2"); },
    };
    for (const auto &edit : edits) {
        ASSERT_EQ(edit(), "");
        states.push_back(now());
    }
    EXPECT_EQ(bench->state()["undo"], "delete \"left 2\"");
    for (size_t i = states.size() - 1; i-- > 0;) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(bench->undo());
        EXPECT_EQ(now().layout, states[i].layout);
        EXPECT_EQ(now().left_pixel, states[i].left_pixel);
        EXPECT_EQ(now().added_pixel, states[i].added_pixel);
    }
    EXPECT_FALSE(bench->undo());
    // Back at the file as loaded: nothing unsaved.
    EXPECT_FALSE(bench->state()["unsaved"].get<bool>());
    for (size_t i = 1; i < states.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(bench->redo());
        EXPECT_EQ(now().layout, states[i].layout);
        EXPECT_EQ(now().left_pixel, states[i].left_pixel);
    }
    EXPECT_FALSE(bench->redo());
    // A new edit after an undo drops what could have been redone.
    ASSERT_TRUE(bench->undo());
    ASSERT_EQ(bench->geometry_request(R"({"control": "right", "y": 5})"), "");
    EXPECT_FALSE(bench->redo());
}

TEST_F(workbench_layout, the_history_holds_more_than_a_hundred_steps_and_a_drag_is_one) {
    for (int i = 1; i <= 150; ++i)
        ASSERT_EQ(bench->geometry_request(nlohmann::json{{"control", "left"}, {"x", i}}.dump()), "");
    // The next places of one drag join its step.
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(bench->geometry_request(nlohmann::json{{"control", "right"}, {"x", 160 + i}, {"merge", true}}.dump()), "");
    // So do a slider's.
    for (const char *value : {"10", "20", "30"})
        ASSERT_EQ(bench->apply_request(std::string(R"({"control": "left", "attribute": "value", "merge": true, "value": )") +
                                       value + "}"),
                  "");
    EXPECT_EQ(bench->state()["undo"], "set \"value\" of \"left\"");
    ASSERT_TRUE(bench->undo());
    EXPECT_EQ(bench->state()["undo"], "move \"right\"");
    ASSERT_TRUE(bench->undo());
    EXPECT_EQ(layout()[1], "right@150,0 100x100");
    for (int i = 150; i > 0; --i) ASSERT_TRUE(bench->undo()) << i;
    EXPECT_EQ(layout()[0], "left@0,0 100x100");
    EXPECT_FALSE(bench->undo());
}

TEST_F(workbench_layout, a_reload_from_disk_keeps_the_edits_it_replaced_one_undo_away) {
    ASSERT_EQ(bench->geometry_request(R"({"control": "left", "x": 40})"), "");
    std::string text = read_file(scene_file);
    text.replace(text.find("\"x\": 150"), 8, "\"x\": 180");
    std::ofstream(scene_file) << text;
    ASSERT_EQ(bench->reload(), "");
    EXPECT_EQ(layout(), (std::vector<std::string>{"left@0,0 100x100", "right@180,0 100x100"}));
    EXPECT_EQ(bench->state()["undo"], "reload from disk");
    ASSERT_TRUE(bench->undo());
    EXPECT_EQ(layout(), (std::vector<std::string>{"left@40,0 100x100", "right@150,0 100x100"}));
    EXPECT_TRUE(bench->state()["unsaved"].get<bool>());
}

TEST_F(workbench_layout, the_form_shows_a_tracks_value_at_the_players_time) {
    auto tracked = [&](const std::string &control) {
        error err;
        const auto form = bench->control_form(control, &err);
        EXPECT_EQ(err, "");
        for (const auto &f : form["attributes"])
            if (f["name"] == "color_bg") return f;
        return nlohmann::json();
    };
    const struct {
        double time, expected_time;
        const char *value;
        uint32_t pixel;
    } cases[] = {{2.5, 2, "#ff0000", red}, {0.5, 0.5, "#00ff00", green}, {-3, 0, "#00ff00", green}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.time);
        bench->seek(c.time);
        EXPECT_DOUBLE_EQ(bench->time(), c.expected_time);
        const auto field = tracked("right");
        EXPECT_EQ(field["value"], c.value);
        EXPECT_TRUE(field.value("tracked", false));
        EXPECT_EQ(bench->pixel(200, 50), c.pixel);
        EXPECT_FALSE(tracked("left").contains("tracked"));
    }
    // The form also gives the control's place and size, and the catalog's unit of an attribute.
    error err;
    const auto form = bench->control_form("right", &err);
    EXPECT_EQ(form["x"], 150);
    EXPECT_EQ(form["height"], 100);
    for (const auto &f : form["attributes"])
        if (f["name"] == "x") {
            EXPECT_EQ(f.value("unit", ""), "px");
        }
    EXPECT_EQ(bench->state()["duration"], 2.0);
    EXPECT_EQ(bench->set_speed(0), "a speed is from 0.01 to 100 times the scene's pace");
    EXPECT_EQ(bench->set_speed(4), "");
    EXPECT_EQ(bench->state()["speed"], 4.0);
}

} // namespace
} // namespace pitwall::cli
