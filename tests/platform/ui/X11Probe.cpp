// The x11 tests' own X client.
#include "X11Probe.h"

#include <X11/Xatom.h>

#include <stdexcept>

namespace kestrova::uitest {

X11Probe::X11Probe() : m_display(XOpenDisplay(nullptr)) {
    if (!m_display)
        throw std::runtime_error("no X display for the probe");
}

X11Probe::~X11Probe() {
    for (Window w : m_own)
        XDestroyWindow(m_display, w);
    XCloseDisplay(m_display);
}

Window X11Probe::root() const {
    return DefaultRootWindow(m_display);
}

RECT X11Probe::geometry(Window w) const {
    XWindowAttributes a{};
    XGetWindowAttributes(m_display, w, &a);
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(m_display, w, root(), 0, 0, &x, &y, &child);
    return RECT{x, y, x + a.width, y + a.height};
}

bool X11Probe::isViewable(Window w) const {
    XWindowAttributes a{};
    return XGetWindowAttributes(m_display, w, &a) && a.map_state == IsViewable;
}

std::vector<Window> X11Probe::stacking() const {
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(m_display, root(), &rootReturn, &parent, &children, &count);
    std::vector<Window> order(children, children + count);
    if (children)
        XFree(children);
    return order;
}

Window X11Probe::topLevelOf(Window w) const {
    while (true) {
        Window rootReturn = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, w, &rootReturn, &parent, &children, &count))
            return w;
        if (children)
            XFree(children);
        if (parent == rootReturn || parent == None)
            return w;
        w = parent;
    }
}

Window X11Probe::mapNormalWindow(const RECT& rc) {
    Window w = XCreateSimpleWindow(m_display, root(), rc.left, rc.top,
                                   static_cast<unsigned>(rc.right - rc.left),
                                   static_cast<unsigned>(rc.bottom - rc.top), 0, 0, 0xFF0000);
    XStoreName(m_display, w, "probe normal window");
    XMapWindow(m_display, w);
    XSync(m_display, False);
    m_own.push_back(w);
    return w;
}

Window X11Probe::mapBottomPanel(int height) {
    int screenW = DisplayWidth(m_display, DefaultScreen(m_display));
    int screenH = DisplayHeight(m_display, DefaultScreen(m_display));
    Window w =
        XCreateSimpleWindow(m_display, root(), 0, screenH - height, static_cast<unsigned>(screenW),
                            static_cast<unsigned>(height), 0, 0, 0x333333);
    Atom dock = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(m_display, w, XInternAtom(m_display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&dock), 1);
    // left, right, top, bottom, then start/end pairs; the bottom strut spans the width.
    long strut[12] = {0, 0, 0, height, 0, 0, 0, 0, 0, 0, 0, screenW - 1};
    XChangeProperty(m_display, w, XInternAtom(m_display, "_NET_WM_STRUT_PARTIAL", False),
                    XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(strut), 12);
    XChangeProperty(m_display, w, XInternAtom(m_display, "_NET_WM_STRUT", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(strut), 4);
    XMapWindow(m_display, w);
    XSync(m_display, False);
    m_own.push_back(w);
    return w;
}

void X11Probe::requestClose(Window w) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, w, False, NoEventMask, &ev);
    XSync(m_display, False);
}

std::optional<std::string> X11Probe::resourceManager() const {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(m_display, root(), XA_RESOURCE_MANAGER, 0, 1 << 20, False, XA_STRING, &type,
                       &format, &count, &after, &data);
    if (!data)
        return std::nullopt;
    std::string text(reinterpret_cast<char*>(data), count);
    XFree(data);
    return text;
}

void X11Probe::setResourceManager(const std::optional<std::string>& text) {
    if (text) {
        XChangeProperty(m_display, root(), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text->data()),
                        static_cast<int>(text->size()));
    } else {
        XDeleteProperty(m_display, root(), XA_RESOURCE_MANAGER);
    }
    XSync(m_display, False);
}

}  // namespace kestrova::uitest
