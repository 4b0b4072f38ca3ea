// The logger's two costs, each beside a reference measured in the same run:
//   bench_log [lines]
// 1. Throughput: one thread appends time-stamped lines while the writer runs; the time to
//    queue them, and the time until Stop has written them all, against writing the same
//    lines directly with an open, write and close per line (the writer's own way of writing),
//    through the private open the writer uses and through a plain one.
// 2. Idle cost: the writer's CPU time and wake-ups over 2 s with nothing to write, against a
//    thread that polls an empty queue every 100 ms.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "log/CLog.h"
#include "log/LogLine.h"
#include "platform/file/PrivateAppend.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::set<std::string> taskIds() {
    std::set<std::string> ids;
    for (const auto& entry : fs::directory_iterator("/proc/self/task")) {
        ids.insert(entry.path().filename());
    }
    return ids;
}

struct ThreadCost {
    double cpuMs = 0;
    long wakeUps = 0;
};

// CPU time on the scheduler's nanosecond clock, and voluntary context switches.
ThreadCost threadCost(const std::string& tid) {
    ThreadCost cost;
    long long runtimeNs = 0;
    std::ifstream("/proc/self/task/" + tid + "/schedstat") >> runtimeNs;
    cost.cpuMs = static_cast<double>(runtimeNs) / 1e6;
    std::ifstream status("/proc/self/task/" + tid + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
            cost.wakeUps = std::stol(line.substr(24));
        }
    }
    return cost;
}

ThreadCost difference(const ThreadCost& after, const ThreadCost& before) {
    return {after.cpuMs - before.cpuMs, after.wakeUps - before.wakeUps};
}

// One line the way the writer appends it, without the queue and the thread.
void appendPrivate(const std::string& path, const std::string& line) {
    FILE* file = nullptr;
    if (kestrova::openPrivateAppend(&file, path) == 0) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
    }
}

// The same with a plain open that checks nothing.
void appendPlain(const std::string& path, const std::string& line) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, line.data(), line.size());
        ::close(fd);
    }
}

double timeDirect(const std::vector<std::string>& texts, const std::string& path,
                  void (*append)(const std::string&, const std::string&)) {
    const Clock::time_point start = Clock::now();
    for (const std::string& text : texts) {
        append(path, text + "\n");
    }
    return secondsSince(start);
}

void throughput(const fs::path& dir, int lines) {
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        texts.push_back(
            kestrova::stampLogLine("advert: none (status 404) run " + std::to_string(i)));
    }

    CLog log;
    log.Init((dir / "logger").c_str());
    const Clock::time_point start = Clock::now();
    for (const std::string& text : texts) {
        log.Append(text);
    }
    const double queued = secondsSince(start);
    log.Stop();
    const double written = secondsSince(start);

    const double plain = timeDirect(texts, (dir / "plain.log").string(), appendPlain);
    const double privateOpen = timeDirect(texts, (dir / "private.log").string(), appendPrivate);

    std::printf("throughput, %d lines of %zu bytes\n", lines, texts.front().size() + 1);
    std::printf("  appended by the caller   %10.0f lines/s\n", lines / queued);
    std::printf("  written by the logger    %10.0f lines/s\n", lines / written);
    std::printf("  direct, private open     %10.0f lines/s   logger/direct = %.2f\n",
                lines / privateOpen, privateOpen / written);
    std::printf("  direct, plain open       %10.0f lines/s   logger/direct = %.2f\n", lines / plain,
                plain / written);
}

// What the writer would cost if it polled: the lock, a look at the empty queue, 100 ms sleep.
class Poller {
public:
    Poller() : m_thread([this] { run(); }) {}
    ~Poller() {
        m_stop = true;
        m_thread.join();
    }
    std::string tid() const {
        while (m_tid == 0) {
            std::this_thread::sleep_for(1ms);
        }
        return std::to_string(m_tid.load());
    }

private:
    void run() {
        m_tid = static_cast<long>(::syscall(SYS_gettid));
        while (!m_stop) {
            bool empty = false;
            {
                std::lock_guard lock(m_lock);
                empty = m_queue.empty();
            }
            if (empty) {
                std::this_thread::sleep_for(100ms);
            }
        }
    }

    std::recursive_mutex m_lock;
    std::list<std::string> m_queue;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_tid{0};
    std::thread m_thread;
};

void idleCost(const fs::path& dir) {
    const std::set<std::string> before = taskIds();
    CLog log;
    log.Init((dir / "idle").c_str());
    std::string writer;
    for (const std::string& id : taskIds()) {
        if (!before.contains(id)) {
            writer = id;
        }
    }
    Poller poller;
    const std::string pollerTid = poller.tid();
    std::this_thread::sleep_for(200ms);

    const ThreadCost writerStart = threadCost(writer);
    const ThreadCost pollerStart = threadCost(pollerTid);
    std::this_thread::sleep_for(2s);
    const ThreadCost writerCost = difference(threadCost(writer), writerStart);
    const ThreadCost pollerCost = difference(threadCost(pollerTid), pollerStart);

    const Clock::time_point stopStart = Clock::now();
    log.Stop();
    const double stopMs = secondsSince(stopStart) * 1e3;

    std::printf("idle, 2 s\n");
    std::printf("  logger writer    cpu %8.3f ms   wake-ups %3ld   Stop %.3f ms\n",
                writerCost.cpuMs, writerCost.wakeUps, stopMs);
    std::printf("  100 ms poller    cpu %8.3f ms   wake-ups %3ld\n", pollerCost.cpuMs,
                pollerCost.wakeUps);
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    std::string pattern = (fs::temp_directory_path() / "kestrova-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    throughput(dir, lines);
    idleCost(dir);
    fs::remove_all(dir);
    return 0;
}
