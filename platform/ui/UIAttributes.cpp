// Value syntaxes of layout attributes. All parsers are strict: trailing junk or a wrong
// count of numbers is a malformed value, never silently a zero.
#include "platform/ui/UIAttributes.h"

#include <charconv>
#include <cwctype>
#include <vector>

#include "platform/ui/UIString.h"

namespace kestrova::ui {
namespace {

std::wstring_view trim(std::wstring_view s) {
    while (!s.empty() && std::iswspace(static_cast<wint_t>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::iswspace(static_cast<wint_t>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<std::vector<int>> parseInts(std::wstring_view text, size_t count) {
    std::vector<int> out;
    while (true) {
        size_t comma = text.find(L',');
        auto value = parseInt(text.substr(0, comma));
        if (!value) {
            return std::nullopt;
        }
        out.push_back(*value);
        if (comma == std::wstring_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    if (out.size() != count) {
        return std::nullopt;
    }
    return out;
}

std::optional<int> hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return std::nullopt;
}

}  // namespace

std::optional<int> parseInt(std::wstring_view text) {
    std::string narrow = toUtf8(trim(text));
    int value = 0;
    const char* end = narrow.data() + narrow.size();
    auto [ptr, ec] = std::from_chars(narrow.data(), end, value);
    if (narrow.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> parseCount(std::wstring_view text) {
    auto value = parseInt(text);
    return value && *value >= 0 ? value : std::nullopt;
}

std::optional<std::wstring> parseText(std::wstring_view text) {
    return std::wstring(text);
}

std::optional<RECT> parseRect(std::wstring_view text) {
    auto v = parseInts(text, 4);
    if (!v) {
        return std::nullopt;
    }
    return RECT{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
}

std::optional<SIZE> parseSize(std::wstring_view text) {
    auto v = parseInts(text, 2);
    if (!v) {
        return std::nullopt;
    }
    return SIZE{(*v)[0], (*v)[1]};
}

std::optional<bool> parseBool(std::wstring_view text) {
    CDuiString s{std::wstring(trim(text))};
    if (s.CompareNoCase(L"true") == 0)
        return true;
    if (s.CompareNoCase(L"false") == 0)
        return false;
    return std::nullopt;
}

std::optional<DWORD> parseColor(std::wstring_view text) {
    text = trim(text);
    if (text.empty() || text.front() != L'#' || (text.size() != 9 && text.size() != 7)) {
        return std::nullopt;
    }
    DWORD value = 0;
    for (wchar_t c : text.substr(1)) {
        auto d = hexDigit(c);
        if (!d) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<DWORD>(*d);
    }
    return text.size() == 7 ? (0xFF000000u | value) : value;
}

ImageSpecResult parseImageSpec(std::wstring_view text) {
    text = trim(text);
    if (text.empty()) {
        return {std::nullopt, "empty image string"};
    }
    // The quoted form starts with a key and "='"; anything else is a file name, even one
    // whose path holds "=" (a picture downloaded into such a folder).
    size_t keyEnd = 0;
    while (keyEnd < text.size() && std::iswalpha(static_cast<wint_t>(text[keyEnd])))
        ++keyEnd;
    if (keyEnd == 0 || text.substr(keyEnd, 2) != L"='") {
        return {ImageSpec{std::wstring(text)}, {}};
    }
    ImageSpec spec;
    while (!(text = trim(text)).empty()) {
        size_t eq = text.find(L'=');
        if (eq == std::wstring_view::npos || eq + 1 >= text.size() || text[eq + 1] != L'\'') {
            return {std::nullopt, "expected key='value' in image string"};
        }
        std::wstring key(trim(text.substr(0, eq)));
        size_t close = text.find(L'\'', eq + 2);
        if (close == std::wstring_view::npos) {
            return {std::nullopt, "unterminated quote in image string"};
        }
        std::wstring_view value = text.substr(eq + 2, close - eq - 2);
        text.remove_prefix(close + 1);
        if (key == L"file") {
            spec.file = value;
        } else if (key == L"corner" || key == L"source" || key == L"dest") {
            auto rc = parseRect(value);
            if (!rc) {
                return {std::nullopt, "bad rectangle for '" + toUtf8(key) + "' in image string"};
            }
            if (key == L"corner") {
                spec.corner = *rc;
            } else if (key == L"source") {
                spec.source = *rc;
            } else {
                spec.dest = *rc;
            }
        } else if (key == L"fade") {
            auto fade = parseInt(value);
            if (!fade || *fade < 0 || *fade > 255) {
                return {std::nullopt, "fade must be 0-255 in image string"};
            }
            spec.fade = *fade;
        } else {
            return {std::nullopt, "unknown key '" + toUtf8(key) + "' in image string"};
        }
    }
    if (spec.file.empty()) {
        return {std::nullopt, "image string names no file"};
    }
    return {spec, {}};
}

std::optional<std::wstring> parseImageAttribute(std::wstring_view text) {
    if (!text.empty() && !parseImageSpec(text).spec) {
        return std::nullopt;
    }
    return std::wstring(text);
}

}  // namespace kestrova::ui
