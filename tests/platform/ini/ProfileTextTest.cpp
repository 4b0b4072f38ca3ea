// Tables of files and what reading and writing them gives.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/ini/ProfileText.h"
#include "tests/support/Locales.h"

namespace {

using kestrova::findProfileValue;
using kestrova::setProfileValue;

TEST(ProfileRead, FindsTheFirstMatchingKeyOfTheFirstMatchingSection) {
    const struct {
        const char* label;
        std::string file;
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } rows[] = {
        {"plain", "[CONFIG]\nlast_adv_time=5\n", "CONFIG", "last_adv_time", "5"},
        {"names in any case", "[config]\nLAST_Adv_Time=5\n", "CONFIG", "last_adv_time", "5"},
        {"blanks trimmed", "  [ CONFIG ]  \n\t key \t= \tv a l \t\n", "CONFIG", "key", "v a l"},
        {"requested names trimmed", "[CONFIG]\nkey=1\n", " CONFIG ", " key ", "1"},
        {"CRLF", "[A]\r\nk=v\r\nk2=w\r\n", "A", "k2", "w"},
        {"CRLF empty value", "[A]\r\nk=\r\n", "A", "k", ""},
        {"no final line break", "[A]\nk=1", "A", "k", "1"},
        {"empty value", "[A]\nk=\n", "A", "k", ""},
        {"value holds =", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"first key counts", "[A]\nk=1\nk=2\n", "A", "k", "1"},
        {"first section counts", "[A]\nx=1\n[a]\nk=2\n", "A", "k", std::nullopt},
        {"key of another section", "[B]\nk=1\n[A]\nj=2\n", "A", "k", std::nullopt},
        {"key before any section", "k=1\n[A]\n", "A", "k", std::nullopt},
        {"commented out", "[A]\n;k=1\n", "A", "k", std::nullopt},
        {"line without =", "[A]\nk\n", "A", "k", std::nullopt},
        {"missing section", "[B]\nk=1\n", "A", "k", std::nullopt},
        {"unclosed header is no section", "[A\nk=1\n", "A", "k", std::nullopt},
        {"byte order mark", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1"},
        {"empty file", "", "A", "k", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(findProfileValue(row.file, row.section, row.key), row.value);
    }
}

TEST(ProfileRead, FoldsNonAsciiCase) {
    kestrova::test::ScopedCtype ctype("C.UTF-8");
    if (!ctype.active()) {
        GTEST_SKIP() << "C.UTF-8 is not available";
    }
    EXPECT_EQ(findProfileValue("[\xC3\x84rger]\nSCHL\xC3\x9C"
                               "SSEL=1\n",
                               "\xC3\xA4RGER", "schl\xC3\xBCssel"),
              "1");
}

TEST(ProfileWrite, ChangesOnlyWhatTheKeyNeeds) {
    const struct {
        const char* label;
        std::string file;
        const char* section;
        const char* key;
        const char* value;
        std::string expected;
    } rows[] = {
        {"replaced in place, spacing and CRLF kept",
         "; head\r\n[CONFIG]\r\nLast_Adv_Time = 5  \r\nother=x\r\n\r\n", "CONFIG", "last_adv_time",
         "7", "; head\r\n[CONFIG]\r\nLast_Adv_Time = 7\r\nother=x\r\n\r\n"},
        {"replaced with empty", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
        {"appended after the section's last line", "[A]\nx=1\n; note\n\n[B]\ny=2\n", "a", "k", "v",
         "[A]\nx=1\n; note\nk=v\n\n[B]\ny=2\n"},
        {"section without a final line break", "[A]\nx=1", "A", "k", "v", "[A]\nx=1\nk=v\n"},
        {"empty section", "[A]\n[B]\n", "A", "k", "v", "[A]\nk=v\n[B]\n"},
        {"header without a line break", "[A]", "A", "k", "v", "[A]\nk=v\n"},
        {"first of two equal sections", "[A]\nx=1\n[A]\nk=2\n", "A", "k", "3",
         "[A]\nx=1\nk=3\n[A]\nk=2\n"},
        {"section appended", "[B]\r\ny=2\r\n", "CONFIG", "last_adv_time", "1",
         "[B]\r\ny=2\r\n[CONFIG]\nlast_adv_time=1\n"},
        {"section appended after an unfinished line", "[B]\ny=2", "A", "k", "v",
         "[B]\ny=2\n[A]\nk=v\n"},
        {"empty file", "", "CONFIG", "last_adv_time", "1", "[CONFIG]\nlast_adv_time=1\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "2", "\xEF\xBB\xBF[A]\nk=2\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string written = setProfileValue(row.file, row.section, row.key, row.value);
        EXPECT_EQ(written, row.expected);
        EXPECT_EQ(findProfileValue(written, row.section, row.key), row.value);
    }
}

TEST(ProfileWrite, RefusesEntriesThatWouldNotReadBack) {
    const struct {
        const char* section;
        const char* key;
        const char* value;
        bool storable;
    } rows[] = {
        {"CONFIG", "last_adv_time", "1700000000", true},
        {"CONFIG", "key", "  padded  ", true},
        {"CONFIG", "key", "two\nlines", false},
        {"CONFIG", "key", "cr\r", false},
        {"CON\nFIG", "key", "v", false},
        {"CON]FIG", "key", "v", false},
        {"CONFIG", "k=ey", "v", false},
        {"CONFIG", " ;key", "v", false},
        {"CONFIG", "[key", "v", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.section) + "/" + row.key + "/" + row.value);
        EXPECT_EQ(kestrova::isStorableProfileEntry(row.section, row.key, row.value), row.storable);
    }
}

TEST(ProfileUtf8, ReplacesWhatHasNoEncoding) {
    EXPECT_EQ(kestrova::profileUtf8ToWide("a\xFF"
                                          "b\xC3\xA9"),
              L"a\uFFFDb\u00E9");
    std::wstring wide = L"x";
    wide += static_cast<wchar_t>(0xDC00);
    EXPECT_EQ(kestrova::profileWideToUtf8(wide), "x\xEF\xBF\xBD");
    EXPECT_EQ(kestrova::profileWideToUtf8(L"\u6F22"), "\xE6\xBC\xA2");
}

}  // namespace
