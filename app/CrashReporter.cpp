// The crash reporter's installation and undo, its exception filter (dump, then the box
// process) and the pure-call handler that turns a pure virtual call into an exception.
#include "app/CrashReporter.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "platform/crash/CrashBox.h"
#include "platform/crash/DumpFile.h"
#include "platform/crash/MiniDump.h"
#include "platform/crash/PureCall.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/host/X11Host.h"
#include "util/Locale.h"
#include "util/StaticOrder.h"

namespace {

constexpr wchar_t kCaption[] = L"提示";
constexpr wchar_t kDumpWritten[] =
    L"本程序遇到未处理的异常，MiniDump文件已经生成在程序的运行目录。";
constexpr wchar_t kDumpFailed[] = L"本程序遇到未处理的异常，生成MiniDump文件失败";
constexpr char kDumpSuffix[] = ".dmp";
constexpr uint32_t kMaxPath = 4096;

// The dump's path when start-up chose one; published by the flag once it is whole, so a
// crash on another thread sees either no path or the complete one.
char g_dumpPath[kMaxPath + sizeof kDumpSuffix] = {};
std::atomic<bool> g_dumpPathSet{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in the signal handler");

_purecall_handler g_previousPurecall = nullptr;
#if !defined(KESTROVA_SANITIZED)
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;
#endif

// The box this process was started to show; set at installation, shown from main.
std::optional<kestrova::CrashBoxRequest>& requestedBox() {
    static std::optional<kestrova::CrashBoxRequest> request;
    return request;
}

class CrashReporterInstallation {
public:
    CrashReporterInstallation() {
        // A process started to show a crash box installs nothing: a crash of its own
        // would start another box process, and so on.
        requestedBox() = kestrova::readCrashBoxRequest();
        if (requestedBox()) {
            return;
        }
        prepareMiniDumpWriter();
        kestrova::prepareCrashBox();
        g_previousPurecall = _set_purecall_handler(throwInvalidArgument);
#if !defined(KESTROVA_SANITIZED)
        // Under the sanitizers their own reports are worth more than a dump.
        g_previousFilter = SetUnhandledExceptionFilter(crashExceptionFilter);
#endif
    }

    // The dispositions in force before installation come back, even when there was no
    // filter before ours: a program that outlives us keeps its own crash handling.
    ~CrashReporterInstallation() {
        if (requestedBox()) {
            return;
        }
        _set_purecall_handler(g_previousPurecall);
#if !defined(KESTROVA_SANITIZED)
        SetUnhandledExceptionFilter(g_previousFilter);
#endif
    }

    CrashReporterInstallation(const CrashReporterInstallation&) = delete;
    CrashReporterInstallation& operator=(const CrashReporterInstallation&) = delete;
};

// 101 is the first priority open to programs: constructed before every other
// process-wide object, whatever the link order, and destroyed after all of them.
__attribute__((init_priority(kestrova::kCrashReporterPriority)))
CrashReporterInstallation g_crashReporter;

}  // namespace

namespace kestrova {

// The box is not shown during static initialisation: the window library's own objects
// (its resource path, the stream objects it may trace through, whatever it adds later)
// are built after priority 101 in link order, and a box shown before them would run on
// objects not yet constructed. At the start of main every static object exists, and
// nothing of the program has run yet.
void showRequestedCrashBox() {
    if (!requestedBox()) {
        return;
    }
    adoptProcessLocale();
    ui::installBackend(ui::createX11Backend());
    const CrashBoxRequest& request = *requestedBox();
    if (MessageBoxW(nullptr, request.text.c_str(), request.caption.c_str(), MB_OK) == 0) {
        writeCrashBoxTextToStderr(request.text);
    }
    std::_Exit(0);
}

bool setCrashDumpPath(const char* path) {
    static std::atomic<bool> claimed{false};
    const size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof g_dumpPath || claimed.exchange(true)) {
        return false;
    }
    std::memcpy(g_dumpPath, path, length + 1);
    g_dumpPathSet.store(true, std::memory_order_release);
    return true;
}

}  // namespace kestrova

void throwInvalidArgument() {
    throw std::invalid_argument("");
}

long crashExceptionFilter(EXCEPTION_POINTERS* exceptionInfo) {
    if (g_dumpPathSet.load(std::memory_order_acquire)) {
        return writeMiniDump(g_dumpPath, exceptionInfo) ? EXCEPTION_EXECUTE_HANDLER
                                                        : EXCEPTION_CONTINUE_SEARCH;
    }
    char dumpPath[kMaxPath + sizeof kDumpSuffix] = {};
    const uint32_t length = kestrova::getModuleFileName(dumpPath, kMaxPath);
    // Without the executable's path there is no place of ours to write to.
    if (length == 0) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    std::memcpy(dumpPath + length, kDumpSuffix, sizeof kDumpSuffix);
    return writeMiniDump(dumpPath, exceptionInfo) ? EXCEPTION_EXECUTE_HANDLER
                                                  : EXCEPTION_CONTINUE_SEARCH;
}

bool writeMiniDump(const char* dumpPath, EXCEPTION_POINTERS* exceptionInfo) {
    // Static rather than on the signal stack: one crash is reported at a time.
    static kestrova::DumpFile file;
    if (!kestrova::createDumpFile(dumpPath, file)) {
        return false;
    }
    const MINIDUMP_EXCEPTION_INFORMATION exception{kestrova::getCurrentThreadId(), exceptionInfo};
    // The dump takes its name only when whole, so the box's word is true when it shows.
    const bool written = MiniDumpWriteDump(file.fd, exception) && kestrova::commitDumpFile(file);
    if (!written) {
        kestrova::discardDumpFile(file);
    }
    // The crashing thread waits here until the box is dismissed.
    kestrova::runCrashBoxProcess(written ? kDumpWritten : kDumpFailed, kCaption);
    return written;
}
