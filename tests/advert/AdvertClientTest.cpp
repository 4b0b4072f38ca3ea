// The advert request against a loopback server, with the settings file beside this test
// program (which has a folder of its own for that reason).
#include <gtest/gtest.h>

#include <mutex>

#include "advert/AdvertClient.h"
#include "advert/DisplayTimeStore.h"
#include "tests/net/LoopbackServers.h"
#include "tests/support/TempDir.h"
#include "util/TextConvert.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

const std::string kAnswer = R"({"type":0,"context":"hello"})";

class AdvertClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        http.server().Get("/advert", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex);
            target = req.target;
            res.status = status;
            res.set_content(kAnswer, "application/json");
        });
        http.start();
    }
    void TearDown() override { fs::remove(config); }

    // The request target the server saw for an endpoint, with this stored time (or none).
    std::string fetch(const std::string& stored, const std::string& endpoint, bool expected) {
        fs::remove(config);
        if (!stored.empty()) {
            writeFile(config, "[CONFIG]\nlast_adv_time=" + stored + "\n");
        }
        std::string body = "stale";
        StderrCapture quiet;
        EXPECT_EQ(AdvertClient::GetInstance()->FetchAdvert(body, ansiToWide(endpoint)), expected);
        EXPECT_EQ(body, kAnswer) << "the body is handed back whatever the status";
        std::lock_guard<std::mutex> lock(mutex);
        return target;
    }

    const fs::path config = wideToAnsi(getConfigPath());
    LoopbackHttpServer http;
    std::mutex mutex;
    std::string target;
    int status = 200;
};

// An HTTP error fails the request but still hands the body back.
TEST_F(AdvertClientTest, SendsTheStoredTimeOrZero) {
    EXPECT_EQ(fetch("", http.url("/advert"), true), "/advert?time=0");
    EXPECT_EQ(fetch("42", http.url("/advert"), true), "/advert?time=42");
    EXPECT_EQ(fetch("1700000000", http.url("/advert?lang=zh"), true),
              "/advert?lang=zh&time=1700000000");
    // The whole address is cut at 1023 characters.
    const std::string padded = http.url("/advert?pad=" + std::string(1000, 'p'));
    EXPECT_EQ(fetch("42", padded, true),
              (padded + "&time=42").substr(0, 1023).substr(http.url("").size()));
    status = 500;
    EXPECT_EQ(fetch("", http.url("/advert"), false), "/advert?time=0");
}

}  // namespace
}  // namespace kestrova::test
