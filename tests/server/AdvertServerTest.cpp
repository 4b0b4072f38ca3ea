// The real routes on a loopback port, with the clock under the test's control: what the
// pop-up receives, when it receives nothing, and what it can never fetch.
#include <gtest/gtest.h>
#include <json/json.h>

#include <clocale>
#include <functional>
#include <memory>
#include <sstream>

#include "advert/ParseAdvert.h"
#include "server/AdvertServer.h"
#include "tests/server/LiveServer.h"

namespace kestrova {
namespace {

using namespace std::chrono;

using test::kNoon;
using test::LiveServer;

Json::Value parseJson(const std::string& body) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    EXPECT_TRUE(reader->parse(body.data(), body.data() + body.size(), &root, &errors)) << errors;
    return root;
}

int statusOf(httplib::Client& client, const std::string& path) {
    httplib::Result result = client.Get(path);
    return result ? result->status : -1;
}

const char* kTwoAdverts = R"([
  {"kind": "text", "title": "新功能 New", "text": "批注 Annotate", "link": "https://example.com/t"},
  {"kind": "picture", "title": "图片 Picture", "picture": "pic.png", "link": "https://example.org/p"}
])";

// The pop-up's own reader, under a UTF-8 locale as the pop-up sets one up.
AdvertItem readAsThePopUp(const std::string& body) {
    EXPECT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    AdvertItem item;
    item.type = -1;
    EXPECT_TRUE(parseAdvert(body, item)) << body;
    return item;
}

TEST(AdvertServer, ServesTextThenPictureAsThePopUpReadsThem) {
    const std::string png = test::fakePng("the picture bytes");
    LiveServer server(kTwoAdverts, seconds{0}, png);
    httplib::Client client = server.client();
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());

    httplib::Result text = client.Get("/advert?time=0");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->status, 200);
    EXPECT_EQ(text->get_header_value("Content-Type"), "application/json; charset=utf-8");
    AdvertItem item = readAsThePopUp(text->body);
    EXPECT_EQ(item.type, 0);
    EXPECT_EQ(item.title, "新功能 New");
    EXPECT_EQ(item.context, "批注 Annotate");
    EXPECT_EQ(item.click_url, "https://example.com/t");

    httplib::Result picture = client.Get("/advert?time=0");
    ASSERT_TRUE(picture);
    item = readAsThePopUp(picture->body);
    EXPECT_EQ(item.type, 1);
    EXPECT_EQ(item.title, "图片 Picture");
    EXPECT_EQ(item.img_url, base + "/images/pic.png");
    EXPECT_EQ(item.click_url, "https://example.org/p");
    httplib::Result image = client.Get("/images/pic.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(image->body, png);

    // Round robin comes back to the first.
    EXPECT_EQ(readAsThePopUp(client.Get("/advert")->body).type, 0);
}

TEST(AdvertServer, PictureUrlFollowsTheHostTheClientUsedButOnlyAPlainOne) {
    LiveServer server(
        R"([{"kind": "picture", "title": "P", "picture": "pic.png", "link": "http://x"}])",
        seconds{0}, test::fakePng());
    httplib::Client client = server.client();
    const std::string local = "http://127.0.0.1:" + std::to_string(server.port());
    struct Case {
        const char* host;
        std::string expectedBase;
    };
    const Case cases[] = {
        {"adverts.example.org:8642", "http://adverts.example.org:8642"},
        {"[::1]:80", "http://[::1]:80"},
        {"evil.example/\"><script>", local},
        {"a b", local},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        httplib::Result result = client.Get("/advert", {{"Host", c.host}});
        ASSERT_TRUE(result);
        EXPECT_EQ(parseJson(result->body)["img_url"].asString(),
                  c.expectedBase + "/images/pic.png");
    }
}

TEST(AdvertServer, FrequencyCapAtItsBoundaries) {
    LiveServer server(kTwoAdverts, seconds{600}, test::fakePng());
    httplib::Client client = server.client();
    const std::int64_t now = kNoon.time_since_epoch().count();
    struct Case {
        std::string query;
        int status;
    };
    const Case cases[] = {
        {"?time=" + std::to_string(now - 600), 200},  // exactly the interval ago: due again
        {"?time=" + std::to_string(now - 599), 204},  // one second short
        {"?time=" + std::to_string(now + 600), 204},  // clock a little ahead: still capped
        {"?time=" + std::to_string(now + 601), 200},  // a clock gone wrong must not lock out
        {"?time=0", 200},
        {"", 200},  // no time at all: never shown
        {"?time=abc", 200},
        {"?time=" + std::to_string(now) + "abc", 200},  // not a number as a whole
        {"?time=99999999999999999999999", 200},         // beyond 64 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        httplib::Result result = client.Get("/advert" + c.query);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status);
        if (c.status == 204) {
            EXPECT_TRUE(result->body.empty());
        }
    }
}

