// The picture loader's front: the format from the first bytes, then that format's decoder
// and nothing else; and the design's CRenderEngine over the file loader.
#include "platform/ui/UIRender.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#include "platform/ui/UIPictureDecode.h"
#include "util/PictureFormat.h"

TImageInfo::~TImageInfo() {
    if (surface) {
        cairo_surface_destroy(surface);
    }
}

namespace kestrova::ui {
namespace {

// Pictures handed out by LoadImageW: the window code never frees them, so the library
// keeps them and releases them at exit instead of leaking.
struct LoadedImages {
    std::mutex lock;
    std::vector<ImagePtr> images;
};
LoadedImages& loadedImages() {
    static LoadedImages all;
    return all;
}

DecodeResult decodeAs(PictureFormat format, std::span<const std::uint8_t> bytes,
                      const DecodeOptions& options) {
    const picture::DecodeBudget budget;
    switch (format) {
        case PictureFormat::Png:
            return picture::decodePng(bytes, options, budget);
        case PictureFormat::Jpeg:
            return picture::decodeJpeg(bytes, options, budget);
        case PictureFormat::Gif:
            return picture::decodeGif(bytes, options, budget);
        case PictureFormat::Bmp:
            return picture::decodeBmp(bytes, options, budget);
        case PictureFormat::None:
            break;
    }
    return {nullptr, "not a " + std::string(kPictureFormatNames) + " picture"};
}

}  // namespace

DecodeResult decodeImage(std::span<const std::uint8_t> bytes, const DecodeOptions& options) {
    if (bytes.empty()) {
        return {nullptr, "empty picture"};
    }
    try {
        return decodeAs(sniffPictureFormat(bytes), bytes, options);
    } catch (const std::bad_alloc&) {
        return {nullptr, "out of memory for the picture"};
    }
}

}  // namespace kestrova::ui

TImageInfo* CRenderEngine::LoadImageW(STRINGorID bitmap, LPCTSTR /*type*/, DWORD mask) {
    using namespace kestrova::ui;
    if (bitmap.isId() || bitmap.name().empty()) {
        return nullptr;
    }
    DecodeResult loaded = loadPictureFile(toUtf8(bitmap.name()), mask);
    if (!loaded.image) {
        return nullptr;
    }
    auto& all = loadedImages();
    std::lock_guard guard(all.lock);
    all.images.push_back(std::move(loaded.image));
    return all.images.back().get();
}

void CRenderEngine::FreeImage(TImageInfo* image) {
    auto& all = kestrova::ui::loadedImages();
    std::lock_guard guard(all.lock);
    // One hand-out is returned; the same picture handed out twice stays for the other.
    auto it = std::find_if(all.images.begin(), all.images.end(),
                           [image](const auto& p) { return p.get() == image; });
    if (it != all.images.end()) {
        all.images.erase(it);
    }
}
