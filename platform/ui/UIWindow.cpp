// Native window lifetime for CWindowWnd, on top of the message core and the backend.
#include "platform/ui/UIWindow.h"

#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/UIWinApi.h"

using namespace kestrova::ui;

CWindowWnd::~CWindowWnd() {
    // An object that goes while its window lives takes the window with it, without a
    // final message (the object is already half destroyed).
    if (m_hWnd && isWindow(m_hWnd)) {
        HWND hwnd = m_hWnd;
        m_hWnd = nullptr;
        forgetWindow(hwnd);
    }
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle,
                        const RECT& rc, HMENU hMenu) {
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x,
                        int y, int cx, int cy, HMENU /*hMenu*/) {
    KESTROVA_UI_ASSERT(!m_hWnd,
                       "Create on a window object that already has a window: one object makes "
                       "one window; make a new object for another");
    NativeWindowParams params;
    params.caption = pstrName ? pstrName : L"";
    m_strCaption = params.caption;
    params.className = GetWindowClassName() ? GetWindowClassName() : L"";
    params.style = dwStyle;
    params.exStyle = dwExStyle;
    params.rect = RECT{x, y, x + cx, y + cy};
    params.managedDialog = IsManagedDialog();
    params.owner = hwndParent;
    HWND hwnd = registerWindow(this, dwStyle & ~WS_VISIBLE, dwExStyle);
    m_hWnd = hwnd;
    if (!backend().createWindow(hwnd, params)) {
        forgetWindow(hwnd);
        m_hWnd = nullptr;
        return nullptr;
    }
    if (sendMessage(hwnd, WM_CREATE, 0, 0) == -1) {
        forgetWindow(hwnd);
        m_hWnd = nullptr;
        return nullptr;
    }
    if (isWindow(hwnd)) {
        RECT now = backend().getWindowRect(hwnd);
        sendMessage(hwnd, WM_SIZE, 0, MAKELPARAM(now.right - now.left, now.bottom - now.top));
    }
    return m_hWnd;
}

void CWindowWnd::ShowWindow(bool bShow, bool /*bTakeFocus*/) {
    if (m_hWnd) {
        ::ShowWindow(m_hWnd, bShow ? SW_SHOW : SW_HIDE);
    }
}

void CWindowWnd::Close(UINT nRet) {
    if (m_hWnd) {
        postMessage(m_hWnd, WM_CLOSE, nRet, 0);
    }
}

void CWindowWnd::SetIcon(UINT nRes) {
    if (!m_hWnd) {
        return;
    }
    DecodeResult icon = decodeImage(GetProgramResource(ProgramResource::Icon, nRes));
    if (icon.image) {
        backend().setIcon(m_hWnd, *icon.image);
    }
}

std::span<const std::uint8_t> CWindowWnd::GetProgramResource(ProgramResource, UINT) const {
    return {};
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return sendMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return postMessage(m_hWnd, uMsg, wParam, lParam) ? TRUE : FALSE;
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (uMsg == WM_CLOSE) {
        destroyWindow(m_hWnd);
    }
    return 0;
}

void CWindowWnd::FinalMessageFromCore(HWND hWnd) {
    m_hWnd = nullptr;
    OnFinalMessage(hWnd);
}

void CWindowWnd::OnFinalMessage(HWND /*hWnd*/) {}
