// `pitwall animate` on a terminal: the progress bar is drawn in place on stderr, and a widget's log
// line never lands on it: the bar's line is cleared first and the bar drawn again after it.
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// The tool run with its stdout and stderr on a pseudo-terminal; everything it wrote there.
std::string run_on_terminal(const std::vector<std::string> &args, int *exit_code) {
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return {};
    if (pid == 0) {
        std::vector<char *> argv = {const_cast<char *>(PITWALL_TOOL)};
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(PITWALL_TOOL, argv.data());
        _exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) seen.append(buffer, size_t(n));
        else if (n < 0 && errno == EINTR) continue;
        else break; // EIO once the child has closed the terminal
    }
    close(master);
    int status = 0;
    *exit_code = waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return seen;
}

TEST(progress_on_a_terminal, log_lines_start_on_a_clean_line_and_the_bar_comes_back) {
    const std::string dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/progress-log";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    // The box's font is missing: each frame's new value redraws it, and it logs an error each time.
    std::ofstream(dir + "/scene.json") << R"({"canvas": {"width": 64, "height": 32},
      "controls": [{"widget": "Basic Box", "name": "box", "width": 64, "height": 32,
                    "attributes": {"font": "fonts/gone.otf", "render_text": "1"}}],
      "tracks": [{"control": "box", "attribute": "value", "keys": [[0, 0.0], [1, 1.0]]}]})";
    int code = -1;
    const std::string seen = run_on_terminal({"animate", dir + "/scene.json", "-o", dir + "/frames", "--fps", "10",
                                              "--seconds", "1", "--plugins", PITWALL_PLUGIN_DIR},
                                             &code);
    EXPECT_EQ(code, 0) << seen;
    const std::string line = "error: Basic Box: Couldn't get font reference fonts/gone.otf";
    size_t lines = 0, after_bar = 0;
    for (size_t at = seen.find(line); at != std::string::npos; at = seen.find(line, at + 1)) {
        ++lines;
        // At the terminal's left edge: the first output, after a newline, or after the bar's line
        // was cleared ("\r" then erase to the end of the line).
        EXPECT_TRUE(at == 0 || seen[at - 1] == '\n' || (at >= 4 && seen.compare(at - 4, 4, "\r\033[K") == 0))
            << "line " << lines << " lands on other text: " << seen.substr(at >= 40 ? at - 40 : 0, 80);
        const size_t end = seen.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        // Once the bar is on show, it is drawn again right after the line (the terminal writes
        // each newline as "\r\n").
        if (seen.rfind("frames", at) != std::string::npos) {
            ++after_bar;
            EXPECT_EQ(seen.compare(end + 1, 2, "\r["), 0) << "the bar is not drawn again: " << seen.substr(end, 40);
        }
    }
    EXPECT_EQ(lines, 10u) << seen;
    EXPECT_GE(after_bar, 8u) << "the bar is shown from the first finished frame on";
    EXPECT_NE(seen.find("[##########] 10/10 frames"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("0 Basic Box"), std::string::npos) << "no raw level";
}

} // namespace
