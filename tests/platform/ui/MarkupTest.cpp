// The markup builder: a pop-up layout becomes the expected tree and settings; every
// malformed layout of data/malformed fails with a message naming what and where, and
// leaves the paint manager untouched.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>

#include "UiTestSupport.h"
#include "platform/ui/UIMarkup.h"
#include "platform/ui/UIlib.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

const std::string kMalformed = "tests/platform/ui/data/malformed/";

std::unique_ptr<SkinSource> popupSkin(Bytes& keep) {
    keep = popupSkinZip();
    std::string error;
    auto skin = openZipSkin(keep, error);
    EXPECT_TRUE(skin) << error;
    return skin;
}

TEST(Markup, PopupLayoutBuildsTheNamedControlsWithTheirAttributes) {
    Bytes zip;
    auto skin = popupSkin(zip);
    CPaintManagerUI pm;
    BuildResult built = buildLayout(*skin, "FloatDlg.xml", pm);
    ASSERT_TRUE(built) << built.error;
    pm.AttachDialog(built.root.release());

    EXPECT_EQ(pm.GetInitSize().cx, 320);
    EXPECT_EQ(pm.GetInitSize().cy, 180);
    EXPECT_EQ(pm.GetCaptionRect().bottom, 30);
    EXPECT_STREQ(pm.GetWindowSettings().sLayeredImage, L"file='float_bg.png' corner='5,5,5,5'");

    auto* title = dynamic_cast<CLabelUI*>(pm.FindControl(L"title"));
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title->GetText(), L"广告消息");
    EXPECT_EQ(title->GetFont(), 0);
    auto* msg = dynamic_cast<CLabelUI*>(pm.FindControl(L"msgLabel"));
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(msg->GetFont(), -1);
    EXPECT_EQ(msg->GetTextStyle() & (DT_VCENTER | DT_BOTTOM), DT_TOP);
    EXPECT_NE(dynamic_cast<CButtonUI*>(pm.FindControl(L"closeBtn")), nullptr);
    EXPECT_NE(dynamic_cast<CTabLayoutUI*>(pm.FindControl(L"main_tab")), nullptr);
    EXPECT_NE(dynamic_cast<CLabelUI*>(pm.FindControl(L"imgLabel")), nullptr);
    EXPECT_EQ(pm.FindControl(L"nothing"), nullptr);

    // Font ids from the layout, and the default font for a label that names none.
    EXPECT_EQ(pm.GetFont(1)->size, 18);
    EXPECT_TRUE(pm.GetFont(5)->bold);
    EXPECT_EQ(pm.GetFont(msg->GetFont()), pm.GetFont(0));
    EXPECT_EQ(pm.GetFont(0)->family, L"Microsoft YaHei");
    ASSERT_NE(pm.GetDefaultAttributeList(L"VScrollBar"), nullptr);
}

// Each file starts with "<!-- expect: TEXT -->"; the build's error must contain TEXT.
TEST(Markup, EveryMalformedLayoutGivesAClearErrorAndNoTree) {
    std::string folder = sourcePath(kMalformed);
    DIR* dir = opendir(folder.c_str());
    ASSERT_NE(dir, nullptr) << folder;
    std::vector<std::string> files;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() > 4 && name.ends_with(".xml"))
            files.push_back(name);
    }
    closedir(dir);
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 10u);

    Bytes zip;
    auto skin = popupSkin(zip);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        std::string xml = readSourceFile(kMalformed + file);
        size_t begin = xml.find("expect: ") + 8, end = xml.find(" -->");
        ASSERT_NE(end, std::string::npos);
        std::string expected = xml.substr(begin, end - begin);

        CPaintManagerUI pm;
        BuildResult built = buildLayoutFromText(xml, file, *skin, pm);
        EXPECT_FALSE(built);
        EXPECT_EQ(built.root, nullptr);
        EXPECT_NE(built.error.find(expected), std::string::npos) << "error was: " << built.error;
        EXPECT_EQ(built.error.rfind(file + ":", 0), 0u) << "error should start with the file";
        // Nothing of a rejected layout reaches the paint manager.
        EXPECT_EQ(pm.GetInitSize().cx, 0);
        EXPECT_EQ(pm.GetDefaultAttributeList(L"Label"), nullptr);
    }
}

