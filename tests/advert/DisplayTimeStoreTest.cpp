// The display time in a real settings file, including one its user may not write.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "advert/DisplayTimeStore.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace fs = std::filesystem;
using kestrova::test::readFile;
using kestrova::test::TempDir;
using kestrova::test::writeFile;

namespace {

// Root writes wherever it likes, so the unwritable-folder case re-runs this program as an
// unprivileged user; that copy only writes the display time to the file named here.
constexpr const char* kWriterEnv = "KESTROVA_TEST_WRITE_LAST_ADV_TIME";
constexpr uid_t kNobody = 65534;

const bool kRanAsWriter = [] {
    const char* path = std::getenv(kWriterEnv);
    if (path == nullptr) {
        return false;
    }
    writeLastAdvTime(fs::path(path).wstring());
    _exit(geteuid() == 0 ? 3 : 0);
}();

long long readNumber(const fs::path& file) {
    return std::stoll(readLastAdvTime(file.wstring()));
}

TEST(DisplayTimeStore, FirstRunReadsZeroThenAWriteStoresTheCurrentTime) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    EXPECT_EQ(readLastAdvTime(file.wstring()), L"0");

    const long long before = std::time(nullptr);
    writeLastAdvTime(file.wstring());
    const long long after = std::time(nullptr);

    const long long stored = readNumber(file);
    EXPECT_GE(stored, before);
    EXPECT_LE(stored, after);
    EXPECT_EQ(readFile(file), "[CONFIG]\nlast_adv_time=" + std::to_string(stored) + "\n");
}

TEST(DisplayTimeStore, LaterWritesStoreLaterTimesAndKeepTheRestOfTheFile) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    writeFile(file, "[CONFIG]\r\nlast_adv_time=0\r\nother=1\r\n[MORE]\r\nx=y\r\n");

    writeLastAdvTime(file.wstring());
    const long long first = readNumber(file);
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    writeLastAdvTime(file.wstring());
    const long long second = readNumber(file);

    EXPECT_GE(second - first, 2);
    EXPECT_LE(second - first, 4);
    EXPECT_EQ(readFile(file), "[CONFIG]\r\nlast_adv_time=" + std::to_string(second) +
                                  "\r\nother=1\r\n[MORE]\r\nx=y\r\n");
}

TEST(DisplayTimeStore, TheStoredTextIsReturnedUncheckedUpTo255Characters) {
    const struct {
        const char* label;
        std::string line;
        std::wstring read;
    } rows[] = {
        {"letters", "last_adv_time=yesterday", L"yesterday"},
        {"empty", "last_adv_time=", L""},
        {"negative", "last_adv_time=-86400", L"-86400"},
        {"300 characters", "last_adv_time=" + std::string(300, '7'), std::wstring(255, L'7')},
        {"key missing", "other=1", L"0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir tmp;
        writeFile(tmp / "config.ini", "[CONFIG]\n" + row.line + "\n");
        EXPECT_EQ(readLastAdvTime((tmp / "config.ini").wstring()), row.read);
    }
}

TEST(DisplayTimeStore, TheFileLivesBesideTheExecutable) {
    const fs::path exe = fs::canonical("/proc/self/exe");
    EXPECT_EQ(getConfigPath(), (exe.parent_path() / "config.ini").wstring());
}

// Runs writeLastAdvTime on file as a user other than root: this program re-run through
// setpriv when we are root, else in process (permissions already apply to us).
void writeAsUnprivilegedUser(const fs::path& file) {
    if (geteuid() != 0) {
        writeLastAdvTime(file.wstring());
        return;
    }
    const std::string exe = fs::canonical("/proc/self/exe").string();
    std::vector<std::string> args = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                     exe};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env = {std::string(kWriterEnv) + "=" + file.string()};
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& entry : env) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    pid_t pid = 0;
    ASSERT_EQ(posix_spawnp(&pid, "setpriv", nullptr, nullptr, argv.data(), envp.data()), 0)
        << "setpriv is needed to run the writer unprivileged";
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged writer did not run as expected, status " << status;
}

TEST(DisplayTimeStore, AnUnwritableFolderKeepsTheOldValueSilently) {
    const struct {
        const char* label;
        bool fileExists;
        bool writable;
    } rows[] = {
        {"existing file, read-only folder", true, false},
        {"no file, read-only folder", false, false},
        // Proves the writer really runs as that user and would have written.
        {"existing file, writable folder and file", true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir tmp;
        const fs::path file = tmp / "config.ini";
        const std::string old = "[CONFIG]\nlast_adv_time=12345\n";
        if (row.fileExists) {
            writeFile(file, old);
            ASSERT_EQ(chmod(file.c_str(), row.writable ? 0666 : 0644), 0);
        }
        // Root-owned 0755 is read-only for the other user; for anyone else 0555 is.
        const mode_t folderMode = row.writable ? 0777 : (geteuid() == 0 ? 0755 : 0555);
        ASSERT_EQ(chmod(tmp.path().c_str(), folderMode), 0);

        writeAsUnprivilegedUser(file);
        ASSERT_EQ(chmod(tmp.path().c_str(), 0700), 0);

        if (row.writable) {
            EXPECT_NE(readLastAdvTime(file.wstring()), L"12345");
        } else if (row.fileExists) {
            EXPECT_EQ(readFile(file), old);
        } else {
            EXPECT_FALSE(fs::exists(file));
        }
        EXPECT_FALSE(fs::exists(tmp / "config.ini.tmp"));
    }
}

}  // namespace
