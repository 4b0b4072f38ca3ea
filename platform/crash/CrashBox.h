// A crashed process cannot safely run a window toolkit, so its message box is shown by a
// fresh copy of the executable. The crashing side starts it with the box's caption and
// text in two environment variables and waits for it to end; the fresh process finds
// them first thing in its static initialisation (readCrashBoxRequest), shows the box and
// exits without running anything else.
#pragma once

#include <optional>
#include <string>

namespace kestrova {

// Captures the executable's path and the environment for the fresh process. Call once,
// at installation.
void prepareCrashBox();

// How long a crashed process waits for its box: a box left on screen (or kept by a
// display that stopped answering) must not keep the crashed process for ever.
constexpr long kCrashBoxWaitMs = 10 * 60 * 1000;

// Starts the fresh process with the text and caption and waits until it ends, at most
// waitLimitMs; a box still there then is killed. Returns its exit status (0 for a box
// that was killed), or -1 when it could not be started; the text then goes to standard
// error. Async-signal-safe.
int runCrashBoxProcess(const wchar_t* text, const wchar_t* caption,
                       long waitLimitMs = kCrashBoxWaitMs);

struct CrashBoxRequest {
    std::wstring text;
    std::wstring caption;
};

// The box this process was started to show, if it was.
std::optional<CrashBoxRequest> readCrashBoxRequest();

// Writes the text, UTF-8 encoded and followed by a newline, to standard error. For a box
// that cannot be shown.
void writeCrashBoxTextToStderr(const std::wstring& text);

}  // namespace kestrova
