// Tracks and telemetry channels refused as a scene file is read: each error at the line and column
// of the mistake in the scene, naming the track by its number or the channel by its log and
// column, with the nearest name; controls a step clones may be driven; lint collects them all.
#include "pitwall/scene.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class driven_errors : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/driven." +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/lap.csv") << "t,rpm,lap\n0,1000,83.5\n1,2000,84.25\n";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // The scene written to a file and loaded: "" or the error (the file's path cut to "scene.json").
    std::string load(const std::string &json, std::vector<pitwall::error> *collected = nullptr) {
        const std::string path = dir + "/scene.json";
        std::ofstream(path) << json;
        pitwall::scene s;
        pitwall::error err;
        if (pitwall::load_scene(path, s, &err, collected)) return "";
        return err.rfind(dir + "/", 0) == 0 ? err.substr(dir.size() + 1) : err;
    }
    // "scene.json:LINE:COLUMN" of the first `marker` at or after `after` in `json`.
    static std::string at(const std::string &json, const std::string &marker, const std::string &after = "") {
        const size_t from = after.empty() ? 0 : json.find(after);
        const size_t pos = json.find(marker, from);
        EXPECT_NE(pos, std::string::npos) << marker;
        size_t line = 1, line_start = 0;
        for (size_t i = 0; i < pos; ++i)
            if (json[i] == '\n') ++line, line_start = i + 1;
        return "scene.json:" + std::to_string(line) + ":" + std::to_string(pos - line_start + 1);
    }
};

// Two controls; the step clones "rpm 2" from "rev gauge".
const std::string k_head = R"({"controls": [
  {"widget": "Modern Gauge Large", "name": "rev gauge"},
  {"widget": "Basic Box", "name": "lap box"}],
 "steps": [{"clone": {"rpm 2": "rev gauge"}}],
 )";

TEST_F(driven_errors, each_mistake_is_placed_and_names_its_track_or_channel) {
    const struct {
        std::string rest, marker, after, message;
    } cases[] = {
        {R"("telemetry": {"file": "lap.csv", "channels": {
   "rpm": {"control": "rev gauge", "attribute": "valu"}}}})",
         "\"valu\"", "", R"(telemetry "lap.csv" channel "rpm": control "rev gauge" has no attribute "valu" (did you mean "value"?))"},
        {R"("telemetry": {"file": "lap.csv", "channels": {
   "rpm": [{"control": "rev gauge", "attribute": "value"},
           {"control": "rev guage", "attribute": "value"}]}}})",
         "\"rev guage\"", "", R"(telemetry "lap.csv" channel "rpm": no control named "rev guage" (did you mean "rev gauge"?))"},
        {R"("telemetry": {"file": "lap.csv", "channels": {
   "lap": {"control": "lap box", "attribute": "value", "format": "m:ss.SSS"}}}})",
         "\"m:ss.SSS\"", "",
         R"(telemetry "lap.csv" channel "lap": a format writes text, but "value" of control "lap box" (Basic Box) takes a number)"},
        {R"("telemetry": {"file": "lap.csv", "channels": {
   "lap_time": {"control": "lap box", "attribute": "render_text", "format": "m:ss.SSS"}}}})",
         "{\"control\"", "", "telemetry \"lap.csv\" channel \"lap_time\": " + std::string("DIR/lap.csv") +
                                 ": no column \"lap_time\""},
        {R"("tracks": [{"control": "lap box", "attribute": "value", "keys": [[0, 1]]},
   {"control": "lapbox", "attribute": "value", "keys": [[0, 1]]}]})",
         "\"lapbox\"", "", R"(track 2: no control named "lapbox" (did you mean "lap box"?))"},
        {R"("tracks": [{"control": "lap box", "attribute": "colour_bg", "keys": [[0, "#000000"]]}]})",
         "\"colour_bg\"", "", R"(track 1: control "lap box" has no attribute "colour_bg" (did you mean "color_bg"?))"},
        {R"("tracks": [{"control": "rpm 2", "attribute": "vlaue", "keys": [[0, 1]]}]})",
         "\"vlaue\"", "", R"(track 1: control "rpm 2" has no attribute "vlaue" (did you mean "value"?))"},
        {R"("tracks": [{"control": "lap box", "attribute": "value", "format": "%.1f", "keys": [[0, 1]]}]})",
         "\"%.1f\"", "", R"(track 1: a format writes text, but "value" of control "lap box" (Basic Box) takes a number)"},
    };
    for (const auto &c : cases) {
        const std::string json = k_head + c.rest;
        std::string expected = at(json, c.marker, c.after) + ": " + c.message;
        if (size_t d = expected.find("DIR/"); d != std::string::npos) expected.replace(d, 3, dir);
        EXPECT_EQ(load(json), expected) << c.rest;
    }
}

// A clone made by a step is driven like any control; a destroyed name stays known.
TEST_F(driven_errors, clones_made_by_steps_may_be_driven) {
    const std::string json = k_head + R"("tracks": [{"control": "rpm 2", "attribute": "value", "keys": [[0, 1], [1, 2]]}],
 "telemetry": {"file": "lap.csv", "channels": {"rpm": {"control": "rpm 2", "attribute": "value"},
   "lap": {"control": "lap box", "attribute": "render_text", "format": "m:ss.SSS"}}}})";
    pitwall::scene s;
    pitwall::error err;
    std::ofstream(dir + "/scene.json") << json;
    ASSERT_TRUE(pitwall::load_scene(dir + "/scene.json", s, &err)) << err;
    ASSERT_EQ(s.tracks.size(), 3u);
    EXPECT_EQ(s.tracks[0].origin, "track 1");
    EXPECT_EQ(s.tracks[1].origin, "telemetry \"lap.csv\" channel \"rpm\"");
    EXPECT_EQ(s.tracks[2].origin, "telemetry \"lap.csv\" channel \"lap\"");
    EXPECT_EQ(s.tracks[2].where, at(json, "{\"control\": \"lap box\"").substr(11));
    EXPECT_EQ(std::get<std::string>(pitwall::track_value(s.tracks[2], 0.5)), "1:23.875");
}

// Lint's way of reading: every mistake in the tracks and channels is collected, not only the first.
TEST_F(driven_errors, lint_collects_every_track_and_channel_mistake) {
    const std::string json = k_head + R"("tracks": [{"control": "ghost", "attribute": "value", "keys": [[0, 1]]},
   {"control": "lap box", "attribute": "valeu", "keys": [[0, 1]]}],
 "telemetry": {"file": "lap.csv", "channels": {"rpm": {"control": "rev gauge", "attribute": "vale"}}}})";
    std::vector<pitwall::error> collected;
    EXPECT_EQ(load(json, &collected), "");
    const std::vector<std::string> expected = {
        at(json, "\"ghost\"") + ": track 1: no control named \"ghost\"",
        at(json, "\"valeu\"") + ": track 2: control \"lap box\" has no attribute \"valeu\" (did you mean \"value\"?)",
        at(json, "\"vale\"") +
            ": telemetry \"lap.csv\" channel \"rpm\": control \"rev gauge\" has no attribute \"vale\" (did you mean \"value\"?)",
    };
    for (std::string &e : collected)
        if (e.rfind(dir + "/", 0) == 0) e = e.substr(dir.size() + 1);
    EXPECT_EQ(collected, expected);
}

} // namespace
