// The adverts file is the operator's only input: a mistake must stop the server at start
// with the entry and the field named, and a good file must come through intact.
#include <gtest/gtest.h>

#include "server/AdvertCatalog.h"
#include "server/PictureType.h"
#include "tests/server/FakePng.h"
#include "tests/support/TempDir.h"

namespace kestrova {
namespace {

using namespace std::chrono;
using namespace std::string_literals;

std::string malformed(const std::string& name) {
    return test::readSourceFile("tests/server/data/malformed/" + name);
}

TEST(AdvertCatalog, ReadsBothKindsWithDatesAndPictures) {
    test::TempDir folder;
    test::writeFile(folder / "spring.png", test::fakePng());
    CatalogResult result = parseAdverts(R"(
        /* comments are allowed: the file is written by hand */
        [
          {"kind": "text", "title": "春季 Spring", "text": "批注 Notes",
           "link": "https://example.com/a"},
          {"kind": "picture", "title": "", "picture": "spring.png",
           "link": "HTTP://example.org/b", "start": "2024-02-29", "end": "2024-03-01"},
          {"kind": "picture", "title": "again", "picture": "spring.png",
           "link": "http://example.org/c"}
        ])",
                                        folder.path());
    ASSERT_TRUE(result.catalog) << result.error;
    const AdvertCatalog& catalog = *result.catalog;
    ASSERT_EQ(catalog.adverts.size(), 3u);

    const Advert& text = catalog.adverts[0];
    EXPECT_EQ(text.kind, AdvertKind::text);
    EXPECT_EQ(text.title, "春季 Spring");
    EXPECT_EQ(text.text, "批注 Notes");
    EXPECT_FALSE(text.start);
    EXPECT_FALSE(text.end);

    const Advert& picture = catalog.adverts[1];
    EXPECT_EQ(picture.kind, AdvertKind::picture);
    EXPECT_EQ(picture.picture, "spring.png");
    EXPECT_EQ(picture.start, sys_days{2024y / February / 29});
    EXPECT_EQ(picture.end, sys_days{2024y / March / 1});

    // One picture used twice is loaded once.
    ASSERT_EQ(catalog.pictures.size(), 1u);
    EXPECT_EQ(catalog.pictures.at("spring.png").bytes, test::fakePng());
    EXPECT_EQ(catalog.pictures.at("spring.png").contentType, "image/png");
}

TEST(AdvertCatalog, RejectsEveryFaultNamingTheEntryAndField) {
    test::TempDir folder;
    test::writeFile(folder / "ok.png", test::fakePng());
    test::writeFile(folder / "notes.txt", "just words");
    test::writeFile(folder / "ok.webp", "RIFF\x10\0\0\0WEBPVP8 "s);
    struct Case {
        std::string json;
        const char* expected;  // a fragment of the message
    };
    const Case cases[] = {
        {"{", "not valid JSON"},
        {R"({"kind": "text"})", "must hold a JSON list"},
        {R"([{"kind":"text","title":"a","title":"b","text":"t","link":"http://x"}])",
         "not valid JSON"},
        {R"([{"title": "Sale", "text": "t", "link": "http://x.example"}])",
         R"(advert [0] "Sale": field "kind": is missing)"},
        {R"([{"kind": "video", "title": "Sale", "link": "http://x.example"}])",
         R"(advert [0] "Sale": field "kind": must be "text" or "picture")"},
        {R"([{"kind": "text", "titel": "Sale", "text": "t", "link": "http://x.example"}])",
         R"(advert [0] (untitled): field "titel": is not a known field)"},
        {R"([{"kind": "text", "title": "Sale", "text": "", "link": "http://x.example"}])",
         R"(advert [0] "Sale": field "text": is empty)"},
        {R"([{"kind": "text", "title": "S", "text": "t", "picture": "ok.png", "link": "http://x"}])",
         R"(field "picture": only picture adverts)"},
        {R"([{"kind": "picture", "title": "Pic", "picture": "gone.png", "link": "http://x"}])",
         R"(advert [0] "Pic": field "picture": ")"},
        {R"([{"kind": "picture", "title": "Pic", "picture": "../ok.png", "link": "http://x"}])",
         R"(field "picture": must be a file name)"},
        {R"([{"kind": "picture", "title": "Pic", "picture": "notes.txt", "link": "http://x"}])",
         R"(field "picture": is not a PNG, JPEG, GIF or BMP picture)"},
        {R"([{"kind": "picture", "title": "Pic", "picture": "ok.webp", "link": "http://x"}])",
         R"(advert [0] "Pic": field "picture": is not a PNG, JPEG, GIF or BMP picture)"},
        {R"([{"kind": "text", "title": "S", "text": "t", "link": "file:///etc/passwd"}])",
         R"(field "link": must be an http:// or https:// address)"},
        {R"([{"kind": "text", "title": "S", "text": "t", "link": "http://x", "start": "2025-02-29"}])",
         R"(field "start": must be a date written YYYY-MM-DD)"},
        {R"([{"kind": "text", "title": "S", "text": "t", "link": "http://x",
              "start": "2025-03-02", "end": "2025-03-01"}])",
         R"(field "end": is before "start")"},
        {"[{\"kind\": \"text\", \"title\": \"S\", \"text\": \"\xff\xfe\", \"link\": \"http://x\"}]",
         R"(field "text": is not valid UTF-8)"},
        // Inputs fuzzing found, kept in data/malformed.
        {malformed("nested-too-deep.json"), "not valid JSON: Exceeded stackLimit"},
        {malformed("nul-in-text.json"), R"(advert [0] "": field "text": holds a NUL character)"},
        // The first entry is fine; the message must point at the second.
        {R"([{"kind": "text", "title": "Good", "text": "t", "link": "http://x"},
             {"kind": "text", "title": "Second", "text": "t", "link": "ftp://x"}])",
         R"(advert [1] "Second": field "link")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json.substr(0, 100));
        CatalogResult result = parseAdverts(c.json, folder.path());
        EXPECT_FALSE(result.catalog);
        EXPECT_NE(result.error.find(c.expected), std::string::npos) << result.error;
    }
}

