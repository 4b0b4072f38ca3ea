// An HTTP server whose connections cannot be made to hold unbounded memory or a worker
// forever. The library reads request headers without a limit on their number, so one
// client streaming header lines would grow the server without end; this server reads
// through a stream with a byte budget and a deadline per request instead, and keeps the
// library's request parsing, routing and responses as they are.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>

namespace kestrova {

struct ConnectionLimits {
    // Bytes a client may send for one request: request line, headers and body together.
    std::size_t requestBytes = 32 * 1024;
    // Time for a whole request to arrive, however slowly it trickles in.
    std::chrono::seconds requestTime{10};
    // Longest wait for any single read or write.
    std::chrono::seconds ioTimeout{5};
    // How long an idle kept-alive connection waits for its next request, and how many
    // requests one connection may carry.
    std::chrono::seconds keepAliveTimeout{5};
    std::size_t keepAliveRequests = 20;
};

class BoundedHttpServer : public httplib::Server {
public:
    explicit BoundedHttpServer(ConnectionLimits limits) : m_limits(limits) {}

private:
    bool process_and_close_socket(socket_t sock) override;
    // Waits for the next request on a kept-alive connection; gives up on timeout or when
    // the server is stopping.
    bool awaitNextRequest(socket_t sock) const;

    ConnectionLimits m_limits;
};

}  // namespace kestrova
