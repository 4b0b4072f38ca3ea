// Polling until a condition holds, for tests that wait on another process or a window.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace kestrova::test {

// Calls step (or just sleeps) between tries until done() or the limit; true once done().
inline bool waitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(5),
                    const std::function<void()>& step = {}) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        if (step)
            step();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

}  // namespace kestrova::test
