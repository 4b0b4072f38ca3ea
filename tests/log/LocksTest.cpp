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

TEST(LockGuards, ReleaseOnExceptionAndAreReentrant) {
    static LockHelper helper;
    static MyLock::CMutex mutex;
    EXPECT_THROW(
        {
            AutoLock outer(&helper);
            AutoLock inner(&helper);
            MyLock::CAutoMutex outerMutex(&mutex);
            MyLock::CAutoMutex innerMutex(&mutex);
            throw std::runtime_error("inside the scope");
        },
        std::runtime_error);
    EXPECT_TRUE(takenElsewhere([] { AutoLock guard(&helper); }));
    EXPECT_TRUE(takenElsewhere([] { MyLock::CAutoMutex guard(&mutex); }));
}

}  // namespace
