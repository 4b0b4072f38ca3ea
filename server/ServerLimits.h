// What one client, and all of them together, may take from the server: connections, memory
// per connection and time. A client past a limit loses its connection, never a worker.
#pragma once

#include <chrono>
#include <cstddef>

namespace kestrova {

struct ServerLimits {
    // Connections open at once, in all and from one client address; a connection beyond
    // either is closed as soon as it is accepted.
    std::size_t maxConnections = 4096;
    std::size_t maxPerClient = 64;
    // Memory for one connection's request and the headers of its answer; a request that
    // does not fit is refused (431) and its connection closed.
    std::size_t connectionMemory = 32 * 1024;
    // A connection on which nothing moves either way for this long is closed.
    std::chrono::seconds idleTimeout{5};
    // The whole of a request must arrive within this, counted from the connection's start
    // or from the previous answer, however slowly it trickles in.
    std::chrono::milliseconds requestTime{10'000};
    // Delivering one answer, once its request has arrived, may take this long at most.
    std::chrono::milliseconds answerTime{60'000};
    // How long a stop waits for answers under way before it closes every connection.
    std::chrono::milliseconds drainTime{2'000};
    // Threads of the event loop; 0 means one per processor.
    unsigned threads = 0;
};

}  // namespace kestrova
