// Running a shell command line from a test, possibly as the unprivileged user 65534, and the
// environment the programs it starts inherit.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace kestrova::test {

constexpr uid_t kOtherUser = 65534;

// The command's standard output; *succeeded tells whether it exited with 0. Arguments are
// words and paths made by the test, free of characters the shell would interpret.
inline std::string runCommand(const std::string& command, bool* succeeded = nullptr) {
    std::unique_ptr<FILE, decltype(&::pclose)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string output;
    char chunk[4096];
    for (std::size_t got; pipe && (got = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) {
        output.append(chunk, got);
    }
    const int status = pipe ? ::pclose(pipe.release()) : -1;
    if (succeeded != nullptr) {
        *succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return output;
}

// A prefix that runs a command as user and group 65534; a test that is not root is already
// unprivileged and runs it directly. The leak checker is off: it needs a thread of its own,
// and its suppression file need not be readable by that user.
inline std::string asOtherUser() {
    std::string prefix = "env -u LSAN_OPTIONS ASAN_OPTIONS=detect_leaks=0 ";
    if (::geteuid() == 0) {
        prefix += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    return prefix;
}

// Sets (or, given nothing, unsets) an environment variable until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        set(value);
    }
    ~ScopedEnv() { set(m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void set(const std::optional<std::string>& value) const {
        value ? ::setenv(m_name, value->c_str(), 1) : ::unsetenv(m_name);
    }
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace kestrova::test
