// Text conversions between the UTF-8 of markup and pango and the library's wide strings.
#include "platform/ui/UIString.h"

#include <utf8.h>

#include <algorithm>
#include <cwctype>
#include <iterator>

int CDuiString::CompareNoCase(const wchar_t* text) const {
    std::wstring_view other = text ? text : L"";
    size_t n = std::min(m_str.size(), other.size());
    for (size_t i = 0; i < n; ++i) {
        auto a = std::towlower(static_cast<wint_t>(m_str[i]));
        auto b = std::towlower(static_cast<wint_t>(other[i]));
        if (a != b) {
            return a < b ? -1 : 1;
        }
    }
    if (m_str.size() == other.size()) {
        return 0;
    }
    return m_str.size() < other.size() ? -1 : 1;
}

namespace kestrova::ui {

std::wstring fromUtf8(std::string_view text) {
    std::string valid;
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(valid));
    std::wstring out;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(out));
    return out;
}

std::string toUtf8(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text) {
        auto cp = static_cast<std::uint32_t>(c);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            cp = 0xFFFD;
        }
        utf8::append(cp, std::back_inserter(out));
    }
    return out;
}

}  // namespace kestrova::ui
