// The unhandled-exception filter over Linux fatal signals.
//
// Installing a filter routes SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT to it, on an
// alternate signal stack so that a stack overflow reaches it too. The filter runs on the
// faulting thread inside the signal handler and must keep to async-signal-safe calls.
// What it returns decides the end:
//
//   EXCEPTION_EXECUTE_HANDLER: the process dies by the signal without a core file;
//   EXCEPTION_CONTINUE_SEARCH: the default disposition is restored and the signal raised
//   again, so the system's own crash handling (a core file, if enabled) follows.
//
// Installing null removes the handlers and puts back the dispositions (and the alternate
// signal stack) that were in force before the first installation.
//
// The alternate stack set at installation is the installing thread's. Every other thread
// the program starts opens a ThreadSignalStack first thing, so that a stack overflow there
// is caught too:
//
//   void threadBody() { kestrova::ThreadSignalStack signalStack; ... }
#pragma once

#include <csignal>
#include <cstdint>

struct EXCEPTION_POINTERS {
    int signalNumber;
    const siginfo_t* signalInfo;
    // The faulting thread's machine context (the handler's ucontext_t).
    const void* context;
};

using LPTOP_LEVEL_EXCEPTION_FILTER = long (*)(EXCEPTION_POINTERS* exceptionInfo);

constexpr long EXCEPTION_EXECUTE_HANDLER = 1;
constexpr long EXCEPTION_CONTINUE_SEARCH = 0;

// Returns the filter installed before. Not async-signal-safe: call it at start-up or exit.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

namespace kestrova {

// An alternate signal stack of its own for the calling thread, for the life of the scope,
// while a filter is installed; nothing otherwise (sanitizers keep stacks of their own).
// Open it at the start of a thread's body, never inside a signal handler.
class ThreadSignalStack {
public:
    ThreadSignalStack();
    ~ThreadSignalStack();
    ThreadSignalStack(const ThreadSignalStack&) = delete;
    ThreadSignalStack& operator=(const ThreadSignalStack&) = delete;

private:
    void* m_mapping = nullptr;
    stack_t m_previous{};
};

// The full path of the running executable, terminated; its length, or 0 (and an empty
// text) when it is unknown or does not fit. Async-signal-safe.
uint32_t getModuleFileName(char* buffer, uint32_t size);

// The calling thread's kernel id. Async-signal-safe.
uint32_t getCurrentThreadId();

}  // namespace kestrova
