// GET into memory against real loopback servers.
#include <gtest/gtest.h>

#include <string>

#include "net/ClusterCurl.h"
#include "tests/net/LoopbackServers.h"

namespace kestrova::test {
namespace {

constexpr const char* kUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; zh-CN; rv:1.9.2.3) Gecko/20100401 Firefox/3.6.3";

std::string everyByte() {
    std::string bytes;
    for (int round = 0; round < 64; ++round) {
        for (int value = 0; value < 256; ++value) {
            bytes.push_back(static_cast<char>(value));
        }
    }
    return bytes;
}

class HttpGetTest : public ::testing::Test {
protected:
    void SetUp() override {
        http.server().Get(
            "/binary", [](const httplib::Request& request, httplib::Response& response) {
                response.set_content(everyByte(), "application/octet-stream");
                response.set_header("X-Seen-Agent", request.get_header_value("User-Agent"));
            });
        http.server().Get(R"(/status/(\d+))",
                          [](const httplib::Request& request, httplib::Response& response) {
                              response.status = std::stoi(request.matches[1]);
                              response.set_content("{\"error\":true}", "application/json");
                          });
        http.server().Get(
            "/agent", [](const httplib::Request& request, httplib::Response& response) {
                response.set_content(request.get_header_value("User-Agent"), "text/plain");
            });
        http.server().Get("/hop1", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/hop2");
        });
        http.server().Get("/hop2", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/agent", 307);
        });
        http.server().Get("/to-file", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("file:///etc/hostname");
        });
        http.server().Get(R"(/sized/(\d+))", [](const httplib::Request& request,
                                                httplib::Response& response) {
            response.set_content(std::string(std::stoul(request.matches[1]), 'x'), "text/plain");
        });
        http.server().Get(R"(/chunked/(\d+))", [](const httplib::Request& request,
                                                  httplib::Response& response) {
            const std::size_t size = std::stoul(request.matches[1]);
            response.set_chunked_content_provider(
                "text/plain", [size](std::size_t offset, httplib::DataSink& sink) {
                    const std::string piece(std::min<std::size_t>(64 * 1024, size - offset), 'x');
                    sink.write(piece.data(), piece.size());
                    if (offset + piece.size() == size) {
                        sink.done();
                    }
                    return true;
                });
        });
        http.start();
    }

    CurlResult get(const std::string& url, std::string& body) {
        ClusterCurl curl;
        return curl.httpGet(url, &body);
    }

    LoopbackHttpServer http;
};

TEST_F(HttpGetTest, CollectsTheBodyByteForByte) {
    std::string body;
    const CurlResult result = get(http.url("/binary"), body);
    EXPECT_EQ(result.code, 200);
    EXPECT_EQ(result.message, "No error");
    EXPECT_EQ(body, everyByte());
}

TEST_F(HttpGetTest, HttpErrorsReportTheStatusAndTraceOneLine) {
    for (int status : {404, 500}) {
        SCOPED_TRACE(status);
        std::string body;
        StderrCapture trace;
        const CurlResult result = get(http.url("/status/" + std::to_string(status)), body);
        EXPECT_EQ(result.code, status);
        EXPECT_EQ(result.message, "No error");
        EXPECT_EQ(body, "{\"error\":true}");
        EXPECT_EQ(trace.text(), "[curl send msg error: pRes=No error, lResCode=" +
                                    std::to_string(status) + " \n]");
    }
}

TEST_F(HttpGetTest, RefusedConnectionReportsTheLibcurlCode) {
    std::string body;
    StderrCapture quiet;
    const CurlResult result =
        get("http://127.0.0.1:" + std::to_string(unusedPort()) + "/advert", body);
    EXPECT_EQ(result.code, 7);
    EXPECT_EQ(result.message, "Couldn't connect to server");
}

TEST_F(HttpGetTest, FollowsRedirectsAndSendsTheFixedUserAgent) {
    std::string body;
    EXPECT_EQ(get(http.url("/hop1"), body).code, 200);
    EXPECT_EQ(body, kUserAgent);
}

TEST_F(HttpGetTest, AcceptsASelfSignedHttpsServer) {
    LoopbackHttpServer https(LoopbackHttpServer::Scheme::kHttps);
    https.server().Get("/advert", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("{}", "application/json");
    });
    https.start();
    std::string body;
    EXPECT_EQ(get(https.url("/advert"), body).code, 200);
    EXPECT_EQ(body, "{}");
}

TEST_F(HttpGetTest, OnlyWebProtocolsAreFetched) {
    std::string body;
    StderrCapture quiet;
    EXPECT_EQ(get("file:///etc/hostname", body).code, CURLE_UNSUPPORTED_PROTOCOL);
    EXPECT_NE(get(http.url("/to-file"), body).code, 200);
    EXPECT_EQ(body, "");
}

TEST_F(HttpGetTest, NullBodyFailsAsAWriteError) {
    ClusterCurl curl;
    StderrCapture trace;
    const CurlResult result = curl.httpGet(http.url("/agent"), nullptr);
    EXPECT_EQ(result.code, CURLE_WRITE_ERROR);
    EXPECT_NE(trace.text().find("[ClusterCurl httpDataWriter data error("), std::string::npos);
}

// Sizes around the limit, announced with a length or sent in chunks of unknown total.
TEST_F(HttpGetTest, BodyLimitIsEnforcedWithAndWithoutALength) {
    const std::size_t limit = ClusterCurl::kDefaultBodyLimit;
    struct Row {
        const char* path;
        std::size_t size;
        int code;
    } rows[] = {
        {"/sized/", limit, 200},
        {"/sized/", limit + 1, CURLE_FILESIZE_EXCEEDED},
        {"/chunked/", limit, 200},
        {"/chunked/", limit + 1, CURLE_WRITE_ERROR},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + std::to_string(row.size));
        std::string body;
        StderrCapture quiet;
        EXPECT_EQ(get(http.url(row.path + std::to_string(row.size)), body).code, row.code);
        EXPECT_LE(body.size(), limit);
    }
}

TEST(HttpGetMisbehaviour, BodyCutOffAfterA200StatusFails) {
    RawServer raw("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n{\"type\":0,");
    ClusterCurl curl;
    std::string body;
    StderrCapture trace;
    const CurlResult result = curl.httpGet(raw.url("/advert"), &body);
    EXPECT_EQ(result.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(trace.text(),
              "[curl send msg error: pRes=Transferred a partial file, lResCode=18 \n]");
}

}  // namespace
}  // namespace kestrova::test
