// Offscreen rendering of the pop-up layout, checked pixel by pixel, including the close
// button's hover and pressed pictures and the title's CJK text, and which controls a paint
// renders into the kept frame.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/ui/UIlib.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

constexpr std::uint32_t kTitleBlue = 0xFF6E85D5;  // 110, 133, 213
constexpr std::uint32_t kBodyWhite = 0xFFFAFBFF;  // 250, 251, 255
constexpr std::uint32_t kCrossGrey = 0xFF798798;  // 121, 135, 152
constexpr std::uint32_t kCrossBlue = 0xFF519FFF;  // 81, 159, 255
constexpr POINT kCrossCentre{305, 15};

class RenderTest : public ::testing::Test {
protected:
    Bytes zip = popupSkinZip();
    std::unique_ptr<CPaintManagerUI> pm = loadPopup(zip);

    std::uint32_t crossCentre() {
        Frame frame(*pm, 320, 180);
        return frame.pixel(kCrossCentre.x, kCrossCentre.y);
    }
    void send(UINT msg, POINT pt) {
        LRESULT ignored = 0;
        pm->MessageHandler(msg, 0, MAKELPARAM(pt.x, pt.y), ignored);
    }
};

TEST_F(RenderTest, TitleRowBodyAndCloseCrossHaveTheirColours) {
    Frame frame(*pm, 320, 180);
    struct Probe {
        const char* what;
        int x, y;
        std::uint32_t colour;
    } probes[] = {
        {"title band left of the text", 5, 15, kTitleBlue},
        {"title band between text and button", 250, 2, kTitleBlue},
        {"body", 160, 150, kBodyWhite},
        {"body under the title", 10, 40, kBodyWhite},
        {"close cross centre", kCrossCentre.x, kCrossCentre.y, kCrossGrey},
        {"beside the cross", 297, 15, kTitleBlue},
    };
    for (const auto& p : probes) {
        SCOPED_TRACE(p.what);
        std::uint32_t got = frame.pixel(p.x, p.y);
        EXPECT_TRUE(near(got, p.colour, 6)) << hex(got) << " expected " << hex(p.colour);
    }
}

TEST_F(RenderTest, HoverAndPressTurnTheCrossBlueAndLeavingRestoresIt) {
    send(WM_MOUSEMOVE, kCrossCentre);
    EXPECT_TRUE(near(crossCentre(), kCrossBlue, 6)) << hex(crossCentre());
    send(WM_LBUTTONDOWN, kCrossCentre);
    EXPECT_TRUE(near(crossCentre(), kCrossBlue, 6)) << hex(crossCentre());
    // Dragged off while pressed: neither hot nor pushed.
    send(WM_MOUSEMOVE, POINT{200, 100});
    EXPECT_TRUE(near(crossCentre(), kCrossGrey, 6)) << hex(crossCentre());
    send(WM_LBUTTONUP, POINT{200, 100});
    EXPECT_TRUE(near(crossCentre(), kCrossGrey, 6)) << hex(crossCentre());
}

// The window keeps its frame: a paint renders only what changed since the last one, with
// the containers under it (main_tab holds the text).
TEST_F(RenderTest, APaintRendersOnlyTheControlsWhoseLookChanged) {
    std::vector<std::wstring> named;
    int rendered = 0;
    pm->SetPaintObserver([&](const CControlUI& control) {
        ++rendered;
        if (!control.GetName().IsEmpty())
            named.push_back(control.GetName().str());
    });
    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<std::wstring> named;
        bool anything;
    } steps[] = {
        {"first paint", [] {}, {L"title", L"closeBtn", L"main_tab", L"msgLabel"}, true},
        {"again without a change", [] {}, {}, false},
        {"pointer onto the cross", [&] { send(WM_MOUSEMOVE, kCrossCentre); }, {L"closeBtn"}, true},
        {"pointer moves on the cross",
         [&] {
             send(WM_MOUSEMOVE, POINT{306, 16});
         },
         {},
         false},
        {"advert text set",
         [&] { pm->FindControl(L"msgLabel")->SetText(L"New text"); },
         {L"main_tab", L"msgLabel"},
         true},
        {"pointer off the cross",
         [&] {
             send(WM_MOUSEMOVE, POINT{200, 100});
         },
         {L"closeBtn"},
         true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        named.clear();
        rendered = 0;
        Frame frame(*pm, 320, 180);
        EXPECT_EQ(named, step.named);
        EXPECT_EQ(rendered > 0, step.anything) << rendered << " controls rendered";
        // Whatever was rendered, the frame shows the whole window as it now is.
        EXPECT_TRUE(near(frame.pixel(5, 15), kTitleBlue, 6)) << hex(frame.pixel(5, 15));
        EXPECT_TRUE(near(frame.pixel(160, 150), kBodyWhite, 6)) << hex(frame.pixel(160, 150));
    }
}

TEST_F(RenderTest, HiddenTabPageIsNotDrawn) {
    auto* img = pm->FindControl(L"imgLabel");
    // A full-size picture on the hidden page would cover the body if it were drawn.
    img->SetBkImage(L"file='float_bg.png' source='0,0,10,10'");
    {
        Frame frame(*pm, 320, 180);
        EXPECT_TRUE(near(frame.pixel(160, 150), kBodyWhite, 6));
    }
    static_cast<CTabLayoutUI*>(pm->FindControl(L"main_tab"))->SelectItem(1, false, true);
    Frame frame(*pm, 320, 180);
    EXPECT_TRUE(near(frame.pixel(160, 150), kTitleBlue, 6)) << hex(frame.pixel(160, 150));
}

TEST_F(RenderTest, NineSliceKeepsCornersUnscaled) {
    // The layered picture's 30-pixel band must stay 30 pixels when the window is taller.
    pm->SetClientSize(SIZE{320, 400});
    Frame frame(*pm, 320, 400);
    EXPECT_TRUE(near(frame.pixel(5, 29), kTitleBlue, 6));
    EXPECT_TRUE(near(frame.pixel(5, 31), kBodyWhite, 6));
    EXPECT_TRUE(near(frame.pixel(5, 395), kBodyWhite, 6));
}

TEST_F(RenderTest, MissingPictureIsSkippedNotFatal) {
    pm->FindControl(L"imgLabel")->SetBkImage(L"/nonexistent/picture.png");
    static_cast<CTabLayoutUI*>(pm->FindControl(L"main_tab"))->SelectItem(1, false, true);
    Frame frame(*pm, 320, 180);
    EXPECT_TRUE(near(frame.pixel(160, 150), kBodyWhite, 6));
    EXPECT_EQ(pm->GetImageEx(L"/nonexistent/picture.png"), nullptr);
}

}  // namespace
