// The reading rules of the advert answer, one row per kind of answer.
#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <string>
#include <vector>

#include "advert/ParseAdvert.h"
#include "tests/support/TempDir.h"

namespace {

struct Row {
    const char* name;
    std::string body;
    std::optional<AdvertItem> expected;  // nullopt: parseAdvert must fail
};

AdvertItem advert(std::int32_t type, std::string title = "", std::string context = "",
                  std::string imgUrl = "", std::string clickUrl = "") {
    return AdvertItem{std::move(title), type, std::move(context), std::move(imgUrl),
                      std::move(clickUrl)};
}

std::string malformed(const std::string& name) {
    return kestrova::test::readSourceFile("tests/advert/data/malformed/" + name);
}

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        // Roots.
        {"empty body", "", std::nullopt},
        {"empty object", "{}", advert(0)},
        {"null root", "null", advert(0)},
        {"array root", R"([{"type":1}])", std::nullopt},
        {"comments", "/* block */ {// line\n\"type\": 1, \"img_url\": \"http://a/b.png\"} // end",
         advert(1, "", "", "http://a/b.png")},
        // Inputs fuzzing found, kept in data/malformed.
        {"nested deeper than the reader's limit", malformed("nested-too-deep.json"), std::nullopt},
        {"trailing garbage", R"({"type":1,"img_url":"u"} }{ garbage)", advert(1, "", "", "u")},
        {"duplicate keys", R"({"context":"first","type":2,"context":"second"})",
         advert(2, "", "second")},
        {"null members count as absent", R"({"type":null,"title":null,"context":null})", advert(0)},
        {"full text advert",
         R"({"title":"Hi","type":0,"context":"Read more","click_url":"https://k/x?a=1&b=2"})",
         advert(0, "Hi", "Read more", "", "https://k/x?a=1&b=2")},
        // The integer rule.
        {"type 1.9", R"({"type":1.9})", advert(1)},
        {"type -0.5", R"({"type":-0.5})", advert(0)},
        {"type true", R"({"type":true})", advert(1)},
        {"type \"1\"", R"({"type":"1"})", std::nullopt},
        {"type object", R"({"type":{}})", std::nullopt},
        {"type 2147483647", R"({"type":2147483647})", advert(2147483647)},
        {"type 2147483648", R"({"type":2147483648})", std::nullopt},
        {"type -2147483648", R"({"type":-2147483648})", advert(INT32_MIN)},
        {"type -2147483649", R"({"type":-2147483649})", std::nullopt},
        // The text rule.
        {"title number", R"({"title":5})", std::nullopt},
        {"title true", R"({"title":true})", advert(0, "true")},
        {"img_url number", R"({"type":1,"img_url":7})", std::nullopt},
        // Text contents.
        {"escapes", R"({"title":"\ud83d\ude00 \u00e9","context":"\u4e2d\u6587\n\"q\""})",
         advert(0, "\xF0\x9F\x98\x80 \xC3\xA9", "\xE4\xB8\xAD\xE6\x96\x87\n\"q\"")},
        {"non-ASCII URLs kept byte for byte",
         "{\"type\":1,\"img_url\":\"http://a/\xE5\x9B\xBE\xFF.png\",\"click_url\":\"\xC3\xA9\"}",
         advert(1, "", "", "http://a/\xE5\x9B\xBE\xFF.png", "\xC3\xA9")},
        {"malformed UTF-8 in text is replaced", "{\"title\":\"a\xFF\"}",
         advert(0, "a\xEF\xBF\xBD")},
    };
    return table;
}

TEST(ParseAdvert, ReadingRules) {
    // The expected texts are UTF-8, the locale's encoding here.
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        AdvertItem item = advert(99, "untouched");
        const bool parsed = parseAdvert(row.body, item);
        ASSERT_EQ(parsed, row.expected.has_value());
        const AdvertItem& expected = row.expected ? *row.expected : advert(99, "untouched");
        EXPECT_EQ(item.title, expected.title);
        EXPECT_EQ(item.type, expected.type);
        EXPECT_EQ(item.context, expected.context);
        EXPECT_EQ(item.img_url, expected.img_url);
        EXPECT_EQ(item.click_url, expected.click_url);
    }
}

}  // namespace
