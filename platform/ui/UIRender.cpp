// Picture decoding. A gdk-pixbuf loader reports the declared size before it allocates
// the pixel buffer; answering a size of 0 x 0 there makes the loader give up, so an
// oversized picture costs only its header.
#include "platform/ui/UIRender.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

TImageInfo::~TImageInfo() {
    if (surface) {
        cairo_surface_destroy(surface);
    }
}

namespace kestrova::ui {
namespace {

struct SizeCheck {
    bool tooLarge = false;
    int width = 0;
    int height = 0;
};

void onSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
    auto* check = static_cast<SizeCheck*>(data);
    check->width = width;
    check->height = height;
    if (width > kMaxImageSide || height > kMaxImageSide || width <= 0 || height <= 0) {
        check->tooLarge = true;
        gdk_pixbuf_loader_set_size(loader, 0, 0);
    }
}

// Copies the pixbuf into a cairo surface, premultiplying alpha and applying the colour
// key.
ImagePtr toSurface(GdkPixbuf* pixbuf, DWORD mask) {
    int w = gdk_pixbuf_get_width(pixbuf);
    int h = gdk_pixbuf_get_height(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    int srcStride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* src = gdk_pixbuf_read_pixels(pixbuf);
    auto image = std::make_unique<TImageInfo>();
    image->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(image->surface) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    cairo_surface_flush(image->surface);
    unsigned char* dst = cairo_image_surface_get_data(image->surface);
    int dstStride = cairo_image_surface_get_stride(image->surface);
    bool anyTransparent = false;
    for (int y = 0; y < h; ++y) {
        const guchar* s = src + static_cast<std::ptrdiff_t>(y) * srcStride;
        auto* d =
            reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * dstStride);
        for (int x = 0; x < w; ++x, s += channels) {
            std::uint32_t r = s[0], g = s[1], b = s[2];
            std::uint32_t a = alpha ? s[3] : 255;
            if (mask != 0 && ((r << 16) | (g << 8) | b) == (mask & 0xFFFFFF)) {
                a = 0;
            }
            anyTransparent = anyTransparent || a < 255;
            d[x] = (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
        }
    }
    cairo_surface_mark_dirty(image->surface);
    image->nX = w;
    image->nY = h;
    image->bAlpha = anyTransparent;
    return image;
}

// Images handed out by LoadImageW: the window code never frees them, so the library
// keeps them and releases them at exit instead of leaking.
struct LoadedImages {
    std::mutex lock;
    std::vector<ImagePtr> images;
};
LoadedImages& loadedImages() {
    static LoadedImages all;
    return all;
}

struct PngReader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->bytes.size() - reader->at < length) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::memcpy(data, reader->bytes.data() + reader->at, length);
    reader->at += length;
    return CAIRO_STATUS_SUCCESS;
}

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

// PNG, the skin's own format, is read by cairo directly: it needs no loader module, which
// saves start-up time and memory. Its size is read from the header chunk first.
DecodeResult decodePng(std::span<const std::uint8_t> bytes, DWORD mask) {
    std::uint32_t w = bigEndian32(bytes.data() + 16), h = bigEndian32(bytes.data() + 20);
    if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide) {
        return {nullptr, "picture declares " + std::to_string(w) + " x " + std::to_string(h) +
                             " pixels, over the limit"};
    }
    PngReader reader{bytes};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return {nullptr, "not a readable picture"};
    }
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        // Opaque and grey pictures come in other formats; the painter wants ARGB.
        cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w), int(h));
        cairo_t* cr = cairo_create(argb);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        surface = argb;
    }
    cairo_surface_flush(surface);
    auto image = std::make_unique<TImageInfo>();
    image->surface = surface;
    image->nX = int(w);
    image->nY = int(h);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image->nY; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < image->nX; ++x) {
            // Only opaque pixels can match the colour key; their stored colour is exact.
            if (mask != 0 && (row[x] >> 24) == 0xFF && (row[x] & 0xFFFFFF) == (mask & 0xFFFFFF)) {
                row[x] = 0;
            }
            image->bAlpha = image->bAlpha || (row[x] >> 24) != 0xFF;
        }
    }
    cairo_surface_mark_dirty(surface);
    return {std::move(image), {}};
}

bool isPng(std::span<const std::uint8_t> bytes) {
    static const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= 24 && std::memcmp(bytes.data(), signature, 8) == 0 &&
           std::memcmp(bytes.data() + 12, "IHDR", 4) == 0;
}

}  // namespace

DecodeResult decodeImage(std::span<const std::uint8_t> bytes, DWORD mask) {
    if (bytes.empty()) {
        return {nullptr, "empty picture"};
    }
    if (isPng(bytes)) {
        return decodePng(bytes, mask);
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    SizeCheck check;
    g_signal_connect(loader, "size-prepared", G_CALLBACK(onSizePrepared), &check);
    constexpr std::size_t kChunk = 64 * 1024;
    bool writeOk = true;
    for (std::size_t at = 0; at < bytes.size() && writeOk && !check.tooLarge; at += kChunk) {
        std::size_t n = std::min(kChunk, bytes.size() - at);
        writeOk = gdk_pixbuf_loader_write(loader, bytes.data() + at, n, nullptr);
    }
    bool closeOk = gdk_pixbuf_loader_close(loader, nullptr);
    DecodeResult result;
    if (check.tooLarge) {
        result.error = "picture declares " + std::to_string(check.width) + " x " +
                       std::to_string(check.height) + " pixels, over the limit";
    } else if (!writeOk || !closeOk) {
        result.error = "not a readable picture";
    } else if (GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader)) {
        result.image = toSurface(pixbuf, mask);
        if (!result.image) {
            result.error = "out of memory for the picture";
        }
    } else {
        result.error = "picture has no pixels";
    }
    g_object_unref(loader);
    return result;
}

bool readFileBytes(const std::string& path, std::size_t maxBytes, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    in.seekg(0, std::ios::end);
    auto size = in.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > maxBytes) {
        return false;
    }
    in.seekg(0, std::ios::beg);
    out.assign(static_cast<std::size_t>(size), '\0');
    return static_cast<bool>(in.read(out.data(), size));
}

}  // namespace kestrova::ui

TImageInfo* CRenderEngine::LoadImageW(STRINGorID bitmap, LPCTSTR /*type*/, DWORD mask) {
    using namespace kestrova::ui;
    if (bitmap.isId() || bitmap.name().empty()) {
        return nullptr;
    }
    std::string bytes;
    if (!readFileBytes(toUtf8(bitmap.name()), kMaxImageFileBytes, bytes)) {
        return nullptr;
    }
    auto decoded =
        decodeImage({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, mask);
    if (!decoded.image) {
        return nullptr;
    }
    auto& all = loadedImages();
    std::lock_guard guard(all.lock);
    all.images.push_back(std::move(decoded.image));
    return all.images.back().get();
}

void CRenderEngine::FreeImage(TImageInfo* image) {
    auto& all = kestrova::ui::loadedImages();
    std::lock_guard guard(all.lock);
    std::erase_if(all.images, [image](const auto& p) { return p.get() == image; });
}
