// `pitwall render` on a scene whose splash image is an image bomb (about 52 KB on disk, 8192 x 8192
// pixels declared): the tool refuses the image from its header, says why, and finishes the frame
// with the widget's failed draw, within an address space of 64 MiB, far less than one decode of
// the image would take.
#include "zero_png.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PITWALL_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PITWALL_TEST_SANITIZED 1
#endif
#endif

namespace pitwall::testing {
namespace {

constexpr rlim_t k_address_space = rlim_t(64) << 20;

struct limited_result {
    int exit_code = -1; // -1: not started, or ended by a signal
    std::string err;
};

// The tool run with its address space limited (a sanitized tool reserves terabytes of shadow
// memory, so the limit applies only to a plain build).
limited_result run_limited(const std::vector<std::string> &args, const std::string &work_dir) {
    const std::string err_path = work_dir + "/stderr.txt";
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(PITWALL_TOOL));
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    limited_result result;
    const pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int out = open("/dev/null", O_WRONLY);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
#ifndef PITWALL_TEST_SANITIZED
        const rlimit limit{k_address_space, k_address_space};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
#endif
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    std::ifstream in(err_path);
    std::stringstream text;
    text << in.rdbuf();
    result.err = text.str();
    return result;
}

TEST(image_bomb_cli, a_splash_image_bomb_is_refused_within_64_mib_and_the_frame_is_still_written) {
    const std::string dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/cli.image_bomb";
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir + "/app/images", ec);
    std::ofstream(dir + "/app/images/bomb.png", std::ios::binary) << zero_png(8192, 8192);
    std::ofstream(dir + "/scene.json") << R"({
      "canvas": { "width": 64, "height": 48, "background": "#000000" },
      "base_dir": "app",
      "controls": [
        { "widget": "SplashImage", "name": "logo", "x": 0, "y": 0, "width": 64, "height": 48,
          "attributes": { "logo_path": "images/bomb.png" } }
      ]
    })";
    const std::string out = dir + "/bomb.png";
    limited_result r =
        run_limited({"render", dir + "/scene.json", "-o", out, "--plugins", PITWALL_PLUGIN_DIR}, dir);

    EXPECT_EQ(r.exit_code, 1) << "the splash's draw fails, nothing else\n" << r.err;
    EXPECT_NE(r.err.find("pitwall: cannot load image \"images/bomb.png\": 8192x8192 pixels take 256 MiB decoded, "
                         "more than the 16 MiB one image may take\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("pitwall render: control \"logo\" (SplashImage) failed to draw: result -1\n"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::exists(out)) << "the frame is written all the same";
}

} // namespace
} // namespace pitwall::testing
