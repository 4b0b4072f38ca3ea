// The real program, built with its endpoint on a loopback port, copied into a folder of its
// own and run on the test display: what a user sees, what it leaves on disk, what it tells
// the server, and what a crash looks like.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <ctime>
#include <functional>
#include <optional>
#include <sstream>

#include "E2eSupport.h"
#include "tests/support/SessionBus.h"
#include "tests/support/TestPictures.h"

namespace kestrova::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kCaption = "Reader升级程序";
const std::string kTitle = "Spring sale";
const std::string kText = "Half price on every licence until the end of the month";
const std::string kLink = "http://shop.test/spring?from=popup";
const std::string kCrashText = "本程序遇到未处理的异常，MiniDump文件已经生成在程序的运行目录。";
// The sanitizers' shadow memory is not the program's: its peak is not checked there.
#if defined(KESTROVA_SANITIZED)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

std::string textAdvert() {
    return R"({"type":0,"title":")" + kTitle + R"(","context":")" + kText + R"(","click_url":")" +
           kLink + R"("})";
}

std::string asText(const test::Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The peak resident memory of a running process, in KiB; 0 when it cannot be read.
long peakKiB(pid_t pid) {
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

bool exitedWith0(const std::optional<int>& status) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

class ProgramE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The programs the test starts inherit it (kestrova-advert-e2e reads it at run time).
        setenv("KESTROVA_E2E_ENDPOINT", server.endpoint().c_str(), 1);
        fs::create_directories(fs::path(E2E_REGISTRY) / "SOFTWARE/Kestrova");
        writeFile(fs::path(E2E_REGISTRY) / "SOFTWARE/Kestrova/appname", "Reader\n");
        writeFile(config(), "[CONFIG]\nlast_adv_time=7\n");
    }
    void TearDown() override {
        for (pid_t pid : started) {
            if (::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
    }

    fs::path config() const { return sandbox.dir() / "config.ini"; }
    pid_t start() { return started.emplace_back(sandbox.start()); }
    pid_t start(const fs::path& program, const std::vector<std::string>& args = {}) {
        return started.emplace_back(sandbox.start(program, args));
    }

    // The window named caption once it rests in the bottom-right corner, or 0.
    Window restingAdvert(Screen& on, const std::string& caption = kCaption) {
        Window advert = 0;
        waitFor([&] {
            advert = on.find(caption);
            const Geometry g = on.geometry(advert);
            return advert != 0 && g.viewable && g.y + g.h == kScreenHeight;
        });
        return on.geometry(advert).viewable ? advert : 0;
    }
    Window restingAdvert() { return restingAdvert(screen); }

    // The log's lines after their time stamps.
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        std::istringstream log(readFile(sandbox.log()));
        for (std::string line; std::getline(log, line);) {
            lines.push_back(line.substr(line.find(' ') + 1));
        }
        return lines;
    }
    std::string lastLogLine() { return logLines().empty() ? "" : logLines().back(); }
    // The lines of the advert flow.
    std::vector<std::string> outcomeLines() {
        std::vector<std::string> lines = logLines();
        std::erase_if(lines, [](const std::string& line) { return !line.starts_with("advert: "); });
        return lines;
    }

    // A run in the user's quiet hours: it ends with 0 without asking the server, showing or
    // recording anything, and logs why.
    void expectQuiet(const std::string& outcome) {
        writeFile(config(), "[CONFIG]\nlast_adv_time=7\n");
        const size_t asked = server.targets().size();
        screen.mapsSince();
        EXPECT_TRUE(exitedWith0(waitForExit(start(), 10s)));
        EXPECT_EQ(server.targets().size(), asked) << "the server was asked";
        EXPECT_EQ(screen.mapsSince(), 0) << "no window may ever be mapped";
        EXPECT_EQ(readFile(config()), "[CONFIG]\nlast_adv_time=7\n");
        ASSERT_FALSE(outcomeLines().empty());
        EXPECT_EQ(outcomeLines().back(), outcome);
    }

    AdvertServer server;
    Sandbox sandbox;
    Screen screen;
    std::vector<pid_t> started;
};

TEST_F(ProgramE2eTest, WithoutAnAdvertTheProgramEndsAtOnceAndShowsNothing) {
    const struct {
        const char* what;
        int status;
        std::string body;
        std::string outcome;
    } rows[] = {
        {"not found", 404, "", "advert: request code=404, nothing shown"},
        {"type 2", 200, R"({"type":2,"context":"x"})", "advert: type 2, nothing shown"},
        {"bad JSON", 200, "{\"type\":", "advert: answer unreadable"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        server.answer(row.status, row.body);
        screen.mapsSince();
        const std::optional<int> status = waitForExit(start(), 10s);
        const auto ended = Clock::now();
        EXPECT_TRUE(exitedWith0(status));
        EXPECT_LT(ended - server.lastAnswer(), 1s);
        EXPECT_EQ(screen.mapsSince(), 0) << "no window may ever be mapped";
        EXPECT_EQ(readFile(config()), "[CONFIG]\nlast_adv_time=7\n");
        EXPECT_EQ(server.targets().back(), "/advert?time=7");
        ASSERT_FALSE(outcomeLines().empty());
        EXPECT_EQ(outcomeLines().back(), row.outcome);
    }
}

TEST_F(ProgramE2eTest, ATextAdvertRestsInTheCornerOpensItsLinkClosesAndIsRemembered) {
    server.answer(200, textAdvert());
    const std::time_t before = std::time(nullptr);
    const pid_t pid = start();
    const Window advert = restingAdvert();
    ASSERT_NE(advert, Window{0}) << "no window in the bottom-right corner";
    const Geometry g = screen.geometry(advert);
    EXPECT_EQ(g.x + g.w, kScreenWidth);
    EXPECT_EQ(g.w, 320);

    // The developer tool draws the same window from the command line: the same pixels
    // mean the same title and text.
    screen.movePointerAway();
    const std::vector<std::uint32_t> shown = screen.pixels(advert);
    {
        Sandbox reference;
        const pid_t tool = reference.start(E2E_SHOW_ADVERT, {"--text", kTitle, kText, kLink});
        started.push_back(tool);
        const Window drawn = restingAdvert(screen, "Kestrova");
        ASSERT_NE(drawn, Window{0});
        EXPECT_TRUE(shown == screen.pixels(drawn)) << "title or text differ from the answer's";
        ::kill(tool, SIGTERM);
        waitForExit(tool, 5s);
    }

    run("xdotool mousemove --sync " + std::to_string(g.x + 100) + " " +
        std::to_string(g.y + g.h - 20) + " click 1");
    EXPECT_TRUE(waitFor([&] { return readFile(sandbox.dir() / "opened.txt") == kLink + "\n"; }))
        << readFile(sandbox.dir() / "opened.txt");

    run("xdotool mousemove --sync " + std::to_string(g.x + 305) + " " + std::to_string(g.y + 15) +
        " click 1");
    EXPECT_TRUE(exitedWith0(waitForExit(pid, 5s))) << "the close button ends the program";

    const std::string stored = readFile(config());
    const long long when = std::atoll(stored.c_str() + stored.find('=') + 1);
    EXPECT_GE(when, before);
    EXPECT_LE(when, std::time(nullptr));
    EXPECT_EQ(outcomeLines(), std::vector<std::string>{"advert: text advert shown"});
    const std::string log = readFile(sandbox.log());
    for (const std::string& secret : {kTitle, kText, kLink}) {
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    }

    // The next run tells the server when this one showed its advert.
    server.answer(404, "");
    EXPECT_TRUE(exitedWith0(waitForExit(start(), 10s)));
    EXPECT_EQ(server.targets().back(), "/advert?time=" + std::to_string(when));
    EXPECT_EQ(readFile(sandbox.dir() / "opened.txt"), kLink + "\n")
        << "the close button opens nothing";
}

// Pictures as a server may send them: the sample server's, the largest JPEG the pop-up
// takes (decoded reduced), an SVG of chained uses, which is no format the pop-up shows (its
// window keeps the size of a picture that cannot be loaded and nothing crashes), and the
// largest PNG (decoded whole, then reduced to the screen). The whole process stays under
// 100 MB, the window's kept frame included.
TEST_F(ProgramE2eTest, PictureAdvertsAreCachedSizeTheWindowAndStayUnder100MB) {
    const struct {
        const char* what;
        std::string picture;
        int w, h;
    } rows[] = {
        {"the sample", readFile(fs::path(KESTROVA_SOURCE_PICTURE)), KESTROVA_SOURCE_PICTURE_WIDTH,
         KESTROVA_SOURCE_PICTURE_HEIGHT},
        {"JPEG of 4096 x 4096, progressive",
         asText(
             test::jpegOf(4096, 4096, test::quadrants(4096, 4096), test::JpegScans::Progressive)),
         kScreenHeight, kScreenHeight},
        {"SVG with 2,000 chained uses", test::svgWithChainedUses(2000), 320, 250},
        {"PNG of 4096 x 4096", asText(test::pngOf(4096, 4096, test::quadrants(4096, 4096))),
         kScreenHeight, kScreenHeight},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        server.setPicture(row.picture);
        server.answer(200, R"({"type":1,"title":"t","img_url":")" + server.pictureUrl() + R"("})");
        const pid_t pid = start();
        const Window advert = restingAdvert();
        ASSERT_NE(advert, Window{0}) << readFile(sandbox.dir() / "stderr.txt");
        const Geometry g = screen.geometry(advert);
        EXPECT_EQ(g.w, row.w);
        EXPECT_EQ(g.h, row.h);
        EXPECT_EQ(readFile(sandbox.dir() / "cache/image/advertising.png"), row.picture);
        EXPECT_EQ(outcomeLines().back(), "advert: picture advert shown");
        if (!kSanitized) {
            EXPECT_LT(peakKiB(pid), 100 * 1024);
        }
        ::kill(pid, SIGKILL);
        waitForExit(pid, 10s);
    }
}

// However the run is ended from outside (its window taken away, its X connection or server
// gone, a termination signal while it shows or while its picture download stalls), the
// program ends at once with 0 (within a second; a stalled download within three), leaves no
// dump and no ".temp", and the log's last line says how it ended.
TEST_F(ProgramE2eTest, ARunEndedFromOutsideEndsWith0AtOnceAndLogsHow) {
    using Act = std::function<void(pid_t, std::optional<Screen>&, Window, PrivateXServer&)>;
    const auto xdotool = [](const std::string& command) {
        return [command](pid_t, std::optional<Screen>& on, Window advert, PrivateXServer&) {
            on->xdotool(command + " " + std::to_string(advert));
        };
    };
    const auto sends = [](int number) {
        return [number](pid_t pid, std::optional<Screen>&, Window, PrivateXServer&) {
            ::kill(pid, number);
        };
    };
    const std::string lost = "ui: X connection lost, the program ends";
    const struct {
        const char* what;
        bool picture;  // a picture advert whose download stalls, else a resting text advert
        bool ownServer;
        Act act;
        std::string lastLine;
    } rows[] = {
        {"destroyed by another client", false, false, xdotool("windowclose"),
         "ui: window FloatDlg destroyed by another client"},
        {"unmapped by another client", false, false, xdotool("windowunmap"),
         "ui: window FloatDlg unmapped by another client"},
        {"its X connection killed by another client", false, false, xdotool("windowkill"), lost},
        {"the X server killed", false, true,
         [](pid_t, std::optional<Screen>&, Window, PrivateXServer& x) { x.kill(); }, lost},
        {"SIGTERM", false, false, sends(SIGTERM), "advert: closed by SIGTERM"},
        {"SIGHUP", false, false, sends(SIGHUP), "advert: closed by SIGHUP"},
        {"SIGINT", false, false, sends(SIGINT), "advert: closed by SIGINT"},
        {"SIGTERM during the picture's download", true, false, sends(SIGTERM),
         "advert: closed by SIGTERM"},
    };
    server.setPicture(readFile(fs::path(KESTROVA_SOURCE_PICTURE)));
    server.stallPicture();
    const fs::path cache = sandbox.dir() / "cache/image";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(sandbox.log());
        PrivateXServer own;
        if (row.ownServer) {
            ASSERT_FALSE(own.display().empty()) << "no private X server";
        }
        // Closed before its server is killed: Xlib ends a process whose connection breaks.
        std::optional<Screen> on(std::in_place, row.ownServer ? own.display() : "");
        server.answer(200, row.picture ? R"({"type":1,"img_url":")" + server.pictureUrl() + "\"}"
                                       : textAdvert());
        const int pictureRequests = server.pictureRequests();
        const pid_t pid = started.emplace_back(
            sandbox.start(sandbox.program(), {}, row.ownServer ? own.display() : ""));
        Window advert = 0;
        if (row.picture) {
            ASSERT_TRUE(waitFor([&] { return server.pictureRequests() > pictureRequests; }));
            ASSERT_TRUE(waitFor([&] { return fs::exists(cache / "advertising.png.temp"); }));
        } else {
            ASSERT_NE(advert = restingAdvert(*on), Window{0});
        }
        if (row.ownServer) {
            on.reset();
        }
        row.act(pid, on, advert, own);
        // A quiet transfer looks at its stop flag about once a second.
        EXPECT_TRUE(exitedWith0(waitForExit(pid, row.picture ? 3s : 1s)))
            << readFile(sandbox.dir() / "stderr.txt");
        EXPECT_EQ(lastLogLine(), row.lastLine);
        EXPECT_FALSE(fs::exists(sandbox.dir() / "kestrova-advert.dmp"));
        EXPECT_FALSE(fs::exists(cache / "advertising.png.temp"));
    }
}

