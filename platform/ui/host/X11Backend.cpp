// Native windows on X11 and the event loop's native half.
#include "platform/ui/host/X11Backend.h"

#include <X11/Xatom.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UIString.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/host/X11Host.h"

namespace kestrova::ui {

std::unique_ptr<Backend> createX11Backend() {
    auto screen = x11::X11Screen::open();
    if (!screen) {
        return nullptr;
    }
    return std::make_unique<x11::X11Backend>(std::move(screen));
}

}  // namespace kestrova::ui

namespace kestrova::ui::x11 {
namespace {

void (*g_connectionLost)() = nullptr;

// Xlib's own handler prints a line nobody reads and exits with 1. Nothing of the
// connection can be used any more, and this must not return.
int endOnConnectionLost(Display*) {
    trace("X connection lost, the program ends");
    if (g_connectionLost != nullptr) {
        g_connectionLost();
    }
    ::_exit(0);
}

// A window can vanish between a request and its answer (another client, a race with
// the window manager); that is not worth ending the program for.
int logXError(Display* display, XErrorEvent* error) {
    char text[128] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    trace("X error ignored: %s (request %d)", text, error->request_code);
    return 0;
}

}  // namespace

X11Backend::X11Backend(std::unique_ptr<X11Screen> screen) : m_screen(std::move(screen)) {
    m_previousErrorHandler = XSetErrorHandler(logXError);
    m_previousIoErrorHandler = XSetIOErrorHandler(endOnConnectionLost);
    if (pipe2(m_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        m_wakePipe[0] = m_wakePipe[1] = -1;
    }
    // Other clients' windows appearing or restacking are what can cover a topmost pop-up.
    XSelectInput(m_screen->display(), m_screen->root(), SubstructureNotifyMask);
}

X11Backend::~X11Backend() {
    while (!m_windows.empty()) {
        destroyWindow(m_windows.begin()->first);
    }
    XSetErrorHandler(m_previousErrorHandler);
    XSetIOErrorHandler(m_previousIoErrorHandler);
    for (int fd : m_wakePipe) {
        if (fd >= 0)
            close(fd);
    }
}

int X11Backend::dev(LONG v) const {
    return static_cast<int>(std::lround(v * m_screen->scale()));
}
RECT X11Backend::device(const RECT& rc) const {
    return RECT{dev(rc.left), dev(rc.top), dev(rc.right), dev(rc.bottom)};
}
LONG X11Backend::design(int v) const {
    return static_cast<LONG>(std::lround(v / m_screen->scale()));
}

X11Backend::Native* X11Backend::find(HWND handle) {
    auto it = m_windows.find(handle);
    return it == m_windows.end() ? nullptr : &it->second;
}

const X11Backend::Native* X11Backend::find(HWND handle) const {
    auto it = m_windows.find(handle);
    return it == m_windows.end() ? nullptr : &it->second;
}

HWND X11Backend::handleOf(Window xid) const {
    for (auto& [handle, w] : m_windows) {
        if (w.xid == xid)
            return handle;
    }
    return nullptr;
}

Window X11Backend::nativeWindow(HWND handle) const {
    const Native* w = find(handle);
    return w ? w->xid : None;
}

bool X11Backend::createWindow(HWND handle, const NativeWindowParams& params) {
    Display* d = m_screen->display();
    Native w;
    w.className = toUtf8(params.className);
    w.managed = params.managedDialog;
    w.rect = params.rect;
    w.resizable = (params.style & WS_THICKFRAME) != 0;
    w.argb = !w.managed && m_screen->compositing();
    XSetWindowAttributes attrs{};
    unsigned long mask = CWEventMask | CWBorderPixel | CWOverrideRedirect;
    int depth = CopyFromParent;
    w.visual = DefaultVisual(d, m_screen->screen());
    if (w.argb) {
        w.visual = m_screen->argbVisual();
        depth = 32;
        w.colormap = XCreateColormap(d, m_screen->root(), w.visual, AllocNone);
        attrs.colormap = w.colormap;
        attrs.background_pixel = 0;
        mask |= CWColormap | CWBackPixel;
    }
    attrs.border_pixel = 0;
    attrs.override_redirect = w.managed ? False : True;
    attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                       LeaveWindowMask | KeyPressMask | StructureNotifyMask | VisibilityChangeMask;
    RECT& r = w.rect;
    w.xid = XCreateWindow(d, m_screen->root(), dev(r.left), dev(r.top),
                          static_cast<unsigned>(std::max(1, dev(r.right - r.left))),
                          static_cast<unsigned>(std::max(1, dev(r.bottom - r.top))), 0, depth,
                          InputOutput, w.visual, mask, &attrs);
    if (!w.xid) {
        return false;
    }
    setProperties(w, params);
    if (params.owner) {
        if (const Native* owner = find(params.owner))
            XSetTransientForHint(d, w.xid, owner->xid);
    }
    m_windows[handle] = std::move(w);
    XFlush(d);
    return true;
}

void X11Backend::setProperties(Native& w, const NativeWindowParams& params) {
    Display* d = m_screen->display();
    const Atoms& a = m_screen->atoms();
    std::string cls = toUtf8(params.className);
    XClassHint classHint{cls.data(), cls.data()};
    XSetClassHint(d, w.xid, &classHint);
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = w.managed ? True : False;
    wmHints.initial_state = NormalState;
    XSetWMHints(d, w.xid, &wmHints);
    setCaptionProperties(w.xid, params.caption);
    long pid = getpid();
    XChangeProperty(d, w.xid, a.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    Atom type = w.managed ? a.netWmWindowTypeDialog : a.netWmWindowTypeUtility;
    XChangeProperty(d, w.xid, a.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    if (!w.managed) {
        Atom states[] = {a.netWmStateSkipTaskbar, a.netWmStateSkipPager};
        XChangeProperty(d, w.xid, a.netWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(states), 2);
    }
    Atom protocols[] = {a.wmDeleteWindow};
    XSetWMProtocols(d, w.xid, protocols, 1);
    updateSizeHints(w);
}

void X11Backend::updateSizeHints(Native& w) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints)
        return;
    hints->flags = PPosition | PSize;
    hints->x = dev(w.rect.left);
    hints->y = dev(w.rect.top);
    hints->width = dev(w.rect.right - w.rect.left);
    hints->height = dev(w.rect.bottom - w.rect.top);
    if (!w.resizable) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = hints->width;
        hints->min_height = hints->max_height = hints->height;
    }
    XSetWMNormalHints(m_screen->display(), w.xid, hints);
    XFree(hints);
}

void X11Backend::destroyWindow(HWND handle) {
    Native* w = find(handle);
    if (!w)
        return;
    Display* d = m_screen->display();
    if (m_drag && m_drag->handle == handle) {
        XUngrabPointer(d, CurrentTime);
        m_drag.reset();
    }
    if (w->shadow.xid)
        XDestroyWindow(d, w->shadow.xid);
    if (w->shadow.colormap)
        XFreeColormap(d, w->shadow.colormap);
    // Another client may have destroyed it already.
    if (w->xid)
        XDestroyWindow(d, w->xid);
    if (w->colormap)
        XFreeColormap(d, w->colormap);
    m_windows.erase(handle);
    XFlush(d);
}

void X11Backend::placeNative(Native& w) {
    Display* d = m_screen->display();
    XMoveResizeWindow(d, w.xid, dev(w.rect.left), dev(w.rect.top),
                      static_cast<unsigned>(std::max(1, dev(w.rect.right - w.rect.left))),
                      static_cast<unsigned>(std::max(1, dev(w.rect.bottom - w.rect.top))));
    if (w.managed)
        updateSizeHints(w);
    if (w.shadow.xid)
        paintShadow(w);
}

void X11Backend::setWindowRect(HWND handle, const RECT& rect) {
    Native* w = find(handle);
    if (!w)
        return;
    bool resized = rect.right - rect.left != w->rect.right - w->rect.left ||
                   rect.bottom - rect.top != w->rect.bottom - w->rect.top;
    w->rect = rect;
    placeNative(*w);
    w->dirty = w->dirty || resized;
    if (!w->mapped)
        mapWhenOnScreen(handle, *w);
    XFlush(m_screen->display());
}

RECT X11Backend::getWindowRect(HWND handle) const {
    const Native* w = find(handle);
    return w ? w->rect : RECT{};
}

void X11Backend::raise(Native& w) {
    Display* d = m_screen->display();
    XRaiseWindow(d, w.xid);
    if (w.shadow.xid) {
        Window order[] = {w.xid, w.shadow.xid};
        XRestackWindows(d, order, 2);
    }
}

void X11Backend::showWindow(HWND handle, bool show, bool topmost) {
    Native* w = find(handle);
    if (!w)
        return;
    Display* d = m_screen->display();
    if (!show) {
        w->visible = w->mapped = false;
        w->hideSerial = NextRequest(d);
        XUnmapWindow(d, w->xid);
        if (w->shadow.xid)
            XUnmapWindow(d, w->shadow.xid);
        XFlush(d);
        return;
    }
    w->topmost = w->topmost || topmost;
    w->visible = true;
    mapWhenOnScreen(handle, *w);
    // A window shown below the screen (the slide's start) renders its frame and cuts its
    // shape now, so that the step that brings it on screen only maps it.
    if (Native* still = find(handle); still && !still->mapped && still->dirty)
        paint(handle, *still);
    if (Native* still = find(handle); still && still->mapped)
        raise(*still);
    XFlush(d);
}

// Compositors draw a window that was mapped while entirely off the screen late when it
// moves on (weston: seconds later), so a pop-up waiting below the screen stays unmapped
// until a move brings a first row of it on. The user sees the same either way.
void X11Backend::mapWhenOnScreen(HWND handle, Native& w) {
    if (w.mapped || !w.visible || (!w.managed && !m_screen->intersectsScreen(device(w.rect))))
        return;
    Display* d = m_screen->display();
    w.mapped = true;
    w.dirty = true;
    // The shape must be cut before mapping, or the square window flashes first.
    paint(handle, w);
    if (!find(handle))
        return;
    if (w.shadow.xid)
        XMapWindow(d, w.shadow.xid);
    XMapRaised(d, w.xid);
    if (w.managed) {
        XEvent active{};
        active.xclient.type = ClientMessage;
        active.xclient.window = w.xid;
        active.xclient.message_type = m_screen->atoms().netActiveWindow;
        active.xclient.format = 32;
        active.xclient.data.l[0] = 1;
        XSendEvent(d, m_screen->root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &active);
    }
}

bool X11Backend::isWindowVisible(HWND handle) const {
    const Native* w = find(handle);
    return w && w->visible;
}

// The caption as _NET_WM_NAME (UTF-8) and WM_NAME: Latin-1 text as the classic STRING,
// anything else as UTF8_STRING, which current tools read. Setting the properties directly
// spares Xlib's locale machinery, a noticeable part of start-up.
void X11Backend::setCaptionProperties(Window xid, const std::wstring& caption) {
    Display* d = m_screen->display();
    const Atoms& a = m_screen->atoms();
    std::string utf8 = toUtf8(caption);
    auto bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    XChangeProperty(d, xid, a.netWmName, a.utf8String, 8, PropModeReplace, bytes,
                    static_cast<int>(utf8.size()));
    bool latin1 = std::all_of(caption.begin(), caption.end(), [](wchar_t c) { return c < 0x100; });
    if (latin1) {
        std::string narrow(caption.begin(), caption.end());
        XChangeProperty(d, xid, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(narrow.data()),
                        static_cast<int>(narrow.size()));
    } else {
        XChangeProperty(d, xid, XA_WM_NAME, a.utf8String, 8, PropModeReplace, bytes,
                        static_cast<int>(utf8.size()));
    }
}

void X11Backend::setStyle(HWND handle, DWORD style) {
    Native* w = find(handle);
    if (!w)
        return;
    w->resizable = (style & WS_THICKFRAME) != 0;
    updateSizeHints(*w);
}

void X11Backend::invalidate(HWND handle) {
    if (Native* w = find(handle))
        w->dirty = true;
}

RECT X11Backend::primaryMonitor() const {
    RECT m = m_screen->primaryMonitor();
    return RECT{design(m.left), design(m.top), design(m.right), design(m.bottom)};
}

std::optional<RECT> X11Backend::workArea() const {
    auto area = m_screen->workArea();
    if (!area)
        return std::nullopt;
    return RECT{design(area->left), design(area->top), design(area->right), design(area->bottom)};
}

void X11Backend::wake() {
    if (m_wakePipe[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t n = write(m_wakePipe[1], &byte, 1);
    }
}

}  // namespace kestrova::ui::x11

namespace kestrova::ui {

void setConnectionLostHandler(void (*handler)()) {
    x11::g_connectionLost = handler;
}

}  // namespace kestrova::ui
