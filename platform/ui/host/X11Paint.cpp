// Drawing native windows: each window's frame, kept by the library, put on the window
// where it changed or where the screen lost it (an exposure: a move that brings a strip on
// screen, a window that went away from above it), never rendered again for either; the
// shape cut from the frame's alpha where there is no compositor; the window icon; the
// shadow window, drawn once per size.
#include <X11/Xatom.h>
#include <X11/extensions/shape.h>
#include <cairo-xlib.h>

#include <cmath>
#include <vector>

#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UIPainter.h"
#include "platform/ui/UIWinApi.h"
#include "platform/ui/host/X11Backend.h"

namespace kestrova::ui::x11 {
namespace {

// Copies area (device pixels) of frame onto the window.
void present(Display* d, Window xid, Visual* visual, cairo_surface_t* frame, const RECT& area) {
    if (IsRectEmpty(&area)) {
        return;
    }
    int w = cairo_image_surface_get_width(frame), h = cairo_image_surface_get_height(frame);
    SurfacePtr target(cairo_xlib_surface_create(d, xid, visual, w, h));
    cairo_t* cr = cairo_create(target.get());
    cairo_rectangle(cr, area.left, area.top, area.right - area.left, area.bottom - area.top);
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, frame, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target.get());
}

RECT wholeOf(cairo_surface_t* frame) {
    return RECT{0, 0, cairo_image_surface_get_width(frame), cairo_image_surface_get_height(frame)};
}

}  // namespace

void X11Backend::paint(HWND handle, Native& w) {
    w.dirty = false;
    FramePaint frame;
    frame.scale = m_screen->scale();
    const bool painted = paintFrame(handle, frame);
    Native* still = find(handle);  // painting runs window code, which may close the window
    if (!still || !painted)
        return;
    if (!IsRectEmpty(&frame.changed) && !still->argb && !still->managed)
        applyShape(*still, frame.frame);
    RECT area{};
    UnionRect(&area, &frame.changed, &still->exposed);
    still->exposed = RECT{};
    present(m_screen->display(), still->xid, still->visual, frame.frame, area);
    if (!still->presented && still->mapped) {
        still->presented = true;
        if (m_presented)
            m_presented(handle);
    }
}

void X11Backend::paintDirty() {
    std::vector<HWND> dirty;
    for (auto& [handle, w] : m_windows) {
        if ((w.dirty || !IsRectEmpty(&w.exposed)) && w.mapped)
            dirty.push_back(handle);
    }
    for (HWND handle : dirty) {
        if (Native* w = find(handle))
            paint(handle, *w);
    }
}

// Rounded corners without a compositor: the window keeps only the pixels the frame
// covers, as runs of rectangles row by row.
void X11Backend::applyShape(Native& w, cairo_surface_t* frame) {
    int width = cairo_image_surface_get_width(frame),
        height = cairo_image_surface_get_height(frame);
    const unsigned char* data = cairo_image_surface_get_data(frame);
    int stride = cairo_image_surface_get_stride(frame);
    std::vector<XRectangle> rects;
    for (int y = 0; y < height; ++y) {
        auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width;) {
            while (x < width && (row[x] >> 24) < 128)
                ++x;
            int start = x;
            while (x < width && (row[x] >> 24) >= 128)
                ++x;
            if (x > start) {
                rects.push_back(XRectangle{static_cast<short>(start), static_cast<short>(y),
                                           static_cast<unsigned short>(x - start), 1});
            }
        }
    }
    XShapeCombineRectangles(m_screen->display(), w.xid, ShapeBounding, 0, 0, rects.data(),
                            static_cast<int>(rects.size()), ShapeSet, YXBanded);
}

void X11Backend::setIcon(HWND handle, const TImageInfo& icon) {
    Native* w = find(handle);
    if (!w || !icon.surface)
        return;
    // _NET_WM_ICON is width, height, then straight (not premultiplied) ARGB, one pixel
    // per long as Xlib passes 32-bit properties.
    std::vector<unsigned long> data{static_cast<unsigned long>(icon.nX),
                                    static_cast<unsigned long>(icon.nY)};
    const unsigned char* px = cairo_image_surface_get_data(icon.surface);
    int stride = cairo_image_surface_get_stride(icon.surface);
    for (int y = 0; y < icon.nY; ++y) {
        auto* row =
            reinterpret_cast<const std::uint32_t*>(px + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < icon.nX; ++x) {
            std::uint32_t p = row[x], a = p >> 24;
            auto un = [a](std::uint32_t c) {
                return a ? std::min<std::uint32_t>(255, c * 255 / a) : 0;
            };
            data.push_back((a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) |
                           un(p & 0xFF));
        }
    }
    XChangeProperty(m_screen->display(), w->xid, m_screen->atoms().netWmIcon, XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(data.data()),
                    static_cast<int>(data.size()));
}

