// Fatal signals in place of the unhandled-exception filter: the handler, its alternate
// stack, and the end of the process once the filter has decided.
#include "platform/crash/ExceptionFilter.h"

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kFatalCount = sizeof kFatalSignals / sizeof kFatalSignals[0];
// Room for the handler, the dump writer and the kernel's signal frame (large with AVX-512).
constexpr size_t kAltStackSize = 128 * 1024;
constexpr size_t kGuardSize = 4096;

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
// The thread that reports the crash; any other thread that faults meanwhile waits for it.
std::atomic<uint32_t> g_reportingThread{0};

struct Installation {
    bool active = false;
    struct sigaction previous[kFatalCount] = {};
    stack_t previousStack = {};
    void* mapping = nullptr;
};
Installation g_installation;
// Read by threads the program starts; written before any of them and after all of them.
std::atomic<bool> g_installed{false};

void endProcessBy(int signalNumber) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signalNumber, &fallback, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signalNumber);
    ::syscall(SYS_tgkill, ::getpid(), kestrova::getCurrentThreadId(), signalNumber);
    // The pending signal is delivered, with its default action, as soon as it is unblocked.
    ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::_exit(128 + signalNumber);
}

void onFatalSignal(int signalNumber, siginfo_t* info, void* context) {
    const uint32_t self = kestrova::getCurrentThreadId();
    uint32_t expected = 0;
    if (!g_reportingThread.compare_exchange_strong(expected, self)) {
        if (expected == self) {
            endProcessBy(signalNumber);
        }
        // The reporting thread ends the whole process when it is done.
        for (;;) {
            ::pause();
        }
    }
    long verdict = EXCEPTION_CONTINUE_SEARCH;
    if (LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load(); filter != nullptr) {
        EXCEPTION_POINTERS pointers{signalNumber, info, context};
        verdict = filter(&pointers);
    }
    if (verdict == EXCEPTION_EXECUTE_HANDLER) {
        // The crash is reported; no core file on top of it, even through a core pipe.
        ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_CORE, &none);
    }
    endProcessBy(signalNumber);
}

// Maps an alternate signal stack and makes it the calling thread's; null on failure.
void* enterAltStack(stack_t* previous) {
    void* mapping = ::mmap(nullptr, kAltStackSize + kGuardSize, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        return nullptr;
    }
    // A handler that overruns its stack hits the guard page instead of other memory.
    ::mprotect(mapping, kGuardSize, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(mapping) + kGuardSize;
    stack.ss_size = kAltStackSize;
    if (::sigaltstack(&stack, previous) != 0) {
        ::munmap(mapping, kAltStackSize + kGuardSize);
        return nullptr;
    }
    return mapping;
}

// Puts the thread's earlier alternate stack (or none) back and unmaps ours.
void leaveAltStack(void* mapping, stack_t previous) {
    if (previous.ss_sp == nullptr) {
        previous.ss_flags = SS_DISABLE;
    }
    ::sigaltstack(&previous, nullptr);
    ::munmap(mapping, kAltStackSize + kGuardSize);
}

bool install() {
    void* mapping = enterAltStack(&g_installation.previousStack);
    if (mapping == nullptr) {
        return false;
    }
    g_installation.mapping = mapping;

    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kFatalSignals) {
        sigaddset(&action.sa_mask, signalNumber);
    }
    for (size_t i = 0; i < kFatalCount; ++i) {
        ::sigaction(kFatalSignals[i], &action, &g_installation.previous[i]);
    }
    g_installation.active = true;
    g_installed = true;
    return true;
}

void uninstall() {
    g_installed = false;
    for (size_t i = 0; i < kFatalCount; ++i) {
        ::sigaction(kFatalSignals[i], &g_installation.previous[i], nullptr);
    }
    leaveAltStack(g_installation.mapping, g_installation.previousStack);
    g_installation = Installation{};
}

}  // namespace

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    if (filter != nullptr && !g_installation.active && !install()) {
        return nullptr;
    }
    LPTOP_LEVEL_EXCEPTION_FILTER previous = g_filter.exchange(filter);
    if (filter == nullptr && g_installation.active) {
        uninstall();
    }
    return previous;
}

namespace kestrova {

uint32_t getModuleFileName(char* buffer, uint32_t size) {
    if (size == 0) {
        return 0;
    }
    // A path that fills the buffer may have been cut; a cut path could name another file.
    const ssize_t length = ::readlink("/proc/self/exe", buffer, size);
    if (length <= 0 || static_cast<size_t>(length) >= size) {
        buffer[0] = '\0';
        return 0;
    }
    size_t end = static_cast<size_t>(length);
    // An executable replaced on disk while running is reported with this suffix.
    constexpr char kDeleted[] = " (deleted)";
    constexpr size_t kDeletedLength = sizeof kDeleted - 1;
    if (end > kDeletedLength &&
        std::memcmp(buffer + end - kDeletedLength, kDeleted, kDeletedLength) == 0) {
        end -= kDeletedLength;
    }
    buffer[end] = '\0';
    return static_cast<uint32_t>(end);
}

ThreadSignalStack::ThreadSignalStack() {
    if (g_installed) {
        m_mapping = enterAltStack(&m_previous);
    }
}

ThreadSignalStack::~ThreadSignalStack() {
    if (m_mapping != nullptr) {
        leaveAltStack(m_mapping, m_previous);
    }
}

uint32_t getCurrentThreadId() {
    return static_cast<uint32_t>(::syscall(SYS_gettid));
}

}  // namespace kestrova
