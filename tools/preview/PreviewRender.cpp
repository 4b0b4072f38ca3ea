// The offscreen pop-up: the same window object and fill operations as on screen; only the
// backend differs, and the frame goes into an image instead of onto a window.
#include "tools/preview/PreviewRender.h"

#include <cairo.h>

#include <memory>

#include "platform/ui/UIHeadless.h"
#include "platform/ui/UIMessageCore.h"
#include "ui/FloatDlg.h"

namespace kestrova::preview {
namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// The window owns itself; this only makes sure it is gone (and its quit message taken
// off the queue) whichever way rendering ends.
class WindowGuard {
public:
    explicit WindowGuard(HWND hwnd) : m_hwnd(hwnd) {}
    ~WindowGuard() {
        if (m_hwnd && IsWindow(m_hwnd))
            DestroyWindow(m_hwnd);
        if (ui::quitPending())
            ui::runMessageLoop();
    }
    WindowGuard(const WindowGuard&) = delete;
    WindowGuard& operator=(const WindowGuard&) = delete;

private:
    HWND m_hwnd;
};

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void installScreen(const PreviewScreen& screen) {
    auto headless = std::make_unique<ui::HeadlessBackend>();
    headless->setMonitor(screen.monitor);
    headless->setWorkArea(screen.workArea);
    // The shadow is a window of its own behind the pop-up; it is not part of the picture.
    headless->setCompositing(false);
    ui::installBackend(std::move(headless));
}

void fill(CFloatDlg& dlg, const PreviewAdvert& advert) {
    if (advert.kind == AdvertKind::Text)
        dlg.ShowTextAdvert(advert.title.c_str(), advert.text.c_str(), advert.link.c_str());
    else
        dlg.ShowImageAdvert(advert.title.c_str(), advert.picture.c_str(), advert.link.c_str());
}

}  // namespace

PreviewImage renderAdvert(const PreviewAdvert& advert, int scale, const PreviewScreen& screen) {
    PreviewImage image;
    if (scale < 1 || scale > kMaxScale) {
        image.error = "scale must be 1 to " + std::to_string(kMaxScale);
        return image;
    }
    installScreen(screen);

    // Created as the program creates it, so the layout reshapes it the same way.
    auto* dlg = new CFloatDlg;
    HWND hwnd = dlg->Create(nullptr, L"Kestrova", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
    if (!hwnd) {
        delete dlg;
        image.error = "the advert window could not be created from the embedded skin";
        return image;
    }
    WindowGuard guard(hwnd);
    fill(*dlg, advert);

    RECT rc{};
    GetWindowRect(hwnd, &rc);
    image.width = rc.right - rc.left;
    image.height = rc.bottom - rc.top;
    if (image.width <= 0 || image.height <= 0) {
        image.error = "the advert window has no size";
        return image;
    }
    SurfacePtr surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width * scale, image.height * scale));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        image.error = "no memory for a " + std::to_string(image.width * scale) + " x " +
                      std::to_string(image.height * scale) + " image";
        return image;
    }
    cairo_t* cr = cairo_create(surface.get());
    cairo_scale(cr, scale, scale);
    ui::paintWindow(hwnd, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    if (cairo_surface_write_to_png_stream(surface.get(), appendBytes, &image.png) !=
        CAIRO_STATUS_SUCCESS) {
        image.png.clear();
        image.error = "the image could not be encoded";
    }
    return image;
}

}  // namespace kestrova::preview
