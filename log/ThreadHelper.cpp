// The worker-thread base.
#include "log/ThreadHelper.h"

#include "platform/crash/ExceptionFilter.h"

ThreadHelper::~ThreadHelper() {
    // Destroying a joinable std::thread terminates the process; a subclass that forgot to
    // stop its worker gets the old behaviour instead: the thread is simply not waited for.
    if (m_hThread.joinable()) {
        m_hThread.detach();
    }
}

std::uint32_t ThreadHelper::ThreadProc(void* arg) {
    // A stack overflow in Run still reaches the crash reporter.
    kestrova::ThreadSignalStack signalStack;
    static_cast<ThreadHelper*>(arg)->Run();
    return 0;
}
