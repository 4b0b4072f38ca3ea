// Window functions over the message core and the backend.
#include "platform/ui/UIWinApi.h"

#include <algorithm>
#include <thread>

#include "platform/ui/UIMessageCore.h"

using namespace kestrova::ui;

namespace {

// Keeps the backend and the window's layout in step with a new size.
void applyRect(HWND hWnd, const RECT& target) {
    RECT before = backend().getWindowRect(hWnd);
    backend().setWindowRect(hWnd, target);
    int w = target.right - target.left, h = target.bottom - target.top;
    if (w != before.right - before.left || h != before.bottom - before.top) {
        sendMessage(hWnd, WM_SIZE, 0, MAKELPARAM(w, h));
    }
}

}  // namespace

BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    if (!isWindow(hWnd)) {
        return FALSE;
    }
    RECT rc = backend().getWindowRect(hWnd);
    if (!(flags & SWP_NOMOVE)) {
        rc = RECT{x, y, x + (rc.right - rc.left), y + (rc.bottom - rc.top)};
    }
    if (!(flags & SWP_NOSIZE)) {
        rc.right = rc.left + (cx < 0 ? 0 : cx);
        rc.bottom = rc.top + (cy < 0 ? 0 : cy);
    }
    applyRect(hWnd, rc);
    bool topmost = insertAfter == HWND_TOPMOST;
    if (flags & SWP_SHOWWINDOW) {
        backend().showWindow(hWnd, true, topmost);
    } else if (flags & SWP_HIDEWINDOW) {
        backend().showWindow(hWnd, false, topmost);
    } else if (topmost && backend().isWindowVisible(hWnd)) {
        backend().showWindow(hWnd, true, true);
    }
    return TRUE;
}

// Repainted or not, the window shows its content at the new place: whatever a move
// uncovers the host copies from the window's retained frame, so a move renders nothing
// again. A new size reaches the layout (WM_SIZE), which renders the window afresh.
BOOL MoveWindow(HWND hWnd, int x, int y, int cx, int cy, BOOL /*repaint*/) {
    if (!isWindow(hWnd)) {
        return FALSE;
    }
    applyRect(hWnd, RECT{x, y, x + cx, y + cy});
    return TRUE;
}

BOOL ShowWindow(HWND hWnd, int cmdShow) {
    if (!isWindow(hWnd)) {
        return FALSE;
    }
    BOOL wasVisible = backend().isWindowVisible(hWnd) ? TRUE : FALSE;
    backend().showWindow(hWnd, cmdShow != SW_HIDE, false);
    return wasVisible;
}

BOOL DestroyWindow(HWND hWnd) {
    return destroyWindow(hWnd) ? TRUE : FALSE;
}
BOOL IsWindow(HWND hWnd) {
    return isWindow(hWnd) ? TRUE : FALSE;
}
BOOL IsWindowVisible(HWND hWnd) {
    return isWindow(hWnd) && backend().isWindowVisible(hWnd) ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND hWnd, RECT* rc) {
    if (!rc || !isWindow(hWnd)) {
        return FALSE;
    }
    *rc = backend().getWindowRect(hWnd);
    return TRUE;
}

BOOL GetClientRect(HWND hWnd, RECT* rc) {
    RECT window{};
    if (!rc || !GetWindowRect(hWnd, &window)) {
        return FALSE;
    }
    *rc = RECT{0, 0, window.right - window.left, window.bottom - window.top};
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rc) {
    return !rc || rc->right <= rc->left || rc->bottom <= rc->top ? TRUE : FALSE;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
    if (IsRectEmpty(a)) {
        *out = IsRectEmpty(b) ? RECT{} : *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top),
                    std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
    }
    return !IsRectEmpty(out);
}

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
    const RECT both{std::max(a->left, b->left), std::max(a->top, b->top),
                    std::min(a->right, b->right), std::min(a->bottom, b->bottom)};
    *out = IsRectEmpty(&both) ? RECT{} : both;
    return !IsRectEmpty(out);
}

int GetSystemMetrics(int index) {
    RECT monitor = backend().primaryMonitor();
    switch (index) {
        case SM_CXSCREEN:
            return monitor.right - monitor.left;
        case SM_CYSCREEN:
            return monitor.bottom - monitor.top;
        default:
            return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT /*uiParam*/, void* pvParam, UINT /*winIni*/) {
    if (action != SPI_GETWORKAREA || !pvParam) {
        return FALSE;
    }
    auto area = backend().workArea();
    if (!area) {
        return FALSE;
    }
    *static_cast<RECT*>(pvParam) = *area;
    return TRUE;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    if (proc || !setTimer(hWnd, id, elapseMs)) {
        return 0;
    }
    return id == 0 ? 1 : id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR id) {
    return killTimer(hWnd, id) ? TRUE : FALSE;
}

LONG GetWindowLongW(HWND hWnd, int index) {
    if (index == GWL_STYLE)
        return static_cast<LONG>(windowStyle(hWnd));
    if (index == GWL_EXSTYLE)
        return static_cast<LONG>(windowExStyle(hWnd));
    return 0;
}

LONG SetWindowLongW(HWND hWnd, int index, LONG value) {
    if (index != GWL_STYLE || !isWindow(hWnd)) {
        return 0;
    }
    LONG previous = static_cast<LONG>(windowStyle(hWnd));
    setWindowStyle(hWnd, static_cast<DWORD>(value));
    return previous;
}

LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return sendMessage(hWnd, msg, wParam, lParam);
}

BOOL PostMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return postMessage(hWnd, msg, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
    postQuit(exitCode);
}

namespace kestrova {

RECT primaryMonitorRect() {
    return backend().primaryMonitor();
}

bool fullScreenWindowActive() {
    return backend().isFullScreenActive();
}

RECT workAreaOrMonitor(int retries, std::chrono::milliseconds pause) {
    RECT work{};
    bool known = SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) != FALSE;
    for (int retry = 0; !known && retry < retries; ++retry) {
        std::this_thread::sleep_for(pause);
        known = SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) != FALSE;
    }
    return known ? work : primaryMonitorRect();
}

}  // namespace kestrova
