// The window caption from the product's registry name: configured, missing, unusable, and
// the cases that only a user without administrator rights meets, run as user "nobody".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "app/RegSettings.h"
#include "platform/registry/RegistryRoot.h"
#include "tests/platform/registry/TempFolder.h"

extern char** environ;

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

const std::wstring kSuffix = L"升级程序";

struct ProgramResult {
    int status = -1;
    std::string output;
};

// Runs a program and collects its standard output. The leak checker's options are left
// out: the suppression file need not be readable by the other user.
ProgramResult runProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "LSAN_OPTIONS=", 13) != 0) {
            env.push_back(*e);
        }
    }
    env.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ProgramResult result;
    char chunk[256];
    for (ssize_t got; (got = ::read(out[0], chunk, sizeof chunk)) > 0;) {
        result.output.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(out[0]);
    if (spawned == 0) {
        ::waitpid(pid, &result.status, 0);
    }
    return result;
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
        std::vector<std::string> args;
        if (::geteuid() == 0) {
            args = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        }
        args.insert(args.end(), {probe, mode, hive()});
        const ProgramResult result = runProgram(args);
        EXPECT_TRUE(WIFEXITED(result.status) && WEXITSTATUS(result.status) == 0)
            << "probe status " << result.status;
        return result.output;
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
