// Runs the crash program (or a tool) in a child process and collects how it ended.
#pragma once

#include <string>
#include <vector>

namespace kestrova::test {

struct ChildOptions {
    std::string workingDirectory;
    // Started through setpriv as this user and group (the tests run as root).
    int unprivilegedId = -1;
    // Signals ignored before the program starts; that survives exec.
    std::vector<int> ignoredSignals;
    // Largest file the child may write; 0 leaves the limit alone.
    long fileSizeLimit = 0;
    // Without a display the box text goes to standard error.
    bool keepDisplay = false;
};

struct ChildResult {
    int status = 0;
    std::string out;
    std::string err;

    bool killedBy(int signalNumber) const;
    bool exitedWith(int code) const;
    bool dumpedCore() const;
};

// Runs `argv` to its end. Core files are allowed (the limit is raised) so that a test can
// see whether the process left one.
ChildResult runChild(const std::vector<std::string>& argv, const ChildOptions& options = {});

}  // namespace kestrova::test
