// GET /metrics read as a Prometheus scraper reads it: every line must parse, and the
// counters must follow the requests, refusals and adverts the server handled.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "tests/server/LiveServer.h"
#include "tests/support/Wait.h"

namespace kestrova {
namespace {

using namespace std::chrono;

// The samples of a text exposition, keyed "name{label=value,...}" with the labels sorted
// and their values unescaped; a line that breaks the format fails the test.
class Exposition {
public:
    explicit Exposition(const std::string& text) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            SCOPED_TRACE(line);
            if (line.starts_with("# TYPE ")) {
                std::istringstream words(line.substr(7));
                std::string name, type;
                words >> name >> type;
                EXPECT_TRUE(type == "counter" || type == "gauge") << type;
                EXPECT_TRUE(m_types.emplace(name, type).second) << "declared twice";
            } else if (!line.starts_with("# HELP ")) {
                readSample(line);
            }
        }
    }

    // The sample's value; -1 when absent.
    double operator[](const std::string& key) const {
        auto found = m_samples.find(key);
        return found == m_samples.end() ? -1 : found->second;
    }

private:
    void readSample(const std::string& line) {
        std::size_t at = line.find_first_of("{ ");
        const std::string name = line.substr(0, at);
        EXPECT_TRUE(m_types.contains(name)) << "no TYPE line before the sample";
        std::set<std::string> labels;
        if (at != std::string::npos && line[at] == '{') {
            while (line[at] != '}') {
                const std::size_t equals = line.find("=\"", at + 1);
                ASSERT_NE(equals, std::string::npos);
                std::string label = line.substr(at + 1, equals - at - 1) + "=";
                for (at = equals + 2; at < line.size() && line[at] != '"'; ++at) {
                    if (line[at] == '\\') {
                        ++at;
                        ASSERT_TRUE(line[at] == '\\' || line[at] == '"' || line[at] == 'n');
                        label += line[at] == 'n' ? '\n' : line[at];
                    } else {
                        label += line[at];
                    }
                }
                ASSERT_LT(++at, line.size());
                ASSERT_TRUE(line[at] == ',' || line[at] == '}');
                labels.insert(label);
            }
            ++at;
        }
        ASSERT_LT(at, line.size());
        ASSERT_EQ(line[at], ' ');
        std::size_t used = 0;
        const double value = std::stod(line.substr(at + 1), &used);
        EXPECT_EQ(at + 1 + used, line.size()) << "trailing text";
        std::string key = name + "{";
        for (const std::string& label : labels) {
            key += (key.back() == '{' ? "" : ",") + label;
        }
        EXPECT_TRUE(m_samples.emplace(key + "}", value).second) << "a series twice";
    }

    std::map<std::string, std::string> m_types;
    std::map<std::string, double> m_samples;
};

Exposition scrape(httplib::Client& client) {
    httplib::Result result = client.Get("/metrics");
    EXPECT_TRUE(result && result->status == 200);
    if (!result) {
        return Exposition("");
    }
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    return Exposition(result->body);
}

TEST(ServerMetrics, CountersFollowWhatTheServerDid) {
    const std::string png = test::fakePng("twelve bytes");
    ServerLimits limits;
    limits.maxPerClient = 3;
    test::LiveServer server(R"([
        {"kind": "text", "title": "Say \"hi\" \\ now", "text": "t", "link": "http://x"},
        {"kind": "picture", "title": "P", "picture": "pic.png", "link": "http://x"}])",
                            seconds{600}, png, limits);
    httplib::Client client = server.client();
    client.set_keep_alive(true);  // one connection throughout, for the count of open ones
    const Exposition before = scrape(client);
    EXPECT_EQ(before["kestrova_adverts_served_total{entry=0,title=Say \"hi\" \\ now}"], 0);
    EXPECT_EQ(before["kestrova_adverts_loaded{}"], 2);

    const std::string now = std::to_string(test::kNoon.time_since_epoch().count());
    for (const char* path : {"/advert?time=0", "/advert", "/advert?time=0", "/images/pic.png",
                             "/images/nothing.png"}) {
        ASSERT_TRUE(client.Get(path));
    }
    ASSERT_TRUE(client.Get("/advert?time=" + now));  // capped
    // A fourth connection from one client is one too many.
    std::vector<test::RawConnection> crowd;
    for (int i = 0; i < 4; ++i) {
        crowd.emplace_back(server.port(), "127.0.3.1");
    }
    const std::string refused = "kestrova_connections_refused_total{limit=client}";
    // The daemon refuses by its own count at accept; the open gauge follows when the worker
    // thread that took each connection reports it, which may come a moment later.
    const std::string open = "kestrova_connections_open{}";
    EXPECT_TRUE(test::waitFor([&] {
        const Exposition now = scrape(client);
        return now[refused] == 1 && now[open] == 4;
    }));

    const Exposition after = scrape(client);
    EXPECT_EQ(after["kestrova_http_requests_total{route=/advert,status=200}"], 3);
    EXPECT_EQ(after["kestrova_http_requests_total{route=/advert,status=204}"], 1);
    EXPECT_EQ(after["kestrova_http_requests_total{route=/images,status=200}"], 1);
    EXPECT_EQ(after["kestrova_http_requests_total{route=/images,status=404}"], 1);
    EXPECT_GE(after["kestrova_http_requests_total{route=/metrics,status=200}"], 2);
    EXPECT_EQ(after["kestrova_adverts_served_total{entry=0,title=Say \"hi\" \\ now}"], 2);
    EXPECT_EQ(after["kestrova_adverts_served_total{entry=1,title=P}"], 1);
    EXPECT_EQ(after["kestrova_capped_answers_total{}"], 1);
    EXPECT_EQ(after["kestrova_picture_bytes_total{}"], png.size());
    EXPECT_EQ(after["kestrova_connections_refused_total{limit=server}"], 0);
    EXPECT_EQ(after[refused], 1);
    // The client's connection and the three admitted ones.
    EXPECT_EQ(after[open], 4);
}

}  // namespace
}  // namespace kestrova
