// Drawing primitives over cairo and pango for the controls.
#include "platform/ui/UIPainter.h"

#include <algorithm>
#include <cmath>

namespace kestrova::ui {
namespace {

struct Box {
    double x, y, w, h;
};

// How a picture drawn whole (no nine-slice) is enlarged on a HiDPI screen: by a whole
// factor each pixel becomes a block of device pixels, exactly as sharp as the picture
// is; by any other factor a bicubic filter, sharper than bilinear. Shrinking, and
// sliced skin art, keep the bilinear default.
void setUpscaleFilter(cairo_t* cr) {
    double mx = 1, my = 1;
    cairo_user_to_device_distance(cr, &mx, &my);
    mx = std::abs(mx);
    my = std::abs(my);
    if (mx <= 1.0 + 1e-6 || my <= 1.0 + 1e-6) {
        return;
    }
    auto whole = [](double m) { return std::abs(m - std::round(m)) < 1e-6; };
    cairo_pattern_set_filter(cairo_get_source(cr),
                             whole(mx) && whole(my) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BEST);
}

// Sizes of a picture kept scaled at once; a window draws its picture at one size, and
// the last two cover a resize in between.
constexpr std::size_t kMaxScaledCopies = 2;

// One patch of a nine-slice: the source part is cut out as a sub-surface so that
// bilinear filtering at its edges pads with its own pixels, not its neighbour's.
void drawPatch(cairo_t* cr, cairo_surface_t* image, Box src, Box dst, double alpha,
               bool whole = false) {
    if (src.w <= 0 || src.h <= 0 || dst.w <= 0 || dst.h <= 0) {
        return;
    }
    cairo_surface_t* part = cairo_surface_create_for_rectangle(image, src.x, src.y, src.w, src.h);
    cairo_save(cr);
    cairo_rectangle(cr, dst.x, dst.y, dst.w, dst.h);
    cairo_clip(cr);
    cairo_translate(cr, dst.x, dst.y);
    cairo_scale(cr, dst.w / src.w, dst.h / src.h);
    cairo_set_source_surface(cr, part, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    if (whole)
        setUpscaleFilter(cr);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
    cairo_surface_destroy(part);
}

// src of image at size, from the picture's kept copies or made and kept now.
cairo_surface_t* scaledCopy(const TImageInfo& image, Box src, SIZE size) {
    auto& copies = image.scaled;
    for (const TImageInfo::ScaledCopy& copy : copies) {
        if (copy.part.x == src.x && copy.part.y == src.y && copy.part.w == src.w &&
            copy.part.h == src.h && copy.size.cx == size.cx && copy.size.cy == size.cy) {
            return copy.surface.get();
        }
    }
    cairo_surface_t* scaled = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.cx, size.cy);
    cairo_t* cr = cairo_create(scaled);
    drawPatch(cr, image.surface, src, {0, 0, double(size.cx), double(size.cy)}, 1.0, true);
    cairo_destroy(cr);
    cairo_surface_flush(scaled);
    if (copies.size() >= kMaxScaledCopies) {
        copies.erase(copies.begin());
    }
    copies.push_back({{src.x, src.y, src.w, src.h}, size, SurfacePtr(scaled)});
    return scaled;
}

// Picture coordinates are scaled by the ratio of a reduced surface to the picture's size,
// which leaves rounding dust on whole numbers.
bool samePixels(double a, double b) {
    return std::abs(a - b) < 1e-6;
}
bool wholePixels(double v) {
    return samePixels(v, std::round(v));
}

// src (in the surface's pixels) into dst, drawn at whole device pixels: the copy is made at the
// size dst covers on the device and then only copied, so a frame painted again pays no scaling.
void drawWhole(cairo_t* cr, const TImageInfo& image, Box src, Box dst, double alpha) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0 || m.xx <= 0 || m.yy <= 0) {
        // Turned or mirrored: no copy would be drawn 1:1.
        drawPatch(cr, image.surface, src, dst, alpha, true);
        return;
    }
    double x0 = dst.x, y0 = dst.y, x1 = dst.x + dst.w, y1 = dst.y + dst.h;
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    const auto left = static_cast<LONG>(std::lround(x0)), top = static_cast<LONG>(std::lround(y0));
    const SIZE size{static_cast<LONG>(std::lround(x1)) - left,
                    static_cast<LONG>(std::lround(y1)) - top};
    if (size.cx <= 0 || size.cy <= 0 || src.w <= 0 || src.h <= 0) {
        return;
    }
    // At its own size a part at whole pixels is drawn straight from the picture.
    const bool asIs = samePixels(src.w, size.cx) && samePixels(src.h, size.cy) &&
                      wholePixels(src.x) && wholePixels(src.y);
    cairo_surface_t* pixels = asIs ? image.surface : scaledCopy(image, src, size);
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_rectangle(cr, double(left), double(top), double(size.cx), double(size.cy));
    cairo_clip(cr);
    cairo_set_source_surface(cr, pixels, double(left) - (asIs ? std::round(src.x) : 0),
                             double(top) - (asIs ? std::round(src.y) : 0));
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

}  // namespace