TEST(AdvertCatalog, ReadsFilesUpToTheirLimitHoldingOnlyWhatTheyHold) {
    test::TempDir folder;
    struct Case {
        std::size_t size, limit;
        bool read;
    };
    const Case cases[] = {
        {10, kMaxPictureBytes, true},  // a small file does not cost the limit's memory
        {200'000, 200'000, true},      // exactly the limit, over several reads
        {200'001, 200'000, false},
        {0, 10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string bytes(c.size, 'b');
        test::writeFile(folder / "file", bytes);
        std::string error;
        std::optional<std::string> read = readSmallFile(folder / "file", c.limit, error);
        ASSERT_EQ(bool(read), c.read) << error;
        if (read) {
            EXPECT_EQ(*read, bytes);
            EXPECT_LT(read->capacity(), c.size + 64 * 1024);
        } else {
            EXPECT_NE(error.find("is larger than"), std::string::npos) << error;
        }
    }
}

TEST(PictureType, JudgesBySignature) {
    const std::string bmpHeader = std::string("BM") + std::string(12, '\0') +
                                  std::string("\x28\0\0\0", 4);  // 40-byte info header
    struct Case {
        std::string bytes;
        const char* type;  // null: not a picture
    };
    const Case cases[] = {
        {test::fakePng(), "image/png"},
        {"\xff\xd8\xff\xe0 jfif", "image/jpeg"},
        {"GIF89a....", "image/gif"},
        {"RIFF\x10\0\0\0WEBPVP8 "s, nullptr},  // the pop-up cannot show WebP
        {bmpHeader, "image/bmp"},
        {"RIFF\x10\0\0\0WAVEfmt "s, nullptr},  // a RIFF that is sound, not a picture
        {"BMW is a word, not a bitmap", nullptr},
        {"<svg xmlns=\"http://www.w3.org/2000/svg\"/>", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        std::optional<std::string> type = pictureContentType(c.bytes);
        if (c.type == nullptr) {
            EXPECT_FALSE(type) << *type;
        } else {
            EXPECT_EQ(type, std::string(c.type));
        }
    }
}

}  // namespace
}  // namespace kestrova
