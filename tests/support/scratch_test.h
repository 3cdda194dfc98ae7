// scratch_test.h - a test with a scratch folder of its own under the build tree
// (test-scratch/SUITE.TEST), emptied first, and files written into it.
#ifndef PITWALL_TESTS_SCRATCH_TEST_H
#define PITWALL_TESTS_SCRATCH_TEST_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace pitwall::testing {

class scratch_test : public ::testing::Test {
protected:
    std::string dir; // test-scratch/SUITE.TEST under the build tree

    void SetUp() override {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/" + info->test_suite_name() + "." + info->name();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir, ec);
    }

    // `text` written to the scratch folder as `name`, byte for byte; its path.
    std::string write(const std::string &name, const std::string &text) {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
        return dir + "/" + name;
    }
};

} // namespace pitwall::testing

#endif // PITWALL_TESTS_SCRATCH_TEST_H
