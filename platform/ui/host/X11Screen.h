// What the host knows about the X screen: the connection, the atoms it uses, the
// monitors and the primary one's work area, whether a compositor runs, the visual for
// per-pixel alpha and the scale factor from Xft.dpi. Geometry here is in device pixels.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/UIDefs.h"
#include "platform/ui/host/X11WorkArea.h"

namespace kestrova::ui::x11 {

struct Atoms {
    Atom wmProtocols, wmDeleteWindow, netWmName, utf8String, netWmPid, netWmIcon;
    Atom netWmWindowType, netWmWindowTypeUtility, netWmWindowTypeDialog;
    Atom netWmState, netWmStateSkipTaskbar, netWmStateSkipPager, netWmStateAbove;
    Atom netWmStateModal, netWorkarea, netCurrentDesktop, netActiveWindow;
    Atom netWmStateFullscreen, comptonShadow;
};

class X11Screen {
public:
    // Null when no display can be opened.
    static std::unique_ptr<X11Screen> open();
    ~X11Screen();
    X11Screen(const X11Screen&) = delete;
    X11Screen& operator=(const X11Screen&) = delete;

    Display* display() const { return m_display; }
    int screen() const { return m_screen; }
    Window root() const { return m_root; }
    const Atoms& atoms() const { return m_atoms; }
    double scale() const { return m_scale; }
    bool compositing() const;
    // A 32-bit TrueColor visual for per-pixel alpha, or null.
    Visual* argbVisual() const { return m_argbVisual; }

    // The active monitors: RandR 1.5 monitors (user-defined ones included), else the
    // outputs that show something, else the whole screen. The primary one comes first.
    std::vector<RECT> monitors() const;
    RECT primaryMonitor() const { return monitors().front(); }
    // The primary monitor's work area (see X11WorkArea.h). A known area is kept for
    // kWorkAreaKeptFor: reading it takes several round trips to the server, and a slide
    // asks on every tick, up to once a millisecond.
    std::optional<RECT> workArea() const;
    static constexpr std::chrono::milliseconds kWorkAreaKeptFor{8};
    // Whether the active window (_NET_ACTIVE_WINDOW) is full-screen
    // (_NET_WM_STATE_FULLSCREEN) on the primary monitor.
    bool activeWindowFullScreen() const;
    // Whether any pixel of rc (device pixels) lies on a monitor.
    bool intersectsScreen(const RECT& rc) const;

private:
    explicit X11Screen(Display* display);
    void readScale();
    std::vector<RECT> outputMonitors() const;

    Display* m_display;
    int m_screen;
    Window m_root;
    Atoms m_atoms{};
    double m_scale = 1.0;
    Visual* m_argbVisual = nullptr;
    Atom m_compositorSelection = None;
    int m_randrMinor = -1;  // -1: no RandR
    mutable WorkAreaReader m_workAreas;
    mutable std::optional<RECT> m_keptWorkArea;
    mutable std::chrono::steady_clock::time_point m_workAreaReadAt;
};

// Scale factor for an Xft.dpi value: dpi / 96, 1 when unset or unreasonable.
double scaleFromDpi(const char* dpi);

}  // namespace kestrova::ui::x11
