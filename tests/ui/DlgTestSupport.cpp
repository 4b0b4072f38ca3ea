// The headless pop-up fixture.
#include "DlgTestSupport.h"

#include "tests/support/TestPictures.h"

#include "../platform/ui/UiTestSupport.h"
#include "platform/shell/ShellExecute.h"
#include "platform/ui/UIMessageCore.h"
#include "ui/AdvertLayout.h"

namespace kestrova::uitest {

LRESULT TestDlg::OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT result = CFloatDlg::OnTimer(uMsg, wParam, lParam, bHandled);
    if (wParam == kSlideTimerId && m_hWnd) {
        ++slideTicks;
        RECT rc{};
        GetWindowRect(m_hWnd, &rc);
        tickRects.push_back(rc);
    }
    return result;
}

void DlgTest::SetUp() {
    headless = &useHeadless();
    headless->setMonitor(RECT{0, 0, 1920, 1080});
    headless->setWorkArea(RECT{0, 0, 1920, 1040});
    setLinkLauncher([this](const std::string& link) {
        opened.push_back(link);
        return true;
    });
}

void DlgTest::TearDown() {
    if (hwnd && IsWindow(hwnd)) {
        DestroyWindow(hwnd);
    }
    // The window's destruction posted the quit message; take it off the queue.
    if (ui::quitPending()) {
        ui::runMessageLoop();
    }
    setLinkLauncher(nullptr);
}

TestDlg* DlgTest::create() {
    dlg = new TestDlg;
    hwnd = dlg->Create(nullptr, L"Reader升级程序", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
    if (!hwnd) {
        delete dlg;
        dlg = nullptr;
    }
    return dlg;
}

RECT DlgTest::rect() const {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return rc;
}

const ui::HeadlessBackend::WindowState* DlgTest::state() const {
    return headless->state(hwnd);
}

void DlgTest::releaseAt(int y) {
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(10, y));
}

QuadrantPicture::QuadrantPicture(int w, int h, Encoding encoding) {
    const test::Bytes bytes = encoding == Encoding::Jpeg ? test::jpegOf(w, h, test::quadrants(w, h))
                                                         : test::pngOf(w, h, test::quadrants(w, h));
    test::writeFile(m_dir / "picture", std::string(bytes.begin(), bytes.end()));
    m_path = ui::fromUtf8((m_dir / "picture").string());
}

}  // namespace kestrova::uitest
