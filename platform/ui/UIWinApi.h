// The window functions the window code calls, as free functions on a window handle,
// with just the flags in use. Geometry is in the design's pixels and screen coordinates.
#pragma once

#include <chrono>

#include "platform/ui/UIDefs.h"

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// Moves, resizes, shows and raises. insertAfter is null or HWND_TOPMOST (kept above
// normal windows); flags: SWP_NOMOVE, SWP_NOSIZE, SWP_SHOWWINDOW, SWP_HIDEWINDOW.
BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
// A move never renders the window again: what it uncovers comes from the window's kept
// frame, repaint or not.
BOOL MoveWindow(HWND hWnd, int x, int y, int cx, int cy, BOOL repaint);
BOOL ShowWindow(HWND hWnd, int cmdShow);
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);
BOOL IsWindowVisible(HWND hWnd);
BOOL GetWindowRect(HWND hWnd, RECT* rc);
BOOL GetClientRect(HWND hWnd, RECT* rc);

// Rectangle arithmetic as on Windows: a rectangle without width or height is empty, adds
// nothing to a union, and an intersection that is empty comes out as all zeros. The
// results say whether the rectangle made is not empty.
BOOL IsRectEmpty(const RECT* rc);
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b);
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);

// SM_CXSCREEN / SM_CYSCREEN: the primary monitor's size; anything else is 0.
int GetSystemMetrics(int index);
// SPI_GETWORKAREA: the primary monitor's work area into *(RECT*)pvParam.
BOOL SystemParametersInfoW(UINT action, UINT uiParam, void* pvParam, UINT winIni);

// Millisecond timers delivered as WM_TIMER with wParam = id. Only null callbacks.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hWnd, UINT_PTR id);

// GWL_STYLE (WS_MAXIMIZEBOX and WS_THICKFRAME decide whether the window can be
// maximised or resized) and GWL_EXSTYLE.
LONG GetWindowLongW(HWND hWnd, int index);
LONG SetWindowLongW(HWND hWnd, int index, LONG value);

LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

namespace kestrova {

// The primary monitor in screen coordinates: a primary monitor need not start at 0,0,
// and placing at its corner needs its origin as well as its size.
RECT primaryMonitorRect();

// Whether the user works in a full-screen window on the primary monitor now.
bool fullScreenWindowActive();

// The rectangle a window may occupy: the work area (SPI_GETWORKAREA), or the primary
// monitor when the work area cannot be read, also after `retries` more queries `pause`
// apart.
RECT workAreaOrMonitor(int retries = 0, std::chrono::milliseconds pause = {});

}  // namespace kestrova
