// A window that plays another program on the test desktop, until it is killed:
//   kestrova-test-window dock LEFT WIDTH HEIGHT   a dock along the root's bottom edge that
//                                                  reserves HEIGHT rows from LEFT over WIDTH
//   kestrova-test-window fullscreen               an ordinary window asking to be full-screen
// It prints "ready" once the window is mapped.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void setAtoms(Display* d, Window w, const char* property, const char* value) {
    Atom atom = XInternAtom(d, value, False);
    XChangeProperty(d, w, XInternAtom(d, property, False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&atom), 1);
}

}  // namespace

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(nullptr);
    const bool dock = argc == 5 && std::strcmp(argv[1], "dock") == 0;
    const bool full = argc == 2 && std::strcmp(argv[1], "fullscreen") == 0;
    if (!d || (!dock && !full)) {
        std::fprintf(stderr, "usage: %s dock LEFT WIDTH HEIGHT | fullscreen\n", argv[0]);
        return 2;
    }
    const int screen = DefaultScreen(d);
    const long rootHeight = DisplayHeight(d, screen);
    long left = 0, width = 400, height = 300;
    if (dock) {
        left = std::atol(argv[2]);
        width = std::atol(argv[3]);
        height = std::atol(argv[4]);
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixel = dock ? 0x303030 : 0x205080;
    const Window w =
        XCreateWindow(d, RootWindow(d, screen), static_cast<int>(left),
                      static_cast<int>(dock ? rootHeight - height : 0),
                      static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                      CopyFromParent, InputOutput, CopyFromParent, CWBackPixel, &attributes);
    XStoreName(d, w, dock ? "kestrova-test-dock" : "kestrova-test-fullscreen");
    if (dock) {
        setAtoms(d, w, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK");
        long strut[12] = {0, 0, 0, height, 0, 0, 0, 0, 0, 0, left, left + width - 1};
        XChangeProperty(d, w, XInternAtom(d, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(strut), 12);
        XChangeProperty(d, w, XInternAtom(d, "_NET_WM_STRUT", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(strut), 4);
    } else {
        setAtoms(d, w, "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN");
    }
    XSelectInput(d, w, StructureNotifyMask);
    // A window manager still starting up may lose a map request: ask again until mapped.
    for (bool mapped = false; !mapped;) {
        XMapWindow(d, w);
        XFlush(d);
        pollfd connection{ConnectionNumber(d), POLLIN, 0};
        while (!mapped && (XPending(d) > 0 || poll(&connection, 1, 500) > 0)) {
            XEvent event;
            XNextEvent(d, &event);
            mapped = event.type == MapNotify;
        }
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (XEvent event;;)
        XNextEvent(d, &event);
}
