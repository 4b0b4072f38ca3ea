// The process-wide file logger. A writer thread takes queued lines, oldest first, and appends
// each with a line end to "RazOdezerivozi.log" in the folder given to Init (or, with debug
// output on, writes it to the debugger output instead):
//
//   CLog::GetInstance()->Init("/tmp/Kestrova");
//   CLog::GetInstance()->Append(kestrova::stampLogLine("advert: none (status 404)"));
//
// The writer sleeps on a condition variable while the queue is empty, and Stop writes every
// line still queued before the writer ends, so no line is lost at exit.
#pragma once

#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "log/LocalFileHandler.h"
#include "log/ThreadHelper.h"

class CLog : public ThreadHelper {
public:
    // The process's logger, built on the first call (thread-safe) and destroyed at exit,
    // which stops its writer. Never null.
    static CLog* GetInstance();

    // The program uses GetInstance only; tests build loggers of their own.
    CLog() = default;
    ~CLog() override;

    // Creates the folder chain dir (narrow text, no trailing separator), opens the log file
    // in it and starts the writer. A failed open prints "open file=%s error=%d" on standard
    // output and the writer starts all the same: every line tries the file again. A second
    // Init first stops the running writer (writing out what is queued to the old file), then
    // sets up on the new folder, so there is never more than one writer.
    void Init(const char* dir);

    // The writer thread's loop; returns once Stop has lowered m_bRunning and the queue is
    // written out.
    void Run() override;

    // Ends the writer after it has written every queued line. True when a running writer was
    // stopped, false when none was running. Never call it from the writer thread.
    bool Stop();

    // Queues one line; the writer adds the line end. Any line end inside text becomes a space
    // (a trailing one is dropped), so one call always makes exactly one line in the log.
    // Lines queued while no writer runs stay queued for the next writer.
    void Append(std::string text);

    // Non-zero sends lines to the debugger output instead of the file.
    void SetDebugOutput(int on);

private:
    // Writes the oldest queued line; false when the queue was empty.
    bool WriteFront();
    // Blocks until lines were queued or Stop was called; false once stopping.
    bool WaitForLines();
    void StartWriter();

    // Owned through the logger lock (kestrova::g_logLock).
    std::shared_ptr<LocalFileHandler> m_spFile;
    std::list<std::string> m_lstLog;
    std::atomic<bool> m_bRunning{false};
    std::string m_strDir;
    std::string m_strPath;
    int m_bDebugOutput = 0;

    // The writer waits on its own mutex rather than the logger lock: it must not hold the
    // logger lock while asleep, and the logger lock is reentrant, which a condition
    // variable cannot safely release. m_bWake is raised after each queued line.
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_bWake = false;
};
