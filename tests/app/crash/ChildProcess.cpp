#include "tests/app/crash/ChildProcess.h"

#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace kestrova::test {
namespace {

[[noreturn]] void execChild(const std::vector<std::string>& argv, const ChildOptions& options,
                            const std::string& outPath, const std::string& errPath) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) {
        ::_exit(120);
    }
    if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) {
        ::_exit(121);
    }
    for (int signalNumber : options.ignoredSignals) {
        std::signal(signalNumber, SIG_IGN);
    }
    const rlimit core{RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_CORE, &core);
    if (options.fileSizeLimit > 0) {
        const rlimit size{static_cast<rlim_t>(options.fileSizeLimit),
                          static_cast<rlim_t>(options.fileSizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &size);
    }
    if (!options.keepDisplay) {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
    }
    std::vector<std::string> full;
    if (options.unprivilegedId >= 0) {
        const std::string id = std::to_string(options.unprivilegedId);
        full = {"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups"};
    }
    full.insert(full.end(), argv.begin(), argv.end());
    std::vector<char*> pointers;
    for (std::string& argument : full) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    ::execvp(pointers[0], pointers.data());
    ::_exit(122);
}

}  // namespace

bool ChildResult::killedBy(int signalNumber) const {
    return WIFSIGNALED(status) && WTERMSIG(status) == signalNumber;
}

bool ChildResult::exitedWith(int code) const {
    return WIFEXITED(status) && WEXITSTATUS(status) == code;
}

bool ChildResult::dumpedCore() const {
    return WIFSIGNALED(status) && WCOREDUMP(status);
}

ChildResult runChild(const std::vector<std::string>& argv, const ChildOptions& options) {
    char outTemplate[] = "/tmp/kestrova-child-out-XXXXXX";
    char errTemplate[] = "/tmp/kestrova-child-err-XXXXXX";
    ::close(::mkstemp(outTemplate));
    ::close(::mkstemp(errTemplate));
    ChildResult result;
    const pid_t child = ::fork();
    if (child == 0) {
        execChild(argv, options, outTemplate, errTemplate);
    }
    while (::waitpid(child, &result.status, 0) < 0 && errno == EINTR) {
    }
    result.out = readFile(outTemplate);
    result.err = readFile(errTemplate);
    ::unlink(outTemplate);
    ::unlink(errTemplate);
    return result;
}

}  // namespace kestrova::test
