// The worker-thread base: Run on its own thread, and no waiting in the base's destructor.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "log/ThreadHelper.h"
#include "tests/support/Wait.h"

namespace {

std::atomic<bool> g_started{false}, g_release{false}, g_finished{false};

bool waitFor(const std::atomic<bool>& flag) {
    return kestrova::test::waitFor([&] { return flag.load(); });
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
    EXPECT_TRUE(waitFor(g_finished));
}

}  // namespace
