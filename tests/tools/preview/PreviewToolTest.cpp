// The preview program as a vendor runs it: advert files in, PNG files of the pop-up at rest
// out, and a clear refusal for everything the pop-up would not show.
#include <gtest/gtest.h>
#include <cstdint>

#include "platform/ui/UIlib.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPictures.h"
#include "ui/TextFit.h"

namespace kestrova {
namespace {

using test::TempDir;
using uitest::near;

struct Outcome {
    int exitCode = -1;
    std::string err;
};

// The program with its errors in a file of folder; blocks until it ends. The arguments are
// paths and words made by the tests, quoted for the shell.
Outcome runPreview(const TempDir& folder, const std::vector<std::string>& args) {
    std::string command = KESTROVA_PREVIEW_EXE;
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    const std::string code =
        test::runCommand(command + " >/dev/null 2>'" + (folder / "stderr").string() + "'; echo $?");
    return {std::atoi(code.c_str()), test::readFile(folder / "stderr")};
}

// A PNG of w x h whose quadrants are red, green, blue and yellow.
void writeQuadrants(const std::filesystem::path& file, int w, int h) {
    const test::Bytes png = test::pngOf(w, h, test::quadrants(w, h));
    test::writeFile(file, std::string(png.begin(), png.end()));
}

// Height of text wrapped in the message label's width in the layout's default font.
int measuredHeight(const std::wstring& text) {
    CPaintManagerUI pm;
    pm.AddFont(0, L"Microsoft YaHei", 14, false, true);
    HDC dc = pm.GetPaintDC();
    HFONT previous = SelectObject(dc, pm.GetFont(0));
    int height = measureWrapped(dc, text, 280);
    SelectObject(dc, previous);
    return height;
}

constexpr std::uint32_t kTitleBlue = 0xFF6E85D5;  // the skin's title band, RGB 110, 133, 213
constexpr std::uint32_t kBodyWhite = 0xFFFAFBFF;

TEST(PreviewTool, TextAdvertIsTheWindowAtRestWithItsTitleBand) {
    TempDir dir;
    const std::string sentence = "批注、签名与表单填写,现已支持。Annotate and sign in the reader. ";
    std::string text;
    for (int i = 0; i < 6; ++i)
        text += sentence;
    test::writeFile(dir / "advert.json", R"({"title": "新功能 · New", "type": 0, "context": ")" +
                                             text + R"(", "click_url": "https://example.com/"})");
    int height = std::max(measuredHeight(ui::fromUtf8(text)) + 90, 180);
    ASSERT_GT(height, 180) << "the text must be long enough to size the window";

    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        std::string out = dir / ("text" + std::to_string(scale) + ".png");
        Outcome run = runPreview(dir, {dir / "advert.json", out, "--scale", std::to_string(scale)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const test::Picture png = test::readPng(out);
        ASSERT_EQ(png.w, 320 * scale);
        ASSERT_EQ(png.h, height * scale);
        // Left of the title text, and below the text in the body.
        EXPECT_TRUE(near(png.at(10 * scale, 15 * scale), kTitleBlue, 16));
        EXPECT_TRUE(near(png.at(160 * scale, (height - 12) * scale), kBodyWhite, 8));
    }
}

TEST(PreviewTool, PictureAdvertTakesThePictureSizeWithinTheWorkArea) {
    TempDir dir;
    std::filesystem::create_directory(dir / "pictures");
    writeQuadrants(dir / "pictures/small.png", 200, 120);
    writeQuadrants(dir / "pictures/wide.png", 3000, 1500);
    struct Row {
        const char* name;
        std::string imgUrl;
        int scale;
        SIZE expected;
        bool relativeAdvertFile = false;
    } rows[] = {
        {"relative path", "pictures/small.png", 1, {200, 120}},
        {"relative path from a relative advert file", "pictures/small.png", 1, {200, 120}, true},
        {"file URL, doubled", "file://" + (dir / "pictures/small.png").string(), 2, {200, 120}},
        {"file URL with escapes",
         "file://localhost" + dir.path().string() + "/pictures/sm%61ll.png",
         1,
         {200, 120}},
        // 3000 x 1500 on a 1920 x 1040 work area: the width limits, 0.64 of each side.
        {"wider than the work area", "pictures/wide.png", 1, {1920, 960}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::writeFile(dir / "picture.json",
                        R"({"title": "Picture", "type": 1, "img_url": ")" + row.imgUrl + R"("})");
        std::string out = dir / "picture.png";
        std::filesystem::path advert = dir / "picture.json";
        if (row.relativeAdvertFile)
            advert = std::filesystem::relative(advert);
        Outcome run = runPreview(dir, {advert, out, "--scale", std::to_string(row.scale)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const test::Picture png = test::readPng(out);
        ASSERT_EQ(png.w, row.expected.cx * row.scale);
        ASSERT_EQ(png.h, row.expected.cy * row.scale);
        // The picture fills the page below the title row: its yellow quadrant at bottom right.
        EXPECT_TRUE(near(png.at(png.w * 3 / 4, png.h * 7 / 8), 0xFFFFFF00, 8));
    }
}

TEST(PreviewTool, RefusesWhatThePopUpWouldNotShow) {
    TempDir dir;
    test::writeFile(dir / "photo.webp", std::string("RIFF\x10\0\0\0WEBPVP8 ", 16));
    const std::string ok = R"({"type": 0, "context": "Hello"})";
    struct Row {
        const char* name;
        std::string json;  // empty: no advert file at all
        std::vector<std::string> extra;
        int exitCode;
        const char* says;
    } rows[] = {
        {"unknown option", ok, {"--bogus"}, 2, "unknown option --bogus"},
        {"scale out of range", ok, {"--scale", "5"}, 2, "--scale"},
        {"scale without value", ok, {"--scale"}, 2, "--scale"},
        {"no advert file", "", {}, 3, "no such file"},
        {"not JSON", "hello", {}, 3, "not an advert answer"},
        {"no kind", R"({"type": 2, "context": "x"})", {}, 3, "type 2 is no advert"},
        {"empty text", R"({"type": 0, "title": "t"})", {}, 3, "without \"context\""},
        {"no picture", R"({"type": 1})", {}, 3, "without \"img_url\""},
        {"network picture",
         R"({"type": 1, "img_url": "http://example.com/a.png"})",
         {},
         3,
         "does not download"},
        {"remote file URL",
         R"({"type": 1, "img_url": "file://host/a.png"})",
         {},
         3,
         "local absolute path"},
        {"missing picture", R"({"type": 1, "img_url": "gone.png"})", {}, 3, "no such file"},
        {"NUL in the address", R"({"type": 1, "img_url": "file:///tmp\u0000x"})", {}, 3, "NUL"},
        {"WebP picture",
         R"({"type": 1, "img_url": "photo.webp"})",
         {},
         3,
         "not a PNG, JPEG, GIF or BMP picture"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(dir / "advert.json");
        if (!row.json.empty())
            test::writeFile(dir / "advert.json", row.json);
        std::vector<std::string> args{dir / "advert.json", dir / "out.png"};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        Outcome run = runPreview(dir, args);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
    }

    SCOPED_TRACE("unwritable output");
    test::writeFile(dir / "advert.json", ok);
    Outcome run = runPreview(dir, {dir / "advert.json", dir / "no-such-folder/out.png"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no-such-folder/out.png"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace kestrova
