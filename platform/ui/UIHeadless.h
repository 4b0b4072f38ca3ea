// A backend without a display: windows are records of their geometry, visibility and
// decorations, the screen is whatever the test says, and nothing is ever painted
// unless asked. Tests install it to drive windows through simulated input.
#pragma once

#include <map>

#include "platform/ui/UIBackend.h"

namespace kestrova::ui {

class HeadlessBackend : public Backend {
public:
    struct WindowState {
        NativeWindowParams params;
        RECT rect{};
        bool visible = false;
        bool topmost = false;
        bool hasIcon = false;
        bool hasShadow = false;
        DWORD style = 0;
        int invalidations = 0;
    };

    bool isNative() const override { return false; }
    bool createWindow(HWND handle, const NativeWindowParams& params) override;
    void destroyWindow(HWND handle) override { m_windows.erase(handle); }
    void setWindowRect(HWND handle, const RECT& rect) override;
    RECT getWindowRect(HWND handle) const override;
    void showWindow(HWND handle, bool show, bool topmost) override;
    bool isWindowVisible(HWND handle) const override;
    void setIcon(HWND handle, const TImageInfo& icon) override;
    void setStyle(HWND handle, DWORD style) override;
    void invalidate(HWND handle) override;
    RECT primaryMonitor() const override { return m_monitor; }
    std::optional<RECT> workArea() const override { return m_workArea; }
    bool isCompositing() const override { return m_compositing; }
    bool isFullScreenActive() const override { return m_fullScreen; }
    bool setShadow(HWND parent, const TImageInfo* image, const RECT& borders) override;
    // Nothing can happen without a display: just let the time pass, or wait for the
    // watched descriptor.
    void waitForEvents(std::chrono::microseconds timeout, int watchedFd) override;

    void setMonitor(const RECT& rc) { m_monitor = rc; }
    void setWorkArea(std::optional<RECT> rc) { m_workArea = rc; }
    void setCompositing(bool on) { m_compositing = on; }
    void setFullScreenActive(bool on) { m_fullScreen = on; }
    // The record of a live window, or null.
    const WindowState* state(HWND handle) const;

private:
    std::map<HWND, WindowState> m_windows;
    RECT m_monitor{0, 0, 1920, 1080};
    std::optional<RECT> m_workArea = RECT{0, 0, 1920, 1080};
    bool m_compositing = true;
    bool m_fullScreen = false;
};

}  // namespace kestrova::ui
