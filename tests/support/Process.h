// Running a shell command line from a test, possibly as the unprivileged user 65534.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
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

}  // namespace kestrova::test
