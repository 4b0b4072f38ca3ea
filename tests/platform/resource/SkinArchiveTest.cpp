// The embedded resources as the skinned-window library finds them: the skin archive's
// content, its layout's encoding, and the program icon.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/resource/Resource.h"
#include "tests/platform/resource/EmbeddedSkin.h"

namespace kestrova::test {
namespace {

const std::vector<std::string> kSkinEntries = {"FloatDlg.xml", "advertising_icon.ico",
                                               "close.png",    "close_hover.png",
                                               "float_bg.png", "shadow.png"};

std::vector<std::uint8_t> readSourceFile(const std::string& name) {
    std::ifstream file(std::string(KESTROVA_SKIN_SOURCE_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A stale archive would show an old skin: every entry must be the file in the skin folder.
TEST(EmbeddedSkin, HoldsExactlyTheCurrentSixSkinFilesUnencrypted) {
    const ZipPtr archive = openEmbeddedSkin();
    ASSERT_TRUE(archive) << "the skin archive is missing or damaged";
    std::vector<std::string> names = entryNames(archive.get());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, kSkinEntries);
    for (const std::string& name : kSkinEntries) {
        SCOPED_TRACE(name);
        zip_stat_t stat;
        ASSERT_EQ(zip_stat(archive.get(), name.c_str(), 0, &stat), 0);
        EXPECT_EQ(stat.encryption_method, ZIP_EM_NONE);
        const auto entry = readEntry(archive.get(), name);
        ASSERT_TRUE(entry.has_value());
        const std::vector<std::uint8_t> source = readSourceFile(name);
        ASSERT_FALSE(source.empty()) << "skin file missing";
        EXPECT_TRUE(*entry == source);
    }
}

// The layout is read as CRLF UTF-8 without a byte-order mark; apostrophes inside attribute
// values are written as entities.
TEST(EmbeddedSkin, LayoutIsCrlfUtf8WithItsDeclarationFirst) {
    const std::vector<std::uint8_t> bytes = readSourceFile("FloatDlg.xml");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n", 0),
              0u);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool lf = text[i] == '\n', cr = text[i] == '\r';
        ASSERT_FALSE(lf && (i == 0 || text[i - 1] != '\r')) << "bare LF at byte " << i;
        ASSERT_FALSE(cr && (i + 1 == text.size() || text[i + 1] != '\n'))
            << "bare CR at byte " << i;
    }
    EXPECT_EQ(text.find('\''), std::string::npos);
}

TEST(ProgramIcon, IsA48PixelPngWithAlpha) {
    const auto icon = decodePicture(findResource(kIconResourceType, kIconResourceId));
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->width(), 48);
    EXPECT_EQ(icon->height(), 48);
    EXPECT_TRUE(icon->hasAlpha());
}

TEST(FindResource, UnknownTypeOrIdGivesNothing) {
    const struct {
        std::string_view type;
        int id;
    } kCases[] = {{"ZIPRES", 102}, {"ICON", 104}, {"zipres", 104}, {"", 0}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.id));
        EXPECT_TRUE(findResource(c.type, c.id).empty());
    }
    EXPECT_FALSE(findResource("ZIPRES", 104).empty());
}

}  // namespace
}  // namespace kestrova::test
