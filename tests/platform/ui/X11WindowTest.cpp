// The library on a real X server with a real window manager: placement, stacking,
// decorations and taskbar, mapping only when shown, scale, timers, closing, the work
// area beside a panel, the caption drag and the message box.
#include <gtest/gtest.h>

#include <X11/extensions/shape.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include "TestPopup.h"
#include "UiTestSupport.h"
#include "X11Probe.h"
#include "platform/resource/Resource.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UIMessageCore.h"
#include "platform/ui/host/X11Backend.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

x11::X11Backend& installNativeBackend() {
    auto native = createNativeBackend();
    if (!native)
        throw std::runtime_error("no display");
    auto& ref = static_cast<x11::X11Backend&>(*native);
    useBackend(std::move(native));
    return ref;
}

class X11WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        popupEvents().clear();
        backend = &installNativeBackend();
        setResource(std::string(kestrova::kSkinResourceType), 104, popupSkinZip());
        setResource(std::string(kestrova::kIconResourceType), 102,
                    makePng(48, 48, [](cairo_t* cr) { cairo_paint(cr); }));
    }
    void TearDown() override {
        if (!pumpMessages(0))
            runMessageLoop();
        useBackend(nullptr);
        clearResources();
    }
    HWND create(PopupWindow& w) {
        return w.Create(nullptr, L"Reader升级程序", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
    }
    static void pump() { pumpMessages(5); }
    Window native(HWND h) const { return backend->nativeWindow(h); }
    bool waitGeometry(Window w, const RECT& want) {
        return waitFor(
            [&] {
                RECT g = probe.geometry(w);
                return g.left == want.left && g.top == want.top && g.right == want.right &&
                       g.bottom == want.bottom;
            },
            pump);
    }

    x11::X11Backend* backend = nullptr;
    X11Probe probe;
};

TEST_F(X11WindowTest, StaysUnmappedUntilShownThenMapsUndecoratedExactlyWhereAsked) {
    PopupWindow w;
    HWND h = create(w);
    ASSERT_NE(h, nullptr);
    Window xid = native(h);
    for (int i = 0; i < 20; ++i)
        pump();
    EXPECT_FALSE(probe.isViewable(xid)) << "the window must not show before it is placed";

    w.SetIcon(102);
    SetWindowPos(h, HWND_TOPMOST, 300, 200, 320, 180, SWP_SHOWWINDOW);
    ASSERT_TRUE(waitFor([&] { return probe.isViewable(xid); }, pump));
    EXPECT_TRUE(waitGeometry(xid, RECT{300, 200, 620, 380}));
    EXPECT_TRUE(probe.isOverrideRedirect(xid)) << "no window manager frame or placement";
    EXPECT_EQ(probe.topLevelOf(xid), xid) << "not reparented into a frame";

    // What desktop tools read.
    EXPECT_EQ(probe.stringProperty(xid, "_NET_WM_NAME"), "Reader升级程序");
    EXPECT_EQ(probe.wmClass(xid), "FloatDlg/FloatDlg");
    EXPECT_EQ(probe.cardinals(xid, "_NET_WM_PID"), std::vector<long>{getpid()});
    auto icon = probe.cardinals(xid, "_NET_WM_ICON");
    ASSERT_GE(icon.size(), 2u);
    EXPECT_EQ(icon[0], 48);
    EXPECT_EQ(icon.size(), 2u + 48u * 48u);
    auto states = probe.atomNames(xid, "_NET_WM_STATE");
    EXPECT_NE(std::find(states.begin(), states.end(), "_NET_WM_STATE_SKIP_TASKBAR"), states.end());
    EXPECT_EQ(probe.atomNames(xid, "_NET_WM_WINDOW_TYPE"),
              std::vector<std::string>{"_NET_WM_WINDOW_TYPE_UTILITY"});
    auto clients = probe.cardinals(probe.root(), "_NET_CLIENT_LIST", "WINDOW");
    EXPECT_EQ(std::find(clients.begin(), clients.end(), static_cast<long>(xid)), clients.end())
        << "no taskbar entry";
    DestroyWindow(h);
}

