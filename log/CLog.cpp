// The file logger and its writer thread.
#include "log/CLog.h"

#include <cassert>
#include <cstdio>
#include <iostream>
#include <system_error>
#include <thread>

#include "log/LogLock.h"
#include "platform/debug/OutputDebugString.h"
#include "util/Folders.h"
#include "util/TextConvert.h"

using kestrova::g_logLock;

namespace {

constexpr const char* kLogFileName = "RazOdezerivozi.log";

// Keeps a queued text to one line: a trailing line end goes, inner ones become spaces.
void flattenLine(std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
}

}  // namespace

CLog* CLog::GetInstance() {
    static CLog instance;
    return &instance;
}

CLog::~CLog() {
    Stop();
    AutoLock lock(&g_logLock);
    m_strPath.clear();
    m_strDir.clear();
    m_lstLog.clear();
    m_spFile.reset();
}

void CLog::Init(const char* dir) {
    // One writer at a time: the old one writes out the queue to the old file first. This
    // cannot happen under the logger lock, which the writer needs for every line.
    Stop();

    const std::string folder = dir != nullptr ? dir : "";
    createDirChain(ansiToWide(folder));

    AutoLock lock(&g_logLock);
    m_strDir = folder;
    m_strPath = folder + "/" + kLogFileName;
    m_spFile = std::make_shared<LocalFileHandler>();
    if (const int error = m_spFile->Open(m_strPath)) {
        std::printf("open file=%s error=%d", m_strPath.c_str(), error);
    }
    StartWriter();
}

void CLog::StartWriter() {
    // Raised first, so that a Stop right after Init still waits for the writer.
    m_bRunning = true;
    try {
        m_hThread = std::thread(&ThreadHelper::ThreadProc, this);
    } catch (const std::system_error&) {
        m_bRunning = false;
        std::cout << "create thread error! \r\n" << std::endl;
    }
}

void CLog::Run() {
    for (;;) {
        while (WriteFront()) {
        }
        if (!WaitForLines()) {
            // Stopping: what was queued up to now still goes out.
            while (WriteFront()) {
            }
            return;
        }
    }
}

bool CLog::WaitForLines() {
    std::unique_lock lock(m_wakeMutex);
    m_wake.wait(lock, [this] { return m_bWake || !m_bRunning; });
    m_bWake = false;
    return m_bRunning;
}

bool CLog::WriteFront() {
    // The line is written under the logger lock, so lines never interleave and the sink
    // cannot be replaced while it is in use.
    AutoLock lock(&g_logLock);
    if (m_lstLog.empty()) {
        return false;
    }
    std::string line = std::move(m_lstLog.front());
    m_lstLog.pop_front();
    line.push_back('\n');

    if (m_bDebugOutput != 0) {
        OutputDebugStringA(line.c_str());
        return true;
    }
    if (m_spFile) {
        // A failed open loses this line silently; the next one tries again.
        if (!m_spFile->IsOpen()) {
            m_spFile->Open(m_strPath);
        }
        m_spFile->Write(line);
        // Closing is what flushes: every line is on disk before the next is taken.
        m_spFile->Close();
    }
    return true;
}

bool CLog::Stop() {
    {
        // Lowered under the writer's wait mutex, so the writer cannot miss the change
        // between testing the flag and going to sleep.
        std::lock_guard lock(m_wakeMutex);
        if (!m_bRunning.exchange(false)) {
            return false;
        }
    }
    m_wake.notify_all();

    std::thread writer;
    {
        // Init stores the thread under the logger lock.
        AutoLock lock(&g_logLock);
        writer = std::move(m_hThread);
    }
    assert(writer.get_id() != std::this_thread::get_id() &&
           "CLog::Stop waits for the writer; call it from any other thread");
    if (writer.joinable()) {
        writer.join();
    }

    AutoLock lock(&g_logLock);
    m_spFile.reset();
    return true;
}

void CLog::Append(std::string text) {
    flattenLine(text);
    {
        AutoLock lock(&g_logLock);
        m_lstLog.push_back(std::move(text));
    }
    {
        std::lock_guard lock(m_wakeMutex);
        m_bWake = true;
    }
    m_wake.notify_one();
}

void CLog::SetDebugOutput(int on) {
    AutoLock lock(&g_logLock);
    m_bDebugOutput = on;
}
