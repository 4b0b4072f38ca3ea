// Reading a monitor's work area: the desktop's published areas, then the struts of every
// mapped window. The reads go through XCB on the Xlib connection so that the requests
// for all windows go out at once and the answers come back in one round trip: the slide
// reads the work area on every tick.
#include "platform/ui/host/X11WorkArea.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::ui::x11 {
namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> own(T* reply) {
    return Reply<T>(reply, &std::free);
}

xcb_get_property_cookie_t askProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t atom,
                                      std::uint32_t longs) {
    return xcb_get_property(c, 0, w, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, longs);
}

// The 32-bit values of a property, signed; none when it is absent or of another format.
std::vector<long> cardinals(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    std::vector<long> values;
    auto reply = own(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->format != 32)
        return values;
    auto* raw = static_cast<const std::int32_t*>(xcb_get_property_value(reply.get()));
    values.assign(raw, raw + xcb_get_property_value_length(reply.get()) / 4);
    return values;
}

RECT intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

long areaOf(const RECT& r) {
    return r.right > r.left && r.bottom > r.top
               ? static_cast<long>(r.right - r.left) * (r.bottom - r.top)
               : 0;
}

xcb_atom_t atomNamed(xcb_connection_t* c, const std::string& name, bool onlyIfExists) {
    auto reply = own(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, onlyIfExists, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    return reply ? reply->atom : XCB_NONE;
}

}  // namespace

Strut Strut::fromPartial(std::span<const long> values) {
    Strut s;
    for (size_t i = 0; i < 4 && i < values.size(); ++i)
        s.edge[i] = values[i];
    for (size_t i = 0; i < 8 && i + 4 < values.size(); ++i)
        s.span[i] = values[i + 4];
    return s;
}

Strut Strut::fromFull(std::span<const long> values, long rootWidth, long rootHeight) {
    Strut s = fromPartial(values.first(std::min<size_t>(4, values.size())));
    const long ends[4] = {rootHeight - 1, rootHeight - 1, rootWidth - 1, rootWidth - 1};
    for (int i = 0; i < 4; ++i)
        s.span[2 * i + 1] = ends[i];
    return s;
}

RECT pickMonitorArea(std::span<const long> areas, const RECT& monitor) {
    RECT best = monitor;
    long bestArea = 0;
    for (size_t i = 0; i + 3 < areas.size(); i += 4) {
        RECT r{static_cast<LONG>(areas[i]), static_cast<LONG>(areas[i + 1]),
               static_cast<LONG>(areas[i] + areas[i + 2]),
               static_cast<LONG>(areas[i + 1] + areas[i + 3])};
        RECT cut = intersect(r, monitor);
        if (areaOf(cut) > bestArea) {
            best = cut;
            bestArea = areaOf(cut);
        }
    }
    return best;
}

RECT subtractStrut(const RECT& area, const RECT& monitor, const Strut& s, long rootWidth,
                   long rootHeight) {
    // The reserved band along each edge of the root window, as a rectangle.
    const RECT bands[4] = {
        {0, static_cast<LONG>(s.span[0]), static_cast<LONG>(s.edge[0]),
         static_cast<LONG>(s.span[1] + 1)},
        {static_cast<LONG>(rootWidth - s.edge[1]), static_cast<LONG>(s.span[2]),
         static_cast<LONG>(rootWidth), static_cast<LONG>(s.span[3] + 1)},
        {static_cast<LONG>(s.span[4]), 0, static_cast<LONG>(s.span[5] + 1),
         static_cast<LONG>(s.edge[2])},
        {static_cast<LONG>(s.span[6]), static_cast<LONG>(rootHeight - s.edge[3]),
         static_cast<LONG>(s.span[7] + 1), static_cast<LONG>(rootHeight)},
    };
    RECT out = area;
    for (int i = 0; i < 4; ++i) {
        if (s.edge[i] <= 0 || areaOf(intersect(bands[i], monitor)) == 0)
            continue;
        const RECT& b = bands[i];
        switch (i) {
            case 0:
                out.left = std::max(out.left, b.right);
                break;
            case 1:
                out.right = std::min(out.right, b.left);
                break;
            case 2:
                out.top = std::max(out.top, b.bottom);
                break;
            default:
                out.bottom = std::min(out.bottom, b.top);
                break;
        }
    }
    // A strut that would leave nothing (a broken client) is not worth obeying.
    return areaOf(out) > 0 ? out : area;
}

WorkAreaReader::WorkAreaReader(Display* display) : m_display(display) {
    xcb_connection_t* c = XGetXCBConnection(display);
    m_desktop = atomNamed(c, "_NET_CURRENT_DESKTOP", false);
    m_workarea = atomNamed(c, "_NET_WORKAREA", false);
    m_clients = atomNamed(c, "_NET_CLIENT_LIST", false);
    m_partial = atomNamed(c, "_NET_WM_STRUT_PARTIAL", false);
    m_full = atomNamed(c, "_NET_WM_STRUT", false);
}

