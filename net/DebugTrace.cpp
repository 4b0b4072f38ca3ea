// Traces of the HTTP layer: bounded, on the debugger output and in the log.
#include "net/DebugTrace.h"

#include <cstdarg>

#include "log/LogLine.h"
#include "platform/debug/OutputDebugString.h"
#include "util/BoundedFormat.h"

void debugTrace(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::string wrapped = "[" + kestrova::boundedFormatV(format, args) + "]";
    va_end(args);
    OutputDebugStringA(wrapped.c_str());
    // The debugger output is gone once the program runs on its own; the log keeps it.
    kestrova::logLine(wrapped);
}
