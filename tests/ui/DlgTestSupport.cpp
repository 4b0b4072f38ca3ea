// The headless pop-up fixture.
#include "DlgTestSupport.h"

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

void DlgTest::runUntilClosed() {
    ui::runMessageLoop();
}

void DlgTest::releaseAt(int y) {
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(10, y));
}

QuadrantPicture::QuadrantPicture(int w, int h) {
    Bytes png = makePng(w, h, [w, h](cairo_t* cr) {
        const double colours[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
        for (int q = 0; q < 4; ++q) {
            cairo_set_source_rgb(cr, colours[q][0], colours[q][1], colours[q][2]);
            cairo_rectangle(cr, (q % 2) * w / 2.0, (q / 2) * h / 2.0, w / 2.0, h / 2.0);
            cairo_fill(cr);
        }
    });
    test::writeFile(m_dir / "picture.png", std::string(png.begin(), png.end()));
    m_path = ui::fromUtf8((m_dir / "picture.png").string());
}

}  // namespace kestrova::uitest
