// run_tool.h - running the preview tool (or any program) as a child process and collecting its
// exit code, standard output and standard error.
#ifndef PITWALL_TESTS_RUN_TOOL_H
#define PITWALL_TESTS_RUN_TOOL_H

#include <string>
#include <vector>

namespace pitwall::testing {

struct tool_result {
    int exit_code = -1; // -1 when the program could not be started or did not exit normally
    std::string out;
    std::string err;
};

// The whole file, byte for byte; empty when it cannot be read.
std::string slurp(const std::string &path);

// Run `program` with `args`, waiting for it to end. Output goes through files in `work_dir`.
tool_result run_program(const std::string &program, const std::vector<std::string> &args,
                        const std::string &work_dir);

// The pitwall tool of this build.
inline tool_result run_pitwall(const std::vector<std::string> &args, const std::string &work_dir) {
    return run_program(PITWALL_TOOL, args, work_dir);
}

} // namespace pitwall::testing

#endif // PITWALL_TESTS_RUN_TOOL_H
