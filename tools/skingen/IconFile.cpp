// Icon encoding. The bitmap flavour is used rather than an embedded PNG because every icon
// reader accepts it.
#include "tools/skingen/IconFile.h"

#include <cstddef>

namespace kestrova::skingen {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// Cairo keeps colour premultiplied by alpha; icons store it straight.
std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
    if (alpha == 0) {
        return 0;
    }
    return static_cast<std::uint8_t>((channel * 255 + alpha / 2) / alpha);
}

const std::uint32_t* pixelRow(cairo_surface_t* image, int y) {
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    return reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
}

}  // namespace

std::vector<std::uint8_t> encodeIcon(cairo_surface_t* image) {
    if (cairo_image_surface_get_format(image) != CAIRO_FORMAT_ARGB32) {
        return {};
    }
    cairo_surface_flush(image);
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    if (width < 1 || height < 1 || width > 256 || height > 256) {
        return {};
    }
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    const std::uint32_t maskStride = ((w + 31) / 32) * 4;
    const std::uint32_t headerSize = 40;
    const std::uint32_t imageSize = headerSize + w * h * 4 + maskStride * h;
    const std::uint32_t imageOffset = 6 + 16;

    std::vector<std::uint8_t> out;
    out.reserve(imageOffset + imageSize);
    // Directory: reserved, type 1 (icon), one entry. A size of 256 is written as 0.
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    out.push_back(static_cast<std::uint8_t>(w & 0xFF));
    out.push_back(static_cast<std::uint8_t>(h & 0xFF));
    out.push_back(0);  // no palette
    out.push_back(0);
    put16(out, 1);   // planes
    put16(out, 32);  // bits per pixel
    put32(out, imageSize);
    put32(out, imageOffset);

    // The bitmap header counts the colour rows and the mask rows together.
    put32(out, headerSize);
    put32(out, w);
    put32(out, h * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);  // uncompressed
    put32(out, w * h * 4 + maskStride * h);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    for (int y = height - 1; y >= 0; --y) {
        const std::uint32_t* row = pixelRow(image, y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t argb = row[x];
            const std::uint32_t a = argb >> 24;
            out.push_back(unpremultiply(argb & 0xFF, a));
            out.push_back(unpremultiply((argb >> 8) & 0xFF, a));
            out.push_back(unpremultiply((argb >> 16) & 0xFF, a));
            out.push_back(static_cast<std::uint8_t>(a));
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        const std::uint32_t* row = pixelRow(image, y);
        std::vector<std::uint8_t> mask(maskStride, 0);
        for (int x = 0; x < width; ++x) {
            if ((row[x] >> 24) == 0) {
                mask[static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), mask.begin(), mask.end());
    }
    return out;
}

}  // namespace kestrova::skingen
