// printf formatting into a string of bounded length, for traces, failure messages and log
// lines whose arguments may come from outside the program.
#pragma once

#include <cstdarg>
#include <string>

namespace kestrova {

// At most this many characters come out; the rest of a longer text is cut.
inline constexpr std::size_t kMaxFormattedLength = 1023;

// The text as printf formats it, cut at kMaxFormattedLength characters.
std::string boundedFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for a variadic caller's arguments.
std::string boundedFormatV(const char* format, std::va_list args)
    __attribute__((format(printf, 1, 0)));

}  // namespace kestrova
