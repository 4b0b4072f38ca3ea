// CWndShadow: a soft shadow behind a window, drawn from a skin picture whose borders
// stay unscaled. On a compositing screen the host keeps a second translucent window
// behind its parent and moves it along; without a compositor there is no shadow.
#pragma once

#include "platform/ui/UIDefs.h"

class CWndShadow {
public:
    CWndShadow() = default;
    ~CWndShadow();
    CWndShadow(const CWndShadow&) = delete;
    CWndShadow& operator=(const CWndShadow&) = delete;

    // Process-wide preparation; true when shadows can be shown on this screen.
    static bool Initialize(HINSTANCE hInstance);
    // Attaches the shadow to parent. Nothing shows until an image is set.
    void Create(HWND hParentWnd);
    // Draws the shadow from the parent skin's picture image with the given border widths
    // (left, top, right, bottom). holeOffset is accepted for the design's signature; the
    // shadow is never drawn under the window itself. False when the picture is missing
    // or the screen has no shadows.
    bool SetImage(LPCTSTR image, RECT rcCorner, RECT rcHoleOffset);

private:
    HWND m_hParent = nullptr;
    bool m_bShown = false;
};
