// `pitwall animate` end to end: the numbered frames it writes, their times, --video without
// ffmpeg, and its errors.
#include "run_tool.h"

#include "pitwall/png_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace pitwall::testing {
namespace {

class animate_cli : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/animate." +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir, ec);
    }

    std::string write(const std::string &name, const std::string &text) {
        std::ofstream(dir + "/" + name) << text;
        return dir + "/" + name;
    }

    std::vector<std::string> with_plugins(std::vector<std::string> args) {
        args.insert(args.begin(), "animate");
        args.insert(args.end(), {"--plugins", PITWALL_PLUGIN_DIR});
        return args;
    }

    tool_result animate(const std::vector<std::string> &args) { return run_pitwall(with_plugins(args), dir); }

    // The background pixel of the box in a frame, 0 when the file does not read.
    static uint32_t box_pixel(const std::string &png) {
        argb_image img;
        std::string why;
        if (!read_png(png, &img, &why)) return 0;
        return img.at(20, 20);
    }
};

// A box whose background goes from black to #8040c8 over one second; nothing else in it draws
// at (20, 20).
const std::string k_fading_box = R"({"canvas": {"width": 100, "height": 60, "background": "#ffffff"},
  "controls": [{"widget": "Basic Box", "name": "box", "x": 10, "y": 10, "width": 80, "height": 40,
                "attributes": {"color_box": "#000000", "render_text": ""}}],
  "tracks": [{"control": "box", "attribute": "color_bg", "keys": [[0, "#000000"], [1, "#8040c8"]]}]})";

// --seconds 1 at 4 frames a second: frames 0 to 3 at 0, 0.25, 0.5 and 0.75 s (red 0x80 * t,
// green 0x40 * t, blue 200 * t); without --seconds the frames run up to the last key, at 1 s.
TEST_F(animate_cli, writes_one_numbered_png_per_frame_at_its_time) {
    const std::string scene = write("fade.json", k_fading_box);
    const struct {
        std::vector<std::string> timing;
        std::vector<uint32_t> pixels;
    } cases[] = {
        {{"--seconds", "1", "--fps", "4"}, {0xFF000000, 0xFF201032, 0xFF402064, 0xFF603096}},
        {{"--fps", "4"}, {0xFF000000, 0xFF201032, 0xFF402064, 0xFF603096, 0xFF8040C8}},
        {{"--seconds", "0.5", "--fps", "2"}, {0xFF000000}},
    };
    for (const auto &c : cases) {
        const std::string frames = dir + "/frames";
        std::filesystem::remove_all(frames);
        std::vector<std::string> args = {scene, "-o", frames};
        args.insert(args.end(), c.timing.begin(), c.timing.end());
        const tool_result r = animate(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const size_t n = c.pixels.size();
        char last[32];
        std::snprintf(last, sizeof last, "frame-%05zu.png", n - 1);
        EXPECT_EQ(r.out, frames + "/frame-00000.png .. " + last + " (" + std::to_string(n) + " frames)\n");
        for (size_t i = 0; i < n; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%05zu.png", i);
            EXPECT_EQ(box_pixel(frames + name), c.pixels[i]) << c.timing[1] << " frame " << i;
        }
        char after[32];
        std::snprintf(after, sizeof after, "/frame-%05zu.png", n);
        EXPECT_FALSE(std::filesystem::exists(frames + after));
        // Not a terminal: no progress bar.
        EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("frames"), std::string::npos) << r.err;
    }
}

TEST_F(animate_cli, video_without_ffmpeg_says_so_after_writing_the_frames) {
    const std::string scene = write("fade.json", k_fading_box);
    const std::string empty = dir + "/empty-path";
    std::filesystem::create_directories(empty);
    std::vector<std::string> args =
        with_plugins({scene, "-o", dir + "/frames", "--fps", "2", "--video", dir + "/out.mp4"});
    args.insert(args.begin(), {"PATH=" + empty, PITWALL_TOOL});
    const tool_result r = run_program("/usr/bin/env", args, dir);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, "pitwall: --video needs ffmpeg (apt-get install ffmpeg); the frames are in " + dir + "/frames\n");
    EXPECT_TRUE(std::filesystem::exists(dir + "/frames/frame-00002.png"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.mp4"));
}

TEST_F(animate_cli, refuses_bad_videos_tracks_and_logs) {
    const std::string ghost = write("ghost.json", R"({"controls": [{"widget": "Basic Box", "name": "box"}],
  "tracks": [{"control": "ghost", "attribute": "value", "keys": [[0, 1]]}]})");
    write("bad.csv", "t,rpm\n0,1\n0.1,fast\n");
    const std::string log_json =
        R"({"controls": [], "telemetry": {"file": "bad.csv", "channels": {"rpm": {"control": "c", "attribute": "v"}}}})";
    const std::string bad_log = write("log.json", log_json);
    const std::string file_at = "1:" + std::to_string(log_json.find("\"bad.csv\"") + 1);
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{ghost, "-o", dir + "/f", "--video", dir + "/out.avi"}, "the video is a .mp4, .gif or .webm file"},
        {{ghost, "-o", dir + "/f"}, "pitwall animate: track 1 (\"ghost\" value): no control named \"ghost\"\n"},
        {{bad_log, "-o", dir + "/f"},
         "pitwall: " + bad_log + ":" + file_at + ": " + dir + "/bad.csv:3: \"fast\" in column rpm is not a number\n"},
    };
    for (const auto &c : cases) {
        const tool_result r = animate(c.args);
        EXPECT_EQ(r.exit_code, 2) << c.error;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir + "/f/frame-00000.png"));
    }
}

// The example lap plays: its log and its tracks fit its controls.
TEST_F(animate_cli, the_example_lap_plays) {
    const std::string lap = std::string(PITWALL_SOURCE_DIR) + "/examples/lap.json";
    const tool_result r = animate({lap, "-o", dir + "/lap", "--seconds", "0.2", "--fps", "10"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir + "/lap/frame-00001.png"));
}

} // namespace
} // namespace pitwall::testing
