// The work area of one monitor as the desktop describes it: a per-monitor work area
// where the desktop publishes one (_GTK_WORKAREAS_D<n>), else the desktop's _NET_WORKAREA
// cut to the monitor, else the monitor; in every case less the edges that mapped windows
// reserve with _NET_WM_STRUT_PARTIAL or _NET_WM_STRUT on that monitor, which covers the
// desktops that publish no work area (i3, kwin, no window manager) and those whose work
// area leaves docks out. Device pixels, root coordinates.
#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <span>
#include <vector>

#include "platform/ui/UIDefs.h"

namespace kestrova::ui::x11 {

// The edges a window reserves, as the twelve values of _NET_WM_STRUT_PARTIAL (left,
// right, top, bottom, then the start and end of each edge's span); _NET_WM_STRUT's four
// values reserve the whole length of each edge.
struct Strut {
    long edge[4] = {};  // left, right, top, bottom
    long span[8] = {};  // left y, right y, top x, bottom x: start and end, inclusive
    static Strut fromPartial(std::span<const long> values);
    static Strut fromFull(std::span<const long> values, long rootWidth, long rootHeight);
};

// The work area among a desktop's per-monitor list (x, y, width, height each) that
// overlaps monitor most, cut to it; the monitor itself when none does.
RECT pickMonitorArea(std::span<const long> areas, const RECT& monitor);
// area less what strut reserves on monitor, in a root of rootWidth x rootHeight. Applying
// a strut the desktop already left out changes nothing.
RECT subtractStrut(const RECT& area, const RECT& monitor, const Strut& strut, long rootWidth,
                   long rootHeight);

// Reads work areas on one connection: three round trips however many windows there are
// (the requests of a round go out together), four the first time a desktop is seen.
class WorkAreaReader {
public:
    explicit WorkAreaReader(Display* display);
    RECT read(const RECT& monitor);

private:
    unsigned long gtkAtom(long desktop);
    std::vector<xcb_window_t> candidates(xcb_query_tree_cookie_t rootTree,
                                         const std::vector<long>& clients);

    Display* m_display;
    unsigned long m_desktop, m_workarea, m_clients, m_partial, m_full;
    long m_gtkDesktop = -1;
    unsigned long m_gtk = 0;
};

}  // namespace kestrova::ui::x11
