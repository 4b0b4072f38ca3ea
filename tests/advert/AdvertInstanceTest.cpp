// First use of the request object from several threads at once. A program of its own,
// so that no earlier test has created the object already.
#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "advert/AdvertClient.h"

namespace {

TEST(AdvertClientInstance, ConcurrentFirstCallsCreateOneObject) {
    constexpr int kThreads = 8;
    std::latch start(kThreads);
    std::mutex mutex;
    std::set<AdvertClient*> seen;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            start.arrive_and_wait();
            AdvertClient* instance = AdvertClient::GetInstance();
            std::lock_guard<std::mutex> lock(mutex);
            seen.insert(instance);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(*seen.begin(), AdvertClient::GetInstance());
}

}  // namespace
