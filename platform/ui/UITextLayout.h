// A control's text laid out for its box: only as much of a long text as the box can show
// is laid out, and the layout is kept until the text, the box, the font or the format
// changes, so painting the same label again costs no layout at all.
#pragma once

#include <string_view>

#include "platform/ui/UIText.h"

namespace kestrova::ui {

// Lays text out in font for a box of box.cx x box.cy pixels as the DT_ format bits say.
// Where what shows does not depend on the rest of the text, only a beginning that
// overflows the box is laid out: a single line cut with an ellipsis, or left-aligned and
// clipped; wrapped lines from the top. The lines that show are the whole text's.
LayoutPtr layOutForBox(HDC dc, HFONT font, std::wstring_view text, SIZE box, UINT format);

// One control's kept layout.
class TextLayoutCache {
public:
    // The layout of text for box, made again only when dc, font, box or format differ
    // from the last call's; the text is the caller's to watch (reset when it changes).
    PangoLayout* layout(HDC dc, HFONT font, std::wstring_view text, SIZE box, UINT format);
    void reset() { m_layout.reset(); }

private:
    LayoutPtr m_layout;
    HDC m_dc = nullptr;
    HFONT m_font = nullptr;
    SIZE m_box{};
    UINT m_format = 0;
};

}  // namespace kestrova::ui
