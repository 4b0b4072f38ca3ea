// The pop-up on a real X server (Xvfb + openbox): where it starts and rests, what a click
// opens through a recording "xdg-open", how it looks, what the window manager and a
// taskbar see, and content as large as an advert may be.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "../platform/ui/UiTestSupport.h"
#include "DlgTestSupport.h"
#include "platform/ui/UIMessageCore.h"
#include "platform/ui/host/X11Host.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPictures.h"

namespace kestrova::uitest {
namespace {

namespace fs = std::filesystem;

// Pumps the window's messages for ms milliseconds.
void pumpFor(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end)
        ui::pumpMessages(10);
}

bool eventually(const std::function<bool()>& done, int ms = 5000) {
    return waitFor(done, std::chrono::milliseconds(ms), [] { pumpFor(20); });
}

// xwininfo's reading of a window: position, size and map state.
struct XInfo {
    int x, y, w, h;
    std::string mapState;
    bool overrideRedirect;
};

XInfo xinfo(const std::string& id) {
    const std::string out = run("xwininfo -id " + id + " 2>/dev/null");
    auto field = [&](const std::string& key) {
        size_t at = out.find(key + ": ");
        at = at == std::string::npos ? out.size() : at + key.size() + 2;
        return out.substr(at, out.find('\n', at) - at);
    };
    auto number = [&](const char* key) { return std::atoi(field(key).c_str()); };
    return {number("Absolute upper-left X"),
            number("Absolute upper-left Y"),
            number("Width"),
            number("Height"),
            field("Map State"),
            field("Override Redirect State") == "yes"};
}

std::string windowNamed(const std::string& name) {
    std::string out = run("xdotool search --name '^" + name + "$' 2>/dev/null");
    return out.substr(0, out.find('\n'));
}

class X11 : public ::testing::Test {
protected:
    void SetUp() override {
        ui::installBackend(ui::createX11Backend());
        if (!ui::backend().isNative())
            GTEST_SKIP() << "no display for the X11 host";
        std::ofstream(dir / "xdg-open")
            << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << (dir / "opened").string() << "'\n";
        fs::permissions(dir / "xdg-open", fs::perms::owner_all);
        path.emplace("PATH", dir.path().string() + ":" + std::getenv("PATH"));
        artifacts = fs::path(std::getenv("KESTROVA_BINARY_DIR")) / "artifacts" / "ui";
        fs::create_directories(artifacts);
    }
    void TearDown() override {
        if (hwnd && IsWindow(hwnd))
            DestroyWindow(hwnd);
        if (ui::quitPending())
            ui::runMessageLoop();
    }

    // Creates, fills (short text unless told otherwise) and checks the window is still
    // unmapped; returns its X id.
    std::string createFilled(const std::function<void(TestDlg&)>& fill = {}) {
        static int serial = 0;
        std::string caption =
            "kestrova-x11-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
        dlg = new TestDlg;
        hwnd = dlg->Create(nullptr, ui::fromUtf8(caption).c_str(), 0x10CF0000, 0x00020080, 0, 0,
                           710, 470);
        if (!hwnd)
            return {};
        if (fill)
            fill(*dlg);
        else
            dlg->ShowTextAdvert(L"Title", L"Short", L"http://a.test/advert");
        pumpFor(100);
        return windowNamed(caption);
    }

    // Slides in and pumps until the timer has stopped.
    void slideToRest() {
        dlg->StartSlideIn();
        int seen = -1;
        while (dlg->slideTicks != seen) {
            seen = dlg->slideTicks;
            pumpFor(150);
        }
    }

    std::string opened() const { return test::readFile(dir / "opened"); }

