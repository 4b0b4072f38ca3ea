// The thin painter the controls draw with: filled rectangles, nine-sliced pictures and
// laid-out text on a cairo context, with clipping scoped to a control's rectangle. All
// coordinates are the window's own pixels; the host scales the context for the screen.
#pragma once

#include <string_view>

#include "platform/ui/UIAttributes.h"
#include "platform/ui/UIRender.h"
#include "platform/ui/UIText.h"

namespace kestrova::ui {

class Painter {
public:
    explicit Painter(HDC dc) : m_dc(dc) {}

    HDC dc() const { return m_dc; }
    cairo_t* cr() const { return m_dc->cr; }

    void fillRect(const RECT& rc, DWORD argb);
    // Draws the picture into rc as spec says: its source part (whole picture by default),
    // stretched to rc (or spec.dest inside rc) with spec.corner borders kept unscaled.
    void drawImage(const TImageInfo& image, const RECT& rc, const ImageSpec& spec);
    // Draws text inside rc; DT_CENTER/DT_RIGHT and DT_VCENTER/DT_BOTTOM place it, and
    // DT_WORDBREAK wraps it at rc's width.
    void drawText(const RECT& rc, std::wstring_view text, HFONT font, DWORD argb, UINT format);

    // Restricts drawing to rc until the scope ends.
    class ClipScope {
    public:
        ClipScope(Painter& painter, const RECT& rc);
        ~ClipScope();
        ClipScope(const ClipScope&) = delete;
        ClipScope& operator=(const ClipScope&) = delete;

    private:
        cairo_t* m_cr;
    };

private:
    void setColor(DWORD argb);
    HDC m_dc;
};

}  // namespace kestrova::ui
