// The preview tool's command line: what each subcommand accepts, how a refusal reads, the help,
// and the frame pattern of `render -o`.
#include "run_tool.h"

#include "../../tools/pitwall/frame_pattern.h"
#include "pitwall/png_file.h"
#include "pitwall/raster_context.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace pitwall::testing {
namespace {

using cli::frame_pattern;

const std::string k_demo = std::string(PITWALL_SOURCE_DIR) + "/examples/demo.json";

class options_cli : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/options." + info->name();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir, ec);
    }

    // The files the tool left in the scratch folder, but for its captured output.
    std::vector<std::string> written_files() const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(dir)) {
            std::string name = entry.path().filename().string();
            if (name != "stdout.txt" && name != "stderr.txt") names.push_back(name);
        }
        return names;
    }
};

// Each refusal is CLI11's message after "pitwall <command>: ", naming what was wrong, then a
// pointer to that command's help; nothing is drawn or written.
TEST_F(options_cli, bad_command_lines_exit_with_2_naming_the_option) {
    const std::string out = dir + "/out.png";
    const std::string too_large = std::to_string(raster_context::max_scale + 1);
    struct refusal {
        std::vector<std::string> args;
        std::string command; // as the message names it
        std::vector<std::string> named;
    };
    const refusal cases[] = {
        {{"attrs", "--bogus"}, "pitwall attrs", {"--bogus"}},
        {{"attrs", "--results"}, "pitwall attrs", {"--results"}},
        {{"trace", k_demo, "--scale", "2"}, "pitwall trace", {"--scale"}},
        {{"trace"}, "pitwall trace", {"SCENE"}},
        {{"trace", k_demo, "--app", "/nonexistent"}, "pitwall trace", {"--app", "/nonexistent"}},
        {{"render", k_demo, "-o", out, "--frames", "3"}, "pitwall render", {"--frames"}},
        {{"render", k_demo, "-o", out, "--scale", "0"}, "pitwall render", {"--scale", "0"}},
        {{"render", k_demo, "-o", out, "--scale", too_large}, "pitwall render", {"--scale", too_large}},
        {{"render", k_demo, "-o", out, "--scale", "abc"}, "pitwall render", {"--scale", "abc"}},
        {{"render", k_demo}, "pitwall render", {"--output"}},
        {{"render", "-o", out}, "pitwall render", {"SCENE"}},
        {{"render", k_demo, dir + "/second.json", "-o", out}, "pitwall render", {dir + "/second.json"}},
        {{"render", k_demo, "-o", out, "--app", "/nonexistent"}, "pitwall render", {"--app", "/nonexistent"}},
        {{"render", k_demo, "-o", out, "--plugins", "/nonexistent"}, "pitwall render", {"--plugins"}},
        {{"render", k_demo, "-o", dir + "/out-%s.png"}, "pitwall render", {"--output", "%s"}},
        {{"render", k_demo, "-o", dir + "/a%d%d.png"}, "pitwall render", {"--output", "more than one"}},
        {{"render", k_demo, "-o", dir + "/f%010d.png"}, "pitwall render", {"--output", "%010d"}},
        {{"paint", k_demo}, "pitwall", {"paint"}},
        // NaN passes any range check made of comparisons.
        {{"animate", k_demo, "-o", dir + "/f", "--fps", "nan"},
         "pitwall animate",
         {"--fps: nan is not a number from 0.01 to 1000"}},
        {{"animate", k_demo, "-o", dir + "/f", "--fps", "inf"}, "pitwall animate", {"--fps: inf is not a number"}},
        {{"animate", k_demo, "-o", dir + "/f", "--seconds", "nan"},
         "pitwall animate",
         {"--seconds: nan is not a number from 0.001 to 86400"}},
        {{"animate", k_demo, "-o", dir + "/f", "--seconds", "-nan"}, "pitwall animate", {"--seconds: -nan"}},
        {{"animate", k_demo, "-o", dir + "/f", "--max-frames", "0"}, "pitwall animate", {"--max-frames", "0"}},
        {{"animate", k_demo, "-o", dir + "/f", "--max-frames", "-1"}, "pitwall animate", {"--max-frames", "-1"}},
    };
    for (const refusal &c : cases) {
        std::string line = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
        tool_result r = run_pitwall(c.args, dir);
        EXPECT_EQ(r.exit_code, 2) << line << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << line;
        EXPECT_EQ(r.err.rfind(c.command + ": ", 0), 0u) << line << "\n" << r.err;
        for (const std::string &word : c.named) EXPECT_NE(r.err.find(word), std::string::npos) << line << "\n" << r.err;
        EXPECT_NE(r.err.find(c.command + " --help"), std::string::npos) << line << "\n" << r.err;
    }
    EXPECT_EQ(written_files(), std::vector<std::string>{});
}

