// Where the work folder goes and how it is made: the user's own temporary folder ($TMPDIR,
// else $XDG_RUNTIME_DIR, else a private folder in the shared one), and the work folder
// created private, never through a name that is already there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/WorkFolder.h"
#include "log/CLog.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "util/TextConvert.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

// Started with this variable naming a shared folder, the program logs one line as the
// program does, in the work folder prepared there, and ends.
constexpr const char* kLoggerEnv = "KESTROVA_TEST_SHARED_TMP";

[[maybe_unused]] const bool kRanAsLogger = [] {
    if (const char* shared = std::getenv(kLoggerEnv)) {
        CLog::GetInstance()->Init(wideToAnsi(prepareWorkFolder(shared)).c_str());
        CLog::GetInstance()->Append("logged by " + std::to_string(::geteuid()));
        CLog::GetInstance()->Stop();
        std::_Exit(0);
    }
    return false;
}();

// A folder shared by every user, as /tmp is (sticky, writable by all).
struct SharedFolder {
    SharedFolder() {
        fs::create_directory(path);
        ::chmod(path.c_str(), 01777);
    }
    TempDir dir;
    const fs::path path = dir / "tmp";
};

TEST(WorkFolder, TemporaryFolderIsTheUsersOwnWithATrailingSlash) {
    SharedFolder shared;
    const std::wstring own =
        ansiToWide(shared.path.string()) + L"/kestrova-" + std::to_wstring(::geteuid()) + L"/";
    const struct {
        std::optional<std::string> tmpdir, runtime;
        std::wstring folder;
    } rows[] = {
        {"/var/tmp", "/run/user/7", L"/var/tmp/"},
        {"/var/tmp/", std::nullopt, L"/var/tmp/"},
        {std::nullopt, "/run/user/7", L"/run/user/7/"},
        {"relative/tmp", "", own},
        {"", "relative/run", own},
        {std::nullopt, std::nullopt, own},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tmpdir.value_or("(unset)") + " " + row.runtime.value_or("(unset)"));
        ScopedEnv tmpdir("TMPDIR", row.tmpdir);
        ScopedEnv runtime("XDG_RUNTIME_DIR", row.runtime);
        EXPECT_EQ(temporaryFolder(shared.path.string()), row.folder);
    }
    struct stat info {};
    ASSERT_EQ(::lstat(wideToAnsi(own).c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(WorkFolder, CreatedOwnerOnlyAndAnExistingNameIsLeftAsItIs) {
    TempDir temp;
    ScopedEnv tmpdir("TMPDIR", temp.path().string());
    const fs::path work = temp / "Kestrova";

    EXPECT_EQ(wideToAnsi(prepareWorkFolder()), work.string());
    struct stat info {};
    ASSERT_EQ(::lstat(work.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A folder someone else prepared is not widened or narrowed, and a link planted in
    // its place is not followed: the log's open refuses both if they are not ours.
    fs::permissions(work, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    prepareWorkFolder();
    EXPECT_EQ(fs::status(work).permissions() & fs::perms::all,
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::remove(work);
    fs::create_directory_symlink(temp / "elsewhere", work);
    prepareWorkFolder();
    EXPECT_TRUE(fs::is_symlink(work));
    EXPECT_FALSE(fs::exists(temp / "elsewhere"));
}

// Two users without TMPDIR or XDG_RUNTIME_DIR share one /tmp: whoever comes first, each
// logs in a folder of their own; a user whose private name another took logs beside the
// program instead.
TEST(WorkFolder, TwoUsersSharingTmpEachGetALogOfTheirOwnWhoeverCameFirst) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a second user needs root";
    }
    const std::string self = fs::canonical("/proc/self/exe").string();
    const struct {
        const char* what;
        bool otherFirst;
        bool nameTaken;
    } rows[] = {
        {"root first", false, false},
        {"the other user first", true, false},
        {"the other user took root's name", true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SharedFolder shared;
        TempDir current;
        const fs::path taken = shared.path / "kestrova-0";
        if (row.nameTaken) {
            runCommand(asOtherUser() + "mkdir -m 0777 " + taken.string());
            ASSERT_TRUE(fs::is_directory(taken));
        }
        const auto logAs = [&](bool other) {
            bool ran = false;
            runCommand("cd " + current.path().string() + " && " + (other ? asOtherUser() : "") +
                           "env -u TMPDIR -u XDG_RUNTIME_DIR " + kLoggerEnv + "=" +
                           shared.path.string() + " " + self,
                       &ran);
            EXPECT_TRUE(ran);
        };
        logAs(row.otherFirst);
        logAs(!row.otherFirst);

        const auto expectLog = [](const fs::path& log, uid_t user) {
            SCOPED_TRACE(log.string());
            EXPECT_EQ(readFile(log), "logged by " + std::to_string(user) + "\n");
            struct stat info {};
            ASSERT_EQ(::lstat(log.c_str(), &info), 0);
            EXPECT_EQ(info.st_uid, user);
        };
        const std::string logName = "Kestrova/RazOdezerivozi.log";
        expectLog(shared.path / ("kestrova-" + std::to_string(kOtherUser)) / logName, kOtherUser);
        expectLog((row.nameTaken ? current.path() : taken) / logName, 0);
        if (row.nameTaken) {
            EXPECT_TRUE(fs::is_empty(taken)) << "nothing of root's in a folder of another";
        }
    }
}

}  // namespace
}  // namespace kestrova::test