void Painter::setColor(DWORD argb) {
    cairo_set_source_rgba(cr(), ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
}

void Painter::fillRect(const RECT& rc, DWORD argb) {
    cairo_save(cr());
    setColor(argb);
    cairo_rectangle(cr(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    cairo_fill(cr());
    cairo_restore(cr());
}

void Painter::drawImage(const TImageInfo& image, const RECT& rc, const ImageSpec& spec) {
    RECT src = spec.source.value_or(RECT{0, 0, image.nX, image.nY});
    src.right = std::min<LONG>(src.right, image.nX);
    src.bottom = std::min<LONG>(src.bottom, image.nY);
    RECT dst = rc;
    if (spec.dest) {
        dst = RECT{rc.left + spec.dest->left, rc.top + spec.dest->top, rc.left + spec.dest->right,
                   rc.top + spec.dest->bottom};
    }
    // Corners larger than the destination would overlap; shrink them to fit.
    double dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    double l = spec.corner.left, t = spec.corner.top, r = spec.corner.right, b = spec.corner.bottom;
    if (l + r > dw)
        l = r = dw / 2;
    if (t + b > dh)
        t = b = dh / 2;
    double sw = src.right - src.left, sh = src.bottom - src.top;
    double xs[] = {double(src.left), src.left + l, src.right - r};
    double ws[] = {l, sw - l - r, r};
    double ys[] = {double(src.top), src.top + t, src.bottom - b};
    double hs[] = {t, sh - t - b, b};
    double xd[] = {double(dst.left), dst.left + l, dst.right - r};
    double wd[] = {l, dw - l - r, r};
    double yd[] = {double(dst.top), dst.top + t, dst.bottom - b};
    double hd[] = {t, dh - t - b, b};
    double alpha = spec.fade / 255.0;
    // A picture decoded at a reduced size keeps its own coordinates; its pixels are fewer.
    const double kx =
        image.nX > 0 ? cairo_image_surface_get_width(image.surface) / double(image.nX) : 1;
    const double ky =
        image.nY > 0 ? cairo_image_surface_get_height(image.surface) / double(image.nY) : 1;
    if (l + r + t + b == 0) {
        drawWhole(cr(), image, {xs[0] * kx, ys[0] * ky, sw * kx, sh * ky}, {xd[0], yd[0], dw, dh},
                  alpha);
        return;
    }
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            drawPatch(cr(), image.surface, {xs[col] * kx, ys[row] * ky, ws[col] * kx, hs[row] * ky},
                      {xd[col], yd[row], wd[col], hd[row]}, alpha);
        }
    }
}

void Painter::drawLayout(const RECT& rc, PangoLayout* layout, DWORD argb, UINT format) {
    if (!layout) {
        return;
    }
    const int width = rc.right - rc.left;
    const SIZE size = layoutPixelSize(layout);
    double x = rc.left;
    double y = rc.top;
    const bool wrapped = pango_layout_get_width(layout) >= 0;
    if (!wrapped && (format & DT_CENTER)) {
        x += (width - size.cx) / 2.0;
    } else if (!wrapped && (format & DT_RIGHT)) {
        x += width - size.cx;
    }
    if (format & DT_VCENTER) {
        y += (rc.bottom - rc.top - size.cy) / 2.0;
    } else if (format & DT_BOTTOM) {
        y += rc.bottom - rc.top - size.cy;
    }
    // The layout keeps the context it was made in (the manager's measuring context, whose
    // metrics are unhinted): drawn here at any scale it places every glyph where it was
    // measured, and it is laid out again only when it changes.
    cairo_save(cr());
    setColor(argb);
    cairo_move_to(cr(), x, y);
    pango_cairo_show_layout(cr(), layout);
    cairo_restore(cr());
}

Painter::ClipScope::ClipScope(Painter& painter, const RECT& rc) : m_cr(painter.cr()) {
    cairo_save(m_cr);
    cairo_rectangle(m_cr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    cairo_clip(m_cr);
}

Painter::ClipScope::~ClipScope() {
    cairo_restore(m_cr);
}

}  // namespace kestrova::ui
