// Sizing the pop-up for its advert and sliding it into the primary monitor's corner.
#include "../platform/ui/UiTestSupport.h"
#include "DlgTestSupport.h"
#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UIText.h"
#include "ui/AdvertLayout.h"
#include "ui/TextFit.h"

namespace kestrova::uitest {
namespace {

using Slide = DlgTest;

constexpr std::uint32_t kTitleBlue = 0xFF6E85D5;
constexpr std::uint32_t kBodyWhite = 0xFFFAFBFF;

// The text's height as the window measures it: the label's font, 280 wide.
int measured(TestDlg& d, const std::wstring& text) {
    CPaintManagerUI& pm = d.pm();
    HDC dc = pm.GetPaintDC();
    HFONT previous = SelectObject(dc, pm.GetFont(-1));
    int height = measureWrapped(dc, text, kTextMeasureWidth);
    SelectObject(dc, previous);
    return height;
}

std::wstring lines(int n) {
    std::wstring text;
    for (int i = 0; i < n; ++i)
        text += L"Line " + std::to_wstring(i) + L" of the advert text\n";
    return text;
}

TEST_F(Slide, TextWindowGrowsWithItsWrappedTextUpToTheWorkArea) {
    ASSERT_NE(create(), nullptr);
    std::wstring shortText = L"A short advert.";
    std::wstring wrapped(60, L'w');  // one unbroken word, wider than the label
    for (const std::wstring& text : {shortText, wrapped, lines(8), lines(30)}) {
        SCOPED_TRACE(ui::toUtf8(text.substr(0, 20)));
        dlg->ShowTextAdvert(L"Title", text.c_str(), L"");
        int expected = std::max(measured(*dlg, text) + 90, 180);
        EXPECT_EQ(dlg->height(), expected);
        EXPECT_EQ(rect().bottom - rect().top, expected);
        EXPECT_EQ(rect().right - rect().left, 320);
        EXPECT_EQ(dlg->pm().FindControl(L"msgLabel")->GetText().str(), text);
    }
    EXPECT_GT(measured(*dlg, wrapped), measured(*dlg, L"w")) << "a long word wraps";
    EXPECT_GT(dlg->height(), 500) << "30 lines are taller than the minimum";

    SCOPED_TRACE("longer than the work area: whole lines and an ellipsis");
    headless->setWorkArea(RECT{0, 0, 1920, 700});
    std::wstring text = lines(400);
    dlg->ShowTextAdvert(L"Title", text.c_str(), L"");
    std::wstring shown = dlg->pm().FindControl(L"msgLabel")->GetText().str();
    int line = measured(*dlg, L"x");

    EXPECT_LE(dlg->height(), 700);
    EXPECT_GT(dlg->height(), 700 - line) << "no room for another line was wasted";
    EXPECT_EQ(dlg->height(), measured(*dlg, shown) + 90);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), L'\u2026');
    std::wstring kept = shown.substr(0, shown.size() - 1);
    EXPECT_EQ(text.compare(0, kept.size(), kept), 0) << "the beginning of the text, unchanged";
    EXPECT_NE(kept.back(), L'\n') << "the ellipsis ends the last line, not a line of its own";
}

// Answers as large as the server may send: the work is laid out for what can show (a
// quarter of one input at most, counted in characters laid out), the window is as tall as
// the work area, the text ends its last whole line with "…" and the title keeps its row.
TEST_F(Slide, A400KilobyteTitleAndTextFillTheWorkAreaInBoundedWork) {
    ASSERT_NE(create(), nullptr);
    std::wstring title, text;
    while (title.size() < 400'000)
        title += L"A very long advert title ";
    while (text.size() < 400'000)
        text += L"words of a very long advert text ";
    std::size_t laidOut = 0;
    ui::setLayoutObserver([&](std::size_t characters) { laidOut += characters; });
    dlg->ShowTextAdvert(title.c_str(), text.c_str(), L"");
    dlg->pm().UpdateLayout();
    Frame frame(dlg->pm(), 320, dlg->height());
    ui::setLayoutObserver({});
    EXPECT_LT(laidOut, 100'000u);

    const std::wstring shown = dlg->pm().FindControl(L"msgLabel")->GetText().str();
    const int line = measured(*dlg, L"x");
    EXPECT_EQ(rect().right - rect().left, 320);
    EXPECT_LE(dlg->height(), 1040);
    EXPECT_GT(dlg->height(), 1040 - line) << "as tall as the work area, to a line";
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), L'\u2026');

    // Pixels that are not the background: white on the title band, grey on the body.
    auto inked = [&](int x, int y, std::uint32_t ground) {
        return !near(frame.pixel(x, y), ground, 40);
    };
    auto rowInked = [&](int y, int from, int to, std::uint32_t ground) {
        for (int x = from; x < to; ++x)
            if (inked(x, y, ground))
                return true;
        return false;
    };
    int titleTop = 30, titleBottom = 0, titleRight = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 20; x < 290; ++x) {
            if (inked(x, y, kTitleBlue)) {
                titleTop = std::min(titleTop, y);
                titleBottom = y;
                titleRight = std::max(titleRight, x);
            }
        }
    }
    EXPECT_GT(titleTop, 3) << "one row, centred on the band";
    EXPECT_LT(titleBottom, 26);
    EXPECT_GT(titleRight, 260) << "the row is filled to its end";
    const int textBottom = 50 + measured(*dlg, shown);
    bool lastLine = false;
    for (int y = textBottom - line; y < textBottom; ++y)
        lastLine = lastLine || rowInked(y, 22, 298, kBodyWhite);
    EXPECT_TRUE(lastLine) << "the last line is drawn";
    for (int y = textBottom + 2; y < dlg->height() - 8; ++y)
        EXPECT_FALSE(rowInked(y, 22, 298, kBodyWhite)) << "nothing below the last line, row " << y;
}

