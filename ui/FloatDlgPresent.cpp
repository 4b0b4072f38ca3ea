// Laying an advert into the pop-up and sliding it in. Every size is kept inside the work
// area: a window taller or wider than the screen would rest with its title row and close
// button off screen, and the advert could not be closed.
#include <algorithm>
#include <chrono>
#include <thread>

#include "ui/AdvertLayout.h"
#include "ui/FloatDlg.h"
#include "ui/TextFit.h"

namespace {

constexpr int kTextPage = 0;
constexpr int kPicturePage = 1;
constexpr int kQueryRetries = 3;

SIZE areaSize(const RECT& rc) {
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

// The picture path as an image attribute. A bare path is a file name, unless it holds
// "=" and would be read as key='value' pairs; then it is quoted as the file key.
std::wstring pictureAttribute(LPCTSTR picture) {
    std::wstring path = picture ? picture : L"";
    if (path.find(L'=') == std::wstring::npos || path.find(L'\'') != std::wstring::npos) {
        return path;
    }
    return L"file='" + path + L"'";
}

}  // namespace

void CFloatDlg::ShowTextAdvert(LPCTSTR title, LPCTSTR text, LPCTSTR link) {
    if (m_pMainTab)
        m_pMainTab->SelectItem(kTextPage, true, true);
    if (m_pTitle)
        m_pTitle->SetText(title);
    m_strClickUrl = link ? link : L"";

    // Without its label the text has nowhere to go; the window keeps its minimum height.
    int measured = 0;
    int maxHeight = areaSize(kestrova::workAreaOrMonitor()).cy;
    auto* label = dynamic_cast<CLabelUI*>(m_pm.FindControl(L"msgLabel"));
    if (label && label->GetManager()) {
        CPaintManagerUI* pm = label->GetManager();
        HDC dc = pm->GetPaintDC();
        HFONT previous = SelectObject(dc, pm->GetFont(label->GetFont()));
        kestrova::FittedText fitted =
            kestrova::fitTextHeight(dc, text ? text : L"", kestrova::kTextMeasureWidth,
                                    maxHeight - kestrova::kTextChromeHeight);
        SelectObject(dc, previous);
        label->SetText(fitted.text.c_str());
        measured = fitted.height;
    }
    int height = kestrova::textWindowHeight(measured);
    if (maxHeight > 0) {
        height = std::min(height, maxHeight);
    }
    SetWindowPos(m_hWnd, nullptr, 0, 0, kestrova::kTextWindowWidth, height, SWP_NOMOVE);
    m_nHeight = height;
    m_nWidth = kestrova::kTextWindowWidth;
}

void CFloatDlg::ShowImageAdvert(LPCTSTR title, LPCTSTR picture, LPCTSTR link) {
    if (m_pMainTab)
        m_pMainTab->SelectItem(kPicturePage, true, true);
    if (m_pTitle)
        m_pTitle->SetText(title);
    m_strClickUrl = link ? link : L"";

    SIZE size{kestrova::kPictureFallbackWidth, kestrova::kPictureFallbackHeight};
    // Kept, not freed: the label paints these same pixels instead of decoding the file
    // again, and the window shows one advert per run.
    if (const TImageInfo* image = CRenderEngine::LoadImageW(STRINGorID(picture), nullptr, 0)) {
        size = SIZE{image->nX, image->nY};
    }
    size = kestrova::fitInside(size, areaSize(kestrova::workAreaOrMonitor()));
    m_nWidth = size.cx;
    m_nHeight = size.cy;

    // The label stretches its background over itself, so a window scaled down draws the
    // picture scaled down with it.
    if (CControlUI* label = m_pm.FindControl(L"imgLabel")) {
        label->SetAttribute(L"bkimage", pictureAttribute(picture).c_str());
    }
    SetWindowPos(m_hWnd, nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE);
}

void CFloatDlg::StartSlideIn() {
    // The primary monitor's corner, origin included: it need not start at 0,0.
    RECT screen = kestrova::primaryMonitorRect();
    for (int retry = 0; screen.right - screen.left <= 0 && retry < kQueryRetries; ++retry) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        screen = kestrova::primaryMonitorRect();
    }
    m_nLeft = screen.right - m_nWidth;
    m_nTop = screen.bottom;
    MoveWindow(m_hWnd, m_nLeft, m_nTop, m_nWidth, m_nHeight, TRUE);
    SetWindowPos(m_hWnd, HWND_TOPMOST, m_nLeft, m_nTop, m_nWidth, m_nHeight, SWP_SHOWWINDOW);
    SetTimer(m_hWnd, kestrova::kSlideTimerId, static_cast<UINT>(kestrova::slideInterval(m_nHeight)),
             nullptr);
    PublishAccessible();
}

void CFloatDlg::SlideStep() {
    m_nTop -= kestrova::kSlideStepPixels;
    // Without a work area the monitor's bottom is the best rest there is; a rest of 0
    // would slide the window up to the top of the screen. Recomputed on every tick, so the
    // rest follows a panel that changes meanwhile.
    const RECT work = kestrova::workAreaOrMonitor(kQueryRetries, std::chrono::milliseconds(1));
    int rest = work.bottom - m_nHeight;
    const bool resting = m_nTop <= rest;
    if (resting) {
        m_nTop = rest;
        KillTimer(m_hWnd, kestrova::kSlideTimerId);
    }
    MoveWindow(m_hWnd, m_nLeft, m_nTop, m_nWidth, m_nHeight, TRUE);
    if (resting) {
        PublishAccessible();
    }
}
