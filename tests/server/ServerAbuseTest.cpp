// What hostile or broken clients can do: crowd the server with idle and trickling
// connections, stream headers without end. Each costs them their connection at a bounded
// moment, and a normal client is served all the while.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <functional>
#include <vector>

#include "tests/server/LiveServer.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/Wait.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

const char* kOneAdvert =
    R"([{"kind": "text", "title": "T", "text": "x", "link": "https://example.com/"}])";
const std::string kRequest = "GET /advert HTTP/1.1\r\nHost: a\r\n";

// A request from an address of its own, on a new connection.
std::string normalRequest(int port, const std::string& from) {
    test::RawConnection client(port, from);
    client.send(kRequest + "Connection: close\r\n\r\n");
    return client.readUntilClosed(2s);
}

sockaddr_in6 clientAddress(const char* text) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    EXPECT_EQ(inet_pton(AF_INET6, text, &address.sin6_addr), 1);
    return address;
}

TEST(ConnectionTable, PlacesAreTakenAndGivenBackWhateverBecomesOfTheConnection) {
    ConnectionTable table(3, 2);
    struct Step {
        const char* client;
        bool admitted;
        bool started;  // the library started the connection it admitted
    };
    const Step steps[] = {
        {"::ffff:10.0.0.1", true, true},
        {"::ffff:10.0.0.1", true, false},   // the library failed before starting it
        {"::ffff:10.0.0.1", true, true},    // so its place came back
        {"::ffff:10.0.0.1", false, false},  // the client's two places are taken
        {"2001:db8::1", true, true},
        {"2001:db8::2", false, false},  // the server's three are
    };
    std::vector<ConnectionState*> open;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.client);
        const sockaddr_in6 address = clientAddress(step.client);
        EXPECT_EQ(table.admit(reinterpret_cast<const sockaddr*>(&address), sizeof address),
                  step.admitted);
        if (step.started) {
            open.push_back(&table.open(-1, SteadyClock::now()));
        }
    }
    EXPECT_EQ(table.openCount(), 3u);
    EXPECT_EQ(table.refused(Refusal::clientLimit), 1u);
    EXPECT_EQ(table.refused(Refusal::serverFull), 1u);
    table.close(*open.front());
    const sockaddr_in6 first = clientAddress("::ffff:10.0.0.1");
    EXPECT_TRUE(table.admit(reinterpret_cast<const sockaddr*>(&first), sizeof first));
}

TEST(ServerAbuse, AConnectionIsCutOffAtEachLimitAndTheServerStaysUsable) {
    ServerLimits limits;
    limits.requestTime = 1s;
    struct Row {
        const char* name;
        std::function<void(test::RawConnection&)> send;
        const char* answer;  // expected in the reply; null: none at all
    };
    const Row rows[] = {
        // 2 MiB of headers against 32 KiB of memory per connection.
        {"endless headers",
         [](test::RawConnection& c) {
             c.send(kRequest);
             const std::string header = "X-Filler: " + std::string(100, 'a') + "\r\n";
             for (int i = 0; i < 20000 && c.send(header); ++i) {
             }
         },
         " 431 "},
        // Progress every 300 ms, but the whole request never arrives within its second.
        {"trickle",
         [](test::RawConnection& c) {
             c.send("GET /adv");
             for (int i = 0; i < 6 && c.send("e"); ++i) {
                 std::this_thread::sleep_for(300ms);
             }
         },
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::LiveServer server(kOneAdvert, std::chrono::seconds{0}, "", limits);
        const auto start = SteadyClock::now();
        {
            test::RawConnection client(server.port());
            row.send(client);
            const std::string reply = client.readUntilClosed(4s);
            EXPECT_EQ(reply.find("TIMEOUT"), std::string::npos);
            EXPECT_EQ(test::countOf(reply, "HTTP/1.1 "), row.answer == nullptr ? 0 : 1) << reply;
            if (row.answer != nullptr) {
                EXPECT_NE(reply.find(row.answer), std::string::npos) << reply;
            }
            EXPECT_LT(SteadyClock::now() - start, 3s);
        }
        EXPECT_NE(normalRequest(server.port(), "127.0.0.1").find(" 200 OK"), std::string::npos);
    }
}

TEST(ServerAbuse, SlowAndIdleCrowdsDoNotHoldUpANormalClient) {
    constexpr int kIdle = 1000, kSlow = 8, kPerAddress = 25;
    // Both ends of every connection live in this process.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::max<rlim_t>(files.rlim_cur, std::min<rlim_t>(files.rlim_max, 4096));
    setrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 2 * (kIdle + kSlow) + 100) {
        GTEST_SKIP() << "only " << files.rlim_cur << " open files allowed";
    }
    ServerLimits limits;
    limits.requestTime = 2s;  // also the most an idle connection may wait for its request
    test::LiveServer server(kOneAdvert, std::chrono::seconds{0}, "", limits);

    // Crowds from many addresses, as a botnet would come, each within the per-client limit.
    std::vector<test::RawConnection> idle, slow;
    for (int i = 0; i < kIdle; ++i) {
        idle.emplace_back(server.port(), "127.0.1." + std::to_string(1 + i / kPerAddress));
        ASSERT_TRUE(idle.back().connected());
    }
    for (int i = 0; i < kSlow; ++i) {
        slow.emplace_back(server.port(), "127.0.2." + std::to_string(1 + i));
        ASSERT_TRUE(slow.back().send("GET /advert HTTP/1.1\r\nX-Slow: "));
    }
    const auto start = SteadyClock::now();
    // Each slow client sends one more byte every 400 ms for as long as it is let.
    std::atomic<bool> trickling{true};
    std::thread trickle([&] {
        while (trickling) {
            for (test::RawConnection& client : slow) {
                client.send("s");
            }
            std::this_thread::sleep_for(400ms);
        }
    });

    // Served while every connection of the crowds is still held (well within their 2 s).
    httplib::Client operatorClient = server.client();
    EXPECT_TRUE(test::waitFor([&] {
        httplib::Result metrics = operatorClient.Get("/metrics");
        return metrics &&
               metrics->body.find("kestrova_connections_open 1009\n") != std::string::npos;
    }));
    EXPECT_NE(normalRequest(server.port(), "127.0.0.2").find(" 200 OK"), std::string::npos);
    EXPECT_LT(SteadyClock::now() - start, limits.requestTime);

    // Then every one of them is cut at its deadline, trickling or not.
    auto allClosed = [](std::vector<test::RawConnection>& clients) {
        return std::all_of(clients.begin(), clients.end(),
                           [](test::RawConnection& c) { return c.closedByServer(); });
    };
    EXPECT_TRUE(test::waitFor([&] { return allClosed(slow) && allClosed(idle); }, 4s));
    EXPECT_LT(SteadyClock::now() - start, limits.requestTime + 1s);
    trickling = false;
    trickle.join();
    EXPECT_NE(normalRequest(server.port(), "127.0.0.2").find(" 200 OK"), std::string::npos);
}

}  // namespace
}  // namespace kestrova
