// The trace sink and the library's asserts.
#include "platform/ui/UITrace.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <string>

#include "util/BoundedFormat.h"

namespace kestrova::ui {
namespace {

constinit TraceSink g_sink = nullptr;

// One write per line, so lines of two threads never interleave.
void writeStandardError(std::string_view text) {
    std::string line(text);
    line += '\n';
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace

void setTraceSink(TraceSink sink) {
    g_sink = sink;
}

void trace(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::string line = "ui: " + boundedFormatV(format, args);
    va_end(args);
    if (g_sink) {
        g_sink(line);
    } else {
        writeStandardError(line);
    }
}

void assertFailed(const char* file, int line, const char* fix) {
    // Standard error, not the sink: the process ends before a log writer could write it.
    writeStandardError(boundedFormat("ui: programmer error at %s:%d: %s", file, line, fix));
    std::abort();
}

}  // namespace kestrova::ui
