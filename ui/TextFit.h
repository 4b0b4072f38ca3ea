// Cutting a text so that, wrapped at a width, it fits a height: whole lines only, the last
// one ended with an ellipsis.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui/UIlib.h"

namespace kestrova {

struct FittedText {
    std::wstring text;
    int height = 0;  // of text, wrapped at the width, in the font selected into the dc
    bool cut = false;
};

// Wrapped (DT_WORDBREAK) at width in the font selected into dc: the whole text when it is
// at most maxHeight high, else the longest beginning of it that, with trailing blanks
// dropped and "…" added, still is. When not even the ellipsis fits, the ellipsis alone.
FittedText fitTextHeight(HDC dc, std::wstring_view text, int width, int maxHeight);

// The height of text wrapped at width in dc's selected font.
int measureWrapped(HDC dc, std::wstring_view text, int width);

}  // namespace kestrova
