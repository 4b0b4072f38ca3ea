// What every decoder shares: the side limit, the CPU-time budget and the pixel canvas.
#include <time.h>

#include <utility>

#include "platform/ui/UIPictureDecode.h"

namespace kestrova::ui::picture {

bool withinSideLimit(long width, long height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}

std::string overLimit(long width, long height) {
    return "picture declares " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels, over the limit";
}

DecodeBudget::DecodeBudget(std::chrono::nanoseconds budget)
    : m_deadline(threadCpuTime() + budget) {}

bool DecodeBudget::exhausted() const {
    return threadCpuTime() > m_deadline;
}

std::chrono::nanoseconds DecodeBudget::threadCpuTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

Canvas::~Canvas() {
    if (m_surface) {
        cairo_surface_destroy(m_surface);
    }
}

bool Canvas::allocate(int w, int h) {
    m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(m_surface);
        m_surface = nullptr;
        return false;
    }
    cairo_surface_flush(m_surface);
    m_width = w;
    m_height = h;
    return true;
}

std::uint32_t* Canvas::row(int y) {
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(m_surface) +
                                            static_cast<std::ptrdiff_t>(y) *
                                                cairo_image_surface_get_stride(m_surface));
}

ImagePtr Canvas::finish(int declaredWidth, int declaredHeight, Alpha alpha, DWORD mask) {
    auto image = std::make_shared<TImageInfo>();
    const std::uint32_t key = mask & 0xFFFFFF;
    for (int y = 0; y < m_height; ++y) {
        std::uint32_t* px = row(y);
        for (int x = 0; x < m_width; ++x) {
            std::uint32_t p = px[x];
            const std::uint32_t a = p >> 24;
            // Only opaque pixels can match the colour key; their stored colour is exact.
            if (mask != 0 && a == 0xFF && (p & 0xFFFFFF) == key) {
                p = 0;
            } else if (alpha == Alpha::Straight && a != 0xFF) {
                p = argb(((p >> 16) & 0xFF) * a / 255, ((p >> 8) & 0xFF) * a / 255,
                         (p & 0xFF) * a / 255, a);
            }
            px[x] = p;
            image->bAlpha = image->bAlpha || (p >> 24) != 0xFF;
        }
    }
    cairo_surface_mark_dirty(m_surface);
    image->surface = std::exchange(m_surface, nullptr);
    image->nX = declaredWidth;
    image->nY = declaredHeight;
    return image;
}

}  // namespace kestrova::ui::picture
