// feed_files.h - a scratch folder of the test's own under the build tree, emptied first, and the
// helpers the feed tests share: waiting for a feed's count, files written and read whole.
#ifndef PITWALL_TESTS_FEED_FILES_H
#define PITWALL_TESTS_FEED_FILES_H

#include "pitwall/live_feed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace pitwall::testing {

class feed_files : public ::testing::Test {
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
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
        return dir + "/" + name;
    }

    static std::string read(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// Until `done()` holds, or ten seconds have passed: a feed's thread is never timed, only awaited.
template <typename Done> bool wait_until(Done done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// What a row of a table adds to a feed's counts.
inline void expect_added(const feed_totals &before, const feed_totals &after, const feed_totals &added) {
    EXPECT_EQ(after.datagrams - before.datagrams, added.datagrams);
    EXPECT_EQ(after.stored - before.stored, added.stored);
    EXPECT_EQ(after.unknown - before.unknown, added.unknown);
    EXPECT_EQ(after.bad - before.bad, added.bad);
    EXPECT_EQ(after.refused - before.refused, added.refused);
    EXPECT_EQ(after.foreign - before.foreign, added.foreign);
}

} // namespace pitwall::testing

#endif // PITWALL_TESTS_FEED_FILES_H
