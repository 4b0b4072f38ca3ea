// The picture loader against what a server may send. Every row is loaded by picture_probe
// in a child process, as the pop-up loads its downloaded picture, and checked against the
// row's budget: the load's CPU time and the whole process's peak memory. Good pictures of
// each format come out at their size with the right pixels (the largest allowed one decoded
// reduced to the headless screen); everything else is refused, the formats outside the list
// before any decoder sees them.
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "UiTestSupport.h"
#include "platform/ui/UIRender.h"
#include "tests/support/Child.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPictures.h"

namespace kestrova::uitest {
namespace {

using test::Bytes;
using test::kQuadrantColours;
using test::quadrants;
using ui::fromUtf8;
using Colours = std::array<std::uint32_t, 4>;

constexpr Colours kQuadrants{kQuadrantColours[0], kQuadrantColours[1], kQuadrantColours[2],
                             kQuadrantColours[3]};
// A sanitized child carries shadow memory and checks on every access of our own code.
#if defined(KESTROVA_SANITIZED)
constexpr int kSlowdown = 3;
#else
constexpr int kSlowdown = 1;
#endif

Bytes fromText(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes sourceBytes(const std::string& relative) {
    return fromText(readSourceFile(relative));
}

// The signature and a header chunk declaring w x h, and nothing after it.
Bytes pngHeader(int w, int h) {
    Bytes png = test::pngOf(1, 1, [](int, int) { return 0xFF000000u; });
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = std::uint8_t(w >> (24 - 8 * i));
        png[20 + i] = std::uint8_t(h >> (24 - 8 * i));
    }
    png.resize(33);
    return png;
}

Bytes cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

struct Row {
    const char* what;
    std::string name;
    Bytes bytes;
    std::string outcome;  // the probe's line after "cpu_us", or its beginning; empty: any
    int cpuMs;            // budget of the load's CPU time
    int peakMiB;          // budget of the whole process's peak memory
    std::optional<Colours> colours = std::nullopt;
    int tolerance = 0;
};

TEST(Pictures, EachFormatDecodesAndEverythingElseIsRefusedWithinItsBudget) {
    test::TempDir folder;
    const Bytes big = test::jpegOf(4096, 4096, quadrants(4096, 4096), test::JpegScans::Progressive);
    const Bytes png = test::pngOf(100, 50, quadrants(100, 50));
    auto transparentCorner = [](int x, int y) {
        return x < 20 && y < 10 ? 0u : quadrants(40, 20)(x, y);
    };
    auto halfRed = [](int x, int y) { return x < 15 ? 0x80FF0000u : quadrants(30, 20)(x, y); };
    const std::string refused = "refused: not a PNG, JPEG, GIF or BMP picture";
    const std::string hostile = "tests/platform/ui/data/hostile/";
    const Row rows[] = {
        {"PNG", "banner.png", png, "size 100 50 surface 100 50", 20, 24, kQuadrants},
        {"PNG named nothing at all", "advertising", png, "size 100 50 surface 100 50", 20, 24,
         kQuadrants},
        {"JPEG, baseline", "photo.png", test::jpegOf(64, 48, quadrants(64, 48)),
         "size 64 48 surface 64 48", 20, 24, kQuadrants, 24},
        {"JPEG, progressive", "photo.jpg",
         test::jpegOf(64, 48, quadrants(64, 48), test::JpegScans::Progressive),
         "size 64 48 surface 64 48", 20, 24, kQuadrants, 24},
        {"GIF, animated: the first frame, its transparency kept", "anim.gif",
         test::gifOf(40, 20, {transparentCorner, [](int, int) { return 0xFFFFFFFFu; }}),
         "size 40 20 surface 40 20", 20, 24,
         Colours{0, kQuadrantColours[1], kQuadrantColours[2], kQuadrantColours[3]}},
        {"BMP, 24 bits", "old.bmp", test::bmpOf(30, 20, quadrants(30, 20)),
         "size 30 20 surface 30 20", 20, 24, kQuadrants},
        {"BMP, 32 bits with alpha", "alpha.bmp", test::bmpOf(30, 20, halfRed, 32),
         "size 30 20 surface 30 20", 20, 24,
         Colours{0x80FF0000, kQuadrantColours[1], 0x80FF0000, kQuadrantColours[3]}, 2},
        {"JPEG 4096 x 4096, the largest, progressive: decoded reduced to the screen", "big.jpg",
         big, "size 4096 4096 surface 1080 1080", 1000, 100, kQuadrants, 24},
        {"JPEG 4096 x 4096 progressive with 100 scans, the most allowed", "scans100.jpg",
         test::withScans(big, 100), "", 1100, 100},
        {"JPEG 4096 x 4096 progressive at full colour: more memory than allowed", "full.jpg",
         test::jpegOf(4096, 4096, quadrants(4096, 4096), test::JpegScans::Progressive,
                      test::JpegColour::Full),
         "refused: decoding the picture needs more memory than allowed", 5, 24},
        {"JPEG with 1,000 repeated scans", "scans.jpg", test::withScans(big, 1000),
         "refused: JPEG with more scans than any encoder writes", 5, 24},
        {"PNG declaring 5000 x 5000", "huge.png", pngHeader(5000, 5000),
         "refused: picture declares 5000 x 5000 pixels", 5, 24},
        {"PNG cut short", "cut.png", cut(png, 60), "refused: not a readable picture", 5, 24},
        {"GIF declaring 65535 x 65535", "huge.gif",
         fromText(std::string("GIF89a\xff\xff\xff\xff\0\0\0;", 14)),
         "refused: picture declares 65535 x 65535 pixels", 5, 24},
        {"BMP cut short", "cut.bmp", cut(test::bmpOf(30, 20, quadrants(30, 20)), 80),
         "refused: not a readable picture", 5, 24},
        {"SVG with 2,000 chained uses", "use.png", fromText(test::svgWithChainedUses(2000)),
         refused, 5, 24},
        {"SVG embedding a 12000 x 12000 PNG", "embed.svg",
         fromText(test::svgEmbeddingPng(12000, 12000)), refused, 5, 24},
        {"WebP", "picture.png", sourceBytes(hostile + "picture.webp"), refused, 5, 24},
        {"XPM", "picture.png", sourceBytes(hostile + "picture.xpm"), refused, 5, 24},
        {"TGA", "picture.png", sourceBytes(hostile + "picture.tga"), refused, 5, 24},
        {"ICO", "picture.png", sourceBytes(hostile + "picture.ico"), refused, 5, 24},
        {"TIFF", "picture.png", sourceBytes(hostile + "picture.tiff"), refused, 5, 24},
        {"text", "text.png", fromText("hello"), refused, 5, 24},
        {"nothing at all", "empty.png", {}, "refused: empty picture", 5, 24},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        test::writeFile(folder / row.name, std::string(row.bytes.begin(), row.bytes.end()));
        test::Child probe({PICTURE_PROBE, (folder / row.name).string()});
        ASSERT_TRUE(probe.wait());
        std::istringstream out(probe.out());
        std::string word, outcome;
        long cpuUs = -1, peakKiB = -1;
        out >> word >> cpuUs >> word >> peakKiB;
        std::getline(out >> std::ws, outcome);
        EXPECT_EQ(outcome.substr(0, row.outcome.size()), row.outcome) << probe.err();
        EXPECT_LE(cpuUs, row.cpuMs * 1000L * kSlowdown) << "CPU time of the load";
        EXPECT_GT(peakKiB, 0);
        EXPECT_LE(peakKiB, row.peakMiB * 1024L * kSlowdown) << "peak memory";
        if (row.colours) {
            std::istringstream colours(outcome.substr(outcome.find("quadrants") + 9));
            for (std::uint32_t expected : *row.colours) {
                std::string got;
                colours >> got;
                EXPECT_TRUE(near(std::stoul(got, nullptr, 16), expected, row.tolerance))
                    << got << " for " << hex(expected);
            }
        }
    }
}

// Sizing a picture (LoadImageW) and painting it (the window's GetImageEx) share one decode
// while the sized one is held; a changed file is decoded afresh.
TEST(Pictures, AFileIsDecodedOnceForSizingAndPainting) {
    useHeadless();
    test::TempDir folder;
    const std::string file = folder / "advertising.png";
    test::writeFile(file, "");
    auto write = [&](int w) {
        const Bytes png = test::pngOf(w, 10, quadrants(w, 10));
        test::writeFile(file, std::string(png.begin(), png.end()));
    };
    write(20);
    TImageInfo* sized = CRenderEngine::LoadImageW(fromUtf8(file).c_str(), nullptr, 0);
    ASSERT_NE(sized, nullptr);
    CPaintManagerUI pm;
    EXPECT_EQ(pm.GetImageEx(fromUtf8(file).c_str()), sized);

    write(30);
    CPaintManagerUI other;
    const TImageInfo* changed = other.GetImageEx(fromUtf8(file).c_str());
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->nX, 30);
    CRenderEngine::FreeImage(sized);
    EXPECT_EQ(CRenderEngine::LoadImageW(STRINGorID(104u), nullptr, 0), nullptr);
}

TEST(Pictures, MaskColourBecomesTransparent) {
    test::TempDir folder;
    const Bytes png = test::pngOf(2, 1, [](int x, int) { return x ? 0xFF0000FFu : 0xFFFF00FFu; });
    test::writeFile(folder / "masked.png", std::string(png.begin(), png.end()));
    TImageInfo* info = CRenderEngine::LoadImageW(fromUtf8((folder / "masked.png").string()).c_str(),
                                                 nullptr, 0xFF00FF);
    ASSERT_NE(info, nullptr);
    auto* px = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(info->surface));
    EXPECT_EQ(px[0] >> 24, 0u);
    EXPECT_EQ(px[1], 0xFF0000FFu);
    EXPECT_TRUE(info->bAlpha);
    CRenderEngine::FreeImage(info);
}

}  // namespace
}  // namespace kestrova::uitest