TEST_F(X11WindowTest, WithoutACompositorTheShapeCutsTheRoundedCorners) {
    ASSERT_FALSE(backend->isCompositing()) << "the fixture runs no compositor";
    PopupWindow w;
    HWND h = create(w);
    SetWindowPos(h, HWND_TOPMOST, 200, 200, 320, 180, SWP_SHOWWINDOW);
    Window xid = native(h);
    ASSERT_TRUE(waitFor([&] { return probe.isViewable(xid); }, pump));
    auto inside = [&](int x, int y) {
        int count = 0, ordering = 0;
        XRectangle* rects =
            XShapeGetRectangles(probe.display(), xid, ShapeBounding, &count, &ordering);
        bool hit = false;
        for (int i = 0; i < count; ++i) {
            hit = hit || (x >= rects[i].x && x < rects[i].x + rects[i].width && y >= rects[i].y &&
                          y < rects[i].y + rects[i].height);
        }
        if (rects)
            XFree(rects);
        return hit;
    };
    EXPECT_FALSE(inside(0, 0));
    EXPECT_FALSE(inside(319, 0));
    EXPECT_FALSE(inside(0, 179)) << "the bottom corners are cut at the window's height";
    EXPECT_TRUE(inside(10, 10));
    EXPECT_TRUE(inside(160, 179));
    DestroyWindow(h);
}

TEST_F(X11WindowTest, PlacementBelowTheScreensBottomEdgeIsKept) {
    PopupWindow w;
    HWND h = create(w);
    int screenH = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(screenH, 1080);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    SetWindowPos(h, HWND_TOPMOST, 1600, screenH - 60, 320, 180, SWP_SHOWWINDOW);
    Window xid = native(h);
    EXPECT_TRUE(waitGeometry(xid, RECT{1600, screenH - 60, 1920, screenH + 120}));
    MoveWindow(h, 1600, screenH, 320, 180, TRUE);
    EXPECT_TRUE(waitGeometry(xid, RECT{1600, screenH, 1920, screenH + 180}));
    DestroyWindow(h);
}

TEST_F(X11WindowTest, StaysAboveANormalWindowMappedAfterIt) {
    PopupWindow w;
    HWND h = create(w);
    SetWindowPos(h, HWND_TOPMOST, 400, 300, 320, 180, SWP_SHOWWINDOW);
    Window xid = native(h);
    ASSERT_TRUE(waitFor([&] { return probe.isViewable(xid); }, pump));
    Window other = probe.mapNormalWindow(RECT{350, 250, 850, 650});
    ASSERT_TRUE(waitFor([&] { return probe.isViewable(other); }, pump));
    Window otherTop = probe.topLevelOf(other);
    auto above = [&] {
        auto order = probe.stacking();
        auto mine = std::find(order.begin(), order.end(), xid);
        auto theirs = std::find(order.begin(), order.end(), otherTop);
        return mine != order.end() && theirs != order.end() && mine > theirs;
    };
    EXPECT_TRUE(waitFor(above, pump)) << "the pop-up must be raised above the newcomer";
    DestroyWindow(h);
}

TEST_F(X11WindowTest, TimerArrivesWithItsIdAndCloseEndsInTheFinalMessageAndTheLoop) {
    auto* w = new PopupWindow;
    w->deleteOnFinal = true;
    HWND h = create(*w);
    SetWindowPos(h, HWND_TOPMOST, 100, 100, 320, 180, SWP_SHOWWINDOW);
    SetTimer(h, 0x4000, 10, nullptr);
    ASSERT_TRUE(waitFor([&] { return w->timerIds.size() >= 2; }, pump));
    EXPECT_EQ(w->timerIds[0], 0x4000u);
    Window xid = native(h);
    w->Close(1);
    auto start = std::chrono::steady_clock::now();
    CPaintManagerUI::MessageLoop();  // returns once the destructor posts the quit message
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(popupEvents().back(), "destructor");
    EXPECT_NE(std::find(popupEvents().begin(), popupEvents().end(), "final"), popupEvents().end());
    probe.sync();
    XWindowAttributes attrs{};
    EXPECT_FALSE(XGetWindowAttributes(probe.display(), xid, &attrs)) << "native window destroyed";
}

TEST_F(X11WindowTest, WindowManagersCloseRequestClosesTheSameWay) {
    PopupWindow w;
    HWND h = create(w);
    SetWindowPos(h, HWND_TOPMOST, 100, 100, 320, 180, SWP_SHOWWINDOW);
    Window xid = native(h);
    ASSERT_TRUE(waitFor([&] { return probe.isViewable(xid); }, pump));
    probe.requestClose(xid);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(h); }, pump));
    EXPECT_EQ(popupEvents().back(), "final");
}

