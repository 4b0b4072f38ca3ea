// The loopback HTTP and HTTPS servers of the transfer tests, on ports the kernel picks.
#include "tests/net/LoopbackServers.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <stdexcept>

namespace kestrova::test {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

Key newKey() {
    return Key(EVP_EC_gen("P-256"), EVP_PKEY_free);
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for subject (an IP address or a host name, also as its alternative name),
// valid for one day, signed by issuerKey; its own issuer when issuer is null.
Certificate issue(EVP_PKEY* key, const std::string& subject, X509* issuer, EVP_PKEY* issuerKey,
                  bool authority) {
    static long serial = 1;
    Certificate cert(X509_new(), X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(subject.c_str()), -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (authority) {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        const bool address = subject.find_first_not_of("0123456789.") == std::string::npos;
        addExtension(cert.get(), signer, NID_subject_alt_name,
                     ((address ? "IP:" : "DNS:") + subject).c_str());
    }
    if (X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) == 0) {
        throw std::runtime_error("cannot sign the test certificate");
    }
    return cert;
}

}  // namespace

struct TestAuthority::Keys {
    Key key = newKey();
    Certificate cert = issue(key.get(), "Kestrova test CA", nullptr, nullptr, true);
};

TestAuthority::TestAuthority() : m_keys(std::make_unique<Keys>()) {}
TestAuthority::~TestAuthority() = default;

std::string TestAuthority::pem() const {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_X509(bio.get(), m_keys->cert.get());
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

LoopbackHttpServer::LoopbackHttpServer(Scheme scheme) : m_scheme(scheme) {
    if (scheme == Scheme::kHttp) {
        m_server = std::make_unique<httplib::Server>();
        return;
    }
    Key key = newKey();
    Certificate cert = issue(key.get(), "127.0.0.1", nullptr, nullptr, false);
    m_server = std::make_unique<httplib::SSLServer>(cert.get(), key.get());
}

LoopbackHttpServer::LoopbackHttpServer(const TestAuthority& authority, const std::string& subject)
    : m_scheme(Scheme::kHttps) {
    Key key = newKey();
    Certificate cert =
        issue(key.get(), subject, authority.m_keys->cert.get(), authority.m_keys->key.get(), false);
    m_server = std::make_unique<httplib::SSLServer>(cert.get(), key.get());
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
