// The library's one dispatch point and its message queue: window handles, posted
// messages, millisecond timers, the quit message, and the loop that runs them and the
// backend's native events. No exception escapes a dispatch.
#pragma once

#include <cairo.h>

#include <functional>

#include "platform/ui/UIBackend.h"
#include "platform/ui/UIDefs.h"

class CWindowWnd;

namespace kestrova::ui {

// Window registry. The core hands out handles; the backend creates the native side.
HWND registerWindow(CWindowWnd* window, DWORD style, DWORD exStyle);
CWindowWnd* windowFromHandle(HWND hwnd);
bool isWindow(HWND hwnd);
DWORD windowStyle(HWND hwnd);
void setWindowStyle(HWND hwnd, DWORD style);
DWORD windowExStyle(HWND hwnd);

// Delivers a message now: the window's pre-message filters, then its HandleMessage.
// An exception is traced and the message counts as handled with result 0.
LRESULT sendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues a message for the loop.
bool postMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The one call another thread may make: queues a message that the loop's thread delivers
// in its next round (dropped then if the window is gone), and wakes the loop.
void postFromAnyThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Removes a window without any message: its native window, timers and queued messages
// go (for a creation that failed, or an object deleted while its window lived).
void forgetWindow(HWND hwnd);
// Destroys the window: WM_DESTROY, native window gone, WM_NCDESTROY, then the object's
// final message (deferred until the window's own dispatch has returned).
bool destroyWindow(HWND hwnd);

bool setTimer(HWND hwnd, UINT_PTR id, UINT elapseMs);
bool killTimer(HWND hwnd, UINT_PTR id);

void postQuit(int exitCode);
// Runs until the quit message; returns its exit code.
int runMessageLoop();
// One round of the loop: posted messages, due timers, then native events for at most
// maxWaitMs (-1: until the next timer). False once the quit message is pending; the
// quit message stays pending for the caller to see.
bool pumpMessages(int maxWaitMs);
// Watches a descriptor beside the native events (a signal's self-pipe, say): the first
// time the loop finds it readable, it forgets the watch and calls onReadable on its own
// thread. One watch at a time; a new one replaces it, an fd below 0 removes it.
void watchDescriptor(int fd, std::function<void()> onReadable);
bool quitPending();

// Tells the backend that the window has something new to render.
void invalidateWindow(HWND hwnd);
// Paints the window into cr through WM_PAINT: its kept frame, brought up to date at cr's
// scale, copied whole (the preview tool, tests).
void paintWindow(HWND hwnd, cairo_t* cr);
// A backend's paint, through WM_PAINT (wParam 0, lParam &paint): the window renders what
// was invalidated into its kept frame and hands the frame over. False when the window
// has no frame to show. Runs window code, which may close the window.
bool paintFrame(HWND hwnd, FramePaint& paint);

}  // namespace kestrova::ui
