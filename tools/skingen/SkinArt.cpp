// Drawing of the skin pictures. Flat colours where other code samples them, anti-aliased
// edges everywhere, so the window looks the same on a compositing and on a shaped screen.
#include "tools/skingen/SkinArt.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace kestrova::skingen {
namespace {

constexpr double kPi = std::numbers::pi;

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -kPi / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, kPi / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, kPi / 2, kPi);
    cairo_arc(cr, x + radius, y + radius, radius, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// Runs a drawing function on a fresh transparent image; null when cairo fails anywhere.
template <typename Draw>
SurfacePtr paint(int width, int height, Draw draw) {
    SurfacePtr surface = makeImage(width, height);
    if (!surface) {
        return nullptr;
    }
    ContextPtr cr(cairo_create(surface.get()));
    draw(cr.get(), width, height);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    cairo_surface_flush(surface.get());
    return surface;
}

// Opacity of the shadow at a depth (pixels in from the outer edge): a Gaussian shoulder
// reaching a quarter at 16 pixels, which is where the window's own edge lies, held under
// the window's rounded corners and gone beyond 20 pixels.
double shadowAlpha(double depth) {
    constexpr double kPeak = 0.25;
    constexpr double kBorder = 16.0;
    constexpr double kFrame = 20.0;
    constexpr double kSpread = 9.0;
    if (depth <= 0.0 || depth >= kFrame) {
        return 0.0;
    }
    if (depth >= kBorder) {
        return kPeak;
    }
    const double t = (kBorder - depth) / kSpread;
    return kPeak * std::exp(-t * t) * std::min(1.0, depth);
}

// Depth of a pixel centre inside a rectangle whose corners are rounded by the frame width,
// so the fade follows the corner as a quarter circle.
double frameDepth(double x, double y, double width, double height, double radius) {
    const double dx = std::min(x, width - x);
    const double dy = std::min(y, height - y);
    if (dx < radius && dy < radius) {
        return radius - std::hypot(radius - dx, radius - dy);
    }
    return std::min(dx, dy);
}

}  // namespace

SurfacePtr drawBackground() {
    return paint(320, 210, [](cairo_t* cr, int w, int h) {
        constexpr double kRadius = 5.0;
        roundedRect(cr, 0, 0, w, h, kRadius);
        cairo_clip(cr);
        setColour(cr, kBodyWhite);
        cairo_paint(cr);
        // A hairline keeps the pale body apart from a white desktop behind it.
        cairo_save(cr);
        cairo_rectangle(cr, 0, kTitleHeight, w, h - kTitleHeight);
        cairo_clip(cr);
        roundedRect(cr, 0.5, 0.5, w - 1.0, h - 1.0, kRadius - 0.5);
        cairo_set_line_width(cr, 1.0);
        setColour(cr, Rgb{206, 214, 236});
        cairo_stroke(cr);
        cairo_restore(cr);
        cairo_rectangle(cr, 0, 0, w, kTitleHeight);
        setColour(cr, kBandBlue);
        cairo_fill(cr);
    });
}

SurfacePtr drawCloseCross(Rgb colour) {
    return paint(20, 20, [colour](cairo_t* cr, int, int) {
        constexpr double kFrom = 5.5;
        constexpr double kTo = 14.5;
        cairo_set_line_width(cr, 2.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        setColour(cr, colour);
        cairo_move_to(cr, kFrom, kFrom);
        cairo_line_to(cr, kTo, kTo);
        cairo_move_to(cr, kTo, kFrom);
        cairo_line_to(cr, kFrom, kTo);
        cairo_stroke(cr);
    });
}

SurfacePtr drawShadow() {
    SurfacePtr surface = makeImage(758, 508);
    if (!surface) {
        return nullptr;
    }
    cairo_surface_flush(surface.get());
    const int width = cairo_image_surface_get_width(surface.get());
    const int height = cairo_image_surface_get_height(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    for (int y = 0; y < height; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const double depth = frameDepth(x + 0.5, y + 0.5, width, height, 20.0);
            const auto alpha = static_cast<std::uint32_t>(std::lround(255.0 * shadowAlpha(depth)));
            // Black, so the premultiplied pixel is the alpha byte alone.
            row[x] = alpha << 24;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

SurfacePtr drawProgramIcon() {
    return paint(48, 48, [](cairo_t* cr, int, int) {
        // Tile: the title band's blue, lit from above.
        roundedRect(cr, 2, 2, 44, 44, 9);
        PatternPtr tile(cairo_pattern_create_linear(0, 2, 0, 46));
        cairo_pattern_add_color_stop_rgb(tile.get(), 0, 132 / 255.0, 155 / 255.0, 232 / 255.0);
        cairo_pattern_add_color_stop_rgb(tile.get(), 1, 88 / 255.0, 109 / 255.0, 192 / 255.0);
        cairo_set_source(cr, tile.get());
        cairo_fill(cr);

        // A document sheet with a folded corner and lines of text, over a soft drop shadow.
        constexpr double kLeft = 13, kTop = 8, kRight = 33, kBottom = 39, kFold = 7;
        const auto sheet = [&](double dx, double dy) {
            cairo_move_to(cr, kLeft + dx, kTop + dy);
            cairo_line_to(cr, kRight - kFold + dx, kTop + dy);
            cairo_line_to(cr, kRight + dx, kTop + kFold + dy);
            cairo_line_to(cr, kRight + dx, kBottom + dy);
            cairo_line_to(cr, kLeft + dx, kBottom + dy);
            cairo_close_path(cr);
        };
        sheet(0.8, 1.2);
        cairo_set_source_rgba(cr, 0, 0, 0.15, 0.25);
        cairo_fill(cr);
        sheet(0, 0);
        setColour(cr, Rgb{255, 255, 255});
        cairo_fill(cr);
        cairo_move_to(cr, kRight - kFold, kTop);
        cairo_line_to(cr, kRight - kFold, kTop + kFold);
        cairo_line_to(cr, kRight, kTop + kFold);
        cairo_close_path(cr);
        setColour(cr, Rgb{196, 207, 236});
        cairo_fill(cr);
        setColour(cr, Rgb{168, 181, 218});
        cairo_set_line_width(cr, 2.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        const double lineEnds[] = {24, 28, 28, 21};
        for (int i = 0; i < 4; ++i) {
            const double y = 17.0 + 5.0 * i;
            cairo_move_to(cr, kLeft + 4, y);
            cairo_line_to(cr, lineEnds[i], y);
        }
        cairo_stroke(cr);

        // The update badge: an orange disc with a white arrow pointing up.
        constexpr double kCx = 35, kCy = 35, kR = 9;
        cairo_arc(cr, kCx, kCy, kR + 1.5, 0, 2 * kPi);
        setColour(cr, Rgb{255, 255, 255});
        cairo_fill(cr);
        cairo_arc(cr, kCx, kCy, kR, 0, 2 * kPi);
        setColour(cr, Rgb{255, 146, 43});
        cairo_fill(cr);
        cairo_set_line_width(cr, 2.2);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        setColour(cr, Rgb{255, 255, 255});
        cairo_move_to(cr, kCx, kCy + 5);
        cairo_line_to(cr, kCx, kCy - 4.5);
        cairo_move_to(cr, kCx - 4, kCy - 0.5);
        cairo_line_to(cr, kCx, kCy - 4.5);
        cairo_line_to(cr, kCx + 4, kCy - 0.5);
        cairo_stroke(cr);
    });
}

}  // namespace kestrova::skingen
