// The termination signals' handler: a flag, the signal's number and a self-pipe, nothing
// that is not async-signal-safe.
#include "platform/terminate/TerminationRequest.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace kestrova {
namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<bool> g_requested{false};
std::atomic<int> g_signal{0};
// The pipe's write end is what the handler uses; the read end is what loops watch.
std::atomic<int> g_wakeRead{-1};
std::atomic<int> g_wakeWrite{-1};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the handler may only touch lock-free atomics");

void onTermination(int number) {
    const int savedErrno = errno;
    int none = 0;
    g_signal.compare_exchange_strong(none, number);
    g_requested = true;
    // One byte makes the read end readable for good: nobody reads it. A full pipe (a
    // flood of signals) is as readable as it needs to be.
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wakeWrite.load(), &byte, 1);
    errno = savedErrno;
}

}  // namespace

void installTerminationHandlers() {
    int ends[2] = {-1, -1};
    if (g_wakeRead.load() >= 0 || ::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        return;
    }
    g_wakeRead = ends[0];
    g_wakeWrite = ends[1];
    struct sigaction action {};
    action.sa_handler = onTermination;
    // Interrupted system calls resume: the request is seen through the flag and the pipe.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int number : kTerminationSignals) {
        sigaddset(&action.sa_mask, number);
    }
    for (int number : kTerminationSignals) {
        ::sigaction(number, &action, nullptr);
    }
}

const std::atomic<bool>& terminationRequested() {
    return g_requested;
}

int terminationSignal() {
    return g_signal.load();
}

int terminationDescriptor() {
    return g_wakeRead.load();
}

std::string terminationSignalName() {
    const int number = g_signal.load();
    const char* abbreviation = number != 0 ? ::sigabbrev_np(number) : nullptr;
    return abbreviation != nullptr ? std::string("SIG") + abbreviation : std::string();
}

}  // namespace kestrova
