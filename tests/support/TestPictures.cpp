// Encoders for the tests' pictures.
#include "tests/support/TestPictures.h"

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace kestrova::test {
namespace {

void put16(Bytes& out, std::uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void putBig32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((v >> shift) & 0xFF);
}

std::uint32_t crc32Of(const Bytes& bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string base64(const Bytes& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = bytes[i] << 16;
        if (i + 1 < bytes.size())
            v |= bytes[i + 1] << 8;
        if (i + 2 < bytes.size())
            v |= bytes[i + 2];
        for (std::size_t k = 0; k < 4; ++k) {
            out += i + k <= bytes.size() ? digits[(v >> (18 - 6 * k)) & 0x3F] : '=';
        }
    }
    return out;
}

}  // namespace

PixelFn quadrants(int w, int h) {
    return [w, h](int x, int y) { return kQuadrantColours[(y >= h / 2) * 2 + (x >= w / 2)]; };
}

Bytes jpegOf(int w, int h, const PixelFn& pixel, JpegScans scans, JpegColour colour) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = w;
    cinfo.image_height = h;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (colour == JpegColour::Full) {
        for (int c = 0; c < 3; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (scans == JpegScans::Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(std::size_t(w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixel(x, int(cinfo.next_scanline));
            row[x * 3] = (p >> 16) & 0xFF;
            row[x * 3 + 1] = (p >> 8) & 0xFF;
            row[x * 3 + 2] = p & 0xFF;
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes jpeg(buffer, buffer + size);
    std::free(buffer);
    return jpeg;
}

Bytes withScans(const Bytes& jpeg, int scans) {
    // The last start-of-scan segment; its scan runs from there to the end-of-image marker.
    std::size_t last = 0;
    int present = 0;
    for (std::size_t at = 2; at + 3 < jpeg.size();) {
        const std::uint8_t marker = jpeg[at + 1];
        if (jpeg[at] != 0xFF || marker == 0x00 || marker == 0xFF ||
            (marker >= 0xD0 && marker <= 0xD7)) {
            ++at;
            continue;
        }
        if (marker == 0xD9)
            break;
        if (marker == 0xDA) {
            last = at;
            ++present;
        }
        at += 2 + ((jpeg[at + 2] << 8) | jpeg[at + 3]);
    }
    const std::size_t end = jpeg.size() - 2;
    const Bytes scan(jpeg.begin() + std::ptrdiff_t(last), jpeg.begin() + std::ptrdiff_t(end));
    Bytes out(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(end));
    for (int i = present; i < scans; ++i)
        out.insert(out.end(), scan.begin(), scan.end());
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

Bytes gifOf(int w, int h, const std::vector<PixelFn>& frames) {
    std::map<std::uint32_t, int> palette;  // index 0 stays for transparency
    std::vector<std::vector<GifPixelType>> indexes;
    for (const PixelFn& pixel : frames) {
        auto& frame = indexes.emplace_back(std::size_t(w) * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = pixel(x, y);
                if (p >> 24 == 0)
                    continue;
                auto [it, added] = palette.try_emplace(p & 0xFFFFFF, int(palette.size()) + 1);
                frame[std::size_t(y) * w + x] = GifPixelType(it->second);
            }
        }
    }
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    for (auto [rgb, index] : palette)
        map->Colors[index] =
            GifColorType{GifByteType(rgb >> 16), GifByteType(rgb >> 8), GifByteType(rgb)};
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* data, int n) {
            auto* bytes = static_cast<Bytes*>(g->UserData);
            bytes->insert(bytes->end(), data, data + n);
            return n;
        },
        &error);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, h, 8, 0, map);
    for (auto& frame : indexes) {
        GifByteType control[4] = {0x01 | (2 << 2), 10, 0, 0};  // transparent index 0
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
        EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
        for (int y = 0; y < h; ++y)
            EGifPutLine(gif, frame.data() + std::size_t(y) * w, w);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

Bytes bmpOf(int w, int h, const PixelFn& pixel, int bits) {
    const std::uint32_t header = bits == 32 ? 124 : 40;
    const std::uint32_t stride = ((std::uint32_t(w) * bits + 31) / 32) * 4;
    Bytes out{'B', 'M'};
    put32(out, 14 + header + stride * h);
    put32(out, 0);
    put32(out, 14 + header);
    put32(out, header);
    put32(out, w);
    put32(out, h);
    put16(out, 1);
    put16(out, bits);
    put32(out, bits == 32 ? 3 : 0);  // bit fields or none
    put32(out, stride * h);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    if (bits == 32) {
        for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
            put32(out, mask);
        put32(out, 0x73524742);  // "sRGB"
        out.resize(14 + header, 0);
    }
    for (int y = h - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixel(x, y);
            out.insert(out.end(), {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16)});
            if (bits == 32)
                out.push_back(std::uint8_t(p >> 24));
        }
        out.resize(start + stride, 0);
    }
    return out;
}

Bytes pngOf(int w, int h, const PixelFn& pixel) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = w;
    image.height = h;
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixel(x, y);
            rgba.insert(rgba.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p),
                                     std::uint8_t(p >> 24)});
        }
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    Bytes png(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr))
        throw std::runtime_error("cannot encode the test PNG");
    png.resize(size);
    return png;
}

Picture readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return picture;
    image.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB as a little-endian word
    std::vector<std::uint32_t> pixels(std::size_t(image.width) * image.height);
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        picture = {int(image.width), int(image.height), std::move(pixels)};
    png_image_free(&image);
    return picture;
}

std::string svgWithChainedUses(int count) {
    std::string svg =
        R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink")"
        R"( width="100" height="100"><rect id="u0" width="100" height="100" fill="red"/>)";
    for (int i = 1; i <= count; ++i) {
        svg += R"(<use id="u)" + std::to_string(i) + R"(" xlink:href="#u)" + std::to_string(i - 1) +
               R"("/>)";
    }
    return svg + "</svg>\n";
}

std::string svgEmbeddingPng(int w, int h) {
    // The signature and the header chunk declaring w x h: all that a size check reads.
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes chunk{'I', 'H', 'D', 'R'};
    putBig32(chunk, w);
    putBig32(chunk, h);
    chunk.insert(chunk.end(), {8, 6, 0, 0, 0});
    putBig32(png, 13);
    png.insert(png.end(), chunk.begin(), chunk.end());
    putBig32(png, crc32Of(chunk));
    return R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100">)"
           R"(<image width="200" height="100" href="data:image/png;base64,)" +
           base64(png) +
           R"("/></svg>)"
           "\n";
}

}  // namespace kestrova::test
