// Windows driven by simulated input on the headless backend: creation from an embedded
// skin, clicks and mouse capture, the key filter, timers, closing and the message loop;
// what the library reports when something goes wrong, and how it stops a misuse.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "TestPopup.h"
#include "UiTestSupport.h"
#include "log/CLog.h"
#include "log/LogLine.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/UIlib.h"
#include "tests/support/TempDir.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        popupEvents().clear();
        headless = &useHeadless();
        setResource(ProgramResource::SkinArchive, 104, popupSkinZip());
    }
    void TearDown() override {
        // Leave no quit message or queued close behind for the next test.
        if (!pumpMessages(0))
            runMessageLoop();
        clearResources();
    }

    HWND create(PopupWindow& w) {
        return w.Create(nullptr, L"Reader升级程序", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
    }
    static void mouse(HWND h, UINT msg, int x, int y) { SendMessageW(h, msg, 0, MAKELPARAM(x, y)); }
    static void click(HWND h, POINT down, POINT up) {
        mouse(h, WM_MOUSEMOVE, down.x, down.y);
        mouse(h, WM_LBUTTONDOWN, down.x, down.y);
        mouse(h, WM_MOUSEMOVE, up.x, up.y);
        mouse(h, WM_LBUTTONUP, up.x, up.y);
    }

    HeadlessBackend* headless = nullptr;
};

TEST_F(WindowTest, CreatedHiddenAtTheLayoutsSizeWithInitWindowRun) {
    PopupWindow w;
    HWND h = create(w);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(popupEvents(), std::vector<std::string>{"init"});
    const auto* state = headless->state(h);
    ASSERT_NE(state, nullptr);
    EXPECT_FALSE(state->visible) << "WS_VISIBLE must not show a window before it is placed";
    EXPECT_EQ(state->rect.right - state->rect.left, 320);
    EXPECT_EQ(state->rect.bottom - state->rect.top, 180);
    EXPECT_EQ(state->params.className, L"FloatDlg");
    EXPECT_EQ(state->params.caption, L"Reader升级程序");
    EXPECT_NE(w.GetPaintManager().FindControl(L"closeBtn"), nullptr);
    DestroyWindow(h);
}

