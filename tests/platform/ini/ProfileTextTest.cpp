// Tables of settings files and what reading and writing them gives.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "platform/ini/ProfileText.h"

namespace {

using kestrova::findProfileValue;
using kestrova::setProfileValue;

TEST(ProfileRead, FindsTheFirstMatchingKeyOfTheFirstMatchingSection) {
    const struct {
        std::string file;
        const char* key;
        std::optional<std::string> value;
    } rows[] = {
        {"[config]\nLAST_Adv_Time=5", " last_adv_time ", "5"},
        {"  [ CONFIG ]  \n\t k \t= \tv a l \t\n", "k", "v a l"},
        {"[CONFIG]\r\nj=v\r\nk=\r\n", "k", ""},
        {"[CONFIG]\nk=a=b\nk=2\n", "k", "a=b"},
        {"\xEF\xBB\xBF[CONFIG]\nk=1\n", "k", "1"},
        {"[CONFIG]\nx=1\n[Config]\nk=2\n", "k", std::nullopt},
        {"[OTHER]\nk=1\n[CONFIG]\nj=2\n", "k", std::nullopt},
        {"k=1\n[CONFIG]\n", "k", std::nullopt},
        {"[CONFIG]\n;k=1\nk\n", "k", std::nullopt},
        {"[CONFIG\nk=1\n", "k", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.file));
        EXPECT_EQ(findProfileValue(row.file, "CONFIG", row.key), row.value);
    }
}

TEST(ProfileWrite, ChangesOnlyWhatTheKeyNeeds) {
    const struct {
        const char* label;
        std::string file;
        const char* section;
        std::string expected;
    } rows[] = {
        {"in place, spacing and CRLF kept", "; c\r\n[A]\r\nK = 5  \r\nx=1\r\n\r\n", "a",
         "; c\r\n[A]\r\nK = 7\r\nx=1\r\n\r\n"},
        {"after the section's last line", "[A]\nx=1\n; note\n\n[B]\ny=2\n", "A",
         "[A]\nx=1\n; note\nk=7\n\n[B]\ny=2\n"},
        {"into the first of equal sections", "[A]\nx=1\n[A]\nk=2\n", "A",
         "[A]\nx=1\nk=7\n[A]\nk=2\n"},
        {"after an unfinished last line", "[A]\nx=1", "A", "[A]\nx=1\nk=7\n"},
        {"section appended", "\xEF\xBB\xBF[B]\r\ny=2", "A", "\xEF\xBB\xBF[B]\r\ny=2\n[A]\nk=7\n"},
        {"empty file", "", "A", "[A]\nk=7\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string written = setProfileValue(row.file, row.section, "k", "7");
        EXPECT_EQ(written, row.expected);
        EXPECT_EQ(findProfileValue(written, row.section, "k"), "7");
    }
}

TEST(ProfileWrite, RefusesEntriesThatWouldNotReadBack) {
    EXPECT_TRUE(kestrova::isStorableProfileEntry("CONFIG", "last_adv_time", " 1700000000 "));
    const std::array<const char*, 3> refused[] = {
        {"A", "k", "6\n[EVIL]"}, {"A", "k", "cr\r"}, {"A\nB", "k", "v"}, {"A]", "k", "v"},
        {"A", "k=j", "v"},       {"A", " ;k", "v"},  {"A", "[k", "v"},
    };
    for (const auto& [section, key, value] : refused) {
        EXPECT_FALSE(kestrova::isStorableProfileEntry(section, key, value))
            << section << "/" << key << "/" << value;
    }
}

}  // namespace
