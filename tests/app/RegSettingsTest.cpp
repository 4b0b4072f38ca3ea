// The window caption from the product's registry name: configured, missing, unusable, and
// the cases that only a user without administrator rights meets, run as user "nobody".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/RegSettings.h"
#include "platform/registry/RegistryRoot.h"
#include "tests/platform/registry/TempFolder.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

const std::wstring kSuffix = L"升级程序";

// Runs a command and returns its standard output, or nothing when it fails. The arguments
// are paths made by the test, free of characters the shell would interpret.
std::optional<std::string> runCommand(const std::string& command) {
    std::unique_ptr<FILE, decltype(&::pclose)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) {
        return std::nullopt;
    }
    std::string output;
    char chunk[256];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) {
        output.append(chunk, got);
    }
    const int status = ::pclose(pipe.release());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::optional(output) : std::nullopt;
}

class RegSettings : public ::testing::Test {
protected:
    std::string hive() const { return m_tmp.path() + "/hive"; }
    std::string keyFolder() const { return hive() + "/SOFTWARE/Kestrova"; }

    void setAppName(const std::string& content) {
        fs::create_directories(keyFolder());
        writeFile(keyFolder() + "/appname", content);
    }

    // Runs the probe as user and group 65534; when the test is not root it already is
    // unprivileged and runs the probe directly.
    std::string runUnprivileged(const char* mode) {
        const std::string probe = m_tmp.path() + "/registry_probe";
        fs::copy_file(KESTROVA_REGISTRY_PROBE, probe, fs::copy_options::overwrite_existing);
        // The leak checker's suppression file need not be readable by the other user.
        std::string command = "env -u LSAN_OPTIONS ";
        if (::geteuid() == 0) {
            command += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        }
        const auto output = runCommand(command + probe + " " + mode + " " + hive());
        EXPECT_TRUE(output.has_value()) << "the probe failed";
        return output.value_or("");
    }

    // Takes write rights away from other users (root still has them, like an administrator).
    static void makeReadOnly(const std::string& path) {
        ASSERT_EQ(::chmod(path.c_str(), ::geteuid() == 0 ? 0755 : 0555), 0);
    }

    TempFolder m_tmp;
};

TEST_F(RegSettings, ConfiguredNameMakesTheCaption) {
    setAppName("Reader\n");
    registry::ScopedMachineRoot root(hive());
    EXPECT_EQ(getWindowCaption(), L"Reader" + kSuffix);
}

TEST_F(RegSettings, UnusableNamesFallBackToTheDefault) {
    const std::string longest(64, 'n');
    std::string longestWide;
    for (int i = 0; i < 64; ++i) {
        longestWide += "名";
    }
    const struct {
        std::string file;
        std::wstring name;
    } kCases[] = {{"", L"Kestrova"},
                  {"\n", L"Kestrova"},
                  {longest + "\n", std::wstring(64, L'n')},
                  {longest + "n\n", L"Kestrova"},
                  {longestWide, std::wstring(64, L'名')},
                  {std::string("Rea\0der", 7), L"Rea"},
                  {std::string("\0Reader", 7), L"Kestrova"}};
    registry::ScopedMachineRoot root(hive());
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(c.file));
        setAppName(c.file);
        EXPECT_EQ(getAppName(), c.name);
    }
}

TEST_F(RegSettings, MissingKeyIsCreatedEmptyWhenPossible) {
    registry::ScopedMachineRoot root(hive());
    EXPECT_EQ(getWindowCaption(), L"Kestrova" + kSuffix);
    ASSERT_TRUE(fs::is_directory(keyFolder()));
    EXPECT_TRUE(fs::is_empty(keyFolder()));
}

TEST_F(RegSettings, KeyThatCannotBeCreatedGivesTheDefaultAndCreatesNothing) {
    fs::create_directory(hive());
    makeReadOnly(hive());
    EXPECT_EQ(runUnprivileged("caption"), "Kestrova升级程序");
    EXPECT_TRUE(fs::is_empty(hive()));
}

// Asking for all access, a normal user is refused a key they may read; reading must still
// find the configured name.
TEST_F(RegSettings, ReadableButNotWritableKeyGivesTheConfiguredName) {
    setAppName("Reader\n");
    makeReadOnly(keyFolder());
    EXPECT_EQ(runUnprivileged("open-all"), std::to_string(ERROR_ACCESS_DENIED));
    EXPECT_EQ(runUnprivileged("caption"), "Reader升级程序");
}

}  // namespace
}  // namespace kestrova::test
