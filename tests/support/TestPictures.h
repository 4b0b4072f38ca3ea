// Picture files made by the tests: real encodings through the formats' own libraries, and
// the hostile shapes a server could send. Colours are straight 0xAARRGGBB.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrova::test {

using Bytes = std::vector<std::uint8_t>;
using PixelFn = std::function<std::uint32_t(int x, int y)>;

// Red, green, blue and yellow quadrants (top left, top right, bottom left, bottom right).
inline constexpr std::uint32_t kQuadrantColours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                                      0xFFFFFF00};
PixelFn quadrants(int w, int h);

enum class JpegScans { Baseline, Progressive };
enum class JpegColour { Halved, Full };  // 4:2:0 or 4:4:4 chroma
Bytes jpegOf(int w, int h, const PixelFn& pixel, JpegScans scans = JpegScans::Baseline,
             JpegColour colour = JpegColour::Halved);
// The file with its last scan repeated until it has scans scans in all.
Bytes withScans(const Bytes& progressiveJpeg, int scans);

// A GIF of w x h whose frames are given by pixel functions; pixels of alpha 0 use the
// transparent index. Colours are taken into the palette as they come (at most 255).
Bytes gifOf(int w, int h, const std::vector<PixelFn>& frames);

// An uncompressed bottom-up BMP of 24 bits, or of 32 with an alpha channel (a version 5
// header with bit fields).
Bytes bmpOf(int w, int h, const PixelFn& pixel, int bits = 24);

// A PNG, 8-bit RGBA.
Bytes pngOf(int w, int h, const PixelFn& pixel);

// A picture read back, its pixels row by row.
struct Picture {
    int w = 0, h = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * w + x]; }
};
// A PNG file's pixels; none (0 x 0) when it cannot be read.
Picture readPng(const std::string& path);

// An SVG of count <use> elements, each referring to the one before.
std::string svgWithChainedUses(int count);
// A 200 x 100 SVG whose image is a PNG of w x h given as a data URL.
std::string svgEmbeddingPng(int w, int h);

}  // namespace kestrova::test
