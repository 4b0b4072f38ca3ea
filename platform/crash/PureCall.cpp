// The process's own __cxa_pure_virtual and the handler it calls.
#include "platform/crash/PureCall.h"

#include <unistd.h>

#include <atomic>
#include <exception>

namespace {

std::atomic<_purecall_handler> g_handler{nullptr};

}  // namespace

_purecall_handler _set_purecall_handler(_purecall_handler handler) {
    return g_handler.exchange(handler);
}

// Replaces the C++ runtime's own definition for the whole executable; abstract classes'
// virtual tables point here. It may throw, so it is not declared noexcept.
extern "C" [[noreturn]] void __cxa_pure_virtual() {
    if (_purecall_handler handler = g_handler.load(); handler != nullptr) {
        handler();
    }
    constexpr char kMessage[] = "pure virtual method called\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    std::terminate();
}
