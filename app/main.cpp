// Entry point of the advert pop-up: prepare the process, create the window, let the advert
// flow fill or close it, and run the message loop until the window is gone.
#include <string>

#include "app/CrashReporter.h"
#include "app/RegSettings.h"
#include "app/WorkFolder.h"
#include "log/CLog.h"
#include "log/LogLine.h"
#include "platform/terminate/TerminationRequest.h"
#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/host/X11Host.h"
#include "ui/FloatDlg.h"
#include "util/Locale.h"
#include "util/ProgramFolders.h"
#include "util/TextConvert.h"

namespace {

// The styles the window is created with: visible overlapped window; static edge, tool
// window. The window base and its layout reshape it as it is created.
constexpr DWORD kStyle = 0x10CF0000;
constexpr DWORD kExStyle = 0x00020080;
constexpr int kCreateWidth = 710;
constexpr int kCreateHeight = 470;

// Without a native window nothing could ever end the message loop, so the run ends here.
int endWithoutWindow(const char* why) {
    kestrova::logLine(std::string("advert: ") + why + ", nothing shown");
    return 0;
}

// A termination signal ends the run as the close button does: in the message loop the
// window closes; during the advert flow its transfers stop through their stop flag and the
// window closes as for any advert not shown.
void closeOnTermination(HWND hwnd) {
    kestrova::ui::watchDescriptor(kestrova::terminationDescriptor(),
                                  [hwnd] { PostMessageW(hwnd, WM_CLOSE, 1, 0); });
}

// The run's last line, when a signal asked it to end.
int endAfterLoop() {
    if (const std::string name = kestrova::terminationSignalName(); !name.empty()) {
        kestrova::logLine("advert: closed by " + name);
    }
    return 0;
}

// Where this user's settings file, picture cache and dump go, decided once before anything
// is written; the crash reporter holds the dump's path from here on. Returns the log line.
std::string settleProgramFolders() {
    const kestrova::ProgramFolders folders = kestrova::decideProgramFolders();
    kestrova::useProgramFolders(folders);
    kestrova::setCrashDumpPath(wideToAnsi(folders.dumpFile()).c_str());
    return folders.describe();
}

// The log's last lines must reach the disk before an X connection lost ends the process.
void flushLog() {
    CLog::GetInstance()->Stop();
}

}  // namespace

int main() {
    // A process started only to show a crash's box shows it and ends here.
    kestrova::showRequestedCrashBox();
    kestrova::installTerminationHandlers();
    kestrova::adoptProcessLocale();
    kestrova::enterExeDir();
    const std::string folders = settleProgramFolders();
    CLog::GetInstance()->Init(wideToAnsi(kestrova::prepareWorkFolder()).c_str());
    kestrova::logLine(folders);
    // Nobody watches a pop-up's standard error: what goes wrong in the window goes to the log.
    kestrova::ui::setTraceSink(kestrova::logLine);

    // There is no module handle; the window finds the skin embedded in the executable.
    CPaintManagerUI::SetInstance(nullptr);
    CPaintManagerUI::SetResourcePath(
        (CPaintManagerUI::GetInstancePath() + L"AdvertisingSkin").GetData());
    kestrova::ui::installBackend(kestrova::ui::createX11Backend());
    kestrova::ui::setConnectionLostHandler(flushLog);
    CWndShadow::Initialize(nullptr);
    if (!kestrova::ui::backend().isNative()) {
        return endWithoutWindow("no display");
    }

    auto* dlg = new CFloatDlg;
    const std::wstring caption = getWindowCaption();
    const HWND hwnd =
        dlg->Create(nullptr, caption.c_str(), kStyle, kExStyle, 0, 0, kCreateWidth, kCreateHeight);
    if (hwnd == nullptr) {
        delete dlg;
        return endWithoutWindow("window not created");
    }
    closeOnTermination(hwnd);
    dlg->ShowAdvert();
    CPaintManagerUI::MessageLoop();
    return endAfterLoop();
}
