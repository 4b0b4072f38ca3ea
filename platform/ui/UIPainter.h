// The thin painter the controls draw with: filled rectangles, nine-sliced pictures and
// laid-out text on a cairo context, with clipping scoped to a control's rectangle. All
// coordinates are the window's own pixels; the host scales the context for the screen.
#pragma once

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
    // stretched to rc (or spec.dest inside rc) with spec.corner borders kept unscaled. A
    // picture drawn without borders is scaled once per size in device pixels and kept
    // with the picture (TImageInfo::scaled); drawing it again at that size only copies.
    void drawImage(const TImageInfo& image, const RECT& rc, const ImageSpec& spec);
    // Draws text laid out for rc (layOutForBox, UITextLayout.h) inside it; DT_CENTER and
    // DT_RIGHT place an unwrapped line, DT_VCENTER and DT_BOTTOM the lines.
    void drawLayout(const RECT& rc, PangoLayout* layout, DWORD argb, UINT format);

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
