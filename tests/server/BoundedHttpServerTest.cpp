// What a hostile or broken client can do to one connection: stream headers without end,
// trickle a request forever, or pipeline more requests than a connection may carry.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
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

TEST(BoundedHttpServer, AConnectionIsCutOffAtEachLimitAndTheServerStaysUsable) {
    const std::string request = "GET /hello HTTP/1.1\r\nHost: a\r\n";
    struct Row {
        const char* name;
        ConnectionLimits limits;
        std::function<void(RawConnection&)> send;
        int served;
    };
    const Row rows[] = {
        // 2 MiB of headers against a 32 KiB budget; the server may stop reading early.
        {"endless headers",
         {},
         [&](RawConnection& c) {
             c.send(request);
             const std::string header = "X-Filler: " + std::string(100, 'a') + "\r\n";
             for (int i = 0; i < 20000 && c.send(header); ++i) {
             }
         },
         0},
        // Progress, but not fast enough; well before the 5-second read timeout.
        {"trickle",
         {.requestTime = 1s},
         [](RawConnection& c) {
             c.send("GET /hel");
             std::this_thread::sleep_for(300ms);
             c.send("lo HTTP/1.1\r\n");
         },
         0},
        {"pipelined",
         {.keepAliveRequests = 2},
         [&](RawConnection& c) { c.send(request + "\r\n" + request + "\r\n" + request + "\r\n"); },
         2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RunningServer server(row.limits);
        const auto start = SteadyClock::now();
        {
            RawConnection client(server.port());
            row.send(client);
            const std::string reply = client.readUntilClosed();
            EXPECT_EQ(reply.find("TIMEOUT"), std::string::npos);
            EXPECT_EQ(countOf(reply, "HTTP/1.1 200 OK"), row.served) << reply.substr(0, 400);
            // Once cut off, the rest of the bytes are not read as further requests.
            EXPECT_LE(countOf(reply, "HTTP/1.1 "), std::max(row.served, 1));
            EXPECT_LT(SteadyClock::now() - start, 4s);
        }
        RawConnection normal(server.port());
        normal.send(request + "Connection: close\r\n\r\n");
        EXPECT_NE(normal.readUntilClosed().find("200 OK"), std::string::npos);
    }
}

}  // namespace
}  // namespace kestrova