TEST(AdvertServer, OnlyAdvertsInTheirDateWindowAreServed) {
    LiveServer server(R"([
        {"kind": "text", "title": "march", "text": "t", "link": "http://x",
         "start": "2025-03-01", "end": "2025-03-31"},
        {"kind": "text", "title": "from-april", "text": "t", "link": "http://x",
         "start": "2025-04-01"},
        {"kind": "text", "title": "until-feb", "text": "t", "link": "http://x",
         "end": "2025-02-28"}
    ])",
                      seconds{0});
    httplib::Client client = server.client();
    struct Case {
        sys_seconds now;
        const char* expected;  // null: no advert (204)
    };
    const sys_days march1{2025y / March / 1};
    const sys_days april1{2025y / April / 1};
    const Case cases[] = {
        {march1 - 1s, "until-feb"},  // the last second of an end day still counts
        {march1, "march"},           // the first second of a start day already counts
        {april1 - 1s, "march"},
        {april1, "from-april"},
        {sys_days{2030y / January / 1}, "from-april"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        server.setNow(c.now);
        httplib::Result result = client.Get("/advert");
        ASSERT_TRUE(result);
        ASSERT_EQ(result->status, 200);
        EXPECT_EQ(parseJson(result->body)["title"].asString(), c.expected);
    }

    LiveServer past(R"([{"kind": "text", "title": "old", "text": "t", "link": "http://x",
                         "start": "2020-01-01", "end": "2020-12-31"}])",
                    seconds{0});
    httplib::Client pastClient = past.client();
    EXPECT_EQ(statusOf(pastClient, "/advert"), 204);
}

TEST(AdvertServer, ImagesServeOnlyListedPictures) {
    LiveServer server(kTwoAdverts, seconds{0}, test::fakePng());
    httplib::Client client = server.client();
    EXPECT_EQ(statusOf(client, "/images/pic.png"), 200);
    const char* refused[] = {
        "/images/secret.png",  // in the folder, but no advert lists it
        "/images/../pic.png",
        "/images/%2e%2e%2fpic.png",
        "/images/..%2fsecret.png",
        "/images/PIC.PNG",
        "/pic.png",
    };
    for (const char* path : refused) {
        SCOPED_TRACE(path);
        EXPECT_EQ(statusOf(client, path), 404);
    }
}

TEST(AdvertServer, AnswersOtherRequestsPlainly) {
    LiveServer server(kTwoAdverts, seconds{0}, test::fakePng());
    httplib::Client client = server.client();
    struct Case {
        const char* name;
        std::function<httplib::Result()> send;
        int status;
        const char* body;
    };
    const Case cases[] = {
        {"HEAD", [&] { return client.Head("/advert"); }, 200, ""},
        {"POST", [&] { return client.Post("/advert", "time=0", "text/plain"); }, 405, ""},
        {"body too large",
         [&] { return client.Post("/advert", std::string(4096, 'x'), "text/plain"); }, 413, ""},
        {"unknown path", [&] { return client.Get("/advert/"); }, 404, ""},
        {"health", [&] { return client.Get("/healthz"); }, 200, "ok\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        httplib::Result result = c.send();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status);
        EXPECT_EQ(result->body, c.body);
    }
    EXPECT_EQ(client.Post("/advert", "", "text/plain")->get_header_value("Allow"), "GET, HEAD");
}

TEST(AdvertServer, ASecondServerCannotTakeABusyPort) {
    // With port sharing a second server would start silently and answer half the clients.
    const char* oneText =
        R"([{"kind": "text", "title": "T", "text": "x", "link": "https://example.com/"}])";
    LiveServer first(oneText, seconds{0});
    std::ostringstream log;
    AdvertServer second(
        AdvertCatalog{}, seconds{0}, [] { return kNoon; }, log);
    EXPECT_EQ(second.bind("127.0.0.1", first.port()), -1);
}

TEST(RequestLog, ControlBytesAndLengthAreTamed) {
    EXPECT_EQ(escapeForLog("a\nb\x1b[31m\\"), "a\\x0ab\\x1b[31m\\x5c");
    EXPECT_EQ(escapeForLog("\xe4\xb8\xad"), "\\xe4\\xb8\\xad");
    EXPECT_EQ(escapeForLog(std::string(600, 'x')), std::string(512, 'x') + "...");
    // An escape is never cut in half at the limit.
    EXPECT_EQ(escapeForLog("abc\n", 5), "abc...");
}

}  // namespace
}  // namespace kestrova
