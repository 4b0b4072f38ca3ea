// The files of server/deploy/ as shipped: two instances behind the haproxy configuration on
// loopback, one of them stopped mid-run without a client noticing, and the systemd unit
// with its environment file.
#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/server/FakePng.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/Child.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"
#include "util/FileDescriptor.h"

namespace kestrova {
namespace {

using namespace std::chrono_literals;

const std::filesystem::path kDeploy = std::filesystem::path(KESTROVA_SOURCE_DIR) / "server/deploy";

// A listening socket that haproxy inherits, so the test needs no free port guessed ahead.
FileDescriptor inheritableListener(int& port) {
    FileDescriptor sock(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (::bind(sock.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(sock.get(), SOMAXCONN) != 0 ||
        ::getsockname(sock.get(), reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        return {};
    }
    port = ntohs(addr.sin_port);
    return sock;
}

TEST(Deployment, AnInstanceStoppedBehindTheLoadBalancerFailsNoClientRequest) {
    test::TempDir folder;
    test::writeFile(folder / "pic.png", test::fakePng());
    test::writeFile(folder / "adverts.json", R"([
        {"kind": "text", "title": "T", "text": "x", "link": "https://example.com/"},
        {"kind": "picture", "title": "P", "picture": "pic.png", "link": "https://example.com/"}])");
    for (int stopSignal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(stopSignal);
        std::vector<test::Child> instances;
        std::vector<int> ports;
        for (int i = 0; i < 2; ++i) {
            instances.emplace_back(std::vector<std::string>{KESTROVA_ADVERT_SERVER_EXE, "--adverts",
                                                            (folder / "adverts.json").string(),
                                                            "--listen", "127.0.0.1:0"});
            ports.push_back(test::announcedPort(instances.back()));
            ASSERT_GT(ports.back(), 0) << instances.back().err();
        }
        int port = -1;
        FileDescriptor listener = inheritableListener(port);
        ASSERT_TRUE(listener.valid());
        test::Child balancer({"env", "KESTROVA_LB_LISTEN=fd@" + std::to_string(listener.get()),
                              "KESTROVA_ADVERT_1=127.0.0.1:" + std::to_string(ports[0]),
                              "KESTROVA_ADVERT_2=127.0.0.1:" + std::to_string(ports[1]), "haproxy",
                              "-db", "-f", (kDeploy / "haproxy.cfg").string()});
        listener = FileDescriptor();
        httplib::Client probe("127.0.0.1", port);
        ASSERT_TRUE(test::waitFor([&] {
            httplib::Result health = probe.Get("/healthz");
            return health && health->status == 200;
        })) << balancer.err();

        // Clients on kept-alive connections, as many pop-ups behind one address would be.
        std::atomic<bool> running{true};
        std::atomic<int> answered{0}, failed{0};
        std::vector<std::thread> clients;
        for (int i = 0; i < 4; ++i) {
            clients.emplace_back([&] {
                httplib::Client client("127.0.0.1", port);
                while (running) {
                    httplib::Result result = client.Get("/advert?time=0");
                    ++(result && result->status == 200 ? answered : failed);
                }
            });
        }
        std::this_thread::sleep_for(500ms);
        const int beforeStop = answered;
        instances[0].signal(stopSignal);
        EXPECT_TRUE(instances[0].wait(5s));
        const int servedBySecond = test::countOf(instances[1].out(), " /advert ?time=0 200\n");
        std::this_thread::sleep_for(1s);
        running = false;
        for (std::thread& client : clients) {
            client.join();
        }
        EXPECT_EQ(failed, 0);
        EXPECT_GT(beforeStop, 20);
        EXPECT_GT(test::countOf(instances[0].out(), " /advert ?time=0 200\n"), 0);
        EXPECT_GT(test::countOf(instances[1].out(), " /advert ?time=0 200\n"), servedBySecond + 20);

        // Picture addresses in the answers lead back through the balancer.
        httplib::Result text = probe.Get("/advert?time=0"), picture = probe.Get("/advert?time=0");
        ASSERT_TRUE(text && picture);
        Json::Value answer;
        std::istringstream(text->body.find("img_url") != std::string::npos ? text->body
                                                                           : picture->body) >>
            answer;
        const std::string url = answer["img_url"].asString();
        const std::string base = "http://127.0.0.1:" + std::to_string(port);
        ASSERT_EQ(url.substr(0, base.size()), base);
        httplib::Result image = probe.Get(url.substr(base.size()));
        EXPECT_TRUE(image && image->body == test::fakePng());
    }
}

// "${NAME}" in text replaced by the values of an environment file.
std::string expand(std::string text, const std::map<std::string, std::string>& values) {
    for (const auto& [name, value] : values) {
        for (std::size_t at; (at = text.find("${" + name + "}")) != std::string::npos;) {
            text.replace(at, name.size() + 3, value);
        }
    }
    return text;
}

TEST(Deployment, TheSystemdUnitIsValidAndStartsTheServerWithItsEnvironmentFile) {
    std::map<std::string, std::string> values;
    std::ifstream environment(kDeploy / "advert-server.env");
    for (std::string line; std::getline(environment, line);) {
        if (const std::size_t equals = line.find('=');
            !line.starts_with('#') && equals != 0 && equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    ASSERT_EQ(values.count("KESTROVA_LISTEN"), 1u);
    // The unit as installed, but for the program's place; checked by systemd's own reader,
    // which needs no running systemd.
    test::TempDir folder;
    std::string unit = test::readFile(kDeploy / "kestrova-advert-server@.service");
    const std::string installed = "/usr/local/bin/kestrova-advert-server";
    for (std::size_t at; (at = unit.find(installed)) != std::string::npos;) {
        unit.replace(at, installed.size(), KESTROVA_ADVERT_SERVER_EXE);
    }
    test::writeFile(folder / "kestrova-advert-server@1.service", unit);
    bool verified = false;
    const std::string complaints =
        test::runCommand("systemd-analyze verify " +
                             (folder / "kestrova-advert-server@1.service").string() + " 2>&1",
                         &verified);
    EXPECT_TRUE(verified && complaints.empty()) << complaints;

    // Its command line with the environment file's values, on a free port and the samples.
    const std::size_t exec = unit.find("\nExecStart=");
    ASSERT_NE(exec, std::string::npos);
    const std::size_t command = exec + std::strlen("\nExecStart=");
    values["KESTROVA_LISTEN"] = "127.0.0.1:0";
    values["KESTROVA_ADVERTS"] =
        (std::filesystem::path(KESTROVA_ADVERT_SERVER_EXE).parent_path() / "samples/adverts.json")
            .string();
    std::vector<std::string> argv;
    std::istringstream words(
        expand(unit.substr(command, unit.find('\n', command) - command), values));
    for (std::string word; words >> word;) {
        argv.push_back(word);
    }
    test::Child server(argv);
    const int port = test::announcedPort(server);
    ASSERT_GT(port, 0) << server.err();
    httplib::Client client("127.0.0.1", port);
    httplib::Result advert = client.Get("/advert?time=0");
    EXPECT_TRUE(advert && advert->status == 200);
}

}  // namespace
}  // namespace kestrova
