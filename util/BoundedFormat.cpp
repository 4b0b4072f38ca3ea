// Bounded printf formatting: one fixed buffer, never an unbounded allocation.
#include "util/BoundedFormat.h"

#include <cstdio>

namespace kestrova {

std::string boundedFormatV(const char* format, std::va_list args) {
    char message[kMaxFormattedLength + 1] = {};
    std::vsnprintf(message, sizeof message, format, args);
    return message;
}

std::string boundedFormat(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string message = boundedFormatV(format, args);
    va_end(args);
    return message;
}

}  // namespace kestrova
