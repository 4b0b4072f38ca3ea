// A second X connection for the x11 tests: it looks at the library's windows the way a
// desktop tool would (geometry, stacking) and plays the other clients a desktop has (a
// normal window, a panel, the window manager's close request).
#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/UIDefs.h"

namespace kestrova::uitest {

class X11Probe {
public:
    X11Probe();
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    Display* display() const { return m_display; }
    Window root() const;

    // Geometry in root coordinates (the frame's for a managed window's client).
    RECT geometry(Window w) const;
    bool isViewable(Window w) const;
    // Top-level (root child) windows, bottom to top.
    std::vector<Window> stacking() const;
    // The root child that holds w (w itself for an override-redirect window).
    Window topLevelOf(Window w) const;

    // A normal managed window of the given geometry, mapped; destroyed with the probe.
    Window mapNormalWindow(const RECT& rc);
    // A dock at the bottom of the screen reserving height pixels.
    Window mapBottomPanel(int height);
    void requestClose(Window w);
    void setResourceManager(const std::optional<std::string>& text);
    std::optional<std::string> resourceManager() const;
    void sync() const { XSync(m_display, False); }

private:
    Display* m_display;
    std::vector<Window> m_own;
};

}  // namespace kestrova::uitest