TEST_F(WindowTest, ClickFiresOnceOnlyForPressAndReleaseInsideTheSameControl) {
    PopupWindow w;
    HWND h = create(w);
    ASSERT_NE(h, nullptr);
    struct Case {
        const char* what;
        POINT down, up;
        size_t clicks;
    } cases[] = {
        {"press and release on closeBtn", {305, 15}, {306, 16}, 1},
        {"press on closeBtn, release outside", {305, 15}, {200, 100}, 0},
        {"press outside, release on closeBtn", {200, 100}, {305, 15}, 0},
        {"press on closeBtn, release on the title", {305, 15}, {100, 15}, 0},
        {"press and release on the text", {100, 100}, {100, 100}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        w.clicks.clear();
        click(h, c.down, c.up);
        ASSERT_EQ(w.clicks.size(), c.clicks);
        if (c.clicks) {
            EXPECT_EQ(w.clicks[0], L"closeBtn");
        }
    }
    DestroyWindow(h);
}

TEST_F(WindowTest, EnterAndEscapeReachTheFilterAndTheBaseFilterClosesOnEscape) {
    PopupWindow w;
    HWND h = create(w);
    SendMessageW(h, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(h, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageW(h, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(w.filteredKeys, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
    pumpMessages(0);
    EXPECT_TRUE(IsWindow(h)) << "a swallowed Escape leaves the window open";

    w.swallowEnterEscape = false;
    SendMessageW(h, WM_KEYDOWN, VK_ESCAPE, 0);
    pumpMessages(0);
    EXPECT_FALSE(IsWindow(h)) << "the library's default answer to Escape closes";
    EXPECT_EQ(w.GetHWND(), nullptr);
}

TEST_F(WindowTest, TimerDeliversItsIdUntilKilled) {
    PopupWindow w;
    HWND h = create(w);
    EXPECT_EQ(SetTimer(h, 0x4000, 5, nullptr), 0x4000u);
    for (int i = 0; i < 200 && w.timerIds.size() < 3; ++i)
        pumpMessages(5);
    ASSERT_GE(w.timerIds.size(), 3u);
    EXPECT_EQ(w.timerIds[0], 0x4000u);
    EXPECT_TRUE(KillTimer(h, 0x4000));
    size_t seen = w.timerIds.size();
    for (int i = 0; i < 5; ++i)
        pumpMessages(5);
    EXPECT_EQ(w.timerIds.size(), seen);
    EXPECT_FALSE(KillTimer(h, 0x4000));
    DestroyWindow(h);
}

TEST_F(WindowTest, CloseDestroysTheNativeWindowThenRunsTheFinalMessageAndEndsTheLoop) {
    auto* w = new PopupWindow;
    w->deleteOnFinal = true;
    HWND h = create(*w);
    ASSERT_NE(h, nullptr);
    SetTimer(h, 7, 1, nullptr);
    w->Close(1);
    // Close before the loop runs is kept until the loop starts, as the advert flow needs.
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(CPaintManagerUI::GetInstance(), nullptr);
    CPaintManagerUI::MessageLoop();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(headless->state(h), nullptr);
    EXPECT_EQ(popupEvents(), (std::vector<std::string>{"init", "destroy while window exists",
                                                       "final", "destructor"}));
}

// The program points the library's traces at its log, as here.
TEST_F(WindowTest, EachFailureTheLibrarySurvivesLeavesOneLineInTheLog) {
    struct Case {
        const char* what;
        std::function<void(SkinEntries&)> skin;
        std::function<void(PopupWindow&, HWND)> act;
        std::string line;
    } cases[] = {
        {"an exception in a handler",
         {},
         [](PopupWindow& w, HWND h) {
             w.throwOnClick = true;
             EXPECT_NO_THROW(click(h, {305, 15}, {305, 15}));
             w.throwOnClick = false;
             click(h, {305, 15}, {305, 15});
             EXPECT_EQ(w.clicks.size(), 1u) << "the window keeps working after the exception";
         },
         "ui: message 0x0202: exception std::runtime_error stopped"},
        {"a skin picture that cannot be decoded, painted twice",
         [](SkinEntries& e) { e["float_bg.png"] = "not a picture"; },
         [](PopupWindow& w, HWND) {
             Frame first(w.GetPaintManager(), 320, 180);
             Frame second(w.GetPaintManager(), 320, 180);
         },
         "ui: picture 'float_bg.png' not drawn: not a PNG, JPEG, GIF or BMP picture"},
        {"a layout naming a picture the skin lacks", [](SkinEntries& e) { e.erase("close.png"); },
         [](PopupWindow&, HWND h) { EXPECT_EQ(h, nullptr); },
         "ui: window FloatDlg not created: FloatDlg.xml:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kestrova::test::TempDir folder;
        CLog::GetInstance()->Init(folder.path().c_str());
        kestrova::ui::setTraceSink(kestrova::logLine);
        setResource(ProgramResource::SkinArchive, 104, popupSkinZip(c.skin));
        {
            PopupWindow w;
            c.act(w, create(w));
        }
        kestrova::ui::setTraceSink(nullptr);
        CLog::GetInstance()->Stop();
        std::istringstream log(kestrova::test::readFile(folder / "RazOdezerivozi.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);)
            lines.push_back(line.substr(line.find(' ') + 1));  // after the time stamp
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].substr(0, c.line.size()), c.line);
    }
}

TEST_F(WindowTest, AMisuseStopsTheProgramSayingHowToFixIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* what;
        std::function<void()> misuse;
        const char* fix;
    } cases[] = {
        {"Add(nullptr)", [] { CVerticalLayoutUI().Add(nullptr); }, "pass the control to add"},
        {"a second Create",
         [this] {
             PopupWindow w;
             create(w);
             create(w);
         },
         "make a new object for another"},
        {"a backend installed while a window is open",
         [this] {
             PopupWindow w;
             create(w);
             installBackend(nullptr);
         },
         "install the backend at start, before the first window"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_DEATH(c.misuse(), std::string("ui: programmer error at .*: .*") + c.fix);
    }
}

TEST_F(WindowTest, BrokenSkinRefusesCreationWithoutAFinalMessage) {
    setResource(ProgramResource::SkinArchive, 104, Bytes(64, 'x'));
    PopupWindow w;
    EXPECT_EQ(create(w), nullptr);
    EXPECT_EQ(w.GetHWND(), nullptr);
    EXPECT_EQ(popupEvents(), std::vector<std::string>{});
    clearResources();
    PopupWindow missing;
    EXPECT_EQ(create(missing), nullptr);
}

TEST_F(WindowTest, CaptionRowDragsExceptOverTheCloseButton) {
    PopupWindow w;
    HWND h = create(w);
    MoveWindow(h, 1000, 500, 320, 180, TRUE);
    auto hit = [&](int x, int y) {
        return SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(1000 + x, 500 + y));
    };
    EXPECT_EQ(hit(100, 15), HTCAPTION);
    EXPECT_EQ(hit(0, 29), HTCAPTION);
    EXPECT_EQ(hit(305, 15), HTCLIENT);
    EXPECT_EQ(hit(100, 30), HTCLIENT);
    EXPECT_EQ(hit(100, 120), HTCLIENT);
    DestroyWindow(h);
}

TEST(MessageBoxWithoutDisplay, ReturnsZeroAtOnce) {
    useHeadless();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageBoxW(nullptr, L"dump written", L"Kestrova", MB_OK), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(InstancePath, IsTheProgramsFolderWithATrailingSeparator) {
    std::wstring path = CPaintManagerUI::GetInstancePath().str();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), L'/');
    EXPECT_EQ(access(toUtf8(path + L"dui_window_test").c_str(), X_OK), 0) << toUtf8(path);
}

}  // namespace
