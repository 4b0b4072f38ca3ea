// Signature checks of the picture formats the pop-up shows.
#include "util/PictureFormat.h"

#include <algorithm>
#include <array>

namespace kestrova {
namespace {

bool hasAt(std::span<const std::uint8_t> bytes, std::size_t offset, std::string_view magic) {
    return bytes.size() >= offset + magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin() + offset,
                      [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
}

// "BM" alone is two common letters; a real bitmap also carries one of the known
// information-header sizes right after its 14-byte file header.
bool isBmp(std::span<const std::uint8_t> bytes) {
    if (!hasAt(bytes, 0, "BM") || bytes.size() < 18) {
        return false;
    }
    const std::uint32_t headerSize =
        bytes[14] | (bytes[15] << 8) | (bytes[16] << 16) | (std::uint32_t{bytes[17]} << 24);
    constexpr std::array<std::uint32_t, 7> kHeaderSizes{12, 40, 52, 56, 64, 108, 124};
    return std::find(kHeaderSizes.begin(), kHeaderSizes.end(), headerSize) != kHeaderSizes.end();
}

}  // namespace

PictureFormat sniffPictureFormat(std::span<const std::uint8_t> bytes) {
    if (hasAt(bytes, 0, std::string_view("\x89PNG\r\n\x1a\n", 8))) {
        return PictureFormat::Png;
    }
    if (hasAt(bytes, 0, "\xff\xd8\xff")) {
        return PictureFormat::Jpeg;
    }
    if (hasAt(bytes, 0, "GIF87a") || hasAt(bytes, 0, "GIF89a")) {
        return PictureFormat::Gif;
    }
    if (isBmp(bytes)) {
        return PictureFormat::Bmp;
    }
    return PictureFormat::None;
}

PictureFormat sniffPictureFormat(std::string_view bytes) {
    return sniffPictureFormat(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string_view pictureContentType(PictureFormat format) {
    switch (format) {
        case PictureFormat::Png:
            return "image/png";
        case PictureFormat::Jpeg:
            return "image/jpeg";
        case PictureFormat::Gif:
            return "image/gif";
        case PictureFormat::Bmp:
            return "image/bmp";
        case PictureFormat::None:
            break;
    }
    return {};
}

}  // namespace kestrova
