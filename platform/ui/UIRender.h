// Pictures: decoding with gdk-pixbuf (the format found from the content, never from the
// name), the size limit that keeps a hostile file from exhausting memory, and the
// design's CRenderEngine entry point.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/ui/UIDefs.h"
#include "platform/ui/UIString.h"

// A decoded picture: nX x nY pixels held as a premultiplied ARGB cairo surface.
struct TImageInfo {
    int nX = 0;
    int nY = 0;
    bool bAlpha = false;
    cairo_surface_t* surface = nullptr;

    TImageInfo() = default;
    ~TImageInfo();
    TImageInfo(const TImageInfo&) = delete;
    TImageInfo& operator=(const TImageInfo&) = delete;
};
using tagTImageInfo = TImageInfo;

class CRenderEngine {
public:
    // Loads a picture file (bitmap names a path; type is unused and may be null) and
    // returns its size and pixels, or null when it cannot be read or decoded or declares
    // more than 4096 pixels in either direction. mask, when not 0, is an 0xRRGGBB colour
    // made transparent. The library keeps the result until FreeImage or process exit.
    static TImageInfo* LoadImageW(STRINGorID bitmap, LPCTSTR type = nullptr, DWORD mask = 0);
    static void FreeImage(TImageInfo* image);
};

namespace kestrova::ui {

// Either side above this many pixels is refused before any pixel is allocated.
inline constexpr int kMaxImageSide = 4096;
// Files larger than this are not even read: no picture within the side limit needs it.
inline constexpr std::size_t kMaxImageFileBytes = 64u << 20;

using ImagePtr = std::unique_ptr<TImageInfo>;

struct DecodeResult {
    ImagePtr image;
    std::string error;  // empty on success
};

// Decodes a picture held in memory. The header's declared size is checked first; a
// picture over the limit is abandoned at that point.
DecodeResult decodeImage(std::span<const std::uint8_t> bytes, DWORD mask = 0);

// Reads a whole file of at most maxBytes; false when it cannot be read or is larger.
bool readFileBytes(const std::string& path, std::size_t maxBytes, std::string& out);

}  // namespace kestrova::ui
