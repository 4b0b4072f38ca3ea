// Both lock guards: released on every way out of their scope, reentrant for the owner.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

#include "log/LockHelper.h"
#include "log/MyLock.h"

namespace {

using namespace std::chrono_literals;

// Whether another thread can take the lock within a second. A lock left held keeps that
// thread blocked; it is detached so the failure is reported instead of hanging the test.
template <typename Take>
bool takenElsewhere(Take take) {
    auto taken = std::make_shared<std::promise<void>>();
    std::future<void> done = taken->get_future();
    std::thread([taken, take] {
        take();
        taken->set_value();
    }).detach();
    return done.wait_for(1s) == std::future_status::ready;
}

// Counts the guard's calls, which must go through the virtual table.
class CountingMutex : public MyLock::CMutex {
public:
    void Lock() override {
        ++locks;
        CMutex::Lock();
    }
    void Unlock() override {
        ++unlocks;
        CMutex::Unlock();
    }
    int locks = 0;
    int unlocks = 0;
};

TEST(LockGuards, ReleaseOnExceptionAndAreReentrant) {
    static LockHelper helper;
    static CountingMutex mutex;
    EXPECT_THROW(
        {
            AutoLock outer(&helper);
            AutoLock inner(&helper);
            MyLock::CAutoMutex outerMutex(&mutex);
            MyLock::CAutoMutex innerMutex(&mutex);
            throw std::runtime_error("inside the scope");
        },
        std::runtime_error);
    EXPECT_EQ(mutex.locks, 2);
    EXPECT_EQ(mutex.unlocks, 2);
    EXPECT_TRUE(takenElsewhere([] { AutoLock guard(&helper); }));
    EXPECT_TRUE(takenElsewhere([] { MyLock::CAutoMutex guard(&mutex); }));
}

}  // namespace
