// What the server benchmark drives its subjects with: processes it starts and stops, wrk
// runs and their figures, single requests on fresh connections from a chosen loopback
// address, and crowds of idle and slow connections.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "util/FileDescriptor.h"

namespace kestrova::bench {

// The full path of a program on PATH, or empty.
std::string onPath(const std::string& name);

// A port free at the moment of asking (the benchmark runs alone; tests never do this).
int freePort();

// A started program; standard output and error go to the given file. Stopped (SIGTERM,
// then SIGKILL) at the end of its scope.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::string& outputPath);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return m_pid; }
    // A figure of /proc/PID/status in KiB ("VmRSS", "VmHWM"), summed over the program's
    // children too when withChildren (nginx's workers); -1 when unknown.
    long memoryKiB(const char* field, bool withChildren = false) const;

private:
    pid_t m_pid = -1;
};

// True once something accepts connections on the port, within the limit.
bool waitForPort(int port, std::chrono::milliseconds limit = std::chrono::seconds(10));

struct Answer {
    int status = -1;
    std::string body;
    double ms = -1;  // from before connecting to the last byte
};

// One GET on a new connection from the address `from`, read until the server closes.
Answer fetch(int port, const std::string& path, const std::string& from = "127.0.0.1");

struct WrkFigures {
    double requestsPerSecond = -1;
    double p50Ms = -1, p90Ms = -1, p99Ms = -1, maxMs = -1;
    long requests = -1;
    long socketErrors = 0;  // connect, read, write and time-outs together
    long timeouts = 0;
    long non2xx = 0;
};

// wrk with one thread over kept-alive connections; its figures, or requests -1.
WrkFigures runWrk(const std::string& wrk, const std::string& url, int connections, int seconds);

// Idle connections (nothing sent) and slow ones (a request that starts with headerBytes of
// headers and gains one byte every `pause`), from many loopback addresses so that a
// per-client limit does not turn them away: at most perAddress from each.
class Crowd {
public:
    Crowd(int port, int idle, int slow, std::chrono::milliseconds pause, int perAddress,
          std::size_t headerBytes = 0);
    ~Crowd();
    // Connections of the crowd the server has closed so far.
    int closedIdle();
    int closedSlow();

private:
    static int closed(std::vector<FileDescriptor>& sockets);

    std::vector<FileDescriptor> m_idle, m_slow;
    std::atomic<bool> m_bTrickling{true};
    std::thread m_trickle;
};

}  // namespace kestrova::bench
