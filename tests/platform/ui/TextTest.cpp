// Text measuring with word break, as the window sizes itself to an advert's text, and
// agreement between what is measured and what is drawn.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "platform/ui/UIlib.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

class TextTest : public ::testing::Test {
protected:
    Bytes zip = popupSkinZip();
    std::unique_ptr<CPaintManagerUI> pm = loadPopup(zip);

    // Measures as the window does: default font selected, 280 wide, word break.
    RECT measure(const std::wstring& text) {
        HDC dc = pm->GetPaintDC();
        HFONT old = SelectObject(dc, pm->GetFont(-1));
        RECT rc{0, 0, 280, 9999};
        DrawTextW(dc, text.c_str(), -1, &rc, DT_CALCRECT | DT_WORDBREAK);
        SelectObject(dc, old);
        return rc;
    }
};

TEST_F(TextTest, ShortLineFitsInOneLineHeight) {
    RECT rc = measure(L"今日特惠 Today only");
    EXPECT_GE(rc.bottom, 14);
    EXPECT_LE(rc.bottom, 28);
    EXPECT_LT(rc.right, 280);
    EXPECT_GT(rc.right, 50);
}

TEST_F(TextTest, LongTextWrapsWithinTheWidthAndGrows) {
    int line = measure(L"广").bottom;
    std::wstring text;
    for (int i = 0; i < 12; ++i)
        text += L"新版本已发布，欢迎升级体验更多功能。";
    RECT rc = measure(text);
    EXPECT_LE(rc.right, 280);
    EXPECT_GE(rc.bottom, line * 10) << "twelve sentences of 18 characters need many lines";
    RECT longer = measure(text + text);
    EXPECT_GT(longer.bottom, rc.bottom + line * 9);
}

TEST_F(TextTest, WordLongerThanTheWidthStillWraps) {
    int line = measure(L"x").bottom;
    RECT rc = measure(std::wstring(200, L'w'));
    EXPECT_LE(rc.right, 280);
    EXPECT_GE(rc.bottom, line * 4);
    // A URL-like run with no spaces behaves the same.
    RECT url = measure(L"https://example.invalid/" + std::wstring(150, L'a') + L"/index.html");
    EXPECT_LE(url.right, 280);
    EXPECT_GT(url.bottom, line);
}

TEST_F(TextTest, ExplicitLengthMeasuresOnlyThatPrefix) {
    HDC dc = pm->GetPaintDC();
    SelectObject(dc, pm->GetFont(0));
    std::wstring text = std::wstring(400, L'字');
    RECT all{0, 0, 280, 9999}, prefix{0, 0, 280, 9999};
    DrawTextW(dc, text.c_str(), -1, &all, DT_CALCRECT | DT_WORDBREAK);
    DrawTextW(dc, text.c_str(), 5, &prefix, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_LT(prefix.bottom, all.bottom);
    EXPECT_EQ(DrawTextW(nullptr, text.c_str(), -1, &all, DT_CALCRECT), 0);
}

TEST_F(TextTest, SelectObjectReturnsThePreviousFont) {
    HDC dc = pm->GetPaintDC();
    HFONT first = SelectObject(dc, pm->GetFont(1));
    EXPECT_EQ(SelectObject(dc, first), pm->GetFont(1));
}

TEST_F(TextTest, DrawnTextEndsWhereTheMeasureSaysItDoes) {
    std::wstring text;
    for (int i = 0; i < 6; ++i)
        text += L"新版本已发布，欢迎升级体验更多功能。";
    int height = measure(text).bottom;
    pm->FindControl(L"msgLabel")->SetText(text.c_str());
    pm->SetClientSize(SIZE{320, height + 90});
    Frame frame(*pm, 320, height + 90);
    int lastInk = 0;
    for (int y = 50; y < height + 90; ++y) {
        for (int x = 20; x < 300; ++x) {
            if (near(frame.pixel(x, y), 0xFF666666, 60))
                lastInk = y;
        }
    }
    // Text starts at y 50; its last ink lies within the measured height.
    EXPECT_GT(lastInk, 50 + height - 20);
    EXPECT_LT(lastInk, 50 + height);
}

}  // namespace
