// The library on the program's own embedded skin (its content is checked with the
// resources): the window builds from it alone and draws its title and close button.
#include <gtest/gtest.h>

#include "TestPopup.h"
#include "UiTestSupport.h"
#include "platform/resource/Resource.h"
#include "platform/ui/UIMessageCore.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

constexpr std::uint32_t kCrossGrey = 0xFF798798;
constexpr std::uint32_t kCrossBlue = 0xFF519FFF;

class RealSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        popupEvents().clear();
        useHeadless();
        // Also what links the program's resources ahead of the library that needs them.
        ASSERT_FALSE(
            kestrova::findResource(kestrova::kSkinResourceType, kestrova::kSkinResourceId).empty());
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

// Geometry and colours are checked on the same files in the layout and render tests; here
// the archive linked into the program must build the window and draw the title's glyphs.
TEST_F(RealSkinTest, DrawsTheWhiteTitleAndTheCloseCrossThatTurnsBlueAndClicks) {
    Frame frame(pm(), 320, 180);
    int white = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 20; x < 120; ++x)
            white += near(frame.pixel(x, y), 0xFFFFFFFF, 40);
    EXPECT_GT(white, 40) << "the title's glyphs should leave white pixels on the band";
    auto* title = static_cast<CLabelUI*>(pm().FindControl(L"title"));
    auto layout = makeTextLayout(pm().GetPaintDC(), pm().GetFont(title->GetFont()),
                                 title->GetText().str(), -1, DT_SINGLELINE);
    EXPECT_EQ(unknownGlyphCount(layout.get()), 0);

    EXPECT_GT(buttonPixelsNear(kCrossGrey), 10);
    EXPECT_EQ(buttonPixelsNear(kCrossBlue), 0);
    mouse(WM_MOUSEMOVE, 305, 15);
    EXPECT_GT(buttonPixelsNear(kCrossBlue), 10);
    EXPECT_EQ(buttonPixelsNear(kCrossGrey), 0);
    mouse(WM_LBUTTONDOWN, 305, 15);
    mouse(WM_LBUTTONUP, 305, 15);
    EXPECT_EQ(window.clicks, std::vector<std::wstring>{L"closeBtn"});
}

}  // namespace