TEST_F(ProgramE2eTest, InTheUsersQuietHoursTheServerIsNotAskedAndNothingShows) {
    server.answer(200, textAdvert());
    {
        SCOPED_TRACE("a full-screen window on the primary monitor");
        const pid_t window = start(E2E_TEST_WINDOW, {"fullscreen"});
        ASSERT_TRUE(waitFor([] {
            return run("xprop -id \"$(xprop -root _NET_ACTIVE_WINDOW | cut -d' ' -f5)\" "
                       "_NET_WM_STATE 2>/dev/null")
                       .find("_NET_WM_STATE_FULLSCREEN") != std::string::npos;
        })) << "the window manager made no full-screen window active";
        expectQuiet("advert: full-screen window, nothing shown");
        ::kill(window, SIGTERM);
        waitForExit(window, 5s);
    }
    {
        SCOPED_TRACE("GNOME's banners switched off");
        test::SessionBus bus;
        ASSERT_TRUE(bus.ready());
        bool written = false;
        test::runCommand("dconf write /org/gnome/desktop/notifications/show-banners false",
                         &written);
        ASSERT_TRUE(written);
        expectQuiet("advert: do not disturb, nothing shown");
    }
    {
        SCOPED_TRACE("the notification server inhibited");
        test::SessionBus bus;
        ASSERT_TRUE(bus.ready());
        const pid_t notifications = start(E2E_INHIBITED_NOTIFICATIONS);
        ASSERT_TRUE(waitFor([] {
            return run("dbus-send --session --print-reply --dest=org.freedesktop.DBus "
                       "/org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "
                       "string:org.freedesktop.Notifications")
                       .find("boolean true") != std::string::npos;
        }));
        expectQuiet("advert: do not disturb, nothing shown");
        ::kill(notifications, SIGTERM);
        waitForExit(notifications, 5s);
    }
}

