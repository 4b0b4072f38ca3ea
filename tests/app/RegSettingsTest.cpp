// The window caption from the product's registry name: configured, missing, unusable, and
// the cases that only a user without administrator rights meets, run as user 65534.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/RegSettings.h"
#include "platform/registry/RegistryRoot.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

class RegSettings : public ::testing::Test {
protected:
    void setAppName(const std::string& content) {
        fs::create_directories(keyFolder);
        writeFile(keyFolder / "appname", content);
    }

    // Takes write rights away from other users (root still has them, like an administrator).
    static void makeReadOnly(const fs::path& path) {
        ASSERT_EQ(::chmod(path.c_str(), ::geteuid() == 0 ? 0755 : 0555), 0);
    }

    TempDir m_tmp;
    const fs::path hive = m_tmp / "hive";
    const fs::path keyFolder = hive / "SOFTWARE/Kestrova";
};

TEST_F(RegSettings, TheNameOrTheDefaultMakesTheCaption) {
    const std::string longestWide = [] {
        std::string name;
        for (int i = 0; i < 64; ++i) {
            name += "名";
        }
        return name;
    }();
    const struct {
        std::string file;
        std::wstring name;
    } rows[] = {{"Reader\n", L"Reader"},
                {"", L"Kestrova"},
                {std::string(64, 'n') + "\n", std::wstring(64, L'n')},
                {std::string(65, 'n') + "\n", L"Kestrova"},
                {longestWide, std::wstring(64, L'名')},
                {std::string("Rea\0der", 7), L"Rea"},
                {std::string("\0Reader", 7), L"Kestrova"}};
    registry::ScopedMachineRoot root(hive.string());
    EXPECT_EQ(getWindowCaption(), L"Kestrova升级程序") << "no key at all";
    EXPECT_TRUE(fs::is_directory(keyFolder) && fs::is_empty(keyFolder)) << "the key is made empty";
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.file));
        setAppName(row.file);
        EXPECT_EQ(getWindowCaption(), row.name + L"升级程序");
    }
}

// Run as another user on a hive that user may only read: a key that cannot be created gives
// the default and creates nothing; a key opened for all access is refused, yet reading still
// finds the configured name.
TEST_F(RegSettings, AsAnotherUserAReadOnlyHiveStillGivesACaption) {
    const fs::path probe = m_tmp / "registry_probe";
    fs::copy_file(KESTROVA_REGISTRY_PROBE, probe);
    const std::string denied = std::to_string(ERROR_ACCESS_DENIED) + " ";
    for (const bool configured : {false, true}) {
        SCOPED_TRACE(configured);
        fs::remove_all(hive);
        fs::create_directory(hive);
        if (configured) {
            setAppName("Reader\n");
        }
        makeReadOnly(configured ? keyFolder : hive);
        bool ran = false;
        const std::string output =
            runCommand(asOtherUser() + probe.string() + " " + hive.string(), &ran);
        EXPECT_TRUE(ran);
        if (configured) {
            EXPECT_EQ(output, denied + "Reader升级程序");
        } else {
            EXPECT_EQ(output.substr(output.find(' ')), " Kestrova升级程序");
            EXPECT_TRUE(fs::is_empty(hive));
        }
    }
}

}  // namespace
}  // namespace kestrova::test
