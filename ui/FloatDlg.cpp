// The pop-up's lifetime and events: initialisation, clicks, timer and destruction.
#include "ui/FloatDlg.h"

#include "log/LogLine.h"
#include "platform/shell/ShellExecute.h"
#include "ui/AdvertLayout.h"
#include "util/BoundedFormat.h"

DUI_BEGIN_MESSAGE_MAP(CFloatDlg, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, CFloatDlg::OnClick)
DUI_END_MESSAGE_MAP()

CFloatDlg::CFloatDlg() = default;

CFloatDlg::~CFloatDlg() {
    PostQuitMessage(0);
}

LPCTSTR CFloatDlg::GetWindowClassName() const {
    return L"FloatDlg";
}

CDuiString CFloatDlg::GetSkinFile() {
    return L"FloatDlg.xml";
}

void CFloatDlg::InitWindow() {
    // Neither maximisable nor resizable: the advert's size is the advert's.
    LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(static_cast<DWORD>(style) & 0xFFFAFFFFu));
    m_pMainTab = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl(L"main_tab"));
    m_pTitle = dynamic_cast<CLabelUI*>(m_pm.FindControl(L"title"));
    // The title keeps its one row whatever the advert sends: cut with "…" at the row's end.
    if (m_pTitle)
        m_pTitle->SetTextStyle((m_pTitle->GetTextStyle() & ~DT_WORDBREAK) | DT_SINGLELINE |
                               DT_END_ELLIPSIS);
    InitIconAndShadow();
}

void CFloatDlg::OnClick(TNotifyUI& msg) {
    if (msg.pSender && msg.pSender->GetName().Compare(L"closeBtn") == 0) {
        Close(1);
    }
}

LRESULT CFloatDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    // Tools are told no more about a window that is going.
    m_pAccess.reset();
    bHandled = FALSE;
    return 0;
}

LRESULT CFloatDlg::OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    // Left to the library as well, which turns a release on the close button into its
    // click; the title row (close button included) never opens the link.
    bHandled = FALSE;
    // A press inside keeps the pointer's events here even after it leaves the window, so
    // a release may lie outside, at negative coordinates too: read them signed, and open
    // the link only for a release on the advert itself.
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const RECT advert{client.left, client.top + kestrova::kTitleRowHeight + 1, client.right,
                      client.bottom};
    if (PtInRect(advert, pt)) {
        OpenClickUrl();
    }
    return 0;
}

void CFloatDlg::OpenClickUrl() {
    if (m_strClickUrl.empty()) {
        return;
    }
    if (std::optional<std::wstring> quoted = kestrova::quoteLink(m_strClickUrl)) {
        ShellExecuteW(nullptr, L"open", L"explorer.exe", quoted->c_str(), nullptr, SW_SHOW);
    } else {
        // The link itself stays out of the log: it comes from the server's answer.
        kestrova::logLine(kestrova::boundedFormat(
            "link not opened: %zu characters, longer than the %zu a link may have",
            m_strClickUrl.size(), kestrova::kMaxLinkLength));
    }
}

LRESULT CFloatDlg::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (uMsg == WM_TIMER) {
        return OnTimer(uMsg, wParam, lParam, bHandled);
    }
    if (uMsg == kestrova::kAccessActionMessage) {
        OnAccessAction(static_cast<int>(wParam));
        bHandled = TRUE;
    }
    return 0;
}

LRESULT CFloatDlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam == kestrova::kSlideTimerId) {
        SlideStep();
    }
    bHandled = FALSE;
    return 0;
}

void CFloatDlg::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}
