// Bounded formatting for traces and failure messages; traces go to the debugger output
// and to the log.
#include "net/DebugTrace.h"

#include <cstdarg>
#include <cstdio>

#include "log/LogLine.h"
#include "platform/debug/OutputDebugString.h"

namespace {

constexpr std::size_t kMessageCapacity = 1024;  // 1023 characters and the terminator
constexpr std::size_t kWrappedCapacity = 1536;  // room for the brackets around any message

}  // namespace

void debugTrace(const char* format, ...) {
    char message[kMessageCapacity + 1] = {};
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(message, kMessageCapacity, format, args);
    va_end(args);

    char wrapped[kWrappedCapacity + 1] = {};
    std::snprintf(wrapped, kWrappedCapacity, "[%s]", message);
    OutputDebugStringA(wrapped);
    // The debugger output is gone once the program runs on its own; the log keeps it.
    kestrova::logLine(wrapped);
}

namespace kestrova {

std::string boundedFormat(const char* format, ...) {
    char message[kMessageCapacity] = {};
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(message, kMessageCapacity, format, args);
    va_end(args);
    return message;
}

}  // namespace kestrova
