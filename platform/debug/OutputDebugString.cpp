// Debugger output on standard error.
#include "platform/debug/OutputDebugString.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

void OutputDebugStringA(const char* message) {
    if (message == nullptr) {
        return;
    }
    const std::size_t length = std::strlen(message);
    if (length == 0) {
        return;
    }
    // One write keeps the message whole; a signal before anything was written is the only
    // case worth repeating. A short write to a full pipe is not retried: a trace must never
    // block or fail the caller.
    ssize_t written = 0;
    do {
        written = ::write(STDERR_FILENO, message, length);
    } while (written < 0 && errno == EINTR);
}
