// The library on the program's own embedded skin (its content is checked with the
// resources): the window builds from it alone and its title has a glyph for every
// character. Colours and the close button are checked on the same files elsewhere.
#include <gtest/gtest.h>

#include "TestPopup.h"
#include "UiTestSupport.h"
#include "platform/resource/Resource.h"
#include "platform/ui/UIMessageCore.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

TEST(RealSkinTest, BuildsFromTheEmbeddedSkinAloneWithEveryTitleGlyph) {
    useHeadless();
    auto skin = kestrova::findResource(kestrova::kSkinResourceType, kestrova::kSkinResourceId);
    ASSERT_FALSE(skin.empty());
    setResource(ProgramResource::SkinArchive, 104, Bytes(skin.begin(), skin.end()));
    PopupWindow window;
    HWND hwnd = window.Create(nullptr, L"Reader升级程序", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
    ASSERT_NE(hwnd, nullptr);
    CPaintManagerUI& pm = window.GetPaintManager();
    auto* title = static_cast<CLabelUI*>(pm.FindControl(L"title"));
    ASSERT_NE(title, nullptr);
    auto layout = makeTextLayout(pm.GetPaintDC(), pm.GetFont(title->GetFont()),
                                 title->GetText().str(), -1, DT_SINGLELINE);
    EXPECT_EQ(unknownGlyphCount(layout.get()), 0);
    DestroyWindow(hwnd);
    if (!pumpMessages(0))
        runMessageLoop();
    clearResources();
}

}  // namespace
