// A program run as a child of the test. Its standard output and error go to files, so the test
// can read them while it runs and no pipe can stall it; core files are allowed so the test can
// see whether it left one. Killed at the end of its scope unless it has ended.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/TempDir.h"

namespace kestrova::test {

struct ChildOptions {
    std::string workingDirectory;
    int unprivilegedId = -1;          // started through setpriv as this user and group
    std::vector<int> ignoredSignals;  // ignoring survives exec
    long fileSizeLimit = 0;           // 0 leaves the limit alone
};

class Child {
public:
    explicit Child(std::vector<std::string> argv, const ChildOptions& options = {}) {
        if ((m_pid = ::fork()) == 0) {
            exec(argv, options);
        }
    }
    Child(Child&& other) noexcept
        : m_pid(std::exchange(other.m_pid, -1)),
          m_status(other.m_status),
          m_files(std::move(other.m_files)) {}
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    // False when the child did not end within the limit.
    bool wait(std::chrono::milliseconds limit = std::chrono::minutes(2)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_pid > 0 && ::waitpid(m_pid, &m_status, WNOHANG) != m_pid) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
        return true;
    }
    void signal(int number) const { ::kill(m_pid, number); }
    std::string out() const { return readFile(*m_files / "out"); }
    std::string err() const { return readFile(*m_files / "err"); }
    int status() const { return m_status; }
    bool exitedWith(int code) const {
        return m_pid < 0 && WIFEXITED(m_status) && WEXITSTATUS(m_status) == code;
    }
    bool killedBy(int number) const {
        return m_pid < 0 && WIFSIGNALED(m_status) && WTERMSIG(m_status) == number;
    }
    bool dumpedCore() const { return m_pid < 0 && WIFSIGNALED(m_status) && WCOREDUMP(m_status); }

private:
    [[noreturn]] void exec(std::vector<std::string> argv, const ChildOptions& options) {
        const int out = ::open((*m_files / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open((*m_files / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0 ||
            (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)) {
            ::_exit(120);
        }
        for (int number : options.ignoredSignals) {
            std::signal(number, SIG_IGN);
        }
        // Without a display a message box goes to standard error, where the test reads it.
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        const rlimit core{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &core);
        if (const auto size = static_cast<rlim_t>(options.fileSizeLimit); size > 0) {
            const rlimit limit{size, size};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.unprivilegedId >= 0) {
            const std::string id = std::to_string(options.unprivilegedId);
            argv.insert(argv.begin(),
                        {"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups"});
        }
        std::vector<char*> pointers;
        for (std::string& argument : argv) {
            pointers.push_back(argument.data());
        }
        pointers.push_back(nullptr);
        ::execvp(pointers[0], pointers.data());
        ::_exit(122);
    }

    pid_t m_pid = -1;
    int m_status = 0;
    std::unique_ptr<TempDir> m_files = std::make_unique<TempDir>();
};

}  // namespace kestrova::test
