// The built program as an operator runs it: a bad adverts file stops it at start with
// exit code 2, and with the shipped samples it serves, logs, and ends cleanly on a signal.
#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "tests/support/TempDir.h"

extern char** environ;

namespace kestrova {
namespace {

using namespace std::chrono_literals;

// The server with standard output and error going to files, so that a test can read
// them while it runs and no pipe can fill up and stall it.
class ServerProcess {
public:
    ServerProcess(const test::TempDir& folder, std::vector<std::string> args)
        : m_out(folder.path() / "stdout"), m_err(folder.path() / "stderr") {
        args.insert(args.begin(), KESTROVA_ADVERT_SERVER_EXE);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT, 0600);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
            ADD_FAILURE() << "cannot start " << argv[0];
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ServerProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    // The exit code, or -1 when the process did not end in time (or ended by a signal).
    int waitForExit(std::chrono::milliseconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    // The port announced on the start-up line, or -1.
    int waitForPort() const {
        const std::string announced = "listening on http://127.0.0.1:";
        for (int i = 0; i < 1000; ++i) {
            const std::string out = stdoutText();
            const std::size_t at = out.find(announced);
            const std::size_t end = out.find("/advert\n", at);
            if (at != std::string::npos && end != std::string::npos) {
                const std::size_t from = at + announced.size();
                return std::stoi(out.substr(from, end - from));
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    void signal(int number) const { kill(m_pid, number); }
    std::string stdoutText() const { return test::readFile(m_out); }
    std::string stderrText() const { return test::readFile(m_err); }

private:
    std::filesystem::path m_out;
    std::filesystem::path m_err;
    pid_t m_pid = -1;
};

TEST(ServerExecutable, RejectsAnInvalidAdvertsFileAtStart) {
    test::TempDir folder;
    const std::filesystem::path adverts = folder / "adverts.json";
    test::writeFile(adverts, R"([
          {"kind": "text", "title": "Fine", "text": "t", "link": "https://example.com/"},
          {"kind": "text", "title": "Broken link", "text": "t", "link": "example.com"}
        ])");
    ServerProcess server(folder, {"--adverts", adverts.string(), "--listen", "127.0.0.1:0"});
    EXPECT_EQ(server.waitForExit(), 2);
    const std::string err = server.stderrText();
    EXPECT_NE(err.find(adverts.string()), std::string::npos) << err;
    EXPECT_NE(err.find(R"(advert [1] "Broken link": field "link")"), std::string::npos) << err;
    EXPECT_EQ(server.stdoutText().find("listening"), std::string::npos);
}

TEST(ServerExecutable, ServesTheSamplesLogsAndStopsOnASignal) {
    for (int stopSignal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(stopSignal);
        test::TempDir folder;
        // No --adverts: the samples copied beside the executable are the default.
        ServerProcess server(folder, {"--listen", "127.0.0.1:0", "--min-interval", "60"});
        const int port = server.waitForPort();
        ASSERT_GT(port, 0) << server.stdoutText() << server.stderrText();

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
        EXPECT_EQ(server.waitForExit(), 0) << server.stderrText();
        const std::string out = server.stdoutText();
        EXPECT_NE(out.find(" /advert ?time=0 200\n"), std::string::npos) << out;
        EXPECT_NE(out.find(" " + path + " - 200\n"), std::string::npos) << out;
        EXPECT_NE(out.find("stopped"), std::string::npos) << out;
    }
}

}  // namespace
}  // namespace kestrova