TEST_F(X11WindowTest, WorkAreaLeavesOutABottomPanel) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.bottom, 1080);
    probe.mapBottomPanel(40);
    EXPECT_TRUE(waitFor(
        [&] { return SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) && work.bottom == 1040; },
        pump))
        << "work area bottom " << work.bottom;
    EXPECT_EQ(work.left, 0);
    EXPECT_EQ(work.right, 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080) << "the screen itself is unchanged";
}

TEST_F(X11WindowTest, XftDpiOf192DoublesTheWindow) {
    auto saved = probe.resourceManager();
    struct Restore {
        X11Probe& probe;
        std::optional<std::string> text;
        ~Restore() { probe.setResourceManager(text); }
    } restore{probe, saved};
    probe.setResourceManager(std::string("Xft.dpi:\t192\n"));
    useBackend(nullptr);
    backend = &installNativeBackend();
    EXPECT_DOUBLE_EQ(backend->scale(), 2.0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 960) << "the design's pixels are half the device's";

    PopupWindow w;
    HWND h = create(w);
    SetWindowPos(h, HWND_TOPMOST, 100, 50, 320, 180, SWP_SHOWWINDOW);
    EXPECT_TRUE(waitGeometry(native(h), RECT{200, 100, 840, 460}));
    DestroyWindow(h);
}

TEST_F(X11WindowTest, CaptionDragMovesTheWindowAndTheCloseButtonClicks) {
    PopupWindow w;
    HWND h = create(w);
    SetWindowPos(h, HWND_TOPMOST, 500, 400, 320, 180, SWP_SHOWWINDOW);
    Window xid = native(h);
    ASSERT_TRUE(waitGeometry(xid, RECT{500, 400, 820, 580}));
    for (int i = 0; i < 10; ++i)
        pump();

    ASSERT_EQ(std::system("xdotool mousemove 600 415 mousedown 1 mousemove 640 445 "
                          "mousemove 650 455 mouseup 1"),
              0);
    EXPECT_TRUE(waitGeometry(xid, RECT{550, 440, 870, 620})) << "dragged by (50, 40)";
    RECT rc{};
    GetWindowRect(h, &rc);
    EXPECT_EQ(rc.left, 550);

    ASSERT_EQ(std::system("xdotool mousemove 855 455 click 1"), 0);
    EXPECT_TRUE(waitFor([&] { return w.clicks.size() == 1; }, pump));
    EXPECT_EQ(w.clicks, std::vector<std::wstring>{L"closeBtn"});
    DestroyWindow(h);
}

std::string trimmed(std::string out) {
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

// Plays the user of a message box from another thread: waits for the box, notes whether
// it has the keyboard focus, then acts. If the action does not dismiss it, the window
// manager's close request does, so a failure never hangs the test.
struct BoxUser {
    std::string key;  // empty: the window manager's close request
    bool sawBox = false;
    bool hadFocus = false;
    bool actionWorked = false;

    void operator()() {
        std::string id;
        waitFor(
            [&] {
                return !(id = trimmed(run("xdotool search --onlyvisible --name '^Crash report$'")))
                            .empty();
            },
            [] {}, std::chrono::seconds(5));
        sawBox = !id.empty();
        if (!sawBox)
            return;
        hadFocus = waitFor([&] { return trimmed(run("xdotool getwindowfocus")) == id; }, [] {},
                           std::chrono::seconds(3));
        X11Probe other;
        Window xid = std::stoul(id);
        if (key.empty()) {
            other.requestClose(xid);
        } else {
            run("xdotool key " + key);
        }
        actionWorked =
            waitFor([&] { return !other.isViewable(xid); }, [] {}, std::chrono::seconds(3));
        if (!actionWorked)
            other.requestClose(xid);
    }
};

// The message box is modal on this thread, so another thread plays the user.
TEST_F(X11WindowTest, MessageBoxTakesTheFocusAndOkOrCloseDismissesIt) {
    for (const char* key : {"Return", "space", ""}) {
        SCOPED_TRACE(*key ? key : "close request");
        BoxUser user{key};
        std::thread thread(std::ref(user));
        int result = MessageBoxW(nullptr, L"The program stopped; a report was written.",
                                 L"Crash report", MB_OK);
        thread.join();
        EXPECT_EQ(result, IDOK);
        EXPECT_TRUE(user.sawBox);
        EXPECT_TRUE(user.hadFocus) << "the box should take the keyboard focus";
        EXPECT_TRUE(user.actionWorked);
    }
}

}  // namespace
