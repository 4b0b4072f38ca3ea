// The host's half of the message loop: waiting on the X connection, and X events turned
// into window messages (mouse, keys, the close request), the caption drag and keeping the
// pop-up on top.
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/UIWinApi.h"
#include "platform/ui/host/X11Backend.h"

namespace kestrova::ui::x11 {
namespace {

RECT exposedArea(const XExposeEvent& ev) {
    return RECT{ev.x, ev.y, ev.x + ev.width, ev.y + ev.height};
}

WPARAM virtualKey(KeySym sym) {
    if (sym == XK_Return || sym == XK_KP_Enter)
        return VK_RETURN;
    if (sym == XK_Escape)
        return VK_ESCAPE;
    if (sym == XK_space)
        return VK_SPACE;
    if (sym >= XK_a && sym <= XK_z)
        return 'A' + (sym - XK_a);
    if (sym >= XK_A && sym <= XK_Z)
        return 'A' + (sym - XK_A);
    if (sym >= XK_0 && sym <= XK_9)
        return '0' + (sym - XK_0);
    return 0;
}

}  // namespace

void X11Backend::waitForEvents(std::chrono::microseconds timeout, int watchedFd) {
    Display* d = m_screen->display();
    processPending();
    paintDirty();
    XFlush(d);
    if (XPending(d) == 0) {
        // A descriptor below 0 is left out by poll itself.
        pollfd fds[3] = {
            {ConnectionNumber(d), POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}, {watchedFd, POLLIN, 0}};
        const bool forever = timeout.count() < 0;
        const timespec limit = toTimespec(forever ? std::chrono::microseconds(0) : timeout);
        ppoll(fds, 3, forever ? nullptr : &limit, nullptr);
        if (m_wakePipe[0] >= 0 && (fds[1].revents & POLLIN)) {
            char drain[64];
            while (read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
    }
    processPending();
    paintDirty();
    XFlush(d);
}

void X11Backend::processPending() {
    Display* d = m_screen->display();
    while (XPending(d) > 0) {
        XEvent ev;
        XNextEvent(d, &ev);
        handleEvent(ev);
    }
}

void X11Backend::keepTopmostOnTop() {
    for (auto& [handle, w] : m_windows) {
        if (w.topmost && w.mapped)
            reraise(w);
    }
}

// Another program that keeps its own window on top the same way would answer every
// raise with one of its own; past a few raises a second the pop-up lets it be for a while
// rather than spin.
void X11Backend::reraise(Native& w) {
    auto now = std::chrono::steady_clock::now();
    if (now - w.raiseWindowStart > std::chrono::seconds(1)) {
        w.raiseWindowStart = now;
        w.raisesInWindow = 0;
    }
    if (++w.raisesInWindow > kMaxRaisesPerSecond) {
        return;
    }
    raise(w);
}

void X11Backend::handleEvent(XEvent& ev) {
    // Tools that type (input methods, test drivers) may remap keys; keysyms must follow.
    if (ev.type == MappingNotify) {
        XRefreshKeyboardMapping(&ev.xmapping);
        return;
    }
    // Root notifications: another client's window appeared or moved in the stack, and
    // may now cover a topmost pop-up.
    if (ev.xany.window == m_screen->root()) {
        Window subject = ev.type == MapNotify         ? ev.xmap.window
                         : ev.type == ConfigureNotify ? ev.xconfigure.window
                                                      : None;
        bool ours = handleOf(subject) != nullptr;
        for (auto& [handle, w] : m_windows)
            ours = ours || w.shadow.xid == subject;
        if (subject != None && !ours)
            keepTopmostOnTop();
        return;
    }
    // Read only for an exposure: the event's other kinds hold other fields there.
    const RECT exposed = ev.type == Expose ? exposedArea(ev.xexpose) : RECT{};
    if (ev.type == Expose) {
        for (auto& [owner, native] : m_windows) {
            if (native.shadow.xid == ev.xexpose.window)
                exposeShadow(native, exposed);
        }
    }
    HWND handle = handleOf(ev.xany.window);
    Native* w = find(handle);
    if (!w || handleGone(handle, *w, ev))
        return;
    auto pt = [&](int x, int y) { return MAKELPARAM(design(x), design(y)); };
    switch (ev.type) {
        case Expose:
            // Copied from the kept frame at the next paint, not rendered again.
            UnionRect(&w->exposed, &w->exposed, &exposed);
            break;
        case VisibilityNotify:
            if (w->topmost && ev.xvisibility.state != VisibilityUnobscured) {
                reraise(*w);
            }
            break;
        case ButtonPress:
            if (ev.xbutton.button == Button1)
                handleButton(handle, *w, ev.xbutton);
            break;
        case ButtonRelease:
            if (ev.xbutton.button != Button1)
                break;
            if (m_drag && m_drag->handle == handle) {
                XUngrabPointer(m_screen->display(), ev.xbutton.time);
                m_drag.reset();
                break;
            }
            sendMessage(handle, WM_LBUTTONUP, 0, pt(ev.xbutton.x, ev.xbutton.y));
            break;
        case MotionNotify:
            handleMotion(handle, *w, ev.xmotion);
            break;
        case LeaveNotify:
            if (!m_drag)
                sendMessage(handle, WM_MOUSELEAVE, 0, 0);
            break;
        case KeyPress:
            if (WPARAM key = virtualKey(XLookupKeysym(&ev.xkey, 0))) {
                sendMessage(handle, WM_KEYDOWN, key, 0);
            }
            break;
        case ClientMessage:
            if (ev.xclient.message_type == m_screen->atoms().wmProtocols &&
                static_cast<Atom>(ev.xclient.data.l[0]) == m_screen->atoms().wmDeleteWindow) {
                sendMessage(handle, WM_CLOSE, 0, 0);
            }
            break;
        default:
            break;
    }
}

// Another client destroyed a window of ours or took it off the screen (xdotool, a session
// tool, a window manager closing what it does not know). Nobody would see it again, and
// nothing could end a loop waiting for it, so it goes as if closed. Unmaps that are ours
// (hideSerial) or a window manager's inside its frame (iconified, another desktop) are not
// that; a managed window that another client withdrew is handed back to the root, unmapped.
// True when the window is gone.
bool X11Backend::handleGone(HWND handle, Native& w, XEvent& ev) {
    switch (ev.type) {
        case DestroyNotify:
            takenAway(handle, w, true);
            return true;
        case UnmapNotify:
            if (w.visible && !w.framed && ev.xunmap.serial != w.hideSerial &&
                !ev.xunmap.from_configure) {
                // A mapped window that is destroyed is unmapped first; after a round trip
                // its DestroyNotify, if any, is queued, and the window is not touched again.
                XSync(m_screen->display(), False);
                XEvent destroyed;
                takenAway(handle, w,
                          XCheckTypedWindowEvent(m_screen->display(), w.xid, DestroyNotify,
                                                 &destroyed) == True);
                return true;
            }
            return false;
        case ReparentNotify: {
            w.framed = ev.xreparent.parent != m_screen->root();
            XWindowAttributes attributes{};
            if (!w.framed && w.visible &&
                XGetWindowAttributes(m_screen->display(), w.xid, &attributes) != 0 &&
                attributes.map_state == IsUnmapped) {
                takenAway(handle, w, false);
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

void X11Backend::takenAway(HWND handle, Native& w, bool destroyed) {
    trace("window %s %s by another client", w.className.c_str(),
          destroyed ? "destroyed" : "unmapped");
    if (destroyed) {
        // Nothing of it is left to destroy.
        w.xid = None;
    }
    // The library's destruction: WM_DESTROY, the native side gone, the final message.
    ui::destroyWindow(handle);
}

void X11Backend::handleButton(HWND handle, Native& w, XButtonEvent& ev) {
    LPARAM screenPt = MAKELPARAM(design(ev.x_root), design(ev.y_root));
    if (!w.managed && sendMessage(handle, WM_NCHITTEST, 0, screenPt) == HTCAPTION) {
        // The pop-up has no window manager frame to drag it by, so the host drags.
        if (!find(handle))
            return;
        XGrabPointer(m_screen->display(), w.xid, False, ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, None, None, ev.time);
        m_drag = Drag{handle, ev.x_root - dev(w.rect.left), ev.y_root - dev(w.rect.top)};
        return;
    }
    sendMessage(handle, WM_LBUTTONDOWN, 0, MAKELPARAM(design(ev.x), design(ev.y)));
}

void X11Backend::handleMotion(HWND handle, Native& w, XMotionEvent& ev) {
    if (m_drag && m_drag->handle == handle) {
        LONG width = w.rect.right - w.rect.left, height = w.rect.bottom - w.rect.top;
        LONG left = design(ev.x_root - m_drag->offsetX), top = design(ev.y_root - m_drag->offsetY);
        w.rect = RECT{left, top, left + width, top + height};
        placeNative(w);
        return;
    }
    sendMessage(handle, WM_MOUSEMOVE, 0, MAKELPARAM(design(ev.x), design(ev.y)));
}

}  // namespace kestrova::ui::x11
