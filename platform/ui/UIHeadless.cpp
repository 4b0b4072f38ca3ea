// The display-less backend's bookkeeping.
#include "platform/ui/UIHeadless.h"

#include <poll.h>

#include <thread>

namespace kestrova::ui {

bool HeadlessBackend::createWindow(HWND handle, const NativeWindowParams& params) {
    WindowState& w = m_windows[handle];
    w.params = params;
    w.rect = params.rect;
    w.style = params.style;
    return true;
}

void HeadlessBackend::setWindowRect(HWND handle, const RECT& rect) {
    if (auto it = m_windows.find(handle); it != m_windows.end())
        it->second.rect = rect;
}

RECT HeadlessBackend::getWindowRect(HWND handle) const {
    auto it = m_windows.find(handle);
    return it == m_windows.end() ? RECT{} : it->second.rect;
}

void HeadlessBackend::showWindow(HWND handle, bool show, bool topmost) {
    if (auto it = m_windows.find(handle); it != m_windows.end()) {
        it->second.visible = show;
        it->second.topmost = it->second.topmost || topmost;
    }
}

bool HeadlessBackend::isWindowVisible(HWND handle) const {
    auto it = m_windows.find(handle);
    return it != m_windows.end() && it->second.visible;
}

void HeadlessBackend::setIcon(HWND handle, const TImageInfo&) {
    if (auto it = m_windows.find(handle); it != m_windows.end())
        it->second.hasIcon = true;
}

void HeadlessBackend::setStyle(HWND handle, DWORD style) {
    if (auto it = m_windows.find(handle); it != m_windows.end())
        it->second.style = style;
}

void HeadlessBackend::invalidate(HWND handle) {
    if (auto it = m_windows.find(handle); it != m_windows.end())
        ++it->second.invalidations;
}

bool HeadlessBackend::setShadow(HWND parent, const TImageInfo* image, const RECT&) {
    auto it = m_windows.find(parent);
    if (it == m_windows.end() || !m_compositing) {
        return false;
    }
    it->second.hasShadow = image != nullptr;
    return true;
}

void HeadlessBackend::waitForEvents(std::chrono::microseconds timeout, int watchedFd) {
    // Without timers an idle loop would spin; a short nap keeps it cheap.
    const auto wait = timeout.count() < 0 ? std::chrono::microseconds(10'000) : timeout;
    if (watchedFd >= 0) {
        pollfd watched{watchedFd, POLLIN, 0};
        const timespec limit = toTimespec(wait);
        ::ppoll(&watched, 1, &limit, nullptr);
    } else if (wait.count() > 0) {
        std::this_thread::sleep_for(wait);
    }
}

const HeadlessBackend::WindowState* HeadlessBackend::state(HWND handle) const {
    auto it = m_windows.find(handle);
    return it == m_windows.end() ? nullptr : &it->second;
}

}  // namespace kestrova::ui
