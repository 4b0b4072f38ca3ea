// Fonts, drawing contexts and text layout. A font size of N means N pixels; a family
// that is not installed falls back through fontconfig to the CJK face the project ships
// with, so Chinese text never shows missing glyphs.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/UIDefs.h"

// A font as layouts declare it. The library owns every font (through its paint manager);
// HFONT values are borrowed pointers. Whether the family is installed is asked of the
// font map only when the font is first used for text: a window that never shows text
// never loads the font configuration.
struct HFONT__ {
    std::wstring family;
    int size = 12;
    bool bold = false;

    HFONT__(std::wstring familyName, int pixelSize, bool isBold);
    ~HFONT__();
    HFONT__(const HFONT__&) = delete;
    HFONT__& operator=(const HFONT__&) = delete;

    const PangoFontDescription* description();

private:
    PangoFontDescription* m_desc = nullptr;
};

// A drawing context: a cairo context, the pango context made for it on first text use
// (pictures and fills need none) and the selected font. A measuring context draws into a
// 1 x 1 surface and needs no display.
struct HDC__ {
    cairo_t* cr = nullptr;
    HFONT font = nullptr;

    explicit HDC__(cairo_t* target);  // borrows target
    ~HDC__();
    HDC__(const HDC__&) = delete;
    HDC__& operator=(const HDC__&) = delete;

    PangoContext* pango();

private:
    PangoContext* m_pango = nullptr;
};

// Selects font into dc for DrawTextW and returns the font selected before.
HFONT SelectObject(HDC dc, HFONT font);

// Lays text out in rc with the selected font. With DT_CALCRECT nothing is drawn: rc's
// bottom becomes top + the text's height in pixels and its right edge the widest line's
// end; DT_WORDBREAK wraps at words, and inside a word longer than the width. Returns the
// text's height. length -1 means up to the terminating NUL.
int DrawTextW(HDC dc, LPCWSTR text, int length, RECT* rc, UINT format);

namespace kestrova::ui {

inline constexpr const char* kFallbackFamily = "WenQuanYi Micro Hei";

struct GObjectDeleter {
    void operator()(void* object) const;
};
using LayoutPtr = std::unique_ptr<PangoLayout, GObjectDeleter>;

// A layout of text for dc's context in font, wrapped or aligned per the DT_ format bits.
// width < 0 leaves the layout unbounded.
LayoutPtr makeTextLayout(HDC dc, HFONT font, std::wstring_view text, int width, UINT format);

// Told how many characters each new layout holds (every text measured or drawn goes
// through makeTextLayout), so that a test or a benchmark can see that the work follows
// what shows rather than the length of a text. Empty for none; UI thread only.
using LayoutObserver = std::function<void(std::size_t characters)>;
void setLayoutObserver(LayoutObserver observer);

// The layout's logical size in whole pixels (rounded up).
SIZE layoutPixelSize(PangoLayout* layout);

// How many characters of the text pango could not find a glyph for.
int unknownGlyphCount(PangoLayout* layout);

}  // namespace kestrova::ui
