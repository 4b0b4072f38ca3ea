// How much of a long text a box needs: beginnings of growing length are laid out until one
// overflows the box. The lines that show are then the whole text's, since breaking a line
// never looks at text beyond the line after it, and an ellipsis at the box's edge cuts the
// beginning where it would cut the whole.
#include "platform/ui/UITextLayout.h"

#include <algorithm>

namespace kestrova::ui {
namespace {

// Texts up to this long are laid out whole: more than any label here shows, and cheaper
// than finding out how much would do.
constexpr std::size_t kFirstBeginning = 4096;
constexpr std::size_t kGrowth = 4;

// Whether a beginning of the text decides what shows. A line centred or right-aligned
// without an ellipsis, or lines placed by the height of the whole text, are not.
bool beginningDecides(UINT format) {
    const bool aligned = (format & (DT_CENTER | DT_RIGHT)) != 0;
    if (format & DT_SINGLELINE) {
        return (format & DT_END_ELLIPSIS) || !aligned;
    }
    return (format & DT_WORDBREAK) && !(format & (DT_VCENTER | DT_BOTTOM));
}

bool overflows(PangoLayout* layout, SIZE box, UINT format) {
    if (format & DT_SINGLELINE) {
        if (format & DT_END_ELLIPSIS) {
            return pango_layout_is_ellipsized(layout);
        }
        PangoRectangle logical{};
        pango_layout_get_extents(layout, nullptr, &logical);
        return logical.x + logical.width > box.cx * PANGO_SCALE;
    }
    // Wrapped from the top: the line holding the beginning's last character starts below
    // the box, so every line that shows is complete.
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    while (pango_layout_iter_next_line(iter)) {
    }
    int top = 0, bottom = 0;
    pango_layout_iter_get_line_yrange(iter, &top, &bottom);
    pango_layout_iter_free(iter);
    return top >= box.cy * PANGO_SCALE;
}

}  // namespace

LayoutPtr layOutForBox(HDC dc, HFONT font, std::wstring_view text, SIZE box, UINT format) {
    const int width = std::max<int>(box.cx, 0);
    if (text.size() > kFirstBeginning && beginningDecides(format)) {
        for (std::size_t length = kFirstBeginning; length < text.size(); length *= kGrowth) {
            LayoutPtr layout = makeTextLayout(dc, font, text.substr(0, length), width, format);
            if (overflows(layout.get(), box, format)) {
                return layout;
            }
        }
    }
    return makeTextLayout(dc, font, text, width, format);
}

PangoLayout* TextLayoutCache::layout(HDC dc, HFONT font, std::wstring_view text, SIZE box,
                                     UINT format) {
    if (!m_layout || dc != m_dc || font != m_font || box.cx != m_box.cx || box.cy != m_box.cy ||
        format != m_format) {
        m_layout = layOutForBox(dc, font, text, box, format);
        m_dc = dc;
        m_font = font;
        m_box = box;
        m_format = format;
    }
    return m_layout.get();
}

}  // namespace kestrova::ui
