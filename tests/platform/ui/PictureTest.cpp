// Picture loading: sizes, format by content, failures as null, and the size limit that
// stops an oversized picture at its header.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "UiTestSupport.h"
#include "platform/ui/UIRender.h"
#include "tests/support/TempDir.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

class PictureTest : public ::testing::Test {
protected:
    kestrova::test::TempDir folder;
    std::wstring write(const std::string& name, const Bytes& bytes) {
        kestrova::test::writeFile(folder / name, std::string(bytes.begin(), bytes.end()));
        return fromUtf8((folder / name).string());
    }
};

Bytes solidPng(int w, int h) {
    return makePng(w, h, [](cairo_t* cr) {
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_paint(cr);
    });
}

// Peak resident memory of this process in KiB, after resetting it when the kernel
// allows; -1 when it cannot be read.
long peakRssKiB(bool reset) {
    if (reset) {
        std::ofstream("/proc/self/clear_refs") << "5";
    }
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Loaded by content, not name; an unreadable picture gives null (w 0).
TEST_F(PictureTest, LoadsBySizeAndContentOrGivesNull) {
    Bytes badHeader = solidPng(10, 10);  // a PNG signature whose header chunk is junk
    for (size_t i = 8; i < 40 && i < badHeader.size(); ++i)
        badHeader[i] = 0xEE;
    struct Case {
        const char* name;
        Bytes bytes;
        int w, h;
    } cases[] = {
        {"banner.png", solidPng(100, 50), 100, 50},
        {"photo.png", makeJpeg(64, 48), 64, 48},
        {"no-extension", solidPng(3, 7), 3, 7},
        {"wide.png", solidPng(4096, 1), 4096, 1},
        {"text.png", Bytes{'h', 'e', 'l', 'l', 'o'}, 0, 0},
        {"empty.png", Bytes{}, 0, 0},
        {"bad-header.png", badHeader, 0, 0},
        {"too-wide.png", solidPng(4097, 1), 0, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TImageInfo* info = CRenderEngine::LoadImageW(write(c.name, c.bytes).c_str(), nullptr, 0);
        EXPECT_EQ(info ? info->nX : 0, c.w);
        EXPECT_EQ(info ? info->nY : 0, c.h);
        if (info)
            CRenderEngine::FreeImage(info);
    }
    EXPECT_EQ(
        CRenderEngine::LoadImageW(fromUtf8((folder / "missing.png").string()).c_str(), nullptr, 0),
        nullptr);
    EXPECT_EQ(CRenderEngine::LoadImageW(STRINGorID(104u), nullptr, 0), nullptr);
}

TEST_F(PictureTest, OversizedPictureIsRefusedAtItsHeaderWithoutDecoding) {
    // A real, decodable 5000 x 5000 picture: only the limit can make it fail.
    cairo_surface_t* big = cairo_image_surface_create(CAIRO_FORMAT_A8, 5000, 5000);
    std::string file = folder / "huge.png";
    ASSERT_EQ(cairo_surface_write_to_png(big, file.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(big);
    std::wstring path = fromUtf8(file);
    long before = peakRssKiB(true);
    auto start = std::chrono::steady_clock::now();
    TImageInfo* info = CRenderEngine::LoadImageW(path.c_str(), nullptr, 0);
    auto elapsed = std::chrono::steady_clock::now() - start;
    long after = peakRssKiB(false);
    EXPECT_EQ(info, nullptr);
    // Decoding would need 100 MB of pixels and far longer than reading a header.
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    if (before > 0 && after > 0) {
        EXPECT_LT(after - before, 40 * 1024) << "peak memory grew by " << after - before << " KiB";
    }
}

TEST_F(PictureTest, MaskColourBecomesTransparent) {
    Bytes png = makePng(2, 1, [](cairo_t* cr) {
        cairo_set_source_rgb(cr, 1, 0, 1);
        cairo_rectangle(cr, 0, 0, 1, 1);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 1);
        cairo_rectangle(cr, 1, 0, 1, 1);
        cairo_fill(cr);
    });
    TImageInfo* info =
        CRenderEngine::LoadImageW(write("masked.png", png).c_str(), nullptr, 0xFF00FF);
    ASSERT_NE(info, nullptr);
    auto* px = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(info->surface));
    EXPECT_EQ(px[0] >> 24, 0u);
    EXPECT_EQ(px[1], 0xFF0000FFu);
    EXPECT_TRUE(info->bAlpha);
    CRenderEngine::FreeImage(info);
}

}  // namespace
