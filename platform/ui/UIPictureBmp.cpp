// BMP, decoded here rather than by a general image library: the format is a header and
// rows of pixels, and a decoder of its own writes them straight into the canvas (one copy
// of the pixels) and can never hand a bitmap's embedded JPEG or PNG to another decoder.
// Read: the core and the information headers (12 to 124 bytes), 1, 4, 8, 16, 24 and 32 bits
// per pixel, uncompressed, bit fields, RLE8 and RLE4; bottom-up and top-down rows.
#include <algorithm>
#include <bit>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/UIPictureDecode.h"

namespace kestrova::ui::picture {
namespace {

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaFields = 6
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    bool has(std::size_t at, std::size_t n) const {
        return at <= m_bytes.size() && n <= m_bytes.size() - at;
    }
    std::uint32_t u16(std::size_t at) const { return m_bytes[at] | (m_bytes[at + 1] << 8); }
    std::uint32_t u32(std::size_t at) const { return u16(at) | (u16(at + 2) << 16); }
    std::uint8_t u8(std::size_t at) const { return m_bytes[at]; }
    const std::uint8_t* at(std::size_t at) const { return m_bytes.data() + at; }
    std::size_t size() const { return m_bytes.size(); }

private:
    std::span<const std::uint8_t> m_bytes;
};

// One colour channel of a bit-field pixel, widened to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (m != 0) {
            shift = std::countr_zero(m);
            max = m >> shift;
        }
    }
    // Masks must be contiguous runs of bits for the widening to mean anything.
    bool valid() const { return mask == 0 || (max & (max + 1)) == 0; }
    std::uint32_t get(std::uint32_t pixel, std::uint32_t absent = 0) const {
        return mask == 0
                   ? absent
                   : static_cast<std::uint32_t>(std::uint64_t{(pixel & mask) >> shift} * 255 / max);
    }
};

struct Header {
    long width = 0, height = 0;
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    Channel red, green, blue, alpha;
    std::vector<std::uint32_t> palette;
    std::size_t pixels = 0;  // offset of the pixel data
};

std::optional<std::string> readHeader(const Reader& in, Header& h) {
    if (!in.has(0, 18)) {
        return "not a readable picture";
    }
    const std::uint32_t size = in.u32(14);
    if (!in.has(14, size) || !in.has(0, 26)) {
        return "not a readable picture";
    }
    h.pixels = in.u32(10);
    const bool core = size == 12;
    std::uint32_t colours = 0;
    if (core) {
        h.width = in.u16(18);
        h.height = in.u16(20);
        h.bits = int(in.u16(24));
    } else {
        h.width = static_cast<std::int32_t>(in.u32(18));
        h.height = static_cast<std::int32_t>(in.u32(22));
        h.bits = int(in.u16(28));
        h.compression = in.u32(30);
        colours = in.u32(46);
    }
    h.topDown = h.height < 0;
    h.height = h.topDown ? -h.height : h.height;
    if (!withinSideLimit(h.width, h.height)) {
        return overLimit(h.width, h.height);
    }
    std::size_t next = 14 + size;
    if (h.compression == kBitFields || h.compression == kAlphaFields) {
        const std::size_t fields = h.compression == kAlphaFields ? 4 : 3;
        // Inside an information header of 52 bytes or more, else right after it.
        const std::size_t masks = size >= 40 + 4 * fields ? 54 : next;
        if (!in.has(masks, 4 * fields) || (h.bits != 16 && h.bits != 32)) {
            return "not a readable picture";
        }
        h.red = Channel(in.u32(masks));
        h.green = Channel(in.u32(masks + 4));
        h.blue = Channel(in.u32(masks + 8));
        h.alpha = Channel(fields == 4 || size >= 56 ? in.u32(masks + 12) : 0);
        next = std::max(next, masks + 4 * fields);
    } else if (h.bits == 16) {
        h.red = Channel(0x7C00), h.green = Channel(0x03E0), h.blue = Channel(0x001F);
    } else if (h.bits == 24 || h.bits == 32) {
        h.red = Channel(0xFF0000), h.green = Channel(0x00FF00), h.blue = Channel(0x0000FF);
    }
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    const bool supported =
        (h.compression == kRgb && (h.bits == 1 || h.bits == 4 || h.bits == 8 || h.bits == 16 ||
                                   h.bits == 24 || h.bits == 32)) ||
        (h.compression == kRle8 && h.bits == 8) || (h.compression == kRle4 && h.bits == 4) ||
        h.compression == kBitFields || h.compression == kAlphaFields;
    // The 64-byte header is OS/2's, whose compression codes from 3 on mean other things.
    if (!supported || (rle && h.topDown) || (size == 64 && h.compression >= kBitFields) ||
        !h.red.valid() || !h.green.valid() || !h.blue.valid() || !h.alpha.valid()) {
        return "a kind of BMP this program does not read";
    }
    if (h.bits <= 8) {
        const std::size_t entry = core ? 3 : 4;
        const std::size_t count = colours == 0 || colours > (1u << h.bits) ? 1u << h.bits : colours;
        if (!in.has(next, count * entry)) {
            return "not a readable picture";
        }
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* c = in.at(next + i * entry);
            h.palette.push_back(argb(c[2], c[1], c[0]));
        }
    }
    return std::nullopt;
}