TEST(Markup, DefaultsApplyToTheirClassAndYieldToTheElementsOwnAttributes) {
    std::string xml =
        "<Window size='100,50'><Default name='Label' value='height=\"7\" textcolor=\"#FF112233\"'/>"
        "<VerticalLayout><Label name='a'/><Label name='b' height='9'/><Button "
        "name='c'/></VerticalLayout>"
        "</Window>";
    auto skin = openFolderSkin("/nonexistent");
    CPaintManagerUI pm;
    BuildResult built = buildLayoutFromText(xml, "d.xml", *skin, pm);
    ASSERT_TRUE(built) << built.error;
    pm.AttachDialog(built.root.release());
    EXPECT_EQ(pm.FindControl(L"a")->GetFixedHeight(), 7);
    EXPECT_EQ(pm.FindControl(L"b")->GetFixedHeight(), 9);
    EXPECT_EQ(pm.FindControl(L"c")->GetFixedHeight(), 0);
}

TEST(Markup, SkinSourcesRefuseWhatTheyDoNotHold) {
    Bytes zip;
    auto skin = popupSkin(zip);
    CPaintManagerUI pm;
    BuildResult built = buildLayout(*skin, "Other.xml", pm);
    EXPECT_NE(built.error.find("Other.xml: not found"), std::string::npos) << built.error;

    std::string error;
    EXPECT_EQ(openZipSkin(Bytes(200, 0x41), error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(openZipSkin({}, error), nullptr);

    auto folder = openFolderSkin(sourcePath(kMalformed));
    EXPECT_TRUE(folder->contains("bad_xml.xml"));
    EXPECT_FALSE(folder->contains("../../UiTestSupport.h"));
    EXPECT_FALSE(folder->contains(".."));
}

enum Kind { Colour, Rect, Image };

// The value as parsed, written out; "" when the text is refused.
std::string parsed(Kind kind, const wchar_t* text) {
    if (kind == Colour) {
        auto colour = parseColor(text);
        return colour ? hex(*colour) : "";
    }
    if (kind == Rect) {
        auto rect = parseRect(text);
        return rect ? rectText(*rect) : "";
    }
    auto image = parseImageSpec(text);
    EXPECT_NE(bool(image.spec), !image.error.empty());
    if (!image.spec)
        return "";
    std::string source = image.spec->source ? " " + rectText(*image.spec->source) : "";
    return toUtf8(image.spec->file) + " " + rectText(image.spec->corner) + source;
}

TEST(AttributeValues, ColoursRectanglesAndImageStrings) {
    const struct {
        Kind kind;
        const wchar_t* text;
        std::string expected;
    } accepted[] = {
        {Colour, L"#FF6E85D5", "#FF6E85D5"},
        {Colour, L"#ff666666", "#FF666666"},
        {Colour, L"#6E85D5", "#FF6E85D5"},
        {Rect, L"5,30,5,5", "5,30,5,5"},
        {Rect, L" -1, 2 ,3,4 ", "-1,2,3,4"},
        {Image, L"close.png", "close.png 0,0,0,0"},
        {Image, L"/opt/app dir/a=b/cache/image/advertising.png",
         "/opt/app dir/a=b/cache/image/advertising.png 0,0,0,0"},
        {Image, L"file='float_bg.png' corner='5,30,5,5' source='0,0,8,20'",
         "float_bg.png 5,30,5,5 0,0,8,20"},
    };
    for (const auto& c : accepted) {
        SCOPED_TRACE(toUtf8(c.text));
        EXPECT_EQ(parsed(c.kind, c.text), c.expected);
    }
    const std::pair<Kind, std::vector<const wchar_t*>> refused[] = {
        {Colour, {L"FF6E85D5", L"#FF6E85D", L"#FF6E85D5A", L"#GG000000", L""}},
        {Rect, {L"1,2,3", L"1,2,3,4,5", L"1,,3,4", L"1,2,3,x", L"1.5,2,3,4", L""}},
        {Image,
         {L"file='a.png", L"corner='1,2,3,4'", L"file='a.png' corner='1,2'",
          L"file='a.png' shine='1'", L"file='a.png' corner", L"  "}},
    };
    for (const auto& [kind, texts] : refused) {
        for (const wchar_t* text : texts) {
            SCOPED_TRACE(toUtf8(text));
            EXPECT_EQ(parsed(kind, text), "");
        }
    }
}

}  // namespace