    void clickAt(int x, int y) {
        run("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
        pumpFor(300);
    }

    test::TempDir dir;
    fs::path artifacts;
    std::optional<test::ScopedEnv> path;
    TestDlg* dlg = nullptr;
    HWND hwnd = nullptr;
};

// Panels and their work areas are the headless slide's and the desktop matrix's rows; here
// the real host: unmapped until the slide, in from the screen's bottom edge, at rest
// undecorated, out of the taskbar and the window manager's reach.
TEST_F(X11, SlidesInFromBelowTheScreenUndecoratedOutOfTheTaskbarAndNotResizable) {
    std::string id = createFilled();
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(xinfo(id).mapState, "IsUnMapped") << "not mapped before the slide";
    dlg->StartSlideIn();
    pumpFor(0);
    XInfo start = xinfo(id);
    EXPECT_EQ(start.y, 1080) << "top on the screen's bottom edge";
    EXPECT_EQ(start.x, 1600) << "right edge on the screen's right edge";
    slideToRest();
    EXPECT_EQ(dlg->slideTicks, 18);
    XInfo info = xinfo(id);
    EXPECT_EQ(info.mapState, "IsViewable");
    EXPECT_EQ(info.y, 900);
    EXPECT_EQ(info.h, 180);
    EXPECT_TRUE(info.overrideRedirect) << "the window manager neither frames nor resizes it";
    std::string tree = run("xwininfo -children -id " + id);
    EXPECT_NE(tree.find("(the root window)"), std::string::npos) << "not reparented into a frame";
    std::string props = run("xprop -id " + id);
    EXPECT_NE(props.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << props;
    EXPECT_NE(props.find("_NET_WM_WINDOW_TYPE_UTILITY"), std::string::npos) << props;
    // What desktop tools find it by: class, process and icon.
    EXPECT_NE(props.find("WM_CLASS(STRING) = \"FloatDlg\""), std::string::npos) << props;
    EXPECT_NE(props.find("_NET_WM_PID(CARDINAL) = " + std::to_string(::getpid())),
              std::string::npos);
    EXPECT_NE(props.find("_NET_WM_ICON(CARDINAL) = "), std::string::npos);
    std::string clients = run("xprop -root _NET_CLIENT_LIST");
    EXPECT_EQ(clients.find(std::to_string(std::stoul(id, nullptr, 0))), std::string::npos);
}

TEST_F(X11, AClickBelowTheTitleRowOpensTheLinkOnceOnTheTitleRowOrOffTheWindowNothing) {
    std::string id = createFilled();
    ASSERT_FALSE(id.empty());
    slideToRest();
    XInfo at = xinfo(id);
    clickAt(at.x + 100, at.y + 15);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(opened().empty()) << "a click on the title row";
    // X hands the release to the window that had the press, wherever the pointer is.
    const std::string x = std::to_string(at.x + 100);
    run("xdotool mousemove --sync " + x + " " + std::to_string(at.y + 100) + " mousedown 1" +
        " mousemove --sync " + x + " " + std::to_string(at.y - 5) + " mouseup 1");
    pumpFor(300);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(opened().empty()) << "a press in the body released above the window";
    clickAt(at.x + 100, at.y + 31);
    ASSERT_TRUE(eventually([&] { return !opened().empty(); }));
    pumpFor(300);
    EXPECT_EQ(opened(), "http://a.test/advert\n");
    EXPECT_TRUE(IsWindow(hwnd));
}

// Grey text pixels lie only between the margins; the title is white on the blue band.
void checkLook(const fs::path& png, int w, int h, bool text) {
    const test::Picture shot = test::readPng(png);
    ASSERT_EQ(shot.w, w);
    ASSERT_EQ(shot.h, h);
    auto rgb = [&](int x, int y) { return shot.at(x, y) & 0xFFFFFF; };
    auto channel = [](std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    EXPECT_TRUE(near(rgb(200, 3), 0x6E85D5, 12)) << hex(rgb(200, 3)) << " is not the blue band";
    int white = 0;
    for (int y = 5; y < 25; ++y)
        for (int x = 20; x < 200; ++x)
            white += channel(rgb(x, y), 0) > 240 && channel(rgb(x, y), 16) > 240;
    EXPECT_GT(white, 10) << "white title text on the band";
    if (text) {
        EXPECT_TRUE(near(rgb(310, h - 10), 0xFAFBFF, 6)) << hex(rgb(310, h - 10));
        int inside = 0, outside = 0;
        for (int y = 40; y < h - 5; ++y) {
            for (int x = 3; x < w - 3; ++x) {
                bool ink = channel(rgb(x, y), 8) < 200;
                (x >= 20 && x < 300 ? inside : outside) += ink;
            }
        }
        EXPECT_GT(inside, 200) << "grey text in the body";
        EXPECT_EQ(outside, 0) << "text outside its margins";
    }
}

TEST_F(X11, ScreenshotsOfARestingTextAndPictureAdvert) {
    std::wstring text =
        L"Kestrova 新版本已发布：更快的打开速度、更清晰的批注工具，"
        L"以及全新的夜间阅读模式。Click here to read what is new in this "
        L"release and how to upgrade.";
    std::string id = createFilled(
        [&](TestDlg& d) { d.ShowTextAdvert(L"Kestrova 更新", text.c_str(), L"http://a.test/"); });
    ASSERT_FALSE(id.empty());
    slideToRest();
    pumpFor(300);
    XInfo at = xinfo(id);
    fs::path shot = artifacts / "text-advert.png";
    run("import -window root -crop " + std::to_string(at.w) + "x" + std::to_string(at.h) + "+" +
        std::to_string(at.x) + "+" + std::to_string(at.y) + " +repage " + shot.string());
    checkLook(shot, at.w, at.h, true);
    DestroyWindow(hwnd);
    ui::runMessageLoop();

    QuadrantPicture picture(300, 200);
    id = createFilled([&](TestDlg& d) {
        d.ShowImageAdvert(L"Kestrova", picture.path().c_str(), L"http://a.test/");
    });
    slideToRest();
    pumpFor(300);
    at = xinfo(id);
    EXPECT_EQ(at.w, 300);
    EXPECT_EQ(at.h, 200);
    shot = artifacts / "picture-advert.png";
    run("import -window root -crop 300x200+" + std::to_string(at.x) + "+" + std::to_string(at.y) +
        " +repage " + shot.string());
    checkLook(shot, 300, 200, false);
}

// Content as large as an advert may be: a picture far larger than the screen and 400 KB of
// title and text. Each comes to rest in the corner of the work area, drawn as it should be
// after the slide (what the moves uncovered was filled from the kept frame), and its close
// button ends it.
TEST_F(X11, LargeContentComesToRestDrawnAndItsCloseButtonEndsIt) {
    QuadrantPicture picture(3000, 2000);
    std::wstring title, text;
    while (text.size() < 400'000) {
        title += L"A long advert title ";
        text += L"words of a long advert text ";
    }
    struct Case {
        const char* what;
        std::function<void(TestDlg&)> fill;
        bool isText;
    } cases[] = {
        {"3000 x 2000 picture, scaled into the work area",
         [&](TestDlg& d) { d.ShowImageAdvert(L"Kestrova", picture.path().c_str(), L""); }, false},
        {"400 KB title and text",
         [&](TestDlg& d) { d.ShowTextAdvert(title.c_str(), text.c_str(), L""); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string id = createFilled(c.fill);
        ASSERT_FALSE(id.empty());
        slideToRest();
        pumpFor(300);
        XInfo at = xinfo(id);
        EXPECT_EQ(at.x + at.w, 1920);
        EXPECT_EQ(at.y + at.h, 1080);
        fs::path shot =
            artifacts / (c.isText ? "long-text-advert.png" : "large-picture-advert.png");
        run("import -window root -crop " + std::to_string(at.w) + "x" + std::to_string(at.h) + "+" +
            std::to_string(at.x) + "+" + std::to_string(at.y) + " +repage " + shot.string());
        if (c.isText) {
            EXPECT_EQ(at.w, 320);
            EXPECT_GT(at.h, 1040) << "as tall as the work area";
            checkLook(shot, at.w, at.h, true);
        } else {
            EXPECT_EQ(at.w, 1620) << "3:2 kept";
            EXPECT_EQ(at.h, 1080);
            const test::Picture s = test::readPng(shot);
            ASSERT_EQ(s.w, at.w);
            auto rgb = [&](int x, int y) { return s.at(x, y) & 0xFFFFFF; };
            const int r = at.w - 20, b = at.h - 20;
            EXPECT_TRUE(near(rgb(20, 60), 0xFF0000, 8)) << hex(rgb(20, 60));
            EXPECT_TRUE(near(rgb(r, 60), 0x00FF00, 8)) << hex(rgb(r, 60));
            EXPECT_TRUE(near(rgb(20, b), 0x0000FF, 8)) << hex(rgb(20, b));
            EXPECT_TRUE(near(rgb(r, b), 0xFFFF00, 8)) << hex(rgb(r, b));
        }
        clickAt(at.x + at.w - 15, at.y + 15);
        EXPECT_TRUE(eventually([&] { return !IsWindow(hwnd); })) << "the close button ends it";
        if (ui::quitPending())
            ui::runMessageLoop();
        hwnd = nullptr;
    }
}

}  // namespace
}  // namespace kestrova::uitest