// Uncompressed rows, each padded to four bytes.
bool readRows(const Reader& in, const Header& h, Canvas& canvas, const DecodeBudget& budget) {
    const std::size_t stride = ((std::size_t(h.width) * h.bits + 31) / 32) * 4;
    if (!in.has(h.pixels, stride * std::size_t(h.height))) {
        return false;
    }
    for (long y = 0; y < h.height; ++y) {
        const std::uint8_t* src = in.at(h.pixels + stride * std::size_t(y));
        std::uint32_t* out = canvas.row(int(h.topDown ? y : h.height - 1 - y));
        for (long x = 0; x < h.width; ++x) {
            if (h.bits <= 8) {
                const int perByte = 8 / h.bits;
                const int shift = 8 - h.bits * (1 + int(x % perByte));
                const std::size_t index = (src[x / perByte] >> shift) & ((1u << h.bits) - 1);
                out[x] = index < h.palette.size() ? h.palette[index] : argb(0, 0, 0);
                continue;
            }
            const std::uint8_t* p = src + x * (h.bits / 8);
            const std::uint32_t v =
                h.bits == 16   ? p[0] | (p[1] << 8)
                : h.bits == 24 ? p[0] | (p[1] << 8) | (p[2] << 16)
                               : p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
            out[x] = argb(h.red.get(v), h.green.get(v), h.blue.get(v), h.alpha.get(v, 255));
        }
        if (budget.exhausted()) {
            return false;
        }
    }
    return true;
}

// Run-length rows: a count and a colour index (two for RLE4, alternating), or an escape:
// 0 end of row, 1 end of picture, 2 a move right and up, n > 2 that many literal indexes.
// Pixels skipped by a move or an early end stay transparent.
bool readRle(const Reader& in, const Header& h, Canvas& canvas, const DecodeBudget& budget) {
    long x = 0, y = 0;
    auto put = [&](std::size_t index) {
        if (x < h.width && y < h.height && index < h.palette.size()) {
            canvas.row(int(h.height - 1 - y))[x] = h.palette[index];
        }
        ++x;
    };
    for (std::size_t at = h.pixels; in.has(at, 2) && y < h.height;) {
        const std::uint32_t count = in.u8(at), value = in.u8(at + 1);
        at += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count && x < h.width; ++i) {
                put(h.bits == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
            }
        } else if (value == 0 || value == 1) {
            x = 0;
            y = value == 0 ? y + 1 : h.height;
            if (budget.exhausted()) {
                return false;
            }
        } else if (value == 2) {
            if (!in.has(at, 2)) {
                return false;
            }
            x += in.u8(at), y += in.u8(at + 1);
            at += 2;
        } else {
            const std::size_t bytes = h.bits == 8 ? value : (value + 1) / 2;
            if (!in.has(at, bytes)) {
                return false;
            }
            for (std::uint32_t i = 0; i < value && x < h.width; ++i) {
                const std::uint8_t b = in.u8(at + (h.bits == 8 ? i : i / 2));
                put(h.bits == 8 ? b : (i % 2 == 0 ? b >> 4 : b & 0x0F));
            }
            at += (bytes + 1) & ~std::size_t{1};  // literal runs are padded to two bytes
        }
    }
    return true;
}

}  // namespace

DecodeResult decodeBmp(std::span<const std::uint8_t> bytes, const DecodeOptions& options,
                       const DecodeBudget& budget) {
    const Reader in(bytes);
    Header h;
    if (std::optional<std::string> error = readHeader(in, h)) {
        return {nullptr, *error};
    }
    Canvas canvas;
    if (!canvas.allocate(int(h.width), int(h.height))) {
        return {nullptr, "out of memory for the picture"};
    }
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    if (!(rle ? readRle(in, h, canvas, budget) : readRows(in, h, canvas, budget))) {
        return {nullptr, budget.exhausted() ? "decoding the picture takes too long"
                                            : "not a readable picture"};
    }
    return {canvas.finish(int(h.width), int(h.height), Canvas::Alpha::Straight, options.mask), {}};
}

}  // namespace kestrova::ui::picture
