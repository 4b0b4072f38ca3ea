// The pop-up's behaviour on the headless backend: what creation leaves, which releases
// open the link, the keys it swallows, the timers it passes on, and a layout that lacks
// its named controls. The close button is the end-to-end tests' (a real click).
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "DlgTestSupport.h"
#include "log/CLog.h"
#include "platform/ui/UIMessageCore.h"
#include "tests/support/TempDir.h"
#include "ui/AdvertLayout.h"

namespace kestrova::uitest {
namespace {

using Pop = DlgTest;

TEST_F(Pop, CreationStripsResizingSetsIconAndShadowAndStaysHiddenUntilTheSlide) {
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) << "other style bits are kept";
    EXPECT_TRUE(state()->hasIcon);
    EXPECT_TRUE(state()->hasShadow);
    EXPECT_EQ(state()->params.className, L"FloatDlg");

    dlg->ShowTextAdvert(L"Title", L"Some text", L"http://a.test/");
    EXPECT_FALSE(state()->visible) << "filled but not yet placed";
    dlg->StartSlideIn();
    EXPECT_TRUE(state()->visible);
    EXPECT_TRUE(state()->topmost);
}

// Each release follows a press in the body; the window is 320 x 180 (text page).
TEST_F(Pop, ReleasesOnTheAdvertBelowTheTitleRowOpenOnlyWebLinksEachTime) {
    ASSERT_NE(create(), nullptr);
    struct Case {
        const char* what;
        const wchar_t* link;
        int x, y;
        std::vector<std::string> opened;
    } cases[] = {
        {"on the title row", L"http://a.test/x", 100, 30, {}},
        {"first row below it", L"http://a.test/x", 100, 31, {"http://a.test/x"}},
        {"far down", L"HTTPS://A.test/?q=1&r=2", 100, 179, {"HTTPS://A.test/?q=1&r=2"}},
        {"left column", L"http://a.test/x", 0, 100, {"http://a.test/x"}},
        {"right column", L"http://a.test/x", 319, 100, {"http://a.test/x"}},
        {"above the window", L"http://a.test/x", 100, -5, {}},
        {"below the window", L"http://a.test/x", 100, 180, {}},
        {"left of the window", L"http://a.test/x", -1, 100, {}},
        {"right of the window", L"http://a.test/x", 320, 100, {}},
        // Which links are web links is the shell's table; this row proves the shell decides.
        {"script link", L"javascript:alert(1)", 100, 100, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        opened.clear();
        dlg->ShowTextAdvert(L"Title", L"Text", c.link);
        ASSERT_EQ(dlg->width(), 320);
        ASSERT_EQ(dlg->height(), 180);
        SendMessageW(hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(100, 100));
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
        EXPECT_EQ(opened, c.opened);
    }
}

TEST_F(Pop, TwoClicksOpenTwiceOnEitherPageAndTheWindowStays) {
    ASSERT_NE(create(), nullptr);
    dlg->ShowImageAdvert(L"Title", L"/nonexistent/advertising.png", L"http://a.test/p");
    releaseAt(100);
    releaseAt(100);
    ui::pumpMessages(0);
    EXPECT_EQ(opened, (std::vector<std::string>{"http://a.test/p", "http://a.test/p"}));
    EXPECT_TRUE(IsWindow(hwnd));
}

// A link cut to its buffer would be another address: one that does not fit is refused
// whole, with one line in the log (without the link, which comes from the server).
TEST_F(Pop, ALinkLongerThanItsBufferOpensNothingAndLogsOneLine) {
    ASSERT_NE(create(), nullptr);
    test::TempDir logFolder;
    CLog::GetInstance()->Init(logFolder.path().c_str());
    const std::wstring longest = L"http://a.test/" + std::wstring(kMaxLinkLength - 14, L'a');
    const std::wstring tooLong = L"http://b.test/" + std::wstring(2000 - 14, L'b');
    for (const std::wstring& link : {longest, tooLong}) {
        dlg->ShowTextAdvert(L"Title", L"Text", link.c_str());
        releaseAt(100);
    }
    CLog::GetInstance()->Stop();
    EXPECT_EQ(opened, std::vector<std::string>{ui::toUtf8(longest)});
    const std::string log = test::readFile(logFolder / "RazOdezerivozi.log");
    EXPECT_NE(log.find(" link not opened: 2000 characters, longer than the 1021 a link may have\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

TEST_F(Pop, EnterAndEscapeLeaveTheWindowOpen) {
    ASSERT_NE(create(), nullptr);
    SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    ui::pumpMessages(0);
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(Pop, OtherTimersArePassedOnUnhandledAndMoveNothing) {
    ASSERT_NE(create(), nullptr);
    dlg->ShowTextAdvert(L"Title", L"Text", L"");
    MoveWindow(hwnd, 1600, 900, 320, 180, TRUE);
    for (WPARAM id : {WPARAM{0}, WPARAM{1}, WPARAM{0x3FFF}, WPARAM{0x4001}}) {
        SCOPED_TRACE(id);
        BOOL handled = TRUE;
        EXPECT_EQ(dlg->OnTimer(WM_TIMER, id, 0, handled), 0);
        EXPECT_FALSE(handled);
        EXPECT_EQ(rect().top, 900);
    }
    BOOL handled = TRUE;
    dlg->HandleCustomMessage(WM_TIMER, kSlideTimerId, 0, handled);
    EXPECT_FALSE(handled) << "the slide tick is passed on as well";
    EXPECT_EQ(dlg->slideTicks, 1);
}

// A skin on disk whose layout has none of the named controls the window looks up.
class BareSkinDlg : public TestDlg {
protected:
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_FILE; }
};

TEST_F(Pop, ALayoutWithoutTheNamedControlsStillWorks) {
    namespace fs = std::filesystem;
    test::TempDir root;
    fs::create_directories(root / "AdvertisingSkin");
    fs::path skin = fs::path(std::getenv("KESTROVA_SOURCE_DIR")) / "ui" / "skin";
    for (const char* picture : {"float_bg.png", "close.png", "close_hover.png", "shadow.png"})
        fs::copy_file(skin / picture, root / "AdvertisingSkin" / picture);
    std::ofstream(root / "AdvertisingSkin" / "FloatDlg.xml")
        << "<Window size=\"320,180\" caption=\"0,0,0,30\"><VerticalLayout>"
           "<HorizontalLayout height=\"30\"><Button name=\"closeBtn\" width=\"20\" "
           "normalimage=\"close.png\"/></HorizontalLayout></VerticalLayout></Window>";
    CPaintManagerUI::SetResourcePath(ui::fromUtf8(root.path().string()).c_str());

    dlg = new BareSkinDlg;
    hwnd = dlg->Create(nullptr, L"Reader", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
    ASSERT_NE(hwnd, nullptr);
    dlg->ShowTextAdvert(L"Title", std::wstring(5000, L'w').c_str(), L"http://a.test/");
    EXPECT_EQ(dlg->width(), 320);
    EXPECT_EQ(dlg->height(), 180) << "no label, no text to make room for";
    QuadrantPicture picture(100, 50);
    dlg->ShowImageAdvert(L"Title", picture.path().c_str(), L"http://a.test/");
    EXPECT_EQ(dlg->width(), 100);
    releaseAt(40);
    EXPECT_EQ(opened.size(), 1u);
    dlg->StartSlideIn();
    EXPECT_TRUE(state()->visible);
    CPaintManagerUI::SetResourcePath(L"");
}

}  // namespace
}  // namespace kestrova::uitest
