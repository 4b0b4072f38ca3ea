// Which requests reach the opener, and what exactly is handed to it.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "platform/shell/ShellExecute.h"

namespace kestrova {
namespace {

class ShellExecute : public ::testing::Test {
protected:
    void SetUp() override {
        setLinkLauncher([this](const std::string& link) {
            opened.push_back(link);
            return launcherWorks;
        });
    }
    void TearDown() override { setLinkLauncher(nullptr); }

    std::intptr_t open(LPCWSTR params, LPCWSTR op = L"open", LPCWSTR file = L"explorer.exe") {
        return reinterpret_cast<std::intptr_t>(
            ShellExecuteW(nullptr, op, file, params, nullptr, SW_SHOW));
    }

    std::vector<std::string> opened;
    bool launcherWorks = true;
};

TEST_F(ShellExecute, OnlyWebLinksAreHandedOverWithoutTheirQuotes) {
    struct Case {
        const wchar_t* params;
        const char* handed;  // null: refused
    } cases[] = {
        {L"\"http://a.test/x?y=1\"", "http://a.test/x?y=1"},
        {L"\"HTTPS://A.TEST/\"", "HTTPS://A.TEST/"},
        {L"http://a.test/bare", "http://a.test/bare"},
        {L"\"http://a.test/cut-before-the-closing-quote",
         "http://a.test/cut-before-the-closing-quote"},
        {L"\"http://a.test/a b;$(id)&c='d'\"", "http://a.test/a b;$(id)&c='d'"},
        {L"\"javascript:alert(1)\"", nullptr},
        {L"\"file:///etc/passwd\"", nullptr},
        {L"\"/usr/bin/xterm\"", nullptr},
        {L"\"xterm -e sh\"", nullptr},
        {L"\"httpx://a.test/\"", nullptr},
        {L"\"http://\"", nullptr},
        {L"\" http://a.test\"", nullptr},
        {L"\"http://a.test/\nrm -rf\"", nullptr},
        {L"\"http://a.test/\x1b[2J\"", nullptr},
        {L"\"http://a.test/\x85\"", nullptr},
        {L"", nullptr},
        {nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handed ? c.handed : "refused");
        opened.clear();
        std::intptr_t result = open(c.params);
        if (c.handed) {
            EXPECT_GT(result, 32);
            EXPECT_EQ(opened, std::vector<std::string>{c.handed});
        } else {
            EXPECT_EQ(result, SE_ERR_ACCESSDENIED);
            EXPECT_TRUE(opened.empty());
        }
    }
}

TEST_F(ShellExecute, OnlyOpeningWithExplorerIsSupported) {
    EXPECT_EQ(open(L"\"http://a.test/\"", L"edit"), SE_ERR_NOASSOC);
    EXPECT_EQ(open(L"\"http://a.test/\"", L"open", L"cmd.exe"), SE_ERR_NOASSOC);
    EXPECT_EQ(open(L"\"http://a.test/\"", L"open", nullptr), SE_ERR_NOASSOC);
    EXPECT_TRUE(opened.empty());
    EXPECT_GT(open(L"\"http://a.test/\"", nullptr, L"EXPLORER.EXE"), 32) << "null means open";
    launcherWorks = false;
    EXPECT_EQ(open(L"\"http://a.test/\""), SE_ERR_FNF);
}

TEST_F(ShellExecute, TheLinkIsHandedOverInTheLocalesEncodingOrNotAtAll) {
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    EXPECT_GT(open(L"\"http://a.test/caf\u00e9\""), 32);
    EXPECT_EQ(opened, std::vector<std::string>{"http://a.test/caf\xc3\xa9"});
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(open(L"\"http://a.test/caf\u00e9\""), SE_ERR_ACCESSDENIED)
        << "a '?' in its place would open another address";
    std::setlocale(LC_CTYPE, previous.c_str());
}

}  // namespace
}  // namespace kestrova
