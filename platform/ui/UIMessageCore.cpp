// Message queue, timers and dispatch. Everything runs on the thread that runs the loop.
#include "platform/ui/UIMessageCore.h"

#include <poll.h>

#include <chrono>
#include <deque>
#include <exception>
#include <map>
#include <mutex>

#include "platform/ui/UIHeadless.h"
#include "platform/ui/UIManager.h"
#include "platform/ui/UIText.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/UIWindow.h"
#include "util/ExceptionName.h"

namespace kestrova::ui {
namespace {

using Clock = std::chrono::steady_clock;

struct WindowRecord {
    CWindowWnd* window = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int dispatchDepth = 0;
    bool destroyed = false;
};

struct Posted {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

struct Timer {
    std::chrono::milliseconds interval;
    Clock::time_point due;
};

struct Core {
    std::unique_ptr<Backend> backend;
    std::map<HWND, WindowRecord> windows;
    std::deque<Posted> posted;
    std::map<std::pair<HWND, UINT_PTR>, Timer> timers;
    std::uintptr_t nextHandle = 0x10000;
    bool quit = false;
    int quitCode = 0;
    int watchedFd = -1;
    std::function<void()> onWatched;
};

Core& core() {
    static Core instance;
    return instance;
}

// Messages from other threads wait here, under their own lock, until the loop's thread
// moves them into its queue.
struct Inbox {
    std::mutex mutex;
    std::deque<Posted> posted;
};

Inbox& inbox() {
    static Inbox instance;
    return instance;
}

WindowRecord* record(HWND hwnd) {
    auto it = core().windows.find(hwnd);
    return it == core().windows.end() ? nullptr : &it->second;
}

// The window's object learns last that its native window is gone; it may delete itself.
void finishWindow(HWND hwnd) {
    auto it = core().windows.find(hwnd);
    if (it == core().windows.end()) {
        return;
    }
    CWindowWnd* window = it->second.window;
    core().windows.erase(it);
    if (window) {
        window->FinalMessageFromCore(hwnd);
    }
}

LRESULT dispatchGuarded(HWND hwnd, CWindowWnd* window, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        LRESULT result = 0;
        CPaintManagerUI* pm = CPaintManagerUI::FromWindow(hwnd);
        if (pm && pm->PreMessageHandler(msg, wParam, lParam, result)) {
            return result;
        }
        return window->HandleMessage(msg, wParam, lParam);
    } catch (const std::exception& e) {
        // By its type only: the message may quote what the window was showing.
        trace("message 0x%04x: exception %s stopped", msg, exceptionName(e).c_str());
    } catch (...) {
        trace("message 0x%04x: exception of unknown type stopped", msg);
    }
    return 0;
}

void fireDueTimers() {
    auto now = Clock::now();
    std::vector<std::pair<HWND, UINT_PTR>> due;
    for (auto& [key, timer] : core().timers) {
        if (timer.due <= now) {
            due.push_back(key);
            // A late tick is not made up for: the next one is a whole interval away.
            timer.due = std::max(timer.due + timer.interval, now + timer.interval / 2);
        }
    }
    for (auto& [hwnd, id] : due) {
        // An earlier tick may have killed this timer or its window.
        if (core().timers.contains({hwnd, id})) {
            sendMessage(hwnd, WM_TIMER, id, 0);
        }
    }
}

// Negative without timers.
std::chrono::microseconds timeUntilNextTimer() {
    if (core().timers.empty()) {
        return std::chrono::microseconds(-1);
    }
    auto next = Clock::time_point::max();
    for (auto& [key, timer] : core().timers) {
        next = std::min(next, timer.due);
    }
    auto wait = std::chrono::ceil<std::chrono::microseconds>(next - Clock::now());
    return std::max(wait, std::chrono::microseconds(0));
}

void callWatchIfReadable() {
    if (core().watchedFd < 0) {
        return;
    }
    pollfd watched{core().watchedFd, POLLIN, 0};
    if (::poll(&watched, 1, 0) == 1 && (watched.revents & (POLLIN | POLLHUP)) != 0) {
        core().watchedFd = -1;
        std::function<void()> call = std::move(core().onWatched);
        core().onWatched = nullptr;
        // Like a dispatch, the watch's call lets nothing escape into the loop.
        try {
            if (call) {
                call();
            }
        } catch (const std::exception& e) {
            trace("descriptor watch: exception %s stopped", exceptionName(e).c_str());
        } catch (...) {
            trace("descriptor watch: exception of unknown type stopped");
        }
    }
}

}  // namespace

Backend& backend() {
    if (!core().backend) {
        core().backend = std::make_unique<HeadlessBackend>();
    }
    return *core().backend;
}

void installBackend(std::unique_ptr<Backend> replacement) {
    KESTROVA_UI_ASSERT(core().windows.empty(),
                       "installBackend with windows open: install the backend at start, before "
                       "the first window, or destroy every window first");
    core().backend = replacement ? std::move(replacement) : std::make_unique<HeadlessBackend>();
}

HWND registerWindow(CWindowWnd* window, DWORD style, DWORD exStyle) {
    HWND hwnd = reinterpret_cast<HWND>(core().nextHandle);
    core().nextHandle += 0x10;
    core().windows[hwnd] = WindowRecord{window, style, exStyle};
    return hwnd;
}

CWindowWnd* windowFromHandle(HWND hwnd) {
    WindowRecord* rec = record(hwnd);
    return rec && !rec->destroyed ? rec->window : nullptr;
}

bool isWindow(HWND hwnd) {
    return windowFromHandle(hwnd) != nullptr;
}

DWORD windowStyle(HWND hwnd) {
    WindowRecord* rec = record(hwnd);
    return rec ? rec->style : 0;
}

void setWindowStyle(HWND hwnd, DWORD style) {
    if (WindowRecord* rec = record(hwnd)) {
        rec->style = style;
        backend().setStyle(hwnd, style);
    }
}

DWORD windowExStyle(HWND hwnd) {
    WindowRecord* rec = record(hwnd);
    return rec ? rec->exStyle : 0;
}

LRESULT sendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowRecord* rec = record(hwnd);
    if (!rec || !rec->window || (rec->destroyed && msg != WM_NCDESTROY && msg != WM_DESTROY)) {
        return 0;
    }
    ++rec->dispatchDepth;
    LRESULT result = dispatchGuarded(hwnd, rec->window, msg, wParam, lParam);
    rec = record(hwnd);  // the map may have changed during the dispatch
    if (rec && --rec->dispatchDepth == 0 && rec->destroyed) {
        finishWindow(hwnd);
    }
    return result;
}

