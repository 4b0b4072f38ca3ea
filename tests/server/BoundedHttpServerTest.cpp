// What a hostile or broken client can do to one connection: stream headers without end,
// trickle a request forever, or pipeline more requests than a connection may carry.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "server/BoundedHttpServer.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

class RunningServer {
public:
    explicit RunningServer(ConnectionLimits limits) : m_server(limits) {
        m_server.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello", "text/plain");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) {
            std::this_thread::sleep_for(1ms);
        }
    }
    ~RunningServer() {
        m_server.stop();
        m_thread.join();
    }
    int port() const { return m_port; }

private:
    BoundedHttpServer m_server;
    int m_port = -1;
    std::thread m_thread;
};

// A plain TCP client that can send anything, byte-exact.
class RawConnection {
public:
    explicit RawConnection(int port) : m_sock(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(m_sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    ~RawConnection() { ::close(m_sock); }

    // False once the server has stopped taking bytes.
    bool send(const std::string& bytes) {
        return ::send(m_sock, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // Everything until the server closes the connection; "TIMEOUT" appended if it does not.
    std::string readUntilClosed(std::chrono::milliseconds limit = 8000ms) {
        std::string received;
        const auto deadline = SteadyClock::now() + limit;
        while (SteadyClock::now() < deadline) {
            pollfd entry{m_sock, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::recv(m_sock, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return received;
            }
            received.append(buffer, static_cast<std::size_t>(got));
        }
        return received + "TIMEOUT";
    }

private:
    int m_sock;
};

int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

TEST(BoundedHttpServer, EndlessHeadersAreCutOffAndTheServerStaysUsable) {
    RunningServer server(ConnectionLimits{});
    {
        RawConnection flood(server.port());
        flood.send("GET /hello HTTP/1.1\r\nHost: a\r\n");
        const std::string header = "X-Filler: " + std::string(100, 'a') + "\r\n";
        // 2 MiB of headers against a 32 KiB budget; the server may stop reading early.
        for (int i = 0; i < 20000 && flood.send(header); ++i) {
        }
        const std::string reply = flood.readUntilClosed();
        EXPECT_EQ(reply.find("TIMEOUT"), std::string::npos);
        EXPECT_EQ(reply.find("200 OK"), std::string::npos) << reply.substr(0, 200);
        // Once cut off, the rest of the flood is not read as further requests.
        EXPECT_LE(countOf(reply, "HTTP/1.1 "), 1) << reply.substr(0, 400);
    }
    RawConnection normal(server.port());
    normal.send("GET /hello HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
    EXPECT_NE(normal.readUntilClosed().find("200 OK"), std::string::npos);
}

TEST(BoundedHttpServer, ATricklingRequestIsDroppedAtItsDeadline) {
    ConnectionLimits limits;
    limits.requestTime = 1s;
    RunningServer server(limits);
    RawConnection slow(server.port());
    const auto start = SteadyClock::now();
    slow.send("GET /hel");
    std::this_thread::sleep_for(300ms);
    slow.send("lo HTTP/1.1\r\n");  // progress, but not fast enough
    const std::string reply = slow.readUntilClosed();
    EXPECT_EQ(reply.find("TIMEOUT"), std::string::npos);
    EXPECT_EQ(reply.find("200 OK"), std::string::npos);
    // Well before the 5-second read timeout that alone would have let it linger.
    EXPECT_LT(SteadyClock::now() - start, 4s);
}

TEST(BoundedHttpServer, KeepAliveServesPipelinedRequestsUpToItsCount) {
    ConnectionLimits limits;
    limits.keepAliveRequests = 2;
    RunningServer server(limits);
    RawConnection client(server.port());
    const std::string request = "GET /hello HTTP/1.1\r\nHost: a\r\n\r\n";
    client.send(request + request + request);
    const std::string reply = client.readUntilClosed();
    EXPECT_EQ(reply.find("TIMEOUT"), std::string::npos);
    EXPECT_EQ(countOf(reply, "HTTP/1.1 200 OK"), 2) << reply;
}

}  // namespace
}  // namespace kestrova
