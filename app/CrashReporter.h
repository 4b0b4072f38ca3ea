// The crash dump reporter. It installs itself during static initialisation, ahead of every
// other process-wide object, and is undone at process exit, after all of them are gone.
//
// A fatal signal leaves a minidump at the executable's full path + ".dmp" (or where start-up
// says, setCrashDumpPath) and shows a box saying whether that worked; a call of a pure virtual
// function becomes std::invalid_argument with an empty message, so a surrounding catch-all can
// handle it.
#pragma once

#include "platform/crash/ExceptionFilter.h"

// Installed as the pure-call handler; throws std::invalid_argument("").
[[noreturn]] void throwInvalidArgument();

// Installed as the unhandled-exception filter; runs inside the fatal-signal handler.
// EXCEPTION_EXECUTE_HANDLER when the dump was written, else EXCEPTION_CONTINUE_SEARCH.
long crashExceptionFilter(EXCEPTION_POINTERS* exceptionInfo);

// Writes the dump to `dumpPath` and shows the outcome's box; false when the file could not
// be created (no box then) or the dump is incomplete. Async-signal-safe.
bool writeMiniDump(const char* dumpPath, EXCEPTION_POINTERS* exceptionInfo);

namespace kestrova {

// In a process started to show a crash's box: shows it (its text on standard error when
// there is no display) and ends the process with 0. Otherwise returns at once. The first
// call of main in every program that links the reporter.
void showRequestedCrashBox();

// Where every later crash puts its dump, in place of the executable's path + ".dmp". The
// path is copied into static storage, since the handler may not allocate; only the first
// call counts, so a handler never reads a path being rewritten. False when the path does
// not fit or one was set before.
bool setCrashDumpPath(const char* path);

}  // namespace kestrova
