// tool_test.h - a test that runs the pitwall tool in a scratch folder of its own, emptied first,
// with the build's plug-ins.
#ifndef PITWALL_TESTS_TOOL_TEST_H
#define PITWALL_TESTS_TOOL_TEST_H

#include "run_tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace pitwall::testing {

class tool_test : public ::testing::Test {
protected:
    std::string dir; // test-scratch/SUITE.TEST under the build tree

    void SetUp() override {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/" + info->test_suite_name() + "." + info->name();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir, ec);
    }

    // `text` written to the scratch folder as `name`; its path.
    std::string write(const std::string &name, const std::string &text) {
        std::ofstream(dir + "/" + name) << text;
        return dir + "/" + name;
    }

    tool_result pitwall(std::vector<std::string> args) {
        args.push_back("--plugins");
        args.push_back(PITWALL_PLUGIN_DIR);
        return run_pitwall(args, dir);
    }
};

} // namespace pitwall::testing

#endif // PITWALL_TESTS_TOOL_TEST_H