bool postMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !isWindow(hwnd)) {
        return false;
    }
    core().posted.push_back(Posted{hwnd, msg, wParam, lParam});
    backend().wake();
    return true;
}

void postFromAnyThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard lock(inbox().mutex);
        inbox().posted.push_back(Posted{hwnd, msg, wParam, lParam});
    }
    backend().wake();
}

void forgetWindow(HWND hwnd) {
    if (!record(hwnd)) {
        return;
    }
    std::erase_if(core().timers, [hwnd](const auto& t) { return t.first.first == hwnd; });
    std::erase_if(core().posted, [hwnd](const Posted& p) { return p.hwnd == hwnd; });
    backend().destroyWindow(hwnd);
    core().windows.erase(hwnd);
}

bool destroyWindow(HWND hwnd) {
    WindowRecord* rec = record(hwnd);
    if (!rec || rec->destroyed) {
        return false;
    }
    ++rec->dispatchDepth;  // hold the final message back until the end of this call
    sendMessage(hwnd, WM_DESTROY, 0, 0);
    record(hwnd)->destroyed = true;
    std::erase_if(core().timers, [hwnd](const auto& t) { return t.first.first == hwnd; });
    std::erase_if(core().posted, [hwnd](const Posted& p) { return p.hwnd == hwnd; });
    backend().destroyWindow(hwnd);
    sendMessage(hwnd, WM_NCDESTROY, 0, 0);
    rec = record(hwnd);
    if (rec && --rec->dispatchDepth == 0) {
        finishWindow(hwnd);
    }
    return true;
}

bool setTimer(HWND hwnd, UINT_PTR id, UINT elapseMs) {
    if (!isWindow(hwnd)) {
        return false;
    }
    auto interval = std::chrono::milliseconds(elapseMs == 0 ? 1 : elapseMs);
    core().timers[{hwnd, id}] = Timer{interval, Clock::now() + interval};
    return true;
}

bool killTimer(HWND hwnd, UINT_PTR id) {
    return core().timers.erase({hwnd, id}) > 0;
}

void postQuit(int exitCode) {
    core().quit = true;
    core().quitCode = exitCode;
    if (core().backend) {
        core().backend->wake();
    }
}

bool quitPending() {
    return core().quit;
}

bool pumpMessages(int maxWaitMs) {
    // Messages posted while this batch runs wait for the next round, so a handler that
    // posts to itself cannot starve timers and input.
    {
        std::lock_guard lock(inbox().mutex);
        for (const Posted& p : inbox().posted) {
            if (isWindow(p.hwnd))
                core().posted.push_back(p);
        }
        inbox().posted.clear();
    }
    std::deque<Posted> batch;
    batch.swap(core().posted);
    for (size_t i = 0; i < batch.size(); ++i) {
        if (core().quit) {
            core().posted.insert(core().posted.begin(), batch.begin() + static_cast<long>(i),
                                 batch.end());
            break;
        }
        sendMessage(batch[i].hwnd, batch[i].msg, batch[i].wParam, batch[i].lParam);
    }
    if (core().quit) {
        return false;
    }
    fireDueTimers();
    if (core().quit) {
        return false;
    }
    auto wait = core().posted.empty() ? timeUntilNextTimer() : std::chrono::microseconds(0);
    const std::chrono::microseconds most = std::chrono::milliseconds(maxWaitMs);
    if (maxWaitMs >= 0 && (wait.count() < 0 || wait > most)) {
        wait = most;
    }
    backend().waitForEvents(wait, core().watchedFd);
    callWatchIfReadable();
    return !core().quit;
}

void watchDescriptor(int fd, std::function<void()> onReadable) {
    core().watchedFd = fd;
    core().onWatched = fd >= 0 ? std::move(onReadable) : nullptr;
}

int runMessageLoop() {
    while (pumpMessages(-1)) {
    }
    core().quit = false;
    return core().quitCode;
}

void invalidateWindow(HWND hwnd) {
    if (isWindow(hwnd)) {
        backend().invalidate(hwnd);
    }
}

void paintWindow(HWND hwnd, cairo_t* cr) {
    HDC__ dc(cr);
    sendMessage(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(&dc), 0);
}

bool paintFrame(HWND hwnd, FramePaint& paint) {
    paint.frame = nullptr;
    paint.changed = RECT{};
    sendMessage(hwnd, WM_PAINT, 0, reinterpret_cast<LPARAM>(&paint));
    return paint.frame != nullptr;
}

}  // namespace kestrova::ui
