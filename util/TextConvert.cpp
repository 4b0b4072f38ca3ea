// Conversions between wide text, the locale's narrow encoding and UTF-8.
//
// The narrow encoding is whatever LC_CTYPE names. UTF-8 locales, by far the common case,
// take a direct path through utfcpp; any other encoding goes character by character
// through the C library, which is the only thing that knows it.
#include "util/TextConvert.h"

#include <langinfo.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string_view>

#include <utf8.h>

namespace {

constexpr wchar_t kReplacement = L'\xFFFD';

// Decided once per conversion: the codeset name is the one locale lookup we need.
bool narrowIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
}

// A wchar_t holds a code point; anything outside Unicode's scalar values (negative,
// surrogates, past U+10FFFF) has no encoding at all.
bool isScalarValue(wchar_t c) {
    const auto cp = static_cast<std::uint32_t>(c);
    return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

std::string_view untilNul(const std::string& text) {
    return {text.data(), std::strlen(text.c_str())};
}

std::wstring_view untilNul(const std::wstring& text) {
    return {text.data(), std::wcslen(text.c_str())};
}

std::string encodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    auto sink = std::back_inserter(out);
    for (const wchar_t c : text) {
        if (isScalarValue(c)) {
            sink = utf8::unchecked::append(static_cast<std::uint32_t>(c), sink);
        } else {
            out.push_back('?');
        }
    }
    return out;
}

std::string encodeLocale(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    std::mbstate_t state{};
    char bytes[MB_LEN_MAX];
    for (const wchar_t c : text) {
        const std::size_t n = std::wcrtomb(bytes, c, &state);
        if (n == static_cast<std::size_t>(-1)) {
            out.push_back('?');
            state = std::mbstate_t{};
        } else {
            out.append(bytes, n);
        }
    }
    return out;
}

std::wstring decodeUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(valid),
                          static_cast<std::uint32_t>(kReplacement));
    std::wstring out;
    out.reserve(valid.size());
    for (auto it = valid.begin(); it != valid.end();) {
        out.push_back(static_cast<wchar_t>(utf8::unchecked::next(it)));
    }
    return out;
}

std::wstring decodeLocale(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::mbstate_t state{};
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        wchar_t c = 0;
        const std::size_t n = std::mbrtowc(&c, p, left, &state);
        if (n == static_cast<std::size_t>(-2)) {
            // The text ends inside a character.
            out.push_back(kReplacement);
            break;
        }
        if (n == static_cast<std::size_t>(-1)) {
            out.push_back(kReplacement);
            state = std::mbstate_t{};
            ++p;
            --left;
            continue;
        }
        // The text was cut at its first NUL, so n == 0 would be a C library fault; stepping
        // one byte keeps the loop finite all the same.
        const std::size_t used = n == 0 ? 1 : n;
        out.push_back(c);
        p += used;
        left -= used;
    }
    return out;
}

}  // namespace

std::string wideToAnsi(const std::wstring& text) {
    const std::wstring_view wide = untilNul(text);
    return narrowIsUtf8() ? encodeUtf8(wide) : encodeLocale(wide);
}

std::wstring ansiToWide(const std::string& text) {
    const std::string_view narrow = untilNul(text);
    return narrowIsUtf8() ? decodeUtf8(narrow) : decodeLocale(narrow);
}

std::string utf8ToAnsi(std::string text) {
    const std::string_view utf8 = untilNul(text);
    if (narrowIsUtf8()) {
        // Replacing the malformed bytes is the whole conversion; utfcpp also rejects
        // encoded surrogates, so the result equals the round trip through wide text.
        std::string out;
        out.reserve(utf8.size());
        utf8::replace_invalid(utf8.begin(), utf8.end(), std::back_inserter(out),
                              static_cast<std::uint32_t>(kReplacement));
        return out;
    }
    return encodeLocale(decodeUtf8(utf8));
}
