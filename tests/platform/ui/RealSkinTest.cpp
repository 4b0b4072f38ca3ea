// The library on the program's own embedded skin: the archive's entries, the window
// built from it at 320 x 180, its geometry, its pixels and its close button.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestPopup.h"
#include "UiTestSupport.h"
#include "platform/resource/Resource.h"
#include "platform/ui/UIMessageCore.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

constexpr std::uint32_t kTitleBlue = 0xFF6E85D5;
constexpr std::uint32_t kBodyWhite = 0xFFFAFBFF;
constexpr std::uint32_t kCrossGrey = 0xFF798798;
constexpr std::uint32_t kCrossBlue = 0xFF519FFF;

class RealSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        popupEvents().clear();
        useHeadless();
        hwnd = window.Create(nullptr, L"Reader升级程序", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
        ASSERT_NE(hwnd, nullptr) << "the window must build from the embedded skin alone";
    }
    void TearDown() override {
        DestroyWindow(hwnd);
        if (!pumpMessages(0))
            runMessageLoop();
    }
    CPaintManagerUI& pm() { return window.GetPaintManager(); }
    // Pixels of the close button's 20 x 20 cell near colour.
    int buttonPixelsNear(std::uint32_t colour) {
        Frame frame(pm(), 320, 180);
        int n = 0;
        for (int y = 5; y < 25; ++y)
            for (int x = 295; x < 315; ++x)
                n += near(frame.pixel(x, y), colour, 12);
        return n;
    }
    void mouse(UINT msg, int x, int y) { SendMessageW(hwnd, msg, 0, MAKELPARAM(x, y)); }

    PopupWindow window;
    HWND hwnd = nullptr;
};

TEST(EmbeddedSkin, ArchiveHoldsTheSixEntries) {
    auto bytes = kestrova::findResource(kestrova::kSkinResourceType, kestrova::kSkinResourceId);
    auto names = listZipEntries(bytes);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"FloatDlg.xml", "advertising_icon.ico", "close.png",
                                               "close_hover.png", "float_bg.png", "shadow.png"}));
}

TEST_F(RealSkinTest, LayoutGeometryAt320x180) {
    auto rectOf = [&](const wchar_t* name) { return pm().FindControl(name)->GetPos(); };
    RECT title = rectOf(L"title");
    EXPECT_EQ(title.top, 0);
    EXPECT_EQ(title.bottom, 30);
    RECT close = rectOf(L"closeBtn");
    EXPECT_EQ((std::vector<LONG>{close.left, close.top, close.right, close.bottom}),
              (std::vector<LONG>{295, 5, 315, 25}));
    RECT msg = rectOf(L"msgLabel");
    EXPECT_EQ(msg.left, 20);
    EXPECT_EQ(msg.right, 300);
    EXPECT_EQ(msg.top, 50);
    auto* tab = static_cast<CTabLayoutUI*>(pm().FindControl(L"main_tab"));
    EXPECT_EQ(tab->GetCurSel(), 0);
    EXPECT_FALSE(pm().FindControl(L"imgLabel")->IsVisible() &&
                 pm().FindControl(L"imgLabel")->GetParent()->IsVisible());
}

TEST_F(RealSkinTest, RendersTitleBandBodyCrossAndWhiteTitle) {
    Frame frame(pm(), 320, 180);
    EXPECT_TRUE(near(frame.pixel(8, 15), kTitleBlue, 12)) << hex(frame.pixel(8, 15));
    EXPECT_TRUE(near(frame.pixel(160, 120), kBodyWhite, 6)) << hex(frame.pixel(160, 120));
    EXPECT_GT(buttonPixelsNear(kCrossGrey), 10);
    EXPECT_EQ(buttonPixelsNear(kCrossBlue), 0);
    int white = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 20; x < 120; ++x)
            white += near(frame.pixel(x, y), 0xFFFFFFFF, 40);
    EXPECT_GT(white, 40);
    auto* title = static_cast<CLabelUI*>(pm().FindControl(L"title"));
    auto layout = makeTextLayout(pm().GetPaintDC(), pm().GetFont(title->GetFont()),
                                 title->GetText().str(), -1, DT_SINGLELINE);
    EXPECT_EQ(unknownGlyphCount(layout.get()), 0);
}

TEST_F(RealSkinTest, HoverAndPressShowTheBlueCrossAndOneClickCloses) {
    mouse(WM_MOUSEMOVE, 305, 15);
    EXPECT_GT(buttonPixelsNear(kCrossBlue), 10);
    EXPECT_EQ(buttonPixelsNear(kCrossGrey), 0);
    mouse(WM_LBUTTONDOWN, 305, 15);
    EXPECT_GT(buttonPixelsNear(kCrossBlue), 10);
    mouse(WM_LBUTTONUP, 305, 15);
    EXPECT_EQ(window.clicks, std::vector<std::wstring>{L"closeBtn"});
}

}  // namespace
