// Writes a minidump of the running process from inside a fatal-signal handler: system
// info, the exception with the faulting thread's context, the thread list with that
// thread's stack, the mapped ELF modules with their build ids, /proc/self/maps and
// /proc/self/status. Debuggers that read minidumps (LLDB among them) open it.
//
// Everything it needs is prepared beforehand; while writing it uses only async-signal-safe
// system calls and fixed static buffers, and it serves one crash at a time.
#pragma once

#include <cstdint>

#include "platform/crash/ExceptionFilter.h"

struct MINIDUMP_EXCEPTION_INFORMATION {
    uint32_t ThreadId;
    EXCEPTION_POINTERS* ExceptionPointers;
};

// Gathers the facts that do not change while the process runs. Call once, at installation.
void prepareMiniDumpWriter();

// True when every stream was written completely.
bool MiniDumpWriteDump(int file, const MINIDUMP_EXCEPTION_INFORMATION& exception);
