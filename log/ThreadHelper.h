// Base of a class that runs its own worker thread. The subclass starts the thread with
// ThreadProc and itself, stores it in m_hThread, and stops and joins it before it is
// destroyed:
//
//   m_hThread = std::thread(&ThreadHelper::ThreadProc, this);  // start
//   ... ask Run to return ...; m_hThread.join();                // stop
#pragma once

#include <cstdint>
#include <thread>

class ThreadHelper {
public:
    ThreadHelper() = default;
    ThreadHelper(const ThreadHelper&) = delete;
    ThreadHelper& operator=(const ThreadHelper&) = delete;

    // Never waits for the thread: stopping it is the subclass's job. A thread still
    // attached here is detached rather than left to end the process.
    virtual ~ThreadHelper();

    // The worker loop of the subclass, run on the worker thread.
    virtual void Run() = 0;

    // Entry point of the worker thread; arg is the ThreadHelper whose Run is called.
    // Returns the thread's exit code, 0.
    static std::uint32_t ThreadProc(void* arg);

protected:
    std::thread m_hThread;
};
