// Screen facts from X: RandR for the monitors, EWMH for the compositor, the resource
// database for the scale.
#include "platform/ui/host/X11Screen.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kestrova::ui::x11 {

double scaleFromDpi(const char* dpi) {
    if (!dpi) {
        return 1.0;
    }
    char* end = nullptr;
    double value = std::strtod(dpi, &end);
    if (end == dpi || value < 48 || value > 480) {
        return 1.0;
    }
    return value / 96.0;
}

std::unique_ptr<X11Screen> X11Screen::open() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return nullptr;
    }
    return std::unique_ptr<X11Screen>(new X11Screen(display));
}

X11Screen::X11Screen(Display* display)
    : m_display(display),
      m_screen(DefaultScreen(display)),
      m_root(RootWindow(display, m_screen)),
      m_workAreas(display) {
    // One round trip for every atom: start-up time matters for a pop-up.
    std::string selection = "_NET_WM_CM_S" + std::to_string(m_screen);
    const char* names[] = {"WM_PROTOCOLS",
                           "WM_DELETE_WINDOW",
                           "_NET_WM_NAME",
                           "UTF8_STRING",
                           "_NET_WM_PID",
                           "_NET_WM_ICON",
                           "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_UTILITY",
                           "_NET_WM_WINDOW_TYPE_DIALOG",
                           "_NET_WM_STATE",
                           "_NET_WM_STATE_SKIP_TASKBAR",
                           "_NET_WM_STATE_SKIP_PAGER",
                           "_NET_WM_STATE_ABOVE",
                           "_NET_WM_STATE_MODAL",
                           "_NET_WORKAREA",
                           "_NET_CURRENT_DESKTOP",
                           "_NET_ACTIVE_WINDOW",
                           "_NET_WM_STATE_FULLSCREEN",
                           "_COMPTON_SHADOW",
                           selection.c_str()};
    constexpr int kCount = sizeof(names) / sizeof(names[0]);
    static_assert(sizeof(Atoms) == (kCount - 1) * sizeof(Atom), "one name per member of Atoms");
    Atom atoms[kCount] = {};
    XInternAtoms(m_display, const_cast<char**>(names), kCount, False, atoms);
    std::memcpy(&m_atoms, atoms, sizeof(Atoms));
    m_compositorSelection = atoms[kCount - 1];
    XVisualInfo want{};
    want.screen = m_screen;
    want.depth = 32;
    want.c_class = TrueColor;
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(
        m_display, VisualScreenMask | VisualDepthMask | VisualClassMask, &want, &count);
    if (found && count > 0) {
        m_argbVisual = found[0].visual;
    }
    if (found) {
        XFree(found);
    }
    readScale();
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(m_display, &eventBase, &errorBase) &&
        XRRQueryVersion(m_display, &major, &minor)) {
        m_randrMinor = major > 1 ? 99 : minor;
    }
}

X11Screen::~X11Screen() {
    XCloseDisplay(m_display);
}

void X11Screen::readScale() {
    const char* resources = XResourceManagerString(m_display);
    if (!resources) {
        return;
    }
    XrmInitialize();
    XrmDatabase db = XrmGetStringDatabase(resources);
    if (!db) {
        return;
    }
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
        m_scale = scaleFromDpi(value.addr);
    }
    XrmDestroyDatabase(db);
}

bool X11Screen::compositing() const {
    return m_argbVisual && XGetSelectionOwner(m_display, m_compositorSelection) != None;
}

std::vector<RECT> X11Screen::monitors() const {
    std::vector<RECT> found;
    if (m_randrMinor >= 5) {
        int count = 0;
        if (XRRMonitorInfo* info = XRRGetMonitors(m_display, m_root, True, &count)) {
            for (int i = 0; i < count; ++i) {
                if (info[i].width <= 0 || info[i].height <= 0)
                    continue;
                RECT rc{info[i].x, info[i].y, info[i].x + info[i].width,
                        info[i].y + info[i].height};
                found.insert(info[i].primary ? found.begin() : found.end(), rc);
            }
            XRRFreeMonitors(info);
        }
    }
    if (found.empty() && m_randrMinor >= 0)
        found = outputMonitors();
    if (found.empty())
        found.push_back(
            RECT{0, 0, DisplayWidth(m_display, m_screen), DisplayHeight(m_display, m_screen)});
    return found;
}

// RandR before 1.5: the outputs that show something, the primary output first.
std::vector<RECT> X11Screen::outputMonitors() const {
    std::vector<RECT> found;
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(m_display, m_root);
    if (!res)
        return found;
    RROutput primary = XRRGetOutputPrimary(m_display, m_root);
    for (int i = 0; i < res->noutput; ++i) {
        XRROutputInfo* out = XRRGetOutputInfo(m_display, res, res->outputs[i]);
        if (out && out->crtc && out->connection == RR_Connected) {
            if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(m_display, res, out->crtc)) {
                if (crtc->width > 0 && crtc->height > 0) {
                    RECT rc{crtc->x, crtc->y, crtc->x + static_cast<LONG>(crtc->width),
                            crtc->y + static_cast<LONG>(crtc->height)};
                    found.insert(res->outputs[i] == primary ? found.begin() : found.end(), rc);
                }
                XRRFreeCrtcInfo(crtc);
            }
        }
        if (out)
            XRRFreeOutputInfo(out);
    }
    XRRFreeScreenResources(res);
    return found;
}

// A panel that changes is followed within kWorkAreaKeptFor, about a tick of the slowest
// slide; an unknown area is asked again at once, since callers retry while a window
// manager starts.
std::optional<RECT> X11Screen::workArea() const {
    const auto now = std::chrono::steady_clock::now();
    if (m_keptWorkArea && now - m_workAreaReadAt < kWorkAreaKeptFor)
        return m_keptWorkArea;
    m_keptWorkArea = m_workAreas.read(primaryMonitor());
    m_workAreaReadAt = now;
    return m_keptWorkArea;
}

bool X11Screen::activeWindowFullScreen() const {
    auto property = [this](Window w, Atom name, Atom type) {
        std::vector<unsigned long> values;
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, w, name, 0, 64, False, type, &actual, &format, &count,
                               &after, &data) == Success &&
            data) {
            if (format == 32) {
                auto* longs = reinterpret_cast<unsigned long*>(data);
                values.assign(longs, longs + count);
            }
            XFree(data);
        }
        return values;
    };
    const auto active = property(m_root, m_atoms.netActiveWindow, XA_WINDOW);
    if (active.empty() || active[0] == None)
        return false;
    const Window w = active[0];
    const auto states = property(w, m_atoms.netWmState, XA_ATOM);
    if (std::find(states.begin(), states.end(), m_atoms.netWmStateFullscreen) == states.end())
        return false;
    // Full screen on another monitor leaves the primary one to the pop-up.
    XWindowAttributes attributes{};
    Window child = None;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(m_display, w, &attributes) ||
        !XTranslateCoordinates(m_display, w, m_root, 0, 0, &x, &y, &child))
        return false;
    const RECT monitor = primaryMonitor();
    const int cx = x + attributes.width / 2, cy = y + attributes.height / 2;
    return cx >= monitor.left && cx < monitor.right && cy >= monitor.top && cy < monitor.bottom;
}

bool X11Screen::intersectsScreen(const RECT& rc) const {
    for (const RECT& m : monitors()) {
        if (rc.left < m.right && m.left < rc.right && rc.top < m.bottom && m.top < rc.bottom)
            return true;
    }
    return false;
}

}  // namespace kestrova::ui::x11
