// A server that answers one byte per second: the transfer is given up once it has stayed
// under 100 bytes per second for 30 seconds, with code 28 and libcurl's reason in the trace,
// instead of waiting out the hour-long transfer limit. Its own CTest entry, so that its half
// minute runs beside the other tests.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/ClusterCurl.h"
#include "tests/net/LoopbackServers.h"

namespace kestrova::test {
namespace {

TEST(SlowServer, OneBytePerSecondIsGivenUpAfterThirtySeconds) {
    LoopbackHttpServer http;
    http.server().Get("/advert", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "application/json", [](std::size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                return sink.write("x", 1);  // false once the client has gone
            });
    });
    http.start();
    ClusterCurl curl;
    std::string body;
    StderrCapture trace;
    const auto start = std::chrono::steady_clock::now();
    const CurlResult result = curl.httpGet(http.url("/advert"), &body);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_GE(elapsed, std::chrono::seconds(29));
    EXPECT_LT(elapsed, std::chrono::seconds(40));
    EXPECT_NE(trace.text().find("[curl error detail: Operation too slow. Less than 100 bytes/sec "
                                "transferred the last 30 seconds \n]"),
              std::string::npos);
}

}  // namespace
}  // namespace kestrova::test
