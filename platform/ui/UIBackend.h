// The seam between the library and a windowing system. The library never picks one: the
// program installs its backend (the X11 host, platform/ui/host/X11Host.h) before it makes
// a window, and without one the headless backend keeps windows as plain records, so the
// library runs (and is tested) without a display and without X11 linked at all.
// Coordinates are the design's pixels; a backend that scales for the screen does so on
// its side.
//
//   kestrova::ui::installBackend(kestrova::ui::createX11Backend());
#pragma once

#include <chrono>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/UIDefs.h"
#include "platform/ui/UIRender.h"

namespace kestrova::ui {

// A wait for ppoll; timeout is not negative.
inline timespec toTimespec(std::chrono::microseconds timeout) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>((timeout - seconds).count() * 1000)};
}

struct NativeWindowParams {
    std::wstring caption;
    std::wstring className;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};
    // An ordinary dialog the window manager handles (message boxes), as opposed to the
    // self-placed, self-stacked pop-up.
    bool managedDialog = false;
    HWND owner = nullptr;
};

// A window's paint as its backend asks for it (kestrova::ui::paintFrame): the window's
// kept frame brought up to date at the backend's scale.
struct FramePaint {
    double scale = 1.0;
    // The window's frame in device pixels, borrowed until its next paint; null when the
    // window paints nothing.
    cairo_surface_t* frame = nullptr;
    // The device pixels rendered by this paint (empty when none): what to put on screen
    // besides what the screen lost.
    RECT changed{};
};

class Backend {
public:
    virtual ~Backend() = default;

    // True when windows appear on a real display.
    virtual bool isNative() const = 0;
    // Creates the native window for handle; it stays hidden until showWindow.
    virtual bool createWindow(HWND handle, const NativeWindowParams& params) = 0;
    virtual void destroyWindow(HWND handle) = 0;
    virtual void setWindowRect(HWND handle, const RECT& rect) = 0;
    virtual RECT getWindowRect(HWND handle) const = 0;
    virtual void showWindow(HWND handle, bool show, bool topmost) = 0;
    virtual bool isWindowVisible(HWND handle) const = 0;
    virtual void setIcon(HWND handle, const TImageInfo& icon) = 0;
    // The style bits that matter natively: whether the window may be resized.
    virtual void setStyle(HWND handle, DWORD style) = 0;
    // The window has something new to render; the backend paints it (paintFrame) when it
    // next runs its events. Moves and exposures need none: they show the kept frame.
    virtual void invalidate(HWND handle) = 0;

    // Device pixels per design pixel (2 on a 2x screen).
    virtual double scale() const { return 1.0; }
    virtual RECT primaryMonitor() const = 0;
    // The work area, or nothing when it cannot be read.
    virtual std::optional<RECT> workArea() const = 0;
    virtual bool isCompositing() const = 0;
    // Whether the active window covers the primary monitor in full-screen mode (a film,
    // a presentation, a game).
    virtual bool isFullScreenActive() const = 0;
    // Puts a shadow window behind parent drawn from image with unscaled borders; a null
    // image removes it. False when this screen has no shadows.
    virtual bool setShadow(HWND parent, const TImageInfo* image, const RECT& borders) = 0;

    // Waits up to timeout (negative: until something happens) for native events and turns
    // them into window messages, painting what was invalidated. Returns early, too, when
    // watchedFd (unless it is -1) is readable; the backend does not read it. The timeout
    // is finer than a millisecond because the slide's shortest tick is one: rounding the
    // wait up to whole milliseconds would stretch every such tick by a fraction of one.
    virtual void waitForEvents(std::chrono::microseconds timeout, int watchedFd) = 0;
    // Breaks a waitForEvents in progress (a message was posted from a callback).
    virtual void wake() {}
};

// The installed backend; the headless one when none was installed.
Backend& backend();
// Makes backend the one every window uses from now on; null installs a fresh headless
// backend. Only while no window exists: a backend knows nothing of windows made on
// another (asserted).
void installBackend(std::unique_ptr<Backend> backend);

}  // namespace kestrova::ui
