// Parsers for the value syntaxes of layout attributes: numbers, rectangles, sizes,
// booleans, "#AARRGGBB" colours and image strings. Each returns nothing for a malformed
// value so the markup builder can name the attribute that carried it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/UIDefs.h"

namespace kestrova::ui {

std::optional<int> parseInt(std::wstring_view text);
// An integer of 0 or more.
std::optional<int> parseCount(std::wstring_view text);
// Any text, as it is (for names and texts, which have no syntax).
std::optional<std::wstring> parseText(std::wstring_view text);
// "l,t,r,b" with exactly four integers.
std::optional<RECT> parseRect(std::wstring_view text);
// "cx,cy" with exactly two integers.
std::optional<SIZE> parseSize(std::wstring_view text);
// "true" or "false" (any letter case).
std::optional<bool> parseBool(std::wstring_view text);
// "#AARRGGBB", or "#RRGGBB" for an opaque colour; the result is 0xAARRGGBB.
std::optional<DWORD> parseColor(std::wstring_view text);

// A picture reference as layouts write it: either a bare file name ("close.png") or
// quoted key/value pairs ("file='float_bg.png' corner='5,30,5,5' source='0,0,8,20'").
// corner gives the widths of the borders kept unscaled when the picture is stretched;
// source picks a part of the picture; dest places it inside the control instead of
// filling it; fade is an overall opacity 0-255.
struct ImageSpec {
    std::wstring file;
    RECT corner{};
    std::optional<RECT> source;
    std::optional<RECT> dest;
    int fade = 255;
};

// The parsed spec, or the reason the text is not one.
struct ImageSpecResult {
    std::optional<ImageSpec> spec;
    std::string error;
};
ImageSpecResult parseImageSpec(std::wstring_view text);
// An image attribute's value as it is: empty (no picture) or a well-formed image string.
std::optional<std::wstring> parseImageAttribute(std::wstring_view text);

}  // namespace kestrova::ui
