// Servers for transfer tests: they listen on 127.0.0.1 on a port the kernel picks and stop
// when their owner goes out of scope.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>

namespace kestrova::test {

// A certificate authority made for one test: the certificates it issues are valid for a
// day, and pem() is what a CA file holds.
class TestAuthority {
public:
    TestAuthority();
    ~TestAuthority();
    TestAuthority(const TestAuthority&) = delete;
    TestAuthority& operator=(const TestAuthority&) = delete;
    std::string pem() const;

private:
    friend class LoopbackHttpServer;
    struct Keys;
    std::unique_ptr<Keys> m_keys;
};

// Register handlers on server() before start(). An HTTPS server's certificate is its own
// (self-signed), or issued by authority for the address or name given.
class LoopbackHttpServer {
public:
    enum class Scheme { kHttp, kHttps };
    explicit LoopbackHttpServer(Scheme scheme = Scheme::kHttp);
    LoopbackHttpServer(const TestAuthority& authority, const std::string& subject);
    ~LoopbackHttpServer();

    httplib::Server& server() { return *m_server; }
    void start();
    std::string url(const std::string& path) const;

private:
    Scheme m_scheme;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};

// Announces size bytes, sends only head, then drops the connection: a transfer cut off.
inline void cutOff(httplib::Response& res, std::size_t size, std::string head) {
    res.set_content_provider(size, "application/octet-stream",
                             [head](std::size_t, std::size_t, httplib::DataSink& sink) {
                                 sink.write(head.data(), head.size());
                                 return false;
                             });
}

// Streams size bytes of 'p' in pieces with a pause after each, announcing the length or not.
inline void streamed(httplib::Response& res, std::size_t size, bool announced,
                     std::size_t piece = 1000, std::chrono::microseconds pause = {}) {
    auto provider = [=](std::size_t offset, httplib::DataSink& sink) {
        const std::string bytes(std::min(piece, size - offset), 'p');
        sink.write(bytes.data(), bytes.size());
        std::this_thread::sleep_for(pause);
        if (!announced && offset + bytes.size() == size) {
            sink.done();
        }
        return true;
    };
    if (!announced) {
        return res.set_chunked_content_provider("application/octet-stream", provider);
    }
    res.set_content_provider(size, "application/octet-stream",
                             [provider](std::size_t at, std::size_t, httplib::DataSink& sink) {
                                 return provider(at, sink);
                             });
}

// Standard error (the descriptor) until text() or the end of the scope.
class StderrCapture {
public:
    StderrCapture() { testing::internal::CaptureStderr(); }
    ~StderrCapture() { text(); }
    std::string text() {
        return std::exchange(m_open, false) ? testing::internal::GetCapturedStderr() : "";
    }

private:
    bool m_open = true;
};

}  // namespace kestrova::test
