// Conversions under a UTF-8 locale, a single-byte locale and a multi-byte legacy locale.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/Locales.h"
#include "util/TextConvert.h"

using kestrova::test::ScopedCtype;

namespace {

const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

#define REQUIRE_CTYPE(ctype)                                                        \
    if (!(ctype).active()) {                                                        \
        GTEST_SKIP() << "locale not available and localedef could not generate it"; \
    }

TEST(TextConvertUtf8, RoundTripsEveryScript) {
    ScopedCtype ctype("C.UTF-8");
    REQUIRE_CTYPE(ctype);
    const struct {
        std::wstring wide;
        std::string narrow;
    } rows[] = {
        {L"", ""},
        {L"http://127.0.0.1:8642/advert?time=0", "http://127.0.0.1:8642/advert?time=0"},
        {L"Gr\u00FC\u00DFe, caf\u00E9",
         "Gr\xC3\xBC\xC3\x9F"
         "e, caf\xC3\xA9"},
        {L"\u6F22\u5B57\u30C6\u30B9\u30C8",
         "\xE6\xBC\xA2\xE5\xAD\x97\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},
        {L"\U0001F600", "\xF0\x9F\x98\x80"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.narrow);
        EXPECT_EQ(wideToAnsi(row.wide), row.narrow);
        EXPECT_EQ(ansiToWide(row.narrow), row.wide);
        EXPECT_EQ(utf8ToAnsi(row.narrow), row.narrow);
    }
}

TEST(TextConvertUtf8, StopsAtTheFirstNul) {
    ScopedCtype ctype("C.UTF-8");
    REQUIRE_CTYPE(ctype);
    EXPECT_EQ(wideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(ansiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(utf8ToAnsi(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(wideToAnsi(std::wstring(L"\0x", 2)), "");
}

TEST(TextConvertUtf8, ReplacesMalformedInputWithoutThrowing) {
    ScopedCtype ctype("C.UTF-8");
    REQUIRE_CTYPE(ctype);
    const struct {
        const char* label;
        std::string bytes;
    } rows[] = {
        {"stray continuation",
         "a\x80"
         "b"},
        {"invalid lead",
         "a\xFF"
         "b"},
        {"cut sequence",
         "a\xE6\xBC"
         "b"},
        {"overlong",
         "a\xC0\xAF"
         "b"},
        {"encoded surrogate",
         "a\xED\xA0\x80"
         "b"},
        {"past U+10FFFF",
         "a\xF4\x90\x80\x80"
         "b"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::string ansi;
        ASSERT_NO_THROW(ansi = utf8ToAnsi(row.bytes));
        EXPECT_EQ(ansi, "a" + kReplacementUtf8 + "b");
        EXPECT_EQ(ansiToWide(row.bytes), L"a\uFFFDb");
    }
    EXPECT_EQ(utf8ToAnsi("end\xE6\xBC"), "end" + kReplacementUtf8);
    EXPECT_EQ(ansiToWide("end\xE6"), L"end\uFFFD");
}

TEST(TextConvertUtf8, WideValuesWithoutAnEncodingBecomeQuestionMarks) {
    ScopedCtype ctype("C.UTF-8");
    REQUIRE_CTYPE(ctype);
    std::wstring wide = L"a";
    wide += static_cast<wchar_t>(0xD800);
    wide += static_cast<wchar_t>(0x110000);
    wide += static_cast<wchar_t>(-5);
    wide += L"b";
    EXPECT_EQ(wideToAnsi(wide), "a???b");
}

TEST(TextConvertLatin1, AccentsSurviveAndOtherScriptsBecomeQuestionMarks) {
    ScopedCtype ctype("en_US.ISO-8859-1", "en_US", "ISO-8859-1");
    REQUIRE_CTYPE(ctype);
    EXPECT_EQ(wideToAnsi(L"caf\u00E9 \u6F22"), "caf\xE9 ?");
    EXPECT_EQ(ansiToWide("caf\xE9"), L"caf\u00E9");
    EXPECT_EQ(utf8ToAnsi("Gr\xC3\xBC\xC3\x9F"
                         "e \xE6\xBC\xA2\xF0\x9F\x98\x80"),
              "Gr\xFC\xDF"
              "e ??");
    // The replacement character itself is not in the code page.
    EXPECT_EQ(utf8ToAnsi("a\xFF"
                         "b"),
              "a?b");
    EXPECT_EQ(utf8ToAnsi(std::string("\xC3\xA9\0\xC3\xA9", 5)), "\xE9");
}

TEST(TextConvertLatin1, EveryByteIsACharacter) {
    ScopedCtype ctype("en_US.ISO-8859-1", "en_US", "ISO-8859-1");
    REQUIRE_CTYPE(ctype);
    std::string all;
    std::wstring expected;
    for (int byte = 1; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
        expected.push_back(static_cast<wchar_t>(byte));
    }
    EXPECT_EQ(ansiToWide(all), expected);
    EXPECT_EQ(wideToAnsi(expected), all);
}

TEST(TextConvertEucJp, MultiByteLegacyEncodingRoundTripsAndReplacesBadBytes) {
    ScopedCtype ctype("ja_JP.EUC-JP", "ja_JP", "EUC-JP");
    REQUIRE_CTYPE(ctype);
    const std::string kanji = "\xB4\xC1\xBB\xFA";  // two characters, two bytes each
    EXPECT_EQ(wideToAnsi(L"a\u6F22\u5B57"), "a" + kanji);
    EXPECT_EQ(ansiToWide("a" + kanji), L"a\u6F22\u5B57");
    EXPECT_EQ(wideToAnsi(L"\uD55C\U0001F600"), "??");  // Hangul and an emoji
    EXPECT_EQ(utf8ToAnsi("\xE6\xBC\xA2"), "\xB4\xC1");
    // A lead byte followed by an invalid trail, and a text cut inside a character.
    EXPECT_EQ(ansiToWide("\xB4"
                         "A"),
              L"\uFFFDA");
    EXPECT_EQ(ansiToWide("x\xB4"), L"x\uFFFD");
}

}  // namespace
