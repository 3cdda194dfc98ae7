#include "running_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

extern char **environ;

namespace pitwall::testing {
namespace {

double seconds_now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

running_tool::running_tool(const std::string &program, const std::vector<std::string> &args, const std::string &work_dir,
                           const std::vector<std::string> &env) {
    int in[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(err, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (char **e = environ; *e != nullptr; ++e) envp.push_back(*e);
    for (const std::string &e : env) envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    const std::string out_path = work_dir + "/stdout.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, work_dir.c_str());
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(err[1]);
    input_ = in[1];
    error_ = err[0];
    signal(SIGPIPE, SIG_IGN); // a child that has gone must not take the test with it
}

running_tool::~running_tool() {
    if (pid_ > 0) stop(SIGKILL, 5);
    close_input();
    if (error_ >= 0) ::close(error_);
}

void running_tool::read_err(int timeout_ms) {
    if (error_ < 0) return;
    pollfd p{error_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return;
    char buffer[4096];
    const ssize_t n = ::read(error_, buffer, sizeof buffer);
    if (n > 0) err_.append(buffer, size_t(n));
    else if (n == 0) {
        ::close(error_);
        error_ = -1;
    }
}

size_t running_tool::wait_for(const std::string &text, double seconds, size_t from) {
    const double until = seconds_now() + seconds;
    for (;;) {
        if (const size_t at = err_.find(text, std::min(from, err_.size())); at != std::string::npos)
            return at + text.size();
        if (error_ < 0 || seconds_now() >= until) return std::string::npos;
        read_err(50);
    }
}

void running_tool::write_input(const std::string &text) {
    if (input_ >= 0 && ::write(input_, text.data(), text.size()) < 0) close_input();
}

void running_tool::close_input() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
}

int running_tool::stop(int signal_number, double seconds) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal_number);
    const double until = seconds_now() + seconds;
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && seconds_now() < until) read_err(20);
    if (done != pid_) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }
    pid_ = -1;
    while (error_ >= 0) read_err(100); // what it wrote on the way out
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace pitwall::testing
