// Turns the machine context a signal handler receives into the dump's thread context.
#pragma once

#include <cstdint>

#include "platform/crash/MinidumpFormat.h"

namespace kestrova {

#if defined(__x86_64__)
using DumpContext = minidump::ContextAmd64;
constexpr uint16_t kDumpProcessorArchitecture = minidump::kArchAmd64;
#else
#error "The crash dump writer knows the thread context of x86-64 only."
#endif

// `ucontext` is the third argument of an SA_SIGINFO handler.
void fillDumpContext(const void* ucontext, DumpContext& out);
uint64_t stackPointerOf(const void* ucontext);
uint64_t instructionPointerOf(const void* ucontext);

// The processor's identification for the system-info record.
void fillProcessorInfo(minidump::SystemInfo& info);

}  // namespace kestrova
