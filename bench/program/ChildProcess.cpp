// Starting, waiting for and stopping one benchmarked program by fork, exec and a pidfd.
#include "bench/program/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/common/BenchTiming.h"

extern char** environ;

namespace kestrova::bench {

namespace {

constexpr int kStopGraceMs = 2000;

std::string nameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> env = overrides;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        bool replaced = false;
        for (const auto& o : overrides)
            replaced = replaced || nameOf(o) == nameOf(variable);
        if (!replaced)
            env.push_back(variable);
    }
    return env;
}

Child::Child(const ChildSpec& spec) {
    // Everything the child needs is prepared before the clock starts, so the fork is all
    // the driver adds to the measured time.
    std::vector<std::string> argv = spec.argv;
    std::vector<std::string> env = mergedEnvironment(spec.env);
    std::vector<char*> argp = pointers(argv);
    std::vector<char*> envp = pointers(env);
    int out[2] = {-1, -1};
    if (spec.captureStdout && pipe2(out, O_CLOEXEC) != 0)
        return;
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    const int err = open(spec.stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);

    m_startNs = nowNs();
    m_pid = fork();
    if (m_pid == 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(spec.captureStdout ? out[1] : devNull, STDOUT_FILENO);
        dup2(err >= 0 ? err : devNull, STDERR_FILENO);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    if (spec.captureStdout) {
        close(out[1]);
        m_outFd = out[0];
    }
    close(devNull);
    if (err >= 0)
        close(err);
    if (m_pid > 0)
        m_pidFd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
}

Child::~Child() {
    stop();
    if (m_pidFd >= 0)
        close(m_pidFd);
    if (m_outFd >= 0)
        close(m_outFd);
}

bool Child::waitFor(int options) {
    if (m_pid <= 0 || ended())
        return ended();
    int status = 0;
    rusage usage{};
    if (wait4(m_pid, &status, options, &usage) != m_pid)
        return false;
    m_exitNs = nowNs();
    m_status = status;
    m_rssKiB = usage.ru_maxrss;
    return true;
}

bool Child::reap() {
    return waitFor(WNOHANG);
}

void Child::stop() {
    if (m_pid <= 0 || reap())
        return;
    kill(m_pid, SIGTERM);
    for (int waited = 0; waited < kStopGraceMs; waited += 10) {
        if (reap())
            return;
        usleep(10000);
    }
    kill(m_pid, SIGKILL);
    waitFor(0);
}

std::string Child::output() {
    std::string text;
    if (m_outFd < 0)
        return text;
    char buffer[256];
    for (;;) {
        pollfd p{m_outFd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0)
            break;
        const ssize_t n = read(m_outFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

}  // namespace kestrova::bench
