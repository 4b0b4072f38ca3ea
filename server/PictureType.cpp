// Signature checks for the picture formats the pop-up decodes.
#include "server/PictureType.h"

#include <array>
#include <cstdint>

namespace kestrova {

namespace {

bool hasAt(std::string_view bytes, std::size_t offset, std::string_view magic) {
    return bytes.size() >= offset + magic.size() && bytes.substr(offset, magic.size()) == magic;
}

// "BM" alone is two common letters; a real bitmap also carries one of the known
// information-header sizes right after its 14-byte file header.
bool isBmp(std::string_view bytes) {
    if (!hasAt(bytes, 0, "BM") || bytes.size() < 18) {
        return false;
    }
    std::uint32_t headerSize = 0;
    for (int i = 3; i >= 0; --i) {
        headerSize = (headerSize << 8) | static_cast<unsigned char>(bytes[14 + i]);
    }
    constexpr std::array<std::uint32_t, 7> kHeaderSizes{12, 40, 52, 56, 64, 108, 124};
    for (std::uint32_t size : kHeaderSizes) {
        if (headerSize == size) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<std::string> pictureContentType(std::string_view bytes) {
    if (hasAt(bytes, 0, std::string_view("\x89PNG\r\n\x1a\n", 8))) {
        return "image/png";
    }
    if (hasAt(bytes, 0, "\xff\xd8\xff")) {
        return "image/jpeg";
    }
    if (hasAt(bytes, 0, "GIF87a") || hasAt(bytes, 0, "GIF89a")) {
        return "image/gif";
    }
    if (hasAt(bytes, 0, "RIFF") && hasAt(bytes, 8, "WEBP")) {
        return "image/webp";
    }
    if (isBmp(bytes)) {
        return "image/bmp";
    }
    return std::nullopt;
}

}  // namespace kestrova
