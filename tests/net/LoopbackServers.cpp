// The loopback HTTP and HTTPS servers of the transfer tests, on ports the kernel picks.
#include "tests/net/LoopbackServers.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <chrono>
#include <stdexcept>

namespace kestrova::test {
namespace {

// An EC key and a certificate for 127.0.0.1 signed with it, valid for one day.
std::unique_ptr<httplib::Server> makeHttpsServer() {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
        throw std::runtime_error("cannot sign the test certificate");
    }
    return std::make_unique<httplib::SSLServer>(cert.get(), key.get());
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
    return (m_scheme == Scheme::kHttps ? "https://127.0.0.1:" : "http://127.0.0.1:") +
           std::to_string(m_port) + path;
}

}  // namespace kestrova::test
