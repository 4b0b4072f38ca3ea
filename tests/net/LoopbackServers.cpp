// Loopback servers and a self-signed certificate made on the spot.
#include "tests/net/LoopbackServers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace kestrova::test {
namespace {

// An EC key and a certificate for 127.0.0.1 signed with it, valid for one day.
std::unique_ptr<httplib::Server> makeHttpsServer() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    if (key == nullptr || cert == nullptr) {
        throw std::runtime_error("cannot create a test key");
    }
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    if (X509_sign(cert, key, EVP_sha256()) == 0) {
        throw std::runtime_error("cannot sign the test certificate");
    }
    auto server = std::make_unique<httplib::SSLServer>(cert, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    return server;
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Scheme scheme) : m_scheme(scheme) {
    m_server = scheme == Scheme::kHttps ? makeHttpsServer() : std::make_unique<httplib::Server>();
}

LoopbackHttpServer::~LoopbackHttpServer() {
    m_server->stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void LoopbackHttpServer::start() {
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        throw std::runtime_error("cannot bind the test server");
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string LoopbackHttpServer::url(const std::string& path) const {
    const char* scheme = m_scheme == Scheme::kHttps ? "https" : "http";
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(m_port) + path;
}

RawServer::RawServer(std::string reply) : m_reply(std::move(reply)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    if (m_listener < 0 ||
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 8) != 0) {
        throw std::runtime_error("cannot start the raw server");
    }
    m_port = boundPort(m_listener);
    m_thread = std::thread([this] { serve(); });
}

RawServer::~RawServer() {
    m_stopping = true;
    ::shutdown(m_listener, SHUT_RDWR);
    m_thread.join();
    ::close(m_listener);
}

std::string RawServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void RawServer::serve() {
    while (!m_stopping) {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        // Read the request head so the client is not cut off while still sending it.
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        ::send(client, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
        ::close(client);
    }
}

int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int port = boundPort(fd);
    ::close(fd);
    return port;
}

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    m_file = std::tmpfile();
    m_saved = ::dup(STDERR_FILENO);
    ::dup2(::fileno(m_file), STDERR_FILENO);
}

StderrCapture::~StderrCapture() {
    text();
}

std::string StderrCapture::text() {
    if (m_file == nullptr) {
        return {};
    }
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
    std::string captured;
    std::rewind(m_file);
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, m_file)) > 0) {
        captured.append(buffer, got);
    }
    std::fclose(m_file);
    m_file = nullptr;
    return captured;
}

}  // namespace kestrova::test