// With accessibility on for the session, a screen reader finds the advert among the
// programs, reads its title and text and closes it with the close button's action.
TEST_F(ProgramE2eTest, AScreenReaderFindsReadsAndClosesTheAdvert) {
    test::SessionBus bus(test::SessionBus::kAccessibilityOn);
    ASSERT_TRUE(bus.ready());
    server.answer(200, textAdvert());
    const pid_t pid = start();
    ASSERT_NE(restingAdvert(), Window{0});
    bool read = false;
    const std::string heard =
        test::runCommand(std::string(E2E_READ_ADVERT) + " '" + kCaption + "' --close 2>&1", &read);
    EXPECT_TRUE(read) << heard;
    for (const std::string& line : std::vector<std::string>{
             "window: notification\n", "label: " + kTitle + " | " + kTitle,
             "link: " + kText + " | " + kText, "push button: 关闭", "action: click True"}) {
        EXPECT_NE(heard.find(line), std::string::npos) << line << " not in:\n" << heard;
    }
    EXPECT_TRUE(exitedWith0(waitForExit(pid, 5s))) << "the close action ends the program with 0";
}

// A fatal signal while the advert is up leaves a dump beside the program and the success
// box; the crashed process waits for the box and then dies by its signal, within a second
// of the box's going, whoever made it go. Which text the box carries is the crash
// reporter's own tests' concern.
TEST_F(ProgramE2eTest, ACrashWhileTheAdvertIsUpLeavesADumpAndABoxTheProcessWaitsFor) {
#if defined(KESTROVA_SANITIZED)
    GTEST_SKIP() << "the sanitizers own the fatal signals";
#endif
    const struct {
        const char* what;
        std::string xdotool;  // "BOX" stands for the box's window
    } rows[] = {
        {"Enter", "key Return"},
        {"destroyed by another client", "windowclose BOX"},
        {"unmapped by another client", "windowunmap BOX"},
    };
    server.answer(200, textAdvert());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(sandbox.dir() / "kestrova-advert.dmp");
        const pid_t pid = start();
        ASSERT_NE(restingAdvert(), Window{0});
        ::kill(pid, SIGSEGV);

        Window box = 0;
        ASSERT_TRUE(waitFor([&] { return (box = screen.find("提示")) != 0; }))
            << readFile(sandbox.dir() / "stderr.txt");
        EXPECT_TRUE(fs::exists(sandbox.dir() / "kestrova-advert.dmp"));
        EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "the crashed process waits for the box";
        ASSERT_TRUE(waitFor([&] { return screen.geometry(box).viewable; }));

        std::string command = row.xdotool;
        if (const size_t at = command.find("BOX"); at != std::string::npos) {
            command.replace(at, 3, std::to_string(box));
        }
        screen.xdotool(command);
        const std::optional<int> status = waitForExit(pid, 1s);
        ASSERT_TRUE(status.has_value()) << "the box's going should end the crashed process";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGSEGV);
        EXPECT_EQ(readFile(sandbox.dir() / "stderr.txt").find(kCrashText), std::string::npos)
            << "shown in a box, not written out";
        EXPECT_TRUE(waitFor([&] { return screen.find("提示") == 0; }));
    }
}

}  // namespace
}  // namespace kestrova::e2e
