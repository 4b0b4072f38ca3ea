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
        drawPatch(cr(), image.surface, {xs[0] * kx, ys[0] * ky, sw * kx, sh * ky},
                  {xd[0], yd[0], dw, dh}, alpha, true);
        return;
    }
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            drawPatch(cr(), image.surface, {xs[col] * kx, ys[row] * ky, ws[col] * kx, hs[row] * ky},
                      {xd[col], yd[row], wd[col], hd[row]}, alpha);
        }
    }
}

void Painter::drawText(const RECT& rc, std::wstring_view text, HFONT font, DWORD argb,
                       UINT format) {
    if (text.empty()) {
        return;
    }
    int width = rc.right - rc.left;
    auto layout = makeTextLayout(m_dc, font, text, std::max(width, 0), format);
    SIZE size = layoutPixelSize(layout.get());
    double x = rc.left;
    double y = rc.top;
    bool wrapped = pango_layout_get_width(layout.get()) >= 0;
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
    cairo_save(cr());
    setColor(argb);
    cairo_move_to(cr(), x, y);
    pango_cairo_update_context(cr(), m_dc->pango());
    pango_layout_context_changed(layout.get());
    pango_cairo_show_layout(cr(), layout.get());
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
