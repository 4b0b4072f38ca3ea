// The X11 host: native windows for the library's windows, drawn with cairo, and the
// translation of X events into window messages. The pop-up is an override-redirect
// window the host places exactly, keeps on top and drags by its caption itself; a
// message box is an ordinary managed dialog.
#pragma once

#include <cairo.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/UIBackend.h"
#include "platform/ui/host/X11Screen.h"

namespace kestrova::ui::x11 {

class X11Backend : public Backend {
public:
    explicit X11Backend(std::unique_ptr<X11Screen> screen);
    ~X11Backend() override;

    bool isNative() const override { return true; }
    bool createWindow(HWND handle, const NativeWindowParams& params) override;
    void destroyWindow(HWND handle) override;
    void setWindowRect(HWND handle, const RECT& rect) override;
    RECT getWindowRect(HWND handle) const override;
    void showWindow(HWND handle, bool show, bool topmost) override;
    bool isWindowVisible(HWND handle) const override;
    void setIcon(HWND handle, const TImageInfo& icon) override;
    void setStyle(HWND handle, DWORD style) override;
    void invalidate(HWND handle) override;
    RECT primaryMonitor() const override;
    std::optional<RECT> workArea() const override;
    bool isCompositing() const override { return m_screen->compositing(); }
    bool isFullScreenActive() const override { return m_screen->activeWindowFullScreen(); }
    bool setShadow(HWND parent, const TImageInfo* image, const RECT& borders) override;
    void waitForEvents(std::chrono::microseconds timeout, int watchedFd) override;
    void wake() override;

    // The native window of a library window (for tests and tools), or None.
    Window nativeWindow(HWND handle) const;
    double scale() const override { return m_screen->scale(); }
    // Called once per window when its first frame reaches the screen.
    void setPresentedHook(std::function<void(HWND)> hook) { m_presented = std::move(hook); }

private:
    struct Shadow {
        Window xid = None;
        Colormap colormap = None;
        const TImageInfo* image = nullptr;
        RECT borders{};
        SurfacePtr frame;  // device pixels, drawn once per size
    };
    struct Native {
        Window xid = None;
        Visual* visual = nullptr;
        Colormap colormap = None;
        bool argb = false;
        bool managed = false;
        bool resizable = true;
        bool visible = false;  // shown as the library sees it
        bool mapped = false;   // shown on the X server
        bool topmost = false;
        bool dirty = true;  // the library has something new to render
        RECT exposed{};     // device pixels the screen lost, to copy from the frame again
        bool presented = false;
        RECT rect{};  // design pixels, screen coordinates
        Shadow shadow;
        std::chrono::steady_clock::time_point raiseWindowStart{};
        int raisesInWindow = 0;
        std::string className;  // UTF-8, for the trace when another client takes it away
        // The request that last hid the window: its unmap is ours, not another client's.
        unsigned long hideSerial = 0;
        // Inside a window manager's frame: unmaps there are the manager's (iconified,
        // another desktop).
        bool framed = false;
    };

    int dev(LONG v) const;
    RECT device(const RECT& rc) const;
    LONG design(int v) const;
    Native* find(HWND handle);
    const Native* find(HWND handle) const;
    HWND handleOf(Window xid) const;

    void setProperties(Native& w, const NativeWindowParams& params);
    void setCaptionProperties(Window xid, const std::wstring& caption);
    void updateSizeHints(Native& w);
    void placeNative(Native& w);
    void mapWhenOnScreen(HWND handle, Native& w);
    void paint(HWND handle, Native& w);
    void paintShadow(Native& w);
    void exposeShadow(Native& w, const RECT& area);
    void applyShape(Native& w, cairo_surface_t* frame);
    void raise(Native& w);
    void paintDirty();
    void processPending();
    void handleEvent(XEvent& ev);
    void handleButton(HWND handle, Native& w, XButtonEvent& ev);
    void handleMotion(HWND handle, Native& w, XMotionEvent& ev);
    void keepTopmostOnTop();
    bool handleGone(HWND handle, Native& w, XEvent& ev);
    void takenAway(HWND handle, Native& w, bool destroyed);
    void reraise(Native& w);

    static constexpr int kMaxRaisesPerSecond = 20;

    std::unique_ptr<X11Screen> m_screen;
    std::map<HWND, Native> m_windows;
    struct Drag {
        HWND handle;
        int offsetX, offsetY;  // pointer minus window origin, device pixels
    };
    std::optional<Drag> m_drag;
    int m_wakePipe[2] = {-1, -1};
    std::function<void(HWND)> m_presented;
    XErrorHandler m_previousErrorHandler = nullptr;
    XIOErrorHandler m_previousIoErrorHandler = nullptr;
};

}  // namespace kestrova::ui::x11
