// The only conversions between the program's three text encodings: wide text
// (std::wstring, one code point per wchar_t), the narrow encoding of the process locale
// (the "ANSI" text handed to file functions and libcurl), and UTF-8 as the advert server
// sends it.
#pragma once

#include <stdexcept>
#include <string>

namespace kestrova {

// Raised where a conversion cannot be carried out at all (not for unrepresentable or
// malformed characters, which are replaced).
class TextConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kestrova

// Wide text to the locale's narrow encoding; characters it lacks become "?". Stops at the
// first NUL.
std::string wideToAnsi(const std::wstring& text);

// The locale's narrow encoding to wide text; malformed sequences become U+FFFD. Stops at
// the first NUL.
std::wstring ansiToWide(const std::string& text);

// UTF-8 (malformed bytes replaced by U+FFFD) to the locale's narrow encoding. Stops at the
// first NUL.
std::string utf8ToAnsi(std::string text);
