// The built program as an operator runs it: a bad adverts file stops it at start with
// exit code 2, and with the shipped samples it serves, logs, and ends cleanly on a signal.
#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "tests/server/ServerProcess.h"
#include "tests/support/Child.h"
#include "tests/support/Wait.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;

TEST(ServerExecutable, RejectsAnInvalidAdvertsFileAtStart) {
    test::TempDir folder;
    const std::filesystem::path adverts = folder / "adverts.json";
    test::writeFile(adverts, R"([
          {"kind": "text", "title": "Fine", "text": "t", "link": "https://example.com/"},
          {"kind": "text", "title": "Broken link", "text": "t", "link": "example.com"}
        ])");
    test::Child server(
        {KESTROVA_ADVERT_SERVER_EXE, "--adverts", adverts.string(), "--listen", "127.0.0.1:0"});
    EXPECT_TRUE(server.wait(10s) && server.exitedWith(2));
    const std::string err = server.err();
    EXPECT_NE(err.find(adverts.string()), std::string::npos) << err;
    EXPECT_NE(err.find(R"(advert [1] "Broken link": field "link")"), std::string::npos) << err;
    EXPECT_EQ(server.out().find("listening"), std::string::npos);
}

TEST(ServerExecutable, ServesTheSamplesLogsAndStopsOnASignal) {
    for (int stopSignal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(stopSignal);
        // No --adverts: the samples copied beside the executable are the default.
        test::Child server(
            {KESTROVA_ADVERT_SERVER_EXE, "--listen", "127.0.0.1:0", "--min-interval", "60"});
        const int port = test::announcedPort(server);
        ASSERT_GT(port, 0) << server.out() << server.err();

        httplib::Client client("127.0.0.1", port);
        httplib::Result text = client.Get("/advert?time=0");
        ASSERT_TRUE(text);
        ASSERT_EQ(text->status, 200);
        httplib::Result picture = client.Get("/advert?time=0");
        ASSERT_TRUE(picture);
        Json::Value answer;
        std::istringstream(picture->body) >> answer;
        ASSERT_EQ(answer["type"].asInt(), 1);
        std::string path = answer["img_url"].asString();
        path = path.substr(path.find("/images/"));
        httplib::Result image = client.Get(path);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->get_header_value("Content-Type"), "image/png");
        // The shipped picture is 300 x 200: width and height open the PNG header chunk.
        ASSERT_GE(image->body.size(), 24u);
        EXPECT_EQ(image->body.substr(16, 8), std::string("\0\0\x01\x2c\0\0\0\xc8", 8));

        server.signal(stopSignal);
        EXPECT_TRUE(server.wait(10s) && server.exitedWith(0)) << server.err();
        const std::string out = server.out();
        EXPECT_NE(out.find(" /advert ?time=0 200\n"), std::string::npos) << out;
        EXPECT_NE(out.find(" " + path + " - 200\n"), std::string::npos) << out;
        EXPECT_NE(out.find("stopped"), std::string::npos) << out;
    }
}

TEST(ServerExecutable, SighupReloadsTheAdvertsFileButKeepsTheAdvertsInUseOverAFaultyOne) {
    test::TempDir folder;
    const std::filesystem::path adverts = folder / "adverts.json";
    auto oneAdvert = [](const std::string& title) {
        return R"([{"kind": "text", "title": ")" + title +
               R"(", "text": "t", "link": "https://example.com/"}])";
    };
    test::writeFile(adverts, oneAdvert("first"));
    test::Child server(
        {KESTROVA_ADVERT_SERVER_EXE, "--adverts", adverts.string(), "--listen", "127.0.0.1:0"});
    const int port = test::announcedPort(server);
    ASSERT_GT(port, 0) << server.out() << server.err();
    httplib::Client client("127.0.0.1", port);
    auto servedTitle = [&] {
        httplib::Result result = client.Get("/advert");
        Json::Value answer;
        std::istringstream(result ? result->body : "") >> answer;
        return answer["title"].asString();
    };
    ASSERT_EQ(servedTitle(), "first");

    struct Step {
        std::string file;
        const char* served;
        const char* message;  // the line on standard error, or null for a good file
    };
    const Step steps[] = {
        {oneAdvert("second"), "second", nullptr},
        {R"([{"kind": "text", "title": "third", "link": "https://example.com/"}])", "second",
         "reload refused, still serving the 1 adverts read before: adverts file \""},
        {oneAdvert("fourth"), "fourth", nullptr},
    };
    int reloads = 0, refusals = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.file);
        test::writeFile(adverts, step.file);
        server.signal(SIGHUP);
        step.message == nullptr ? ++reloads : ++refusals;
        EXPECT_TRUE(test::waitFor([&] {
            return test::countOf(server.out(),
                                 "reloaded 1 adverts from " + adverts.string() + "\n") == reloads &&
                   test::countOf(server.err(), "\n") == refusals;
        })) << server.out()
            << server.err();
        EXPECT_EQ(servedTitle(), step.served);
        if (step.message != nullptr) {
            EXPECT_NE(server.err().find(step.message + adverts.string() + "\": advert [0] " +
                                        "\"third\": field \"text\": is missing\n"),
                      std::string::npos)
                << server.err();
        }
    }
}

}  // namespace
}  // namespace kestrova
