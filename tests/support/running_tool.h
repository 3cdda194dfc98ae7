// running_tool.h - the tool started as a child process that keeps running while a test talks to
// it: its standard input a pipe the test writes to, its standard error read as it comes, a signal
// to stop it and its exit code.
#ifndef PITWALL_TESTS_RUNNING_TOOL_H
#define PITWALL_TESTS_RUNNING_TOOL_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace pitwall::testing {

class running_tool {
public:
    // Starts `program` with `args` in `work_dir`, with extra "NAME=VALUE" environment entries.
    running_tool(const std::string &program, const std::vector<std::string> &args, const std::string &work_dir,
                 const std::vector<std::string> &env = {});
    ~running_tool(); // kills a child still running
    running_tool(const running_tool &) = delete;
    running_tool &operator=(const running_tool &) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Wait until standard error holds `text` after `from` (a byte offset), or `seconds` pass (or the
    // child ends); the offset just past it, or npos.
    size_t wait_for(const std::string &text, double seconds, size_t from = 0);
    const std::string &err() const { return err_; }
    void write_input(const std::string &text);
    void close_input();
    // Send `signal` and wait for the exit: its code, or -1 when it did not exit normally within
    // `seconds` (then it is killed).
    int stop(int signal, double seconds = 20);

private:
    void read_err(int timeout_ms);

    pid_t pid_ = -1;
    int input_ = -1, error_ = -1;
    std::string err_;
};

} // namespace pitwall::testing

#endif // PITWALL_TESTS_RUNNING_TOOL_H
