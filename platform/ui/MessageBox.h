// A small modal message box built from the library: caption, text and an OK button in
// an ordinary window-manager dialog that takes the keyboard focus. Enter or Space press
// OK; the window manager's close request dismisses it.
#pragma once

#include "platform/ui/UIDefs.h"

// Shows the box and waits until it is dismissed; IDOK then. Only MB_OK exists. Returns
// 0 at once when there is no display to show it on. A quit message that arrives while
// the box is up ends the box and stays pending for the caller's own loop.
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