// Only a desktop that publishes per-monitor areas has the name; none otherwise.
unsigned long WorkAreaReader::gtkAtom(long desktop) {
    if (desktop != m_gtkDesktop) {
        m_gtk = atomNamed(XGetXCBConnection(m_display),
                          "_GTK_WORKAREAS_D" + std::to_string(desktop), true);
        m_gtkDesktop = desktop;
    }
    return m_gtk;
}

// Every window that might reserve an edge: the root's children (docks without a window
// manager, override-redirect bars), the windows inside them (the clients a reparenting
// window manager keeps in its frames; i3 lists its docks nowhere else) and the managed
// clients the window manager lists. Two round trips.
std::vector<xcb_window_t> WorkAreaReader::candidates(xcb_query_tree_cookie_t rootTree,
                                                     const std::vector<long>& clients) {
    xcb_connection_t* c = XGetXCBConnection(m_display);
    std::vector<xcb_window_t> windows;
    for (long id : clients)
        windows.push_back(static_cast<xcb_window_t>(id));
    std::vector<xcb_query_tree_cookie_t> frames;
    if (auto tree = own(xcb_query_tree_reply(c, rootTree, nullptr))) {
        xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            windows.push_back(children[i]);
            frames.push_back(xcb_query_tree(c, children[i]));
        }
    }
    for (xcb_query_tree_cookie_t frame : frames) {
        if (auto tree = own(xcb_query_tree_reply(c, frame, nullptr))) {
            xcb_window_t* children = xcb_query_tree_children(tree.get());
            windows.insert(windows.end(), children,
                           children + xcb_query_tree_children_length(tree.get()));
        }
    }
    std::sort(windows.begin(), windows.end());
    windows.erase(std::unique(windows.begin(), windows.end()), windows.end());
    return windows;
}

RECT WorkAreaReader::read(const RECT& monitor) {
    xcb_connection_t* c = XGetXCBConnection(m_display);
    const xcb_window_t root = DefaultRootWindow(m_display);

    // Round one: the desktop, its published area, the window tree's top.
    auto desktopCookie = askProperty(c, root, m_desktop, 1);
    auto workareaCookie = askProperty(c, root, m_workarea, 4096);
    auto clientsCookie = askProperty(c, root, m_clients, 4096);
    auto treeCookie = xcb_query_tree(c, root);
    auto geometryCookie = xcb_get_geometry(c, root);
    const std::vector<long> desktopValue = cardinals(c, desktopCookie);
    const long desktop = desktopValue.empty() ? 0 : std::max(0L, desktopValue[0]);
    const std::vector<long> workarea = cardinals(c, workareaCookie);
    const std::vector<long> clients = cardinals(c, clientsCookie);
    auto geometry = own(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    const std::vector<xcb_window_t> windows = candidates(treeCookie, clients);
    if (!geometry)
        return monitor;
    const long rootWidth = geometry->width, rootHeight = geometry->height;

    // The last round: the per-monitor areas, and each window's map state and struts.
    const xcb_atom_t gtk = static_cast<xcb_atom_t>(gtkAtom(desktop));
    std::optional<xcb_get_property_cookie_t> gtkCookie;
    if (gtk != XCB_NONE)
        gtkCookie = askProperty(c, root, gtk, 4096);
    struct Asked {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_property_cookie_t partial, full;
    };
    std::vector<Asked> asked;
    asked.reserve(windows.size());
    for (xcb_window_t w : windows) {
        asked.push_back({xcb_get_window_attributes(c, w), askProperty(c, w, m_partial, 12),
                         askProperty(c, w, m_full, 4)});
    }

    const std::vector<long> gtkAreas = gtkCookie ? cardinals(c, *gtkCookie) : std::vector<long>{};
    RECT area = monitor;
    if (!gtkAreas.empty()) {
        area = pickMonitorArea(gtkAreas, monitor);
    } else if (workarea.size() >= 4) {
        const size_t at = static_cast<size_t>(desktop) * 4 + 4 <= workarea.size()
                              ? static_cast<size_t>(desktop) * 4
                              : 0;
        area = pickMonitorArea(std::span<const long>(workarea).subspan(at, 4), monitor);
    }
    for (const Asked& a : asked) {
        auto attributes = own(xcb_get_window_attributes_reply(c, a.attributes, nullptr));
        const std::vector<long> partial = cardinals(c, a.partial);
        const std::vector<long> full = cardinals(c, a.full);
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        if (partial.size() >= 12) {
            area = subtractStrut(area, monitor, Strut::fromPartial(partial), rootWidth, rootHeight);
        } else if (full.size() >= 4) {
            area = subtractStrut(area, monitor, Strut::fromFull(full, rootWidth, rootHeight),
                                 rootWidth, rootHeight);
        }
    }
    return area;
}

}  // namespace kestrova::ui::x11