// Help goes to stdout with exit 0 and lists exactly the options the command takes; without a
// command the tool's help goes to stderr as a usage error.
TEST_F(options_cli, help_names_each_commands_own_options) {
    struct help_case {
        std::vector<std::string> args;
        std::vector<std::string> listed, absent;
    };
    const help_case cases[] = {
        {{"--help"}, {"attrs", "trace", "render", "pitwall COMMAND --help"}, {}},
        {{"attrs", "--help"}, {"WIDGET", "--plugins"}, {"SCENE", "--app", "--scale", "--output", "--results"}},
        {{"trace", "-h"}, {"SCENE", "--plugins", "--app", "--results"}, {"WIDGET", "--scale", "--output"}},
        {{"render", "--help"}, {"SCENE", "-o", "--output", "--scale", "--plugins", "--app"}, {"WIDGET", "--results"}},
        {{"animate", "--help"}, {"--seconds", "--fps", "--max-frames", "--video", "--scale"}, {"--results", "--port"}},
        // The line help2man reads for the manual pages' version.
        {{"--version"}, {"pitwall "}, {"Usage", "Subcommands"}},
    };
    for (const help_case &c : cases) {
        std::string line = c.args[0];
        tool_result r = run_pitwall(c.args, dir);
        EXPECT_EQ(r.exit_code, 0) << line << "\n" << r.err;
        EXPECT_EQ(r.err, "") << line;
        for (const std::string &word : c.listed) EXPECT_NE(r.out.find(word), std::string::npos) << line << "\n" << r.out;
        for (const std::string &word : c.absent) EXPECT_EQ(r.out.find(word), std::string::npos) << line << "\n" << r.out;
    }

    tool_result bare = run_pitwall({}, dir);
    EXPECT_EQ(bare.exit_code, 2);
    EXPECT_EQ(bare.out, "");
    for (const char *command : {"attrs", "trace", "render"}) EXPECT_NE(bare.err.find(command), std::string::npos) << bare.err;
}

// With a pattern, the one frame drawn is written as frame 0 and its path printed; %% in a plain
// name is a percent sign.
TEST_F(options_cli, render_writes_a_patterns_frame_0) {
    const std::string scene = dir + "/empty.json";
    std::ofstream(scene) << R"({ "canvas": { "width": 6, "height": 4 }, "controls": [] })";
    const std::pair<std::string, std::string> cases[] = {
        {"frame-%03d.png", "frame-000.png"},
        {"f%d.png", "f0.png"},
        {"100%%.png", "100%.png"},
    };
    for (const auto &[pattern, file] : cases) {
        tool_result r = run_pitwall({"render", scene, "-o", dir + "/" + pattern}, dir);
        EXPECT_EQ(r.exit_code, 0) << pattern << "\n" << r.err;
        EXPECT_EQ(r.out, dir + "/" + file + "\n");
        argb_image png;
        std::string why;
        EXPECT_TRUE(read_png(dir + "/" + file, &png, &why)) << pattern << ": " << why;
        EXPECT_EQ(png.width, 6) << pattern;
    }
}

TEST(frame_pattern, expands_the_frame_number_as_printf_would) {
    struct expansion {
        const char *text;
        int frame;
        const char *file;
        bool is_pattern;
    };
    const expansion cases[] = {
        {"frame-%03d.png", 0, "frame-000.png", true},
        {"frame-%03d.png", 7, "frame-007.png", true},
        {"frame-%03d.png", 1234, "frame-1234.png", true}, // a width is a minimum
        {"%d", 42, "42", true},
        {"%5d.png", 42, "   42.png", true},
        {"%0d", 5, "5", true},
        {"%09d", 12, "000000012", true},
        {"%d-%%.png", 3, "3-%.png", true},
        {"100%%-%d", 3, "100%-3", true},
        {"out.png", 0, "out.png", false},
        {"a%%d.png", 9, "a%d.png", false}, // %% then a plain d
        {"", 0, "", false},
    };
    for (const expansion &c : cases) {
        std::string why;
        std::optional<frame_pattern> p = frame_pattern::parse(c.text, &why);
        ASSERT_TRUE(p.has_value()) << c.text << ": " << why;
        EXPECT_EQ(p->is_pattern(), c.is_pattern) << c.text;
        EXPECT_EQ(p->file(c.frame), c.file) << c.text;
    }
}

TEST(frame_pattern, refuses_every_other_use_of_percent) {
    // Each message quotes what was wrong.
    const std::pair<const char *, const char *> cases[] = {
        {"out-%s.png", "\"%s\""},       {"%n", "\"%n\""},     {"%x.png", "\"%x\""},
        {"%ld", "\"%l\""},              {"%-5d", "\"%-\""},   {"%+d", "\"%+\""},
        {"%00d", "\"%00d\""},           {"%5", "\"%5\""},     {"out%", "\"%\""},
        {"%10d", "\"%10d\" is too wide"}, {"%010d", "\"%010d\" is too wide"},
        {"a%d%d.png", "more than one"}, {"%d/%03d", "more than one"},
    };
    for (const auto &[text, quoted] : cases) {
        std::string why;
        EXPECT_FALSE(frame_pattern::parse(text, &why).has_value()) << text;
        EXPECT_NE(why.find(quoted), std::string::npos) << text << ": " << why;
    }
    EXPECT_FALSE(frame_pattern::parse("%s", nullptr).has_value()) << "the reason is optional";
}

} // namespace
} // namespace pitwall::testing
