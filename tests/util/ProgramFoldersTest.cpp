// Where a user's settings file, picture cache and dump go: beside the executable when the
// user may write there, else in the user's own XDG state and cache folders. Root writes
// everywhere, so under root each row runs this program again as user 65534 (setpriv).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "util/ProgramFolders.h"
#include "util/TextConvert.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

// Started with this variable naming an executable's path, the program prints the decision
// for it (settings file, cache folder, dump, log line, a line each) and ends.
constexpr const char* kSubjectEnv = "KESTROVA_TEST_PROGRAM_FOLDERS_OF";

[[maybe_unused]] const bool kRanAsSubject = [] {
    if (const char* exe = std::getenv(kSubjectEnv)) {
        const ProgramFolders folders = decideProgramFolders(ansiToWide(exe));
        std::printf("%s\n%s\n%s\n%s\n", wideToAnsi(folders.settingsFile()).c_str(),
                    wideToAnsi(folders.cacheFolder).c_str(), wideToAnsi(folders.dumpFile()).c_str(),
                    folders.describe().c_str());
        std::fflush(stdout);
        std::_Exit(0);
    }
    return false;
}();

enum class Xdg { kUnset, kRelative, kSet };

TEST(ProgramFolders, BesideTheProgramWhenTheUserMayWriteThereElseInTheUsersOwnFolders) {
    const bool root = ::geteuid() == 0;
    const uid_t subject = root ? kOtherUser : ::geteuid();
    const struct {
        const char* what;
        bool writable;
        bool settingsOfRoot;  // config.ini there belongs to another user
        bool settingsOfSubject;
        Xdg xdg;
        bool stateTaken;    // the state folder's name is a link to elsewhere
        const char* state;  // where the settings and the dump go, under the row's folder
        const char* cache;
        const char* why;  // in the log line
    } rows[] = {
        {"writable", true, false, false, Xdg::kUnset, false, "prog", "prog/cache/image",
         "beside the program"},
        {"writable, config.ini the user's", true, false, true, Xdg::kSet, false, "prog",
         "prog/cache/image", "beside the program"},
        {"read-only, XDG unset", false, false, false, Xdg::kUnset, false,
         "home/.local/state/kestrova", "home/.cache/kestrova/cache/image", "is not writable"},
        {"read-only, XDG relative", false, false, false, Xdg::kRelative, false,
         "home/.local/state/kestrova", "home/.cache/kestrova/cache/image", "is not writable"},
        {"read-only, XDG set", false, false, false, Xdg::kSet, false, "xdg/state/kestrova",
         "xdg/cache/kestrova/cache/image", "is not writable"},
        {"writable, config.ini another user's", true, true, false, Xdg::kUnset, false,
         "home/.local/state/kestrova", "home/.cache/kestrova/cache/image", "is another user's"},
        {"read-only, state folder a link", false, false, false, Xdg::kUnset, true, "prog",
         "home/.cache/kestrova/cache/image", "no folder of the user's own"},
    };
    const std::string self = fs::canonical("/proc/self/exe").string();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.settingsOfRoot && !root) {
            continue;  // a file of another user needs root to make
        }
        TempDir dir;
        const fs::path prog = dir / "prog";
        const fs::path home = dir / "home";
        fs::create_directories(prog);
        fs::create_directories(dir / "xdg");
        fs::create_directories(home / ".local");
        if (row.settingsOfRoot || row.settingsOfSubject) {
            writeFile(prog / "config.ini", "[CONFIG]\nlast_adv_time=7\n");
        }
        if (row.stateTaken) {
            fs::create_directory(home / ".local/state");
            fs::permissions(home / ".local/state", fs::perms::owner_all);
            // A folder the user could write, so only the link itself disqualifies it.
            fs::create_directory(dir / "elsewhere");
            fs::create_directory_symlink(dir / "elsewhere", home / ".local/state/kestrova");
        }
        for (const fs::path& owned : {prog, home, dir / "xdg", dir / "elsewhere", home / ".local",
                                      home / ".local/state", prog / "config.ini"}) {
            if (fs::exists(owned) && !(row.settingsOfRoot && owned == prog / "config.ini")) {
                ASSERT_EQ(::lchown(owned.c_str(), subject, subject), 0);
            }
        }
        ASSERT_EQ(::chmod(prog.c_str(), row.writable ? 0755 : 0555), 0);

        std::string env = "env -u XDG_STATE_HOME -u XDG_CACHE_HOME HOME=" + home.string();
        if (row.xdg == Xdg::kSet) {
            env += " XDG_STATE_HOME=" + (dir / "xdg/state").string() +
                   " XDG_CACHE_HOME=" + (dir / "xdg/cache").string();
        } else if (row.xdg == Xdg::kRelative) {
            env += " XDG_STATE_HOME=rel/state XDG_CACHE_HOME=rel/cache";
        }
        bool ran = false;
        const std::string printed =
            runCommand("cd " + home.string() + " && " + (root ? asOtherUser() : "") + env + " " +
                           kSubjectEnv + "=" + (prog / "kestrova-advert").string() + " " + self,
                       &ran);
        ASSERT_TRUE(ran) << printed;

        const std::string state = (dir / row.state).string();
        const std::string expected = state + "/config.ini\n" + (dir / row.cache).string() + "\n" +
                                     state + "/kestrova-advert.dmp\n";
        EXPECT_EQ(printed.substr(0, expected.size()), expected);
        EXPECT_NE(printed.find(row.why, expected.size()), std::string::npos) << printed;
        EXPECT_FALSE(fs::exists(home / "rel")) << "a relative XDG folder is ignored";
        // Per-user folders are made only when they are used.
        EXPECT_EQ(fs::exists(home / ".cache"), std::string(row.cache).starts_with("home/"));
        EXPECT_EQ(fs::exists(dir / "xdg/state"), std::string(row.state).starts_with("xdg/"));
        // Each per-user folder the decision made: the user's own, open to nobody else.
        for (const std::string made : {"home/.local/state", "home/.local/state/kestrova",
                                       "home/.cache", "home/.cache/kestrova", "xdg/state",
                                       "xdg/state/kestrova", "xdg/cache", "xdg/cache/kestrova"}) {
            struct stat info {};
            if (::lstat((dir / made).c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
                SCOPED_TRACE(made);
                EXPECT_EQ(info.st_mode & 07777, 0700u);
                EXPECT_EQ(info.st_uid, subject);
            }
        }
    }
}

}  // namespace
}  // namespace kestrova::test