// A JPEG larger than the work area, decoded at 4/8 (its pixels fewer than its size), is
// still drawn whole, scaled over its page, which starts under the title row. A picture that
// fits and one that cannot be loaded are the end-to-end picture rows'.
TEST_F(Slide, APictureLargerThanTheWorkAreaIsDrawnScaledIntoIt) {
    ASSERT_NE(create(), nullptr);
    QuadrantPicture picture(3600, 2400, QuadrantPicture::Encoding::Jpeg);
    dlg->ShowImageAdvert(L"Title", picture.path().c_str(), L"");
    EXPECT_EQ(rect().right - rect().left, 1560);
    EXPECT_EQ(rect().bottom - rect().top, 1040);
    dlg->pm().UpdateLayout();
    Frame frame(dlg->pm(), 1560, 1040);
    EXPECT_TRUE(near(frame.pixel(20, 60), 0xFFFF0000, 8)) << hex(frame.pixel(20, 60));
    EXPECT_TRUE(near(frame.pixel(1540, 60), 0xFF00FF00, 8)) << hex(frame.pixel(1540, 60));
    EXPECT_TRUE(near(frame.pixel(20, 1020), 0xFF0000FF, 8)) << hex(frame.pixel(20, 1020));
    EXPECT_TRUE(near(frame.pixel(1540, 1020), 0xFFFFFF00, 8)) << hex(frame.pixel(1540, 1020));
}

// Runs the real timer until the window rests (or gives up), then a while longer.
void slideToRest(TestDlg& d) {
    for (int i = 0; i < 2000 && d.slideTicks < 400; ++i) {
        int before = d.slideTicks;
        ui::pumpMessages(20);
        if (d.slideTicks == before && !d.tickRects.empty())
            break;
    }
}

TEST_F(Slide, SlidesTenPixelsATickFromBelowTheScreenToRestOnTheWorkArea) {
    struct Case {
        const char* what;
        RECT monitor;
        std::optional<RECT> work;
        LONG left, start, rest;
        int ticks;
    } cases[] = {
        {"40-pixel bottom panel", {0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, 1600, 1080, 860, 22},
        {"no panel", {0, 0, 1920, 1080}, RECT{0, 0, 1920, 1080}, 1600, 1080, 900, 18},
        {"panel on the right", {0, 0, 1920, 1080}, RECT{0, 0, 1880, 1080}, 1600, 1080, 900, 18},
        {"monitor not at the origin",
         {1920, 200, 3200, 1224},
         RECT{1920, 200, 3200, 1184},
         2880,
         1224,
         1004,
         22},
        {"work area unreadable", {0, 0, 1920, 1080}, std::nullopt, 1600, 1080, 900, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        headless->setMonitor(c.monitor);
        headless->setWorkArea(c.work);
        TestDlg* d = create();
        ASSERT_NE(d, nullptr);
        d->ShowTextAdvert(L"Title", L"Short", L"");
        ASSERT_EQ(d->height(), 180);
        d->StartSlideIn();
        EXPECT_EQ(rect().left, c.left);
        EXPECT_EQ(rect().top, c.start);
        slideToRest(*d);
        ASSERT_EQ(d->slideTicks, c.ticks);
        for (int i = 0; i + 1 < c.ticks; ++i)
            EXPECT_EQ(d->tickRects[i].top, c.start - 10 * (i + 1));
        EXPECT_EQ(d->tickRects.back().top, c.rest);
        EXPECT_EQ(d->tickRects.back().left, c.left);
        EXPECT_EQ(d->tickRects.back().bottom - d->tickRects.back().top, 180);
        DestroyWindow(hwnd);
        ui::runMessageLoop();
    }

    SCOPED_TRACE("the rest follows a panel that appears during the slide");
    headless->setMonitor(RECT{0, 0, 1920, 1080});
    headless->setWorkArea(RECT{0, 0, 1920, 1080});
    ASSERT_NE(create(), nullptr);
    dlg->ShowTextAdvert(L"Title", L"Short", L"");
    dlg->StartSlideIn();
    for (int i = 0; i < 5; ++i)
        dlg->SlideStep();
    headless->setWorkArea(RECT{0, 0, 1920, 1000});
    for (int i = 0; i < 40; ++i)
        dlg->SlideStep();
    EXPECT_EQ(rect().top, 820);
}

}  // namespace
}  // namespace kestrova::uitest
