// The skin pictures: sizes and the colours the window shows where the layout puts them.
#include <gtest/gtest.h>

#include "tests/platform/resource/EmbeddedSkin.h"

namespace kestrova::test {
namespace {

std::optional<Picture> skinPicture(const std::string& name) {
    const ZipPtr archive = openEmbeddedSkin();
    if (!archive) {
        return std::nullopt;
    }
    const auto bytes = readEntry(archive.get(), name);
    return bytes ? decodePicture(*bytes) : std::nullopt;
}

struct Sample {
    int x;
    int y;
    Rgba expected;
};

void expectSamples(const Picture& picture, std::initializer_list<Sample> samples) {
    constexpr int kTolerance = 2;
    for (const Sample& s : samples) {
        SCOPED_TRACE("pixel " + std::to_string(s.x) + "," + std::to_string(s.y));
        const Rgba p = picture.at(s.x, s.y);
        EXPECT_NEAR(p.a, s.expected.a, kTolerance);
        if (s.expected.a > 0) {
            EXPECT_NEAR(p.r, s.expected.r, kTolerance);
            EXPECT_NEAR(p.g, s.expected.g, kTolerance);
            EXPECT_NEAR(p.b, s.expected.b, kTolerance);
        }
    }
}

TEST(SkinPictures, HaveTheirSizesAndAnAlphaChannel) {
    const struct {
        const char* name;
        int width;
        int height;
    } kPictures[] = {{"float_bg.png", 320, 210},
                     {"close.png", 20, 20},
                     {"close_hover.png", 20, 20},
                     {"shadow.png", 758, 508},
                     {"advertising_icon.ico", 48, 48}};
    for (const auto& expected : kPictures) {
        SCOPED_TRACE(expected.name);
        const auto picture = skinPicture(expected.name);
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->width(), expected.width);
        EXPECT_EQ(picture->height(), expected.height);
        EXPECT_TRUE(picture->hasAlpha());
    }
}

TEST(SkinPictures, BackgroundIsABlueBandOverANearWhiteBodyWithRoundCorners) {
    const auto bg = skinPicture("float_bg.png");
    ASSERT_TRUE(bg.has_value());
    const Rgba blue{110, 133, 213, 255};
    const Rgba white{250, 251, 255, 255};
    const Rgba clear{0, 0, 0, 0};
    expectSamples(*bg, {{160, 0, blue},
                        {10, 15, blue},
                        {310, 29, blue},
                        {160, 30, white},
                        {20, 100, white},
                        {300, 200, white},
                        {0, 0, clear},
                        {319, 0, clear},
                        {0, 209, clear},
                        {319, 209, clear}});
}

TEST(SkinPictures, CloseCrossesAreGreyAndBlueOnTheSameTransparentGround) {
    const auto normal = skinPicture("close.png");
    const auto hover = skinPicture("close_hover.png");
    ASSERT_TRUE(normal.has_value() && hover.has_value());
    const Rgba grey{121, 135, 152, 255};
    const Rgba blue{81, 159, 255, 255};
    const Rgba clear{0, 0, 0, 0};
    expectSamples(*normal, {{9, 9, grey}, {10, 10, grey}, {7, 12, grey}, {12, 12, grey}});
    expectSamples(*hover, {{9, 9, blue}, {10, 10, blue}, {7, 12, blue}, {12, 12, blue}});
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(normal->at(x, y).a, hover->at(x, y).a) << "at " << x << "," << y;
        }
    }
    expectSamples(*normal, {{0, 0, clear}, {10, 2, clear}, {2, 10, clear}, {19, 19, clear}});
}

TEST(SkinPictures, ShadowFadesInFromTheOuterEdgeAndIsClearInside) {
    const auto shadow = skinPicture("shadow.png");
    ASSERT_TRUE(shadow.has_value());
    // Along each side: nothing at the very edge, rising steadily to about a quarter.
    const struct {
        const char* side;
        int x0, y0, dx, dy;
    } kSides[] = {{"left", 0, 254, 1, 0},
                  {"right", 757, 254, -1, 0},
                  {"top", 379, 0, 0, 1},
                  {"bottom", 379, 507, 0, -1}};
    for (const auto& side : kSides) {
        SCOPED_TRACE(side.side);
        int previous = -1;
        for (int d = 0; d < 16; ++d) {
            const int alpha = shadow->at(side.x0 + d * side.dx, side.y0 + d * side.dy).a;
            EXPECT_GE(alpha, previous) << "depth " << d;
            previous = alpha;
        }
        EXPECT_LE(shadow->at(side.x0, side.y0).a, 2);
        EXPECT_NEAR(shadow->at(side.x0 + 17 * side.dx, side.y0 + 17 * side.dy).a, 64, 16);
        EXPECT_EQ(shadow->at(side.x0 + 21 * side.dx, side.y0 + 21 * side.dy).a, 0);
    }
    EXPECT_EQ(shadow->at(0, 0).a, 0);
    EXPECT_EQ(shadow->at(379, 254).a, 0);
    EXPECT_EQ(shadow->at(30, 30).a, 0);
}

}  // namespace
}  // namespace kestrova::test
