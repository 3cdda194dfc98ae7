// `pitwall animate` end to end: the numbered frames it writes, their times, --video with a stand-in
// ffmpeg or none, the limits on frames and disk space, and its errors.
#include "run_tool.h"

#include "pitwall/png_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

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

    // The tool with every file it writes limited to `blocks` of 512 bytes: past that a write fails
    // with EFBIG (the signal that would otherwise kill the tool is ignored), as on a full disk.
    tool_result animate_with_file_limit(int blocks, const std::vector<std::string> &args) {
        std::vector<std::string> line = {"-c", "trap '' XFSZ; ulimit -f \"$0\"; exec \"$@\"", std::to_string(blocks),
                                          PITWALL_TOOL};
        for (const std::string &a : with_plugins(args)) line.push_back(a);
        return run_program("/bin/sh", line, dir);
    }

    // The tool run from `cwd` with only `path` to find programs in.
    tool_result animate_in(const std::string &cwd, const std::string &path, const std::vector<std::string> &args) {
        std::vector<std::string> line = {"-C", cwd, "PATH=" + path, PITWALL_TOOL};
        for (const std::string &a : with_plugins(args)) line.push_back(a);
        return run_program("/usr/bin/env", line, dir);
    }

    static std::set<std::string> names_in(const std::string &folder) {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
        return names;
    }

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
        R"({"controls": [{"widget": "Own Widget", "name": "c"}], "telemetry": {"file": "bad.csv", "channels": {"rpm": {"control": "c", "attribute": "v"}}}})";
    const std::string bad_log = write("log.json", log_json);
    const std::string file_at = "1:" + std::to_string(log_json.find("\"bad.csv\"") + 1);
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{ghost, "-o", dir + "/f", "--video", dir + "/out.avi"}, "the video is a .mp4, .gif or .webm file"},
        {{ghost, "-o", dir + "/f"}, "pitwall: " + ghost + ":2:26: track 1: no control named \"ghost\"\n"},
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

// Every count is refused before the frames' folder is made, the message naming the count: a key
// at 1e300 s gives more frames than a size_t holds, and one at 1e307 s more than a double does.
TEST_F(animate_cli, refuses_more_frames_than_allowed_before_writing_any) {
    auto fade_to = [&](const std::string &name, const std::string &seconds) {
        return write(name, R"({"controls": [{"widget": "Basic Box", "name": "box"}],
  "tracks": [{"control": "box", "attribute": "color_bg", "keys": [[0, "#000000"], [)" + seconds + R"(, "#ffffff"]]}]})");
    };
    const std::string far = fade_to("far.json", "1e300"), beyond = fade_to("beyond.json", "1e307"),
                      months = fade_to("months.json", "1e7"), fade = write("fade.json", k_fading_box);
    const std::string raise = " allowed; --max-frames N raises the limit\n";
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{far}, "2.5e+301 frames (1e+300 s at 25 fps) are more than the 100000" + raise},
        {{months}, "250000001 frames (10000000 s at 25 fps) are more than the 100000" + raise},
        {{fade, "--seconds", "86400", "--fps", "1000"},
         "86400000 frames (86400 s at 1000 fps) are more than the 100000" + raise},
        {{fade, "--seconds", "1", "--fps", "4", "--max-frames", "3"},
         "4 frames (1 s at 4 fps) are more than the 3" + raise},
        {{beyond}, "the tracks' last key, at 1e+307 s, is out of range\n"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", dir + "/f"});
        const tool_result r = animate(args);
        EXPECT_EQ(r.exit_code, 2) << c.error;
        EXPECT_EQ(r.err, "pitwall animate: " + c.error);
        EXPECT_FALSE(std::filesystem::exists(dir + "/f")) << c.error;
    }
    const tool_result lifted = animate({fade, "-o", dir + "/f", "--seconds", "1", "--fps", "4", "--max-frames", "4"});
    EXPECT_EQ(lifted.exit_code, 0) << lifted.err;
    EXPECT_EQ(lifted.out, dir + "/f/frame-00000.png .. frame-00003.png (4 frames)\n");
}

