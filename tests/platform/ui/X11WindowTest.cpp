// The library on a real X server with a real window manager: shape, placement, stacking,
// scale, timers, closing (also by other clients), the work area beside a panel and the
// caption drag. Decorations,
// the taskbar and mapping only when shown are checked on the pop-up itself.
#include <gtest/gtest.h>

#include <X11/extensions/shape.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "TestPopup.h"
#include "UiTestSupport.h"
#include "X11Probe.h"
#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/host/X11Backend.h"
#include "platform/ui/host/X11Host.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

x11::X11Backend& installNativeBackend() {
    auto native = createX11Backend();
    if (!native)
        throw std::runtime_error("no display");
    auto& ref = static_cast<x11::X11Backend&>(*native);
    installBackend(std::move(native));
    return ref;
}

class X11WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        popupEvents().clear();
        backend = &installNativeBackend();
        setResource(ProgramResource::SkinArchive, 104, popupSkinZip());
    }
    void TearDown() override {
        if (!pumpMessages(0))
            runMessageLoop();
        installBackend(nullptr);
        clearResources();
    }
    HWND create(PopupWindow& w) {
        return w.Create(nullptr, L"Reader升级程序", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
    }
    static bool pumpUntil(const std::function<bool()>& done) {
        return waitFor(done, std::chrono::seconds(3), [] { pumpMessages(5); });
    }
    Window native(HWND h) const { return backend->nativeWindow(h); }
    bool waitGeometry(Window w, const RECT& want) {
        return pumpUntil([&] { return rectText(probe.geometry(w)) == rectText(want); });
    }

    x11::X11Backend* backend = nullptr;
    X11Probe probe;
};

TEST_F(X11WindowTest, WithoutACompositorTheShapeCutsTheRoundedCorners) {
    ASSERT_FALSE(backend->isCompositing()) << "the fixture runs no compositor";
    PopupWindow w;
    HWND h = create(w);
    SetWindowPos(h, HWND_TOPMOST, 200, 200, 320, 180, SWP_SHOWWINDOW);
    Window xid = native(h);
    ASSERT_TRUE(pumpUntil([&] { return probe.isViewable(xid); }));
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
    ASSERT_TRUE(pumpUntil([&] { return probe.isViewable(xid); }));
    Window other = probe.mapNormalWindow(RECT{350, 250, 850, 650});
    ASSERT_TRUE(pumpUntil([&] { return probe.isViewable(other); }));
    Window otherTop = probe.topLevelOf(other);
    auto above = [&] {
        auto order = probe.stacking();
        auto mine = std::find(order.begin(), order.end(), xid);
        auto theirs = std::find(order.begin(), order.end(), otherTop);
        return mine != order.end() && theirs != order.end() && mine > theirs;
    };
    EXPECT_TRUE(pumpUntil(above)) << "the pop-up must be raised above the newcomer";
    DestroyWindow(h);
}

TEST_F(X11WindowTest, TimerArrivesWithItsIdAndCloseEndsInTheFinalMessageAndTheLoop) {
    auto* w = new PopupWindow;
    w->deleteOnFinal = true;
    HWND h = create(*w);
    SetWindowPos(h, HWND_TOPMOST, 100, 100, 320, 180, SWP_SHOWWINDOW);
    SetTimer(h, 0x4000, 10, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return w->timerIds.size() >= 2; }));
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

std::vector<std::string>& traced() {
    static std::vector<std::string> lines;
    return lines;
}

// However the window goes from outside, it ends the same way, in the final message, with
// one trace saying how when another client took it; an X error the host meets on a window
// gone meanwhile is traced and survived. (The end-to-end tests destroy and unmap the
// program's pop-up as other clients do.)
TEST_F(X11WindowTest, AWindowClosedOrTakenAwayFromOutsideEndsInTheFinalMessage) {
    Display* other = probe.display();
    const struct {
        const char* what;
        std::function<void(HWND, Window)> act;
        std::vector<std::string> traces;
    } rows[] = {
        {"the window manager's close request",
         [&](HWND, Window xid) { probe.requestClose(xid); },
         {}},
        {"destroyed while the program still moves it",
         [&](HWND h, Window xid) {
             XDestroyWindow(other, xid);
             probe.sync();
             SetWindowPos(h, HWND_TOPMOST, 120, 100, 320, 180, 0);
         },
         // Moving and raising it: two errors, traced whenever they arrive.
         {"ui: X error ignored: BadWindow (invalid Window parameter) (request 12)",
          "ui: X error ignored: BadWindow (invalid Window parameter) (request 12)",
          "ui: window FloatDlg destroyed by another client"}},
    };
    setTraceSink([](std::string_view line) { traced().emplace_back(line); });
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        traced().clear();
        PopupWindow w;
        HWND h = create(w);
        SetWindowPos(h, HWND_TOPMOST, 100, 100, 320, 180, SWP_SHOWWINDOW);
        Window xid = native(h);
        ASSERT_TRUE(pumpUntil([&] { return probe.isViewable(xid); }));
        row.act(h, xid);
        probe.sync();
        EXPECT_TRUE(pumpUntil([&] { return !IsWindow(h); }));
        EXPECT_EQ(popupEvents().back(), "final");
        pumpMessages(50);
        std::sort(traced().begin(), traced().end());
        EXPECT_EQ(traced(), row.traces);
    }
    setTraceSink(nullptr);
}

TEST_F(X11WindowTest, WorkAreaLeavesOutABottomPanel) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.bottom, 1080);
    probe.mapBottomPanel(40);
    EXPECT_TRUE(pumpUntil([&] {
        return SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) && work.bottom == 1040;
    })) << "work area bottom "
        << work.bottom;
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
    installBackend(nullptr);
    backend = &installNativeBackend();
    EXPECT_DOUBLE_EQ(backend->scale(), 2.0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 960) << "the design's pixels are half the device's";

    PopupWindow w;
    HWND h = create(w);
    SetWindowPos(h, HWND_TOPMOST, 100, 50, 320, 180, SWP_SHOWWINDOW);
    EXPECT_TRUE(waitGeometry(native(h), RECT{200, 100, 840, 460}));
    DestroyWindow(h);
}

TEST_F(X11WindowTest, CaptionDragMovesTheWindow) {
    PopupWindow w;
    HWND h = create(w);
    SetWindowPos(h, HWND_TOPMOST, 500, 400, 320, 180, SWP_SHOWWINDOW);
    Window xid = native(h);
    ASSERT_TRUE(waitGeometry(xid, RECT{500, 400, 820, 580}));
    for (int i = 0; i < 10; ++i)
        pumpMessages(5);

    ASSERT_EQ(std::system("xdotool mousemove 600 415 mousedown 1 mousemove 640 445 "
                          "mousemove 650 455 mouseup 1"),
              0);
    EXPECT_TRUE(waitGeometry(xid, RECT{550, 440, 870, 620})) << "dragged by (50, 40)";
    RECT rc{};
    GetWindowRect(h, &rc);
    EXPECT_EQ(rc.left, 550);
    DestroyWindow(h);
}

}  // namespace
