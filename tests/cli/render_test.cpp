// `pitwall render` end to end: the tool of this build run as a separate process on scenes, its
// exit code, its output and the PNG it writes.
#include "run_tool.h"

#include "pitwall/png_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace pitwall::testing {
namespace {

class render_cli : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/cli." + info->name();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir, ec);
    }

    std::string write_scene(const std::string &name, const std::string &json) {
        std::string path = dir + "/" + name;
        std::ofstream(path) << json;
        return path;
    }

    tool_result render(std::vector<std::string> args) {
        args.insert(args.begin(), "render");
        args.push_back("--plugins");
        args.push_back(PITWALL_PLUGIN_DIR);
        return run_pitwall(args, dir);
    }

    static argb_image read(const std::string &path) {
        argb_image img;
        std::string why;
        EXPECT_TRUE(read_png(path, &img, &why)) << why;
        return img;
    }
};

const std::string k_demo = std::string(PITWALL_SOURCE_DIR) + "/examples/demo.json";

// The first box of the example scene sits at (30, 180), 170 x 120: its outline runs down
// column 30 + 1 = 31, in the lower-state box colour #5fa8ff (value 1.1 is below 1.5).
TEST_F(render_cli, renders_the_example_scene_and_prints_the_png_path) {
    std::string out = dir + "/demo.png";
    tool_result r = render({k_demo, "-o", out});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    EXPECT_EQ(r.err.find("Loading image"), std::string::npos) << "loading lines only with --verbose: " << r.err;
    argb_image png = read(out);
    ASSERT_EQ(png.width, 1480);
    ASSERT_EQ(png.height, 600);
    EXPECT_EQ(png.at(31, 240), 0xFF5FA8FFu);
    EXPECT_EQ(png.at(30, 240), 0xFF101418u) << "the background";
}

TEST_F(render_cli, scale_magnifies_every_pixel) {
    std::string out = dir + "/demo-x2.png";
    tool_result r = render({k_demo, "-o", out, "--scale", "2"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    argb_image png = read(out);
    ASSERT_EQ(png.width, 2960);
    ASSERT_EQ(png.height, 1200);
    for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) EXPECT_EQ(png.at(62 + dx, 480 + dy), 0xFF5FA8FFu);
    EXPECT_EQ(png.at(61, 480), 0xFF101418u);
}

// A splash image whose file is missing, a Basic Box whose font name resolves to nothing, and a
// Basic Box that draws: the two failing widgets log their own lines, the third is still drawn,
// the PNG is written and the exit code is 1.
TEST_F(render_cli, failing_widgets_log_their_lines_and_the_picture_is_still_written) {
    std::filesystem::create_directories(dir + "/app");
    std::string scene = write_scene("broken.json", R"({
      "canvas": { "width": 64, "height": 48, "background": "#000000" },
      "base_dir": "app",
      "controls": [
        { "widget": "SplashImage", "x": 0, "y": 0, "width": 64, "height": 48,
          "attributes": { "logo_path": "images/splash/missing.png" } },
        { "widget": "Basic Box", "x": 0, "y": 0, "width": 30, "height": 30,
          "attributes": { "font": "fonts/missing.otf", "render_title": "T", "title_size": 20,
                          "color_bg": "#ff0000" } },
        { "widget": "Basic Box", "x": 30, "y": 10, "width": 20, "height": 20,
          "attributes": { "color_bg": "#00ff00" } }
      ]
    })");
    std::string out = dir + "/broken.png";
    tool_result r = render({scene, "-o", out});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    std::string missing = dir + "/app/images/splash/missing.png";
    EXPECT_NE(r.err.find("error: SplashImage: Failed loading image " + missing + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("error: Basic Box: Couldn't get font reference fonts/missing.otf\n"), std::string::npos)
        << r.err;
    // Each failed draw is named after the widget's own lines: control, widget, result; the box that
    // drew is not mentioned.
    const std::string splash_failed = "pitwall render: control \"SplashImage\" (SplashImage) failed to draw: result -1\n";
    const std::string box_failed = "pitwall render: control \"Basic Box\" (Basic Box) failed to draw: result -1\n";
    EXPECT_NE(r.err.find(splash_failed), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(box_failed), std::string::npos) << r.err;
    EXPECT_GT(r.err.find(box_failed), r.err.find("error: Basic Box: Couldn't get font reference")) << r.err;
    EXPECT_EQ(r.err.find("failed to draw", r.err.find(box_failed) + box_failed.size()), std::string::npos) << r.err;

    argb_image png = read(out);
    ASSERT_EQ(png.width, 64);
    // The drawing box: background rectangle (31, 11)..(30 + 20 - 2, 10 + 20 - 2) = (31, 11)..(48, 28).
    EXPECT_EQ(png.at(31, 11), 0xFF00FF00u);
    EXPECT_EQ(png.at(48, 28), 0xFF00FF00u);
    EXPECT_EQ(png.at(49, 28), 0xFF000000u);
    EXPECT_EQ(png.at(10, 10), 0xFF000000u) << "the failing box drew nothing";
}

// A font name mapped to a file that is not there: the resource manager finds the name, the
// raster context cannot open the file, says so once, and the texts stay empty.
TEST_F(render_cli, a_font_map_to_a_missing_file_is_reported_once) {
    std::string scene = write_scene("font.json", R"({
      "canvas": { "width": 64, "height": 48 },
      "fonts": { "fonts/CPMono_v07 Plain.otf": "/nonexistent/Mono.ttf" },
      "controls": [
        { "widget": "Basic Box", "x": 0, "y": 0, "width": 64, "height": 48,
          "attributes": { "render_title": "T", "title_size": 20, "render_text": "42", "font_size": 20,
                          "color_bg": "#0000ff", "color_title": "#ffffff", "color_text": "#ffffff" } }
      ]
    })");
    std::string out = dir + "/font.png";
    tool_result r = render({scene, "-o", out});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::string warning =
        "pitwall: cannot open font \"fonts/CPMono_v07 Plain.otf\" (/nonexistent/Mono.ttf): No such file or directory\n";
    size_t first = r.err.find(warning);
    EXPECT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(warning, first + 1), std::string::npos) << "reported once";
    argb_image png = read(out);
    int white = 0;
    for (uint32_t p : png.pixels) white += p == 0xFFFFFFFFu;
    EXPECT_EQ(white, 0) << "no text was drawn";
}