// 86.4 million frames of the demo scene (a quarter of a megabyte each) fit no disk this suite
// runs on: refused after the first frame is drawn and measured, before it is written.
TEST_F(animate_cli, refuses_to_start_without_room_for_the_frames) {
    struct statvfs fs {};
    ASSERT_EQ(statvfs(dir.c_str(), &fs), 0);
    if (double(fs.f_bavail) * double(fs.f_frsize) > 86400000 * 200e3) GTEST_SKIP() << "more than 17 TB free";
    const std::string demo = std::string(PITWALL_SOURCE_DIR) + "/examples/demo.json";
    const tool_result r = animate({demo, "-o", dir + "/f", "--seconds", "86400", "--fps", "1000", "--max-frames",
                                   "100000000"});
    EXPECT_EQ(r.exit_code, 2);
    const std::string said = "pitwall animate: " + dir + "/f: 86400000 frames of about ";
    ASSERT_NE(r.err.find(said), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" KB need ", r.err.find(said)), std::string::npos) << r.err;
    EXPECT_TRUE(r.err.ends_with(" are free\n")) << r.err;
    EXPECT_EQ(names_in(dir + "/f"), std::set<std::string>{});
    EXPECT_EQ(r.out, "");
}

// Frames 0-3 show an empty box, frames 4-7 a line of text, which makes their PNGs larger: with
// the file size limited between the two, the fifth frame fails as on a full disk.
TEST_F(animate_cli, a_failed_write_stops_and_says_how_many_frames_were_written) {
    const std::string scene = write("text.json", R"({"canvas": {"width": 200, "height": 60},
  "fonts": {"fonts/CPMono_v07 Plain.otf": "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"},
  "controls": [{"widget": "Basic Box", "name": "box", "width": 200, "height": 60,
                "attributes": {"color_bg": "#000000", "color_text": "#ffffff", "font_size": 24, "render_text": ""}}],
  "tracks": [{"control": "box", "attribute": "render_text", "keys": [[0, ""], [1, "8888888888"]]}]})");
    std::vector<std::string> args = {scene, "-o", dir + "/whole", "--seconds", "2", "--fps", "4"};
    ASSERT_EQ(animate(args).exit_code, 0);
    const auto small = std::filesystem::file_size(dir + "/whole/frame-00003.png");
    const auto large = std::filesystem::file_size(dir + "/whole/frame-00004.png");
    const int blocks = int((small + 511) / 512);
    ASSERT_GT(large, uintmax_t(blocks) * 512) << "the text must make the frame larger than the limit";

    args[2] = dir + "/cut";
    const tool_result r = animate_with_file_limit(blocks, args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, "pitwall animate: " + dir + "/cut/frame-00004.png: File too large; 4 of 8 frames were written\n");
    EXPECT_EQ(r.out, "");
    // Nothing of the failed frame is left, not even its temporary file.
    EXPECT_EQ(names_in(dir + "/cut"), (std::set<std::string>{"frame-00000.png", "frame-00001.png", "frame-00002.png",
                                                             "frame-00003.png"}));
}

