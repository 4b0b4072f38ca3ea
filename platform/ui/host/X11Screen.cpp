// Screen facts from X: RandR for the primary monitor, EWMH for the work area and the
// compositor, the resource database for the scale.
#include "platform/ui/host/X11Screen.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

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
    : m_display(display), m_screen(DefaultScreen(display)), m_root(RootWindow(display, m_screen)) {
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

RECT X11Screen::primaryMonitor() const {
    RECT whole{0, 0, DisplayWidth(m_display, m_screen), DisplayHeight(m_display, m_screen)};
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(m_display, &eventBase, &errorBase)) {
        return whole;
    }
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(m_display, m_root);
    if (!res) {
        return whole;
    }
    RROutput primary = XRRGetOutputPrimary(m_display, m_root);
    std::optional<RECT> found;
    // The primary output first; without one, the first output that shows something.
    for (int pass = 0; pass < 2 && !found; ++pass) {
        for (int i = 0; i < res->noutput && !found; ++i) {
            if (pass == 0 && res->outputs[i] != primary)
                continue;
            XRROutputInfo* out = XRRGetOutputInfo(m_display, res, res->outputs[i]);
            if (out && out->crtc && out->connection == RR_Connected) {
                if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(m_display, res, out->crtc)) {
                    if (crtc->width > 0 && crtc->height > 0) {
                        found = RECT{crtc->x, crtc->y, crtc->x + static_cast<LONG>(crtc->width),
                                     crtc->y + static_cast<LONG>(crtc->height)};
                    }
                    XRRFreeCrtcInfo(crtc);
                }
            }
            if (out)
                XRRFreeOutputInfo(out);
        }
    }
    XRRFreeScreenResources(res);
    return found.value_or(whole);
}

std::optional<RECT> X11Screen::workArea() const {
    RECT monitor = primaryMonitor();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long desktop = 0;
    if (XGetWindowProperty(m_display, m_root, m_atoms.netCurrentDesktop, 0, 1, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) == Success &&
        data) {
        if (count == 1 && format == 32)
            desktop = reinterpret_cast<long*>(data)[0];
        XFree(data);
        data = nullptr;
    }
    if (XGetWindowProperty(m_display, m_root, m_atoms.netWorkarea, 0, 1024, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) != Success ||
        !data) {
        return monitor;
    }
    std::unique_ptr<unsigned char, int (*)(void*)> owner(data, XFree);
    auto* v = reinterpret_cast<long*>(data);
    if (format != 32 || count < 4) {
        return monitor;
    }
    if (desktop < 0 || static_cast<unsigned long>(desktop) * 4 + 4 > count)
        desktop = 0;
    long* area = v + desktop * 4;
    RECT work{static_cast<LONG>(area[0]), static_cast<LONG>(area[1]),
              static_cast<LONG>(area[0] + area[2]), static_cast<LONG>(area[1] + area[3])};
    RECT both{std::max(work.left, monitor.left), std::max(work.top, monitor.top),
              std::min(work.right, monitor.right), std::min(work.bottom, monitor.bottom)};
    if (both.right <= both.left || both.bottom <= both.top) {
        return monitor;
    }
    return both;
}

}  // namespace kestrova::ui::x11