bool X11Backend::setShadow(HWND parent, const TImageInfo* image, const RECT& borders) {
    Native* w = find(parent);
    if (!w)
        return false;
    Display* d = m_screen->display();
    if (!image) {
        if (w->shadow.xid)
            XDestroyWindow(d, w->shadow.xid);
        if (w->shadow.colormap)
            XFreeColormap(d, w->shadow.colormap);
        w->shadow = Shadow{};
        XDeleteProperty(d, w->xid, m_screen->atoms().comptonShadow);
        return true;
    }
    if (!m_screen->compositing() || w->managed) {
        return false;
    }
    if (!w->shadow.xid) {
        XSetWindowAttributes attrs{};
        w->shadow.colormap =
            XCreateColormap(d, m_screen->root(), m_screen->argbVisual(), AllocNone);
        attrs.colormap = w->shadow.colormap;
        attrs.border_pixel = 0;
        attrs.background_pixel = 0;
        attrs.override_redirect = True;
        attrs.event_mask = ExposureMask;
        w->shadow.xid = XCreateWindow(
            d, m_screen->root(), 0, 0, 1, 1, 0, 32, InputOutput, m_screen->argbVisual(),
            CWColormap | CWBorderPixel | CWBackPixel | CWOverrideRedirect | CWEventMask, &attrs);
        // Clicks go through the shadow to whatever lies below it.
        XShapeCombineRectangles(d, w->shadow.xid, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        Atom type = m_screen->atoms().netWmWindowTypeUtility;
        XChangeProperty(d, w->shadow.xid, m_screen->atoms().netWmWindowType, XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
        // A compositor that draws shadows of its own (picom, compton) would shadow both
        // windows again: a second, hard-edged shadow with a step in the grey. The hint
        // it reads keeps this one the only shadow.
        long none = 0;
        for (Window xid : {w->xid, w->shadow.xid}) {
            XChangeProperty(d, xid, m_screen->atoms().comptonShadow, XA_CARDINAL, 32,
                            PropModeReplace, reinterpret_cast<unsigned char*>(&none), 1);
        }
    }
    w->shadow.image = image;
    w->shadow.borders = borders;
    w->shadow.frame.reset();
    paintShadow(*w);
    if (w->mapped) {
        XMapWindow(d, w->shadow.xid);
        raise(*w);
    }
    return true;
}

// The shadow moves with its window; its pixels are drawn again only when its size (or
// its picture) changes, and an exposure copies them from the kept frame.
void X11Backend::paintShadow(Native& w) {
    if (!w.shadow.xid || !w.shadow.image)
        return;
    const RECT& b = w.shadow.borders;
    RECT outer{w.rect.left - b.left, w.rect.top - b.top, w.rect.right + b.right,
               w.rect.bottom + b.bottom};
    int width = std::max(1, dev(outer.right - outer.left));
    int height = std::max(1, dev(outer.bottom - outer.top));
    Display* d = m_screen->display();
    XMoveResizeWindow(d, w.shadow.xid, dev(outer.left), dev(outer.top),
                      static_cast<unsigned>(width), static_cast<unsigned>(height));
    cairo_surface_t* kept = w.shadow.frame.get();
    if (kept && cairo_image_surface_get_width(kept) == width &&
        cairo_image_surface_get_height(kept) == height)
        return;
    w.shadow.frame.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    cairo_t* cr = cairo_create(w.shadow.frame.get());
    cairo_scale(cr, m_screen->scale(), m_screen->scale());
    {
        HDC__ dc(cr);
        Painter painter(&dc);
        ImageSpec spec;
        spec.corner = b;
        painter.drawImage(*w.shadow.image,
                          RECT{0, 0, outer.right - outer.left, outer.bottom - outer.top}, spec);
    }
    cairo_destroy(cr);
    cairo_surface_flush(w.shadow.frame.get());
    present(d, w.shadow.xid, m_screen->argbVisual(), w.shadow.frame.get(),
            wholeOf(w.shadow.frame.get()));
}

void X11Backend::exposeShadow(Native& w, const RECT& area) {
    if (w.shadow.frame)
        present(m_screen->display(), w.shadow.xid, m_screen->argbVisual(), w.shadow.frame.get(),
                area);
}

}  // namespace kestrova::ui::x11
