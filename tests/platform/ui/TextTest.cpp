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

TEST_F(TextTest, ShortLinesFitLongTextAndLongWordsWrapWithinTheWidth) {
    int line = measure(L"x").bottom;
    RECT one = measure(L"今日特惠 Today only");
    EXPECT_GE(one.bottom, 14);
    EXPECT_LE(one.bottom, 28);
    EXPECT_GT(one.right, 50);
    EXPECT_LT(one.right, 280);

    std::wstring text;
    for (int i = 0; i < 12; ++i)
        text += L"新版本已发布，欢迎升级体验更多功能。";
    RECT rc = measure(text);
    EXPECT_LE(rc.right, 280);
    EXPECT_GE(rc.bottom, line * 10) << "twelve sentences of 18 characters need many lines";
    EXPECT_GT(measure(text + text).bottom, rc.bottom + line * 9);

    RECT word = measure(std::wstring(200, L'w'));
    EXPECT_LE(word.right, 280);
    EXPECT_GE(word.bottom, line * 4) << "a word wider than the label is broken";
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

// The family is resolved only when the font is first used; a wrong answer there either
// draws Chinese text in a face without its glyphs or ignores a face the layout asked for.
TEST(FontFamily, InstalledFamiliesAreKeptAndMissingOnesFallBackToTheCjkFace) {
    struct Row {
        const wchar_t* family;
        const char* used;
    } rows[] = {
        {L"wenquanyi micro hei", "wenquanyi micro hei"},  // found whatever its case
        {L"Kestrova No Such Face", kFallbackFamily},
        {L"", kFallbackFamily},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(toUtf8(row.family));
        HFONT__ font(row.family, 14, true);
        EXPECT_STREQ(pango_font_description_get_family(font.description()), row.used);
        EXPECT_EQ(pango_font_description_get_weight(font.description()), PANGO_WEIGHT_BOLD);
    }
}

}  // namespace
