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

    // The probe's output for a mode, run as another user.
    std::string runUnprivileged(const char* mode) {
        const fs::path probe = m_tmp / "registry_probe";
        fs::copy_file(KESTROVA_REGISTRY_PROBE, probe, fs::copy_options::overwrite_existing);
        bool ran = false;
        const std::string output =
            runCommand(asOtherUser() + probe.string() + " " + mode + " " + hive.string(), &ran);
        EXPECT_TRUE(ran) << "the probe failed";
        return output;
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
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.file));
        setAppName(row.file);
        EXPECT_EQ(getWindowCaption(), row.name + L"升级程序");
    }
}

TEST_F(RegSettings, MissingKeyIsCreatedEmptyWhenPossible) {
    registry::ScopedMachineRoot root(hive.string());
    EXPECT_EQ(getWindowCaption(), L"Kestrova升级程序");
    ASSERT_TRUE(fs::is_directory(keyFolder));
    EXPECT_TRUE(fs::is_empty(keyFolder));
}

TEST_F(RegSettings, KeyThatCannotBeCreatedGivesTheDefaultAndCreatesNothing) {
    fs::create_directory(hive);
    makeReadOnly(hive);
    EXPECT_EQ(runUnprivileged("caption"), "Kestrova升级程序");
    EXPECT_TRUE(fs::is_empty(hive));
}

// Asking for all access, a normal user is refused a key they may read; reading must still
// find the configured name.
TEST_F(RegSettings, ReadableButNotWritableKeyGivesTheConfiguredName) {
    setAppName("Reader\n");
    makeReadOnly(keyFolder);
    EXPECT_EQ(runUnprivileged("open-all"), std::to_string(ERROR_ACCESS_DENIED));
    EXPECT_EQ(runUnprivileged("caption"), "Reader升级程序");
}

}  // namespace
}  // namespace kestrova::test
