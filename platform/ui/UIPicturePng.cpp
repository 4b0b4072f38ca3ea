// PNG through libpng, straight into the canvas. libpng reports errors by longjmp, so the
// function that runs it holds no object with a destructor; ancillary chunks are capped and
// the image data is read only as far as the rows need, so a file's trailing data costs
// nothing.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/ui/UIPictureDecode.h"

namespace kestrova::ui::picture {
namespace {

struct PngSource {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

void readPng(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->bytes.size() - source->at < length) {
        png_error(png, "truncated");
    }
    std::memcpy(out, source->bytes.data() + source->at, length);
    source->at += length;
}

void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

enum class PngOutcome { Decoded, Unreadable, OverBudget };

// Every format becomes 8-bit B, G, R, A bytes: one ARGB32 pixel in memory on this
// little-endian machine, with straight alpha.
PngOutcome runPng(png_structp png, png_infop info, Canvas* canvas, const DecodeBudget* budget) {
    if (setjmp(png_jmpbuf(png))) {
        return PngOutcome::Unreadable;
    }
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
    png_set_chunk_cache_max(png, 128);
    png_read_info(png, info);
    if (int(png_get_image_width(png, info)) != canvas->width() ||
        int(png_get_image_height(png, info)) != canvas->height()) {
        return PngOutcome::Unreadable;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(canvas->width()) * 4) {
        return PngOutcome::Unreadable;
    }
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < canvas->height(); ++y) {
            png_read_row(png, reinterpret_cast<png_bytep>(canvas->row(y)), nullptr);
            if (budget->exhausted()) {
                return PngOutcome::OverBudget;
            }
        }
    }
    return PngOutcome::Decoded;
}

}  // namespace

DecodeResult decodePng(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                       const DecodeBudget& budget) {
    // The header chunk comes first; its size is judged before libpng sees anything.
    if (bytes.size() < 24 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) {
        return {nullptr, "not a readable picture"};
    }
    const std::uint32_t w = bigEndian32(bytes.data() + 16), h = bigEndian32(bytes.data() + 20);
    if (!withinSideLimit(w, h)) {
        return {nullptr, overLimit(w, h)};
    }
    Canvas canvas;
    if (!canvas.allocate(int(w), int(h))) {
        return {nullptr, "out of memory for the picture"};
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return {nullptr, "out of memory for the picture"};
    }
    PngSource source{bytes};
    png_set_read_fn(png, &source, readPng);
    const PngOutcome outcome = runPng(png, info, &canvas, &budget);
    png_destroy_read_struct(&png, &info, nullptr);
    if (outcome == PngOutcome::OverBudget) {
        return {nullptr, "decoding the picture takes too long"};
    }
    if (outcome != PngOutcome::Decoded) {
        return {nullptr, "not a readable picture"};
    }
    return {canvas.finish(int(w), int(h), Canvas::Alpha::Straight, options.mask), {}};
}

}  // namespace kestrova::ui::picture
