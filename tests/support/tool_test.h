// tool_test.h - a test that runs the pitwall tool in a scratch folder of its own, emptied first,
// with the build's plug-ins.
#ifndef PITWALL_TESTS_TOOL_TEST_H
#define PITWALL_TESTS_TOOL_TEST_H

#include "run_tool.h"
#include "scratch_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace pitwall::testing {

class tool_test : public scratch_test {
protected:
    tool_result pitwall(std::vector<std::string> args) {
        args.push_back("--plugins");
        args.push_back(PITWALL_PLUGIN_DIR);
        return run_pitwall(args, dir);
    }
};

} // namespace pitwall::testing

#endif // PITWALL_TESTS_TOOL_TEST_H
