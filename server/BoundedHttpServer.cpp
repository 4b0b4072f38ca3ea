// The connection loop of the bounded server and its budgeted socket stream.
#include "server/BoundedHttpServer.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace kestrova {

namespace {

using SteadyClock = std::chrono::steady_clock;

int toMilliseconds(std::chrono::steady_clock::duration duration) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 60'000));
}

bool waitFor(int sock, short events, int timeoutMs) {
    pollfd entry{sock, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

void numericAddress(const sockaddr_storage& addr, socklen_t length, std::string& ip, int& port) {
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> service{};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&addr), length, host.data(), host.size(),
                    service.data(), service.size(), NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host.data();
        port = std::atoi(service.data());
    }
}

// A socket stream that stops delivering bytes once the current request has used up its
// budget or its time; the library then answers 400 or drops the connection.
class BudgetedStream final : public httplib::Stream {
public:
    BudgetedStream(int sock, const ConnectionLimits& limits) : m_sock(sock), m_limits(limits) {}

    void startRequest() {
        m_nBudgetLeft = m_limits.requestBytes;
        m_deadline = SteadyClock::now() + m_limits.requestTime;
    }
    bool hasBuffered() const { return m_nBufferStart < m_nBufferEnd; }
    // True once a request was cut off; what follows on the connection is not trustworthy.
    bool wasCutOff() const { return m_bCutOff; }

    bool is_readable() const override {
        if (hasBuffered()) {
            return true;
        }
        const auto wait =
            std::min<SteadyClock::duration>(m_limits.ioTimeout, m_deadline - SteadyClock::now());
        return wait > SteadyClock::duration::zero() &&
               waitFor(m_sock, POLLIN, toMilliseconds(wait));
    }

    bool is_writable() const override {
        return waitFor(m_sock, POLLOUT, toMilliseconds(m_limits.ioTimeout));
    }

    ssize_t read(char* ptr, std::size_t size) override {
        // Out of budget or out of time, the request did not arrive whole; nothing that
        // follows it on this connection can be trusted to start a new one.
        if (m_nBudgetLeft == 0 || !is_readable()) {
            m_bCutOff = true;
            return -1;
        }
        if (!hasBuffered()) {
            ssize_t got = 0;
            do {
                got = ::recv(m_sock, m_buffer.data(), m_buffer.size(), 0);
            } while (got < 0 && errno == EINTR);
            if (got <= 0) {
                return got;
            }
            m_nBufferStart = 0;
            m_nBufferEnd = static_cast<std::size_t>(got);
        }
        const std::size_t count = std::min({size, m_nBufferEnd - m_nBufferStart, m_nBudgetLeft});
        std::memcpy(ptr, m_buffer.data() + m_nBufferStart, count);
        m_nBufferStart += count;
        m_nBudgetLeft -= count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, std::size_t size) override {
        if (!is_writable()) {
            return -1;
        }
        ssize_t sent = 0;
        do {
            sent = ::send(m_sock, ptr, size, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage addr{};
        socklen_t length = sizeof addr;
        if (getpeername(m_sock, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
            numericAddress(addr, length, ip, port);
        }
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage addr{};
        socklen_t length = sizeof addr;
        if (getsockname(m_sock, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
            numericAddress(addr, length, ip, port);
        }
    }

    socket_t socket() const override { return m_sock; }

private:
    int m_sock;
    const ConnectionLimits& m_limits;
    // Reads are buffered as the library's own stream does: its parser asks byte by byte.
    std::array<char, 4096> m_buffer{};
    std::size_t m_nBufferStart = 0;
    std::size_t m_nBufferEnd = 0;
    std::size_t m_nBudgetLeft = 0;
    SteadyClock::time_point m_deadline{};
    bool m_bCutOff = false;
};

}  // namespace

bool BoundedHttpServer::awaitNextRequest(socket_t sock) const {
    // Short slices so that stop() is not held up by a connection that sits idle.
    constexpr auto kSlice = std::chrono::milliseconds(100);
    const auto deadline = SteadyClock::now() + m_limits.keepAliveTimeout;
    while (svr_sock_ != INVALID_SOCKET) {
        const auto left = deadline - SteadyClock::now();
        if (left <= SteadyClock::duration::zero()) {
            return false;
        }
        if (waitFor(sock, POLLIN, toMilliseconds(std::min<SteadyClock::duration>(left, kSlice)))) {
            return true;
        }
    }
    return false;
}

bool BoundedHttpServer::process_and_close_socket(socket_t sock) {
    BudgetedStream stream(sock, m_limits);
    bool served = false;
    for (std::size_t left = m_limits.keepAliveRequests; left > 0; --left) {
        if (!stream.hasBuffered() && !awaitNextRequest(sock)) {
            break;
        }
        stream.startRequest();
        bool closed = false;
        served = process_request(stream, left == 1, closed, nullptr);
        if (!served || closed || stream.wasCutOff() || svr_sock_ == INVALID_SOCKET) {
            break;
        }
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return served;
}

}  // namespace kestrova
