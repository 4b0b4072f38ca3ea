// Servers and fixtures for transfer tests: everything listens on 127.0.0.1 on a port the
// kernel picks, and is stopped when its owner goes out of scope.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace kestrova::test {

// An in-process HTTP (or HTTPS) server. Register handlers on server() before start().
class LoopbackHttpServer {
public:
    enum class Scheme { kHttp, kHttps };
    explicit LoopbackHttpServer(Scheme scheme = Scheme::kHttp);
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

// A server that answers every connection with the same raw bytes and then closes it, for
// answers no well-behaved server gives (a body cut off after its status line).
class RawServer {
public:
    explicit RawServer(std::string reply);
    ~RawServer();
    std::string url(const std::string& path) const;

private:
    void serve();
    std::string m_reply;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// A loopback port nobody listens on (bound once, then released).
int unusedPort();

// Redirects standard error (file descriptor 2) into a buffer until text() is called.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    std::string text();

private:
    int m_saved = -1;
    std::FILE* m_file = nullptr;
};

}  // namespace kestrova::test
