// The driver's own X connection watching the display: maps, moves and first damage of
// the benchmarked program's window.
#include "bench/program/ScreenWatch.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <algorithm>

#include "bench/common/BenchTiming.h"
#include "bench/program/ChildProcess.h"

namespace kestrova::bench {

namespace {

// Windows vanish between an event and a query about them; that is not a failure here.
int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

bool overlaps(const Box& a, const Box& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// The bottom edge of the window manager's work area, or the screen's without one.
int workAreaBottom(Display* d, Window root, int fallback) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int bottom = fallback;
    Atom workArea = XInternAtom(d, "_NET_WORKAREA", False);
    if (XGetWindowProperty(d, root, workArea, 0, 4, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr && format == 32 && count == 4) {
        const long* area = reinterpret_cast<const long*>(data);
        bottom = static_cast<int>(area[1] + area[3]);
    }
    if (data != nullptr)
        XFree(data);
    return bottom;
}

}  // namespace

ScreenWatch::ScreenWatch() : m_display(XOpenDisplay(nullptr)) {
    if (m_display == nullptr)
        return;
    XSetErrorHandler(ignoreXErrors);
    m_root = DefaultRootWindow(m_display);
    m_width = DisplayWidth(m_display, DefaultScreen(m_display));
    m_height = DisplayHeight(m_display, DefaultScreen(m_display));
    m_workBottom = workAreaBottom(m_display, m_root, m_height);
    XSelectInput(m_display, m_root, SubstructureNotifyMask);
    int error = 0;
    if (XDamageQueryExtension(m_display, &m_damageEvent, &error)) {
        // Damage on the root reports drawing into every window on it, clipped to the screen.
        m_damage = XDamageCreate(m_display, m_root, XDamageReportRawRectangles);
    } else {
        m_damageEvent = -1;
    }
    XSync(m_display, False);
}

ScreenWatch::~ScreenWatch() {
    if (m_display == nullptr)
        return;
    if (m_damage != 0)
        XDamageDestroy(m_display, m_damage);
    XCloseDisplay(m_display);
}

void ScreenWatch::forget() {
    XSync(m_display, True);
    m_boxes.clear();
    m_target = 0;
}

bool ScreenWatch::onScreen(const Box& area) const {
    return overlaps(area, Box{0, 0, m_width, m_height});
}

void ScreenWatch::handle(Seen& seen, long long at) {
    XEvent ev;
    XNextEvent(m_display, &ev);
    if (ev.type == CreateNotify && ev.xcreatewindow.parent == m_root) {
        const auto& c = ev.xcreatewindow;
        m_boxes[c.window] = Box{c.x, c.y, c.width, c.height};
    } else if (ev.type == ConfigureNotify && ev.xconfigure.event == m_root) {
        const auto& c = ev.xconfigure;
        m_boxes[c.window] = Box{c.x, c.y, c.width, c.height};
        if (c.window == m_target && seen.restNs < 0 && c.y + c.height == m_workBottom)
            seen.restNs = at;
    } else if (ev.type == MapNotify && ev.xmap.event == m_root) {
        ++seen.maps;
        if (m_target == 0) {
            m_target = ev.xmap.window;
            seen.mapNs = at;
            seen.mapBox = m_boxes[m_target];
        }
    } else if (m_damageEvent >= 0 && ev.type == m_damageEvent + XDamageNotify) {
        const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(ev);
        const Box area{d.area.x, d.area.y, d.area.width, d.area.height};
        if (m_target != 0 && seen.paintNs < 0 && overlaps(area, m_boxes[m_target]) &&
            onScreen(area))
            seen.paintNs = at;
    }
}

void ScreenWatch::drain(Seen& seen) {
    while (XPending(m_display) > 0)
        handle(seen, nowNs());
}

void ScreenWatch::follow(Child& child, Seen& seen, const std::function<bool(const Seen&)>& done,
                         int limitMs) {
    const long long end = nowNs() + limitMs * 1000000LL;
    while (!done(seen) && nowNs() < end) {
        pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {child.exitFd(), POLLIN, 0}};
        // Without a pidfd the exit is looked for every millisecond instead.
        const int wait = child.exitFd() >= 0 ? static_cast<int>((end - nowNs()) / 1000000) + 1 : 1;
        poll(fds, 2, std::max(wait, 1));
        drain(seen);
        if (child.reap()) {
            // What the X server had for it before it ended still counts.
            XSync(m_display, False);
            drain(seen);
            break;
        }
    }
}

}  // namespace kestrova::bench
