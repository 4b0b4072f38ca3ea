// An in-process advert server on a free loopback port, with the clock under the test's
// control, and raw connections for clients that misbehave.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "server/AdvertServer.h"
#include "tests/server/FakePng.h"
#include "tests/support/TempDir.h"
#include "util/FileDescriptor.h"

namespace kestrova::test {

inline constexpr std::chrono::sys_seconds kNoon{
    std::chrono::sys_days{std::chrono::year{2025} / 6 / 15} + std::chrono::hours{12}};

class LiveServer {
public:
    // png, when given, is the picture "pic.png" beside the adverts.
    LiveServer(const std::string& advertsJson, std::chrono::seconds minInterval,
               const std::string& png = "", ServerLimits limits = {})
        : m_now(kNoon.time_since_epoch().count()) {
        if (!png.empty()) {
            writeFile(m_folder / "pic.png", png);
        }
        // A file in the picture folder that no advert lists: it must stay unreachable.
        writeFile(m_folder / "secret.png", fakePng("secret"));
        CatalogResult loaded = parseAdverts(advertsJson, m_folder.path());
        if (!loaded.catalog) {
            ADD_FAILURE() << loaded.error;
            return;
        }
        m_server = std::make_unique<AdvertServer>(
            std::move(*loaded.catalog), minInterval,
            [this] { return std::chrono::sys_seconds{std::chrono::seconds{m_now.load()}}; }, m_log,
            limits);
        m_port = m_server->bind("127.0.0.1", 0);
        EXPECT_GT(m_port, 0);
        m_thread = std::thread([this] { m_server->run(); });
    }
    ~LiveServer() {
        if (m_thread.joinable()) {
            m_server->stop();
            m_thread.join();
        }
    }

    void setNow(std::chrono::sys_seconds now) { m_now = now.time_since_epoch().count(); }
    httplib::Client client() const { return httplib::Client("127.0.0.1", m_port); }
    int port() const { return m_port; }
    AdvertServer& server() { return *m_server; }

private:
    TempDir m_folder;
    std::atomic<std::int64_t> m_now;
    std::ostringstream m_log;
    std::unique_ptr<AdvertServer> m_server;
    int m_port = -1;
    std::thread m_thread;
};

// A TCP connection to a loopback port from a chosen loopback address: all of 127.0.0.0/8
// is this machine, so one test can be many clients.
class RawConnection {
public:
    explicit RawConnection(int port, const std::string& from = "127.0.0.1")
        : m_sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        ::inet_pton(AF_INET, from.c_str(), &addr.sin_addr);
        m_bConnected = ::bind(m_sock.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_bConnected = m_bConnected && ::connect(m_sock.get(), reinterpret_cast<sockaddr*>(&addr),
                                                 sizeof addr) == 0;
    }

    bool connected() const { return m_bConnected; }

    bool send(const std::string& bytes) {
        return ::send(m_sock.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // Everything until the server closes the connection; "TIMEOUT" appended if it does not.
    std::string readUntilClosed(std::chrono::milliseconds limit = std::chrono::seconds(8)) {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd entry{m_sock.get(), POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::recv(m_sock.get(), buffer, sizeof buffer, 0);
            if (got <= 0) {
                return received;
            }
            received.append(buffer, static_cast<std::size_t>(got));
        }
        return received + "TIMEOUT";
    }

    // True once the server has closed the connection (unread answer bytes are skipped).
    bool closedByServer() {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::recv(m_sock.get(), buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        }
        return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }

private:
    FileDescriptor m_sock;
    bool m_bConnected = false;
};

}  // namespace kestrova::test