TEST_F(render_cli, usage_and_scene_errors_exit_with_2_and_write_nothing) {
    std::string out = dir + "/none.png";
    struct usage_case {
        std::vector<std::string> args;
        std::string message;
    };
    std::string unknown = write_scene("unknown.json", R"({ "controls": [ { "widget": "Warp Drive" } ] })");
    std::string not_json = write_scene("bad.json", "{ canvas: ");
    std::string empty = write_scene("empty.json", "");
    std::string fifo = dir + "/fifo.json";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string huge = write_scene("huge.json", R"({ "canvas": { "width": 9000, "height": 10 }, "controls": [] })");
    const usage_case cases[] = {
        {{dir + "/absent.json", "-o", out}, "absent.json: No such file or directory"},
        {{not_json, "-o", out}, "bad.json:1:3: syntax error while parsing object key"},
        {{empty, "-o", out}, "empty.json:1:1: the file is empty"},
        // Neither may block or read without end.
        {{fifo, "-o", out}, "fifo.json: not a regular file"},
        {{"/dev/zero", "-o", out}, "/dev/zero: not a regular file"},
        {{dir, "-o", out}, dir + ": not a regular file"},
        {{unknown, "-o", out}, "no plug-in registers \"Warp Drive\""},
        {{huge, "-o", out}, "a 9000x10 canvas at scale 1 is larger than 8192 pixels a side"},
        {{k_demo, "-o", out, "--scale", "11"}, "a 1480x600 canvas at scale 11 is larger than 8192 pixels a side"},
    };
    for (const usage_case &c : cases) {
        tool_result r = render(c.args);
        EXPECT_EQ(r.exit_code, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(std::filesystem::exists(out)) << c.message;
    }

    tool_result r = render({k_demo, "-o", dir + "/no/such/folder/demo.png"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("pitwall render: " + dir + "/no/such/folder/demo.png"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

} // namespace
} // namespace pitwall::testing

namespace pitwall::testing {
namespace {

// A stepped scene: a box that turns red in step 1, and in step 2 a copy of a splash image that is
// pointed at a file that does not exist.
TEST_F(render_cli, steps_render_every_frame_with_a_pattern_and_name_the_failing_step) {
    const std::string scene = write_scene("steps.json", R"({"canvas": {"width": 60, "height": 40},
      "images": {"images/splash/logo.png": {"width": 10, "height": 10}},
      "controls": [{"widget": "Basic Box", "name": "box", "width": 60, "height": 40,
                    "attributes": {"color_bg": "#0000ff", "upper_bg": "#ff0000", "upper_limit": 1,
                                   "upper_value": 100, "value": 50}},
                   {"widget": "SplashImage", "name": "logo", "width": 10, "height": 10,
                    "attributes": {"logo_path": "images/splash/logo.png"}}],
      "steps": [{"controls": {"box": {"attributes": {"value": 150}}}},
                {"clone": {"copy": "logo"}, "controls": {"copy": {"attributes": {"logo_path": "none.png"}}}}]})");
    tool_result r = render({scene, "-o", dir + "/frame-%02d.png"});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(r.out, dir + "/frame-00.png\n" + dir + "/frame-01.png\n" + dir + "/frame-02.png\n");
    EXPECT_EQ(read(dir + "/frame-00.png").at(30, 20), 0xFF0000FFu);
    EXPECT_EQ(read(dir + "/frame-01.png").at(30, 20), 0xFFFF0000u);
    // Without a pattern only the last frame is written.
    tool_result last = render({scene, "-o", dir + "/last.png"});
    EXPECT_EQ(last.out, dir + "/last.png\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "/frame-03.png"));
    for (const tool_result &t : {r, last}) {
        const size_t report = t.err.find("pitwall render: control \"copy\" (SplashImage) failed to draw in step 2: result -1\n");
        ASSERT_NE(report, std::string::npos) << t.err;
        EXPECT_EQ(t.err.find("failed to draw"), t.err.rfind("failed to draw")) << "one failure, in one step";
        EXPECT_LT(t.err.find("pitwall: cannot load image \"none.png\": No such file or directory"), report)
            << "the reason comes first";
    }

    tool_result trace = run_pitwall({"trace", scene, "--plugins", PITWALL_PLUGIN_DIR}, dir);
    EXPECT_EQ(trace.exit_code, 1);
    EXPECT_NE(trace.out.find("step 2\nclone \"logo\" as \"copy\"\n"), std::string::npos) << trace.out;
    EXPECT_NE(trace.err.find("pitwall trace: control \"copy\" (SplashImage) failed to draw in step 2: result"),
              std::string::npos);
}

// The output goes in under a temporary name and is renamed into place: a FIFO or a folder in its
// place is refused and left as it was, a link is replaced rather than written through, and a write
// that fails (here past a file size limit, as on a full disk) leaves the old file and no temporary.
TEST_F(render_cli, outputs_are_replaced_whole_and_nothing_else_is_touched) {
    // Text, so that the PNG is larger than the one 512-byte block the failing run may write.
    const std::string scene = write_scene("text.json", R"({"canvas": {"width": 200, "height": 60},
      "fonts": {"fonts/CPMono_v07 Plain.otf": "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"},
      "controls": [{"widget": "Basic Box", "width": 200, "height": 60,
                    "attributes": {"color_bg": "#000000", "color_text": "#ffffff", "font_size": 24,
                                   "render_text": "8888888888"}}]})");
    ASSERT_EQ(mkfifo((dir + "/pipe.png").c_str(), 0600), 0);
    std::filesystem::create_directories(dir + "/folder.png");
    for (const std::string name : {"pipe.png", "folder.png"}) {
        const tool_result r = render({scene, "-o", dir + "/" + name});
        EXPECT_EQ(r.exit_code, 2) << name;
        EXPECT_EQ(r.err, "pitwall render: " + dir + "/" + name + ": not a regular file\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir + "/pipe.png"));
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/folder.png"));

    std::ofstream(dir + "/precious.txt") << "keep";
    std::filesystem::create_symlink(dir + "/precious.txt", dir + "/link.png");
    const tool_result linked = render({scene, "-o", dir + "/link.png"});
    EXPECT_EQ(linked.exit_code, 0) << linked.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dir + "/link.png")));
    EXPECT_EQ(read(dir + "/link.png").width, 200);
    EXPECT_EQ(slurp(dir + "/precious.txt"), "keep");

    std::ofstream(dir + "/old.png") << "old picture";
    std::vector<std::string> args = {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$@\"", "sh", PITWALL_TOOL, "render",
                                     scene, "-o", dir + "/old.png", "--plugins", PITWALL_PLUGIN_DIR};
    const tool_result failed = run_program("/bin/sh", args, dir);
    EXPECT_EQ(failed.exit_code, 2);
    EXPECT_EQ(failed.err, "pitwall render: " + dir + "/old.png: File too large\n");
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(slurp(dir + "/old.png"), "old picture");

    std::set<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"text.json", "pipe.png", "folder.png", "precious.txt", "link.png", "old.png",
                                           "stdout.txt", "stderr.txt"}));
}

} // namespace
} // namespace pitwall::testing
