// A program under test started by fork and exec, as the start-up benchmark does: the start
// is taken just before the fork, the end when the kernel reports the exit (a pidfd, so
// the driver can wait on it beside its X connection), the peak resident size from wait4.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrova::bench {

struct ChildSpec {
    std::vector<std::string> argv;
    // "NAME=value" entries that replace or add to the driver's environment.
    std::vector<std::string> env;
    // Where standard error goes (appended); standard output is a pipe when capture is set,
    // else /dev/null.
    std::string stderrPath = "/dev/null";
    bool captureStdout = false;
};

class Child {
public:
    explicit Child(const ChildSpec& spec);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return m_pid > 0; }
    long long startNs() const { return m_startNs; }
    // Readable once the process has ended; -1 when the kernel has no pidfd.
    int exitFd() const { return m_pidFd; }

    // Reaps the process if it has ended, without waiting. True once it is reaped.
    bool reap();
    // Ends the process (SIGTERM, SIGKILL after a grace period) and reaps it.
    void stop();

    bool ended() const { return m_exitNs >= 0; }
    long long exitNs() const { return m_exitNs; }
    int status() const { return m_status; }
    long peakRssKiB() const { return m_rssKiB; }
    // Everything written to standard output, read once the process has ended.
    std::string output();

private:
    bool waitFor(int options);

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_outFd = -1;
    long long m_startNs = 0;
    long long m_exitNs = -1;
    int m_status = -1;
    long m_rssKiB = -1;
};

// Environment of the driver with spec-style overrides applied.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& overrides);

}  // namespace kestrova::bench