// A stand-in ffmpeg records its arguments and writes "video" to its last one (or, told to, nothing).
// Names that ffmpeg would read as an option ("-"), a protocol ("pipe:", "file:") or a frame number
// ("%") reach it as plain files; the video arrives under its own name and no temporary is left.
TEST_F(animate_cli, video_names_reach_ffmpeg_as_files_and_the_video_must_be_written) {
    const std::string scene = write("fade.json", k_fading_box);
    const std::string bin = dir + "/bin", work = dir + "/work", args_file = dir + "/ffmpeg-args";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(work);
    auto fake_ffmpeg = [&](const std::string &action) {
        std::ofstream(bin + "/ffmpeg") << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args_file +
                                              "'\nfor out; do :; done\n" + action + "\n";
        std::filesystem::permissions(bin + "/ffmpeg", std::filesystem::perms::owner_all);
    };
    fake_ffmpeg("printf video > \"$out\"");
    const struct {
        std::string frames, video;   // as given, relative to `work` or absolute
        std::string input, output;   // ffmpeg's input pattern and the start of its output's name
    } cases[] = {
        {"-frames", "-clip.mp4", "./-frames/frame-%05d.png", "./.-clip."},
        {"pipe:100%", "file:clip.gif", "./pipe:100%%/frame-%05d.png", "./.file:clip."},
        {work + "/abs", work + "/clip.webm", work + "/abs/frame-%05d.png", work + "/.clip."},
    };
    for (const auto &c : cases) {
        const tool_result r =
            animate_in(work, bin, {scene, "--output=" + c.frames, "--fps", "2", "--video=" + c.video});
        EXPECT_EQ(r.exit_code, 0) << c.video << "\n" << r.err;
        const std::string video = c.video.starts_with('/') ? c.video : work + "/" + c.video;
        EXPECT_EQ(slurp(video), "video") << c.video;
        EXPECT_TRUE(r.out.ends_with("\n" + c.video + "\n")) << r.out;
        std::vector<std::string> args;
        std::istringstream lines(slurp(args_file));
        for (std::string line; std::getline(lines, line);) args.push_back(line);
        ASSERT_GE(args.size(), 8u) << c.video;
        EXPECT_EQ(args[6], "-i") << c.video;
        EXPECT_EQ(args[7], c.input) << c.video;
        EXPECT_TRUE(args.back().starts_with(c.output)) << args.back();
        EXPECT_TRUE(args.back().ends_with(c.video.substr(c.video.rfind('.')))) << args.back() << " keeps the format";
        EXPECT_FALSE(std::filesystem::exists(args.back())) << "the temporary was renamed";
    }

    // An ffmpeg that succeeds without writing, or that fails: exit 2, and an older video stays.
    std::ofstream(work + "/kept.mp4") << "older";
    for (const auto &[action, error] : {std::pair{std::string("exit 0"), std::string("ffmpeg wrote nothing to ")},
                                        std::pair{std::string("printf part > \"$out\"; exit 1"), std::string()}}) {
        fake_ffmpeg(action);
        for (const std::string &video : {work + "/kept.mp4", work + "/new.mp4"}) {
            const tool_result r = animate_in(work, bin, {scene, "-o", work + "/f", "--fps", "2", "--video", video});
            EXPECT_EQ(r.exit_code, 2) << action;
            const std::string said = error.empty() ? "ffmpeg failed (exit code 1)" : error + video;
            EXPECT_EQ(r.err, "pitwall animate: " + said + "; the frames are in " + work + "/f\n");
        }
        EXPECT_EQ(slurp(work + "/kept.mp4"), "older");
        EXPECT_FALSE(std::filesystem::exists(work + "/new.mp4"));
        EXPECT_EQ(names_in(work), (std::set<std::string>{"-frames", "-clip.mp4", "pipe:100%", "file:clip.gif", "abs",
                                                         "clip.webm", "kept.mp4", "f"}))
            << "no temporary left";
    }

    // A video name held by a FIFO is refused before any frame, and the FIFO stays.
    ASSERT_EQ(mkfifo((work + "/pipe.mp4").c_str(), 0600), 0);
    const tool_result r = animate_in(work, bin, {scene, "-o", work + "/g", "--video", work + "/pipe.mp4"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, "pitwall animate: " + work + "/pipe.mp4: not a regular file\n");
    EXPECT_FALSE(std::filesystem::exists(work + "/g"));
    EXPECT_TRUE(std::filesystem::is_fifo(work + "/pipe.mp4"));
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
