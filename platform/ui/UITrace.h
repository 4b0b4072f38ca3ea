// How the library reports what goes wrong. A failure the program survives (a window not
// created, a picture not drawn, an exception stopped at dispatch, an X error) is one line
// to the trace sink: standard error until the program points the sink elsewhere (the
// pop-up points it at its log). A programmer error is an assert that stops the program
// with a message saying how to fix the call.
//
//   kestrova::ui::setTraceSink(kestrova::logLine);
//   KESTROVA_UI_ASSERT(control != nullptr, "Add: pass a control, not null");
#pragma once

#include <string_view>

namespace kestrova::ui {

// Receives one line of text, without a line end. Called on the thread that runs the
// library.
using TraceSink = void (*)(std::string_view line);

// Points the library's traces at sink; null puts standard error back.
void setTraceSink(TraceSink sink);

// One trace line, formatted like printf and cut at 1023 characters; "ui: " goes in front.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes "ui: programmer error at FILE:LINE: fix" to standard error and aborts.
[[noreturn]] void assertFailed(const char* file, int line, const char* fix);

}  // namespace kestrova::ui

// Checked in every build: a misuse left in a shipped program must still stop it where it
// happened, not corrupt the window state and fail later somewhere else.
#define KESTROVA_UI_ASSERT(condition, fix)                           \
    do {                                                             \
        if (!(condition))                                            \
            ::kestrova::ui::assertFailed(__FILE__, __LINE__, (fix)); \
    } while (false)
