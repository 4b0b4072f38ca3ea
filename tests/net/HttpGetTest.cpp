// GET into memory against real loopback servers.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>

#include "net/ClusterCurl.h"
#include "tests/net/LoopbackServers.h"
#include "tests/net/NetTestSettings.h"
#include "tests/support/TempDir.h"

namespace kestrova::test {
namespace {

constexpr const char* kUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; zh-CN; rv:1.9.2.3) Gecko/20100401 Firefox/3.6.3";

std::string everyByte() {
    std::string bytes;
    for (int value = 0; value < 256 * 64; ++value) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

class HttpGetTest : public ::testing::Test {
protected:
    using Request = const httplib::Request&;
    using Response = httplib::Response&;

    void SetUp() override {
        httplib::Server& server = http.server();
        server.Get("/binary", [](Request, Response res) { res.set_content(everyByte(), "a/b"); });
        server.Get(R"(/status/(\d+))", [](Request req, Response res) {
            res.status = std::stoi(req.matches[1]);
            res.set_content("{\"error\":true}", "application/json");
        });
        server.Get("/agent", [](Request req, Response res) {
            res.set_content(req.get_header_value("User-Agent"), "text/plain");
        });
        server.Get("/hop1", [](Request, Response res) { res.set_redirect("/hop2"); });
        server.Get("/hop2", [](Request, Response res) { res.set_redirect("/agent", 307); });
        server.Get("/loop", [this](Request, Response res) {
            ++loops;
            res.set_redirect("/loop");
        });
        server.Get("/to-file",
                   [](Request, Response res) { res.set_redirect("file:///etc/hostname"); });
        server.Get(R"(/sized/(\d+))", [](Request req, Response res) {
            res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "text/plain");
        });
        server.Get(R"(/chunked/(\d+))", [](Request req, Response res) {
            streamed(res, std::stoul(req.matches[1]), false, 64 * 1024);
        });
        server.Get("/cut", [](Request, Response res) { cutOff(res, 1000, "{\"type\":0,"); });
        http.start();
    }

    CurlResult get(const std::string& url, std::string& body) {
        ClusterCurl curl;
        return curl.httpGet(url, &body);
    }

    LoopbackHttpServer http;
    std::atomic<int> loops = 0;
};

TEST_F(HttpGetTest, StatusBodyAndTraceOfEachKindOfAnswer) {
    std::string refused;
    {
        LoopbackHttpServer gone;
        gone.start();
        refused = gone.url("/advert");
    }
    const std::string error = "{\"error\":true}";
    const struct {
        std::string url;
        int code;
        const char* message;
        std::string body;
        std::optional<std::string> trace;
    } rows[] = {
        {http.url("/binary"), 200, "No error", everyByte(), ""},
        {http.url("/status/404"), 404, "No error", error,
         "[curl send msg error: pRes=No error, lResCode=404 \n]"},
        {http.url("/hop1"), 200, "No error", kUserAgent, ""},
        {"file:///etc/hostname", 1, "Unsupported protocol", "", std::nullopt},
        {http.url("/to-file"), 302, "Unsupported protocol", "", std::nullopt},
        {refused, 7, "Couldn't connect to server", "", std::nullopt},
        {http.url("/cut"), 18, "Transferred a partial file", "{\"type\":0,",
         "[curl send msg error: pRes=Transferred a partial file, lResCode=18 \n]"
         "[curl error detail: transfer closed with 990 bytes remaining to read \n]"},
        {http.url("/loop"), 302, "Number of redirects hit maximum amount", "",
         "[curl send msg error: pRes=Number of redirects hit maximum amount, lResCode=302 \n]"
         "[curl error detail: Maximum (10) redirects followed \n]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url);
        std::string body;
        StderrCapture trace;
        const CurlResult result = get(row.url, body);
        EXPECT_EQ(result.code, row.code);
        EXPECT_EQ(result.message, row.message);
        EXPECT_EQ(body, row.body);
        if (row.trace) {
            EXPECT_EQ(trace.text(), *row.trace);
        }
    }
    EXPECT_EQ(loops, 11) << "the first request and ten redirects";
}

// A server's certificate must chain to the system's store, or, in a vendor's build, to the
// CA file named at build time, which then replaces the store; and it must name the host.
TEST_F(HttpGetTest, HttpsServersAreCheckedAgainstTheStoreOrTheBuiltInCaFile) {
    TestAuthority vendor;
    TempDir folder;
    const std::string bundle = folder / "vendor-ca.pem";
    writeFile(bundle, vendor.pem());
    LoopbackHttpServer issued(vendor, "127.0.0.1"), misnamed(vendor, "other.test"),
        selfSigned(LoopbackHttpServer::Scheme::kHttps);
    for (LoopbackHttpServer* server : {&issued, &misnamed, &selfSigned}) {
        server->server().Get("/advert",
                             [](Request, Response res) { res.set_content("{}", "a/b"); });
        server->start();
    }
    const struct {
        const char* what;
        std::string caFile;
        const LoopbackHttpServer& server;
        int code;
        const char* detail;
    } rows[] = {
        {"issued by a CA outside the store", "", issued, 60, "unable to get local issuer"},
        {"issued by the built-in CA", bundle, issued, 200, ""},
        {"issued by the built-in CA for another name", bundle, misnamed, 60,
         "no alternative certificate subject name matches target host name '127.0.0.1'"},
        {"self-signed, with the built-in CA", bundle, selfSigned, 60, "self-signed certificate"},
        {"the built-in CA file missing", folder / "gone.pem", issued, 77,
         "error setting certificate"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScopedCaBundle setting(row.caFile);
        std::string body;
        StderrCapture trace;
        EXPECT_EQ(get(row.server.url("/advert"), body).code, row.code);
        EXPECT_EQ(body, row.code == 200 ? "{}" : "");
        EXPECT_NE(trace.text().find(row.detail), std::string::npos);
    }
}

// Sizes around the limit, announced with a length or sent in chunks of unknown total.
TEST_F(HttpGetTest, BodyLimitIsEnforcedWithAndWithoutALength) {
    const std::size_t limit = ClusterCurl::kDefaultBodyLimit;
    const struct {
        const char* path;
        std::size_t size;
        int code;
    } rows[] = {
        {"/sized/", limit, 200},
        {"/sized/", limit + 1, CURLE_FILESIZE_EXCEEDED},
        {"/chunked/", limit, 200},
        {"/chunked/", limit + 1, CURLE_WRITE_ERROR},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.path) + std::to_string(row.size));
        std::string body;
        StderrCapture quiet;
        EXPECT_EQ(get(http.url(row.path + std::to_string(row.size)), body).code, row.code);
        EXPECT_LE(body.size(), limit);
    }
}

}  // namespace
}  // namespace kestrova::test
