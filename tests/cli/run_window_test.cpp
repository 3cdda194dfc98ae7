// pitwall run --display window on a real X server (Xvfb): the window shows the dashboard pixel for
// pixel, as the offscreen frame has it. Xvfb writes its screen to a file (-fbdir) in the X window
// dump format, which the test reads while the dashboard is up. Skipped where Xvfb is missing.
#include "running_tool.h"
#include "tool_test.h"

#include "pitwall/png_file.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <thread>

namespace pitwall::testing {
namespace {

bool executable(const char *path) { return ::access(path, X_OK) == 0; }

uint32_t big_endian(const std::string &bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
}

// The screen Xvfb dumps: 24-bit colour in 32-bit pixels, least significant byte first, as
// 0xAARRGGBB with the alpha byte set. False when the file is not that.
bool read_screen_dump(const std::string &path, argb_image &out) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string bytes = text.str();
    if (bytes.size() < 100) return false;
    const uint32_t header = big_endian(bytes, 0), width = big_endian(bytes, 16), height = big_endian(bytes, 20);
    const uint32_t byte_order = big_endian(bytes, 28), bits = big_endian(bytes, 44), line = big_endian(bytes, 48);
    const uint32_t colours = big_endian(bytes, 76);
    const size_t pixels = size_t(header) + size_t(colours) * 12;
    if (bits != 32 || byte_order != 0 || width == 0 || width > 8192 || height > 8192 ||
        bytes.size() < pixels + size_t(line) * height)
        return false;
    out = argb_image(int(width), int(height));
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = pixels + size_t(y) * line + size_t(x) * 4;
            out.at(int(x), int(y)) = 0xff000000u | (uint32_t(uint8_t(bytes[at + 2])) << 16) |
                                     (uint32_t(uint8_t(bytes[at + 1])) << 8) | uint8_t(bytes[at]);
        }
    return true;
}

// Where `part` appears whole in `whole`, or {-1, -1}.
std::pair<int, int> find_in(const argb_image &whole, const argb_image &part) {
    for (int y = 0; y + part.height <= whole.height; ++y)
        for (int x = 0; x + part.width <= whole.width; ++x) {
            bool same = true;
            for (int py = 0; same && py < part.height; ++py)
                for (int px = 0; same && px < part.width; ++px) same = whole.at(x + px, y + py) == part.at(px, py);
            if (same) return {x, y};
        }
    return {-1, -1};
}

class run_window_test : public tool_test {};

TEST_F(run_window_test, the_window_on_an_x_screen_shows_the_offscreen_frame) {
    if (!executable("/usr/bin/Xvfb")) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb)";
    const std::string scene = std::string(PITWALL_SOURCE_DIR) + "/examples/demo.json";
    // A display number of this process's own, so that parallel runs do not meet.
    const std::string display = ":" + std::to_string(100 + ::getpid() % 800);
    running_tool xvfb("/usr/bin/Xvfb", {display, "-screen", "0", "1600x800x24", "-fbdir", dir, "-nolisten", "tcp"}, dir);
    ASSERT_TRUE(xvfb.started());
    const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
    struct stat st {};
    for (int i = 0; i < 200 && ::stat(socket.c_str(), &st) != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(::stat(socket.c_str(), &st), 0) << "Xvfb did not start: " << xvfb.err();

    const tool_result offscreen =
        pitwall({"run", scene, "--display", "offscreen", "--seconds", "0.2", "--screenshot", dir + "/offscreen.png"});
    ASSERT_EQ(offscreen.exit_code, 0) << offscreen.err;

    running_tool window(PITWALL_TOOL,
                        {"run", scene, "--display", "window", "--screenshot", dir + "/window.png",
                         "--plugins", PITWALL_PLUGIN_DIR},
                        dir, {"DISPLAY=" + display, "SDL_AUDIODRIVER=dummy"});
    ASSERT_NE(window.wait_for("shown at", 30), std::string::npos) << window.err();
    argb_image expected, screen;
    std::string why;
    ASSERT_TRUE(read_png(dir + "/offscreen.png", &expected, &why)) << why;
    // The first frame is up once the window shows it; the dump follows the screen as it changes.
    std::pair<int, int> at{-1, -1};
    for (int i = 0; i < 100 && at.first < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (read_screen_dump(dir + "/Xvfb_screen0", screen)) at = find_in(screen, expected);
    }
    EXPECT_GE(at.first, 0) << "the dashboard was not found on the X screen, pixel for pixel";
    EXPECT_EQ(window.stop(SIGTERM), 0) << window.err();
    argb_image shot;
    ASSERT_TRUE(read_png(dir + "/window.png", &shot, &why)) << why;
    EXPECT_TRUE(shot.pixels == expected.pixels) << "the window's screenshot is the offscreen frame";
    xvfb.stop(SIGTERM);
}

} // namespace
} // namespace pitwall::testing
