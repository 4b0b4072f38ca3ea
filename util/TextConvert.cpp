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
    // Sized for the worst case and trimmed after: no growth checks in the loop.
    std::string out(text.size() * 4, '\0');
    char* p = out.data();
    for (const wchar_t c : text) {
        if (c >= 0 && c < 0x80) {
            *p++ = static_cast<char>(c);
        } else if (isScalarValue(c)) {
            p = utf8::unchecked::append(static_cast<std::uint32_t>(c), p);
        } else {
            *p++ = '?';
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
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

// Valid UTF-8, the usual case, is decoded as it is; anything else is repaired first.
std::string_view validUtf8(std::string_view text, std::string& repaired) {
    if (utf8::find_invalid(text.begin(), text.end()) == text.end()) {
        return text;
    }
    repaired.reserve(text.size() + 8);
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(repaired),
                          static_cast<std::uint32_t>(kReplacement));
    return repaired;
}

std::wstring decodeUtf8(std::string_view text) {
    std::wstring out(text.size(), L'\0');
    wchar_t* p = out.data();
    // URLs and numbers are plain ASCII: widened without any decoding.
    std::size_t ascii = 0;
    while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) {
        *p++ = static_cast<wchar_t>(text[ascii++]);
    }
    std::string repaired;
    const std::string_view rest = validUtf8(text.substr(ascii), repaired);
    // Every decoded character, a replacement included, uses up at least one input byte, so
    // the buffer sized by bytes is always large enough.
    for (auto it = rest.begin(); it != rest.end();) {
        *p++ = static_cast<wchar_t>(utf8::unchecked::next(it));
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
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
        // Repairing the malformed bytes is the whole conversion; utfcpp also rejects encoded
        // surrogates, so the result equals the round trip through wide text.
        std::string repaired;
        return std::string(validUtf8(utf8, repaired));
    }
    return encodeLocale(decodeUtf8(utf8));
}
