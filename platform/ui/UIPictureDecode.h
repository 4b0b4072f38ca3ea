// Inside the picture loader: the limits every decoder keeps, the CPU-time budget of one
// decode, the pixel canvas the decoders write into, and the decoders themselves, one per
// format of the pop-up's list (util/PictureFormat.h). Only UIRender.cpp calls them, after
// the format has been recognised from the first bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "platform/ui/UIRender.h"

namespace kestrova::ui::picture {

// Real encoders write about ten scans; a progressive JPEG costs a pass over all its
// coefficients per scan, so the count bounds its decoding time.
inline constexpr int kMaxJpegScans = 100;
// What a decoder may allocate besides the pixels it delivers (JPEG's coefficient buffers,
// PNG's ancillary chunks); a file that needs more is refused.
inline constexpr long kMaxDecoderMemory = 64L << 20;
// A PNG text or colour-profile chunk may inflate to at most this.
inline constexpr std::size_t kMaxPngChunkBytes = 1u << 20;
// CPU time one decode may take on its thread, checked row by row and scan by scan.
inline constexpr std::chrono::milliseconds kDecodeCpuBudget{1000};

// The CPU-time budget of one decode, from construction on, on the calling thread.
class DecodeBudget {
public:
    explicit DecodeBudget(std::chrono::nanoseconds budget = kDecodeCpuBudget);
    bool exhausted() const;

private:
    static std::chrono::nanoseconds threadCpuTime();
    std::chrono::nanoseconds m_deadline;
};

// The delivered pixels: a premultiplied ARGB32 cairo surface, written row by row.
class Canvas {
public:
    Canvas() = default;
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // A transparent canvas of w x h; false when it cannot be had.
    bool allocate(int w, int h);
    int width() const { return m_width; }
    int height() const { return m_height; }
    std::uint32_t* row(int y);

    enum class Alpha { Premultiplied, Straight };
    // Hands the pixels over as a picture of the declared size: straight alpha premultiplied,
    // opaque pixels of the mask colour (0xRRGGBB, 0 for none) made transparent.
    ImagePtr finish(int declaredWidth, int declaredHeight, Alpha alpha, DWORD mask);

private:
    cairo_surface_t* m_surface = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// 0xAARRGGBB from straight components.
inline std::uint32_t argb(std::uint32_t r, std::uint32_t g, std::uint32_t b,
                          std::uint32_t a = 255) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

bool withinSideLimit(long width, long height);
std::string overLimit(long width, long height);

// Each gives a picture or the reason there is none; none reads past bytes.
DecodeResult decodePng(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                       const DecodeBudget& budget);
DecodeResult decodeJpeg(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                        const DecodeBudget& budget);
DecodeResult decodeGif(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                       const DecodeBudget& budget);
DecodeResult decodeBmp(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                       const DecodeBudget& budget);

// The scans of a JPEG counted by walking its markers, without decoding anything.
int countJpegScans(std::span<const std::uint8_t> bytes);

}  // namespace kestrova::ui::picture
