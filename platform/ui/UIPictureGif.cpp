// GIF through giflib: the first frame only, drawn where it stands on the logical screen
// with the transparent colour of its graphic control block. The file is read record by
// record and nothing after the first frame is decoded, so an animation costs one frame.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ui/UIPictureDecode.h"

namespace kestrova::ui::picture {
namespace {

struct GifSource {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

int readGif(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(length, source->bytes.size() - source->at);
    std::memcpy(out, source->bytes.data() + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// Skips extension blocks up to the first image; the transparent index of a graphic
// control block before it is kept (-1: none). False at the end of the file or an error.
bool findFirstImage(GifFileType* gif, int& transparent, const DecodeBudget& budget) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    while (DGifGetRecordType(gif, &type) == GIF_OK && !budget.exhausted()) {
        if (type == IMAGE_DESC_RECORD_TYPE) {
            return DGifGetImageDesc(gif) == GIF_OK;
        }
        if (type != EXTENSION_RECORD_TYPE) {
            return false;
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) != GIF_OK) {
            return false;
        }
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
            transparent = (block[1] & 0x01) ? block[4] : -1;
        }
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif, &block) != GIF_OK) {
                return false;
            }
        }
    }
    return false;
}

// The order in which an interlaced frame's rows arrive: every 8th from 0, every 8th from
// 4, every 4th from 2, every 2nd from 1.
std::vector<int> rowOrder(int height, bool interlaced) {
    std::vector<int> order;
    order.reserve(height);
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            order.push_back(y);
        return order;
    }
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = start[pass]; y < height; y += step[pass])
            order.push_back(y);
    }
    return order;
}

}  // namespace

DecodeResult decodeGif(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                       const DecodeBudget& budget) {
    GifSource source{bytes};
    int error = 0;
    GifFile gif(DGifOpen(&source, readGif, &error));
    if (!gif) {
        return {nullptr, "not a readable picture"};
    }
    const int screenW = gif->SWidth, screenH = gif->SHeight;
    if (!withinSideLimit(screenW, screenH)) {
        return {nullptr, overLimit(screenW, screenH)};
    }
    int transparent = -1;
    if (!findFirstImage(gif.get(), transparent, budget)) {
        return {nullptr, budget.exhausted() ? "decoding the picture takes too long"
                                            : "not a readable picture"};
    }
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!withinSideLimit(frame.Width, frame.Height) || colours == nullptr) {
        return {nullptr, "not a readable picture"};
    }
    Canvas canvas;
    if (!canvas.allocate(screenW, screenH)) {
        return {nullptr, "out of memory for the picture"};
    }
    std::vector<GifPixelType> line(frame.Width);
    for (int y : rowOrder(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif.get(), line.data(), frame.Width) != GIF_OK) {
            return {nullptr, "not a readable picture"};
        }
        if (budget.exhausted()) {
            return {nullptr, "decoding the picture takes too long"};
        }
        const int row = frame.Top + y;
        if (row < 0 || row >= screenH) {
            continue;  // parts of a frame off the logical screen are not shown
        }
        std::uint32_t* out = canvas.row(row);
        for (int x = 0; x < frame.Width && frame.Left + x < screenW; ++x) {
            const int index = line[x];
            if (index == transparent || index >= colours->ColorCount) {
                continue;
            }
            const GifColorType c = colours->Colors[index];
            out[frame.Left + x] = argb(c.Red, c.Green, c.Blue);
        }
    }
    return {canvas.finish(screenW, screenH, Canvas::Alpha::Premultiplied, options.mask), {}};
}

}  // namespace kestrova::ui::picture
