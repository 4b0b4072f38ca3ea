// The advert request against a loopback server, with the settings file beside this test
// program (which has a folder of its own for that reason).
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "advert/AdvertClient.h"
#include "advert/DisplayTimeStore.h"
#include "tests/net/LoopbackServers.h"
#include "util/TextConvert.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

class AdvertClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        config = fs::path(wideToAnsi(getConfigPath()));
        fs::remove(config);
        http.server().Get(
            "/advert", [this](const httplib::Request& request, httplib::Response& response) {
                std::lock_guard<std::mutex> lock(mutex);
                targets.push_back(request.target);
                response.status = status;
                response.set_content(R"({"type":0,"context":"hello"})", "application/json");
            });
        http.start();
    }
    void TearDown() override { fs::remove(config); }

    std::wstring endpoint(const std::string& suffix = "") const {
        return ansiToWide(http.url("/advert" + suffix));
    }
    std::string lastTarget() {
        std::lock_guard<std::mutex> lock(mutex);
        return targets.empty() ? "" : targets.back();
    }

    fs::path config;
    LoopbackHttpServer http;
    std::mutex mutex;
    std::vector<std::string> targets;
    int status = 200;
};

TEST_F(AdvertClientTest, SendsTheStoredTimeOrZero) {
    std::string body;
    EXPECT_TRUE(AdvertClient::GetInstance()->FetchAdvert(body, endpoint()));
    EXPECT_EQ(lastTarget(), "/advert?time=0");
    EXPECT_EQ(body, R"({"type":0,"context":"hello"})");

    writeFile(config, "[CONFIG]\nlast_adv_time=42\n");
    EXPECT_TRUE(AdvertClient::GetInstance()->FetchAdvert(body, endpoint()));
    EXPECT_EQ(lastTarget(), "/advert?time=42");
}

TEST_F(AdvertClientTest, AnEndpointWithAQueryGetsTheTimeAppended) {
    writeFile(config, "[CONFIG]\nlast_adv_time=1700000000\n");
    std::string body;
    EXPECT_TRUE(AdvertClient::GetInstance()->FetchAdvert(body, endpoint("?lang=zh")));
    EXPECT_EQ(lastTarget(), "/advert?lang=zh&time=1700000000");
}

TEST_F(AdvertClientTest, TheRequestUrlIsCutAt1023Characters) {
    writeFile(config, "[CONFIG]\nlast_adv_time=42\n");
    const std::string padded = http.url("/advert?pad=" + std::string(1000, 'p'));
    const std::string origin = http.url("");
    std::string body;
    StderrCapture quiet;
    AdvertClient::GetInstance()->FetchAdvert(body, ansiToWide(padded));
    const std::string sent = (padded + "&time=42").substr(0, 1023);
    EXPECT_EQ(lastTarget(), sent.substr(origin.size()));
}

TEST_F(AdvertClientTest, AnHttpErrorFailsAndHandsTheBodyBack) {
    status = 500;
    std::string body = "stale";
    StderrCapture quiet;
    EXPECT_FALSE(AdvertClient::GetInstance()->FetchAdvert(body, endpoint()));
    EXPECT_EQ(body, R"({"type":0,"context":"hello"})");
}

}  // namespace
}  // namespace kestrova::test
