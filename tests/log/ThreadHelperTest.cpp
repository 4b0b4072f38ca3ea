// The worker-thread base: Run on its own thread, and no waiting in the base's destructor.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "log/ThreadHelper.h"

namespace {

using namespace std::chrono_literals;

std::atomic<bool> g_started{false}, g_release{false}, g_finished{false};

void waitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 5000 && !flag; ++i) {
        std::this_thread::sleep_for(1ms);
    }
}

// Its Run touches only the globals, so it may outlive the object.
class Worker : public ThreadHelper {
public:
    void start() { m_hThread = std::thread(&ThreadHelper::ThreadProc, this); }
    void Run() override {
        g_started = true;
        waitFor(g_release);
        g_finished = true;
    }
};

TEST(ThreadHelper, DestructionDoesNotWaitForARunningThread) {
    {
        Worker worker;
        worker.start();
        waitFor(g_started);
    }
    EXPECT_FALSE(g_finished);
    g_release = true;
    waitFor(g_finished);
    EXPECT_TRUE(g_finished);
}

}  // namespace
