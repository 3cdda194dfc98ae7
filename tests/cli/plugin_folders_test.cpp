// Plug-ins from several folders: the default one, PITWALL_PLUGIN_PATH and each --plugins, a folder
// or library reached twice loaded once, and one display name from two libraries refused.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace pitwall::testing {
namespace {

namespace fs = std::filesystem;

class plugin_folders : public ::testing::Test {
protected:
    std::string dir;
    std::vector<std::string> stock; // the build's plug-in libraries, in name order

    void SetUp() override {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/plugin_folders." + info->name();
        std::error_code ec;
        fs::remove_all(dir, ec);
        fs::create_directories(dir, ec);
        for (const auto &entry : fs::directory_iterator(PITWALL_PLUGIN_DIR)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("libgre-plugin-") && name.ends_with(".so")) stock.push_back(name);
        }
        std::sort(stock.begin(), stock.end());
    }

    // A folder of the scratch folder holding a copy of each of the stock libraries named.
    std::string folder(const std::string &name, const std::vector<std::string> &libraries) {
        const std::string path = dir + "/" + name;
        fs::create_directories(path);
        for (const std::string &lib : libraries)
            fs::copy_file(std::string(PITWALL_PLUGIN_DIR) + "/" + lib, path + "/" + lib);
        return path;
    }

    // `pitwall attrs` with PITWALL_PLUGIN_PATH set to `plugin_path` (unset when empty).
    tool_result attrs(const std::string &plugin_path, const std::vector<std::string> &args) {
        std::vector<std::string> all = {"-u", "PITWALL_PLUGIN_PATH"};
        if (!plugin_path.empty()) all = {"PITWALL_PLUGIN_PATH=" + plugin_path};
        all.insert(all.end(), {PITWALL_TOOL, "attrs"});
        all.insert(all.end(), args.begin(), args.end());
        return run_program("/usr/bin/env", all, dir);
    }
};

// The libraries `attrs` lists, each as the path its heading names.
std::vector<std::string> listed_paths(const std::string &out) {
    std::vector<std::string> paths;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t open = line.find(" ("), comma = line.find(", ", open);
        if (line.empty() || line[0] == ' ' || open == std::string::npos || comma == std::string::npos) continue;
        paths.push_back(line.substr(open + 2, comma - open - 2));
    }
    return paths;
}

TEST_F(plugin_folders, each_folder_adds_its_plugins_and_a_name_registered_twice_is_refused) {
    ASSERT_GE(stock.size(), 2u);
    const std::string &first = stock[0], &second = stock[1];
    const std::string a = folder("a", {first}), b = folder("b", {second}), again = folder("again", {first});
    const std::string linked = dir + "/linked";
    fs::create_directories(linked);
    fs::create_symlink(std::string(PITWALL_PLUGIN_DIR) + "/" + first, linked + "/" + first);
    const std::string build = PITWALL_PLUGIN_DIR;

    struct load_case {
        std::string what;
        std::string plugin_path;
        std::vector<std::string> args;
        int exit_code;
        std::vector<std::string> listed;  // the libraries loaded, in order; empty: not checked
        size_t stock_count = 0;           // or only how many there are
        std::vector<std::string> named{}; // in stderr
    };
    const load_case cases[] = {
        {"one folder, no default", "", {"--no-default-plugins", "--plugins", a}, 0, {a + "/" + first}},
        {"two folders, in order", "", {"--no-default-plugins", "--plugins", b, "--plugins", a}, 0,
         {b + "/" + second, a + "/" + first}},
        {"the path variable before --plugins, empty entries ignored", ":" + b + "::", {"--no-default-plugins", "--plugins", a},
         0, {b + "/" + second, a + "/" + first}},
        {"the default folder again, under another name, and a link into it", "", {"--plugins", build, "--plugins", build + "/.", "--plugins", linked},
         0, {}, stock.size()},
        {"the default folder and the path variable", a, {}, 2, {}, 0, {build + "/" + first, a + "/" + first}},
        {"one name from two folders", "", {"--no-default-plugins", "--plugins", a, "--plugins", again}, 2, {}, 0,
         {a + "/" + first, again + "/" + first, "not loaded"}},
    };
    for (const load_case &c : cases) {
        SCOPED_TRACE(c.what);
        const tool_result r = attrs(c.plugin_path, c.args);
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        if (c.exit_code == 0) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.out, "");
        }
        if (!c.listed.empty()) {
            EXPECT_EQ(listed_paths(r.out), c.listed);
        } else if (c.stock_count != 0) {
            EXPECT_EQ(listed_paths(r.out).size(), c.stock_count);
        }
        for (const std::string &text : c.named) EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
    }
}

} // namespace
} // namespace pitwall::testing
