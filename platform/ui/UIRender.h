// Pictures: the design's CRenderEngine entry point and the loader behind it. Only the
// pop-up's formats (PNG, JPEG, GIF's first frame, BMP; util/PictureFormat.h) are decoded,
// recognised by their first bytes, each by a decoder chosen for it; anything else reaches
// no decoder. A picture over 4096 pixels a side is refused at its header, and every decode
// keeps to a CPU-time and memory budget (UIPictureDecode.h).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/ui/UIDefs.h"
#include "platform/ui/UIString.h"

namespace kestrova::ui {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

}  // namespace kestrova::ui

// A decoded picture. nX x nY is the picture's own size in pixels, as its header declares;
// surface holds its pixels as premultiplied ARGB, at that size or, for a picture decoded to
// fit a smaller box (DecodeOptions::fit), at a reduced size of the same proportions.
// Whoever draws it maps the picture's coordinates onto the surface's.
struct TImageInfo {
    int nX = 0;
    int nY = 0;
    bool bAlpha = false;
    cairo_surface_t* surface = nullptr;
    // The picture, or a part of it, scaled to a size in device pixels: made by the painter
    // the first time it draws the picture at that size and kept with it, so a picture is
    // scaled once per size however often it is drawn.
    struct ScaledCopy {
        struct {
            double x, y, w, h;
        } part;  // in the surface's pixels
        SIZE size;
        kestrova::ui::SurfacePtr surface;
    };
    mutable std::vector<ScaledCopy> scaled;

    TImageInfo() = default;
    ~TImageInfo();
    TImageInfo(const TImageInfo&) = delete;
    TImageInfo& operator=(const TImageInfo&) = delete;
};
using tagTImageInfo = TImageInfo;

class CRenderEngine {
public:
    // Loads a picture file (bitmap names a path; type is unused and may be null) and
    // returns its size and pixels, or null when it cannot be read, is not one of the
    // formats, cannot be decoded within the budget or declares more than 4096 pixels in
    // either direction. mask, when not 0, is an 0xRRGGBB colour made transparent. The
    // library keeps the result until FreeImage or process exit, and a window drawing the
    // same file meanwhile draws these pixels rather than decoding it again.
    static TImageInfo* LoadImageW(STRINGorID bitmap, LPCTSTR type = nullptr, DWORD mask = 0);
    static void FreeImage(TImageInfo* image);
};

namespace kestrova::ui {

// Either side above this many pixels is refused before any pixel is allocated.
inline constexpr int kMaxImageSide = 4096;
// Files larger than this are not even read: the pop-up downloads no larger picture.
inline constexpr std::size_t kMaxImageFileBytes = 32u << 20;

using ImagePtr = std::shared_ptr<TImageInfo>;

struct DecodeOptions {
    // 0xRRGGBB made transparent in opaque pixels; 0 for none.
    DWORD mask = 0;
    // The largest box the picture will be shown in, in device pixels; empty for full size.
    // A format that can decode at a reduced scale (JPEG, in eighths) then delivers the
    // smallest scale that still covers the picture shrunk to fit the box.
    SIZE fit{};
};

struct DecodeResult {
    ImagePtr image;
    std::string error;  // empty on success
};

// Decodes a picture held in memory.
DecodeResult decodeImage(std::span<const std::uint8_t> bytes, const DecodeOptions& options = {});

// A picture file as windows show it: decoded to fit the work area at the screen's scale
// (pictureFitBox), its pixels reduced to that box when they exceed it, and decoded once: while any
// holder keeps the result, loading the same unchanged file (same device, inode, size and
// modification time) with the same mask shares it.
DecodeResult loadPictureFile(const std::string& path, DWORD mask = 0);

// The work area in device pixels: no window is shown larger.
SIZE pictureFitBox();

// Reads a whole file of at most maxBytes; false when it cannot be read or is larger.
bool readFileBytes(const std::string& path, std::size_t maxBytes, std::string& out);

}  // namespace kestrova::ui
